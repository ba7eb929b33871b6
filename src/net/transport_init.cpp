#include <curl/curl.h>

#include "net/curl_handles.hpp"
#include "net/web_request.hpp"

namespace quillora::net {

bool init_transport() {
  // A function-local static makes the one initialisation safe even when two threads race to it.
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  return done;
}

}  // namespace quillora::net
