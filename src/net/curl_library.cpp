#include "net/curl_library.hpp"

#include <dlfcn.h>

#include "net/web_request.hpp"

namespace quillora::net {
namespace {

// The soname of the ABI this code is built against: every libcurl since 7.16 (2006) has it.
constexpr const char* kLibcurlName = "libcurl.so.4";

template <typename Function>
bool take(void* library, const char* name, Function*& out) {
  out = reinterpret_cast<Function*>(dlsym(library, name));
  return out != nullptr;
}

const CurlLibrary* load_once() {
  // Never closed: libcurl's global state lives as long as the process.
  void* library = dlopen(kLibcurlName, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  static CurlLibrary curl;
  CURLcode (*global_init)(long) = nullptr;
  const bool complete =
      take(library, "curl_global_init", global_init) && take(library, "curl_easy_init", curl.easy_init) &&
      take(library, "curl_easy_setopt", curl.easy_setopt) &&
      take(library, "curl_easy_perform", curl.easy_perform) &&
      take(library, "curl_easy_getinfo", curl.easy_getinfo) &&
      take(library, "curl_easy_cleanup", curl.easy_cleanup) &&
      take(library, "curl_slist_append", curl.slist_append) &&
      take(library, "curl_slist_free_all", curl.slist_free_all) && take(library, "curl_url", curl.url) &&
      take(library, "curl_url_cleanup", curl.url_cleanup) && take(library, "curl_url_get", curl.url_get) &&
      take(library, "curl_url_set", curl.url_set) && take(library, "curl_free", curl.free);
  if (!complete || global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
  return &curl;
}

}  // namespace

const CurlLibrary* load_libcurl() {
  // A function-local static makes the one load safe even when two threads race to it.
  static const CurlLibrary* const loaded = load_once();
  return loaded;
}

bool init_transport() { return load_libcurl() != nullptr; }

}  // namespace quillora::net
