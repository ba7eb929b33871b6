#include <curl/curl.h>

#include "net/web_request.hpp"

namespace quillora::net {

void init_transport() {
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)done;
}

}  // namespace quillora::net
