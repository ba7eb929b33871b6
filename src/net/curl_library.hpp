#pragma once
// libcurl, loaded by the first request instead of at program start. Debian's libcurl brings some
// thirty libraries with it (TLS, Kerberos, LDAP, SSH, RTMP...); mapping them before main() took
// about as long as loading the whole window toolkit, on the window's critical path. Loaded here, the
// cost falls on whichever worker asks first, while the window is being built and painted.
#include <curl/curl.h>

namespace quillora::net {

// The libcurl functions the transport uses, taken from the loaded library.
struct CurlLibrary {
  CURL* (*easy_init)();
  CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
  CURLcode (*easy_perform)(CURL*);
  CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
  void (*easy_cleanup)(CURL*);
  curl_slist* (*slist_append)(curl_slist*, const char*);
  void (*slist_free_all)(curl_slist*);
  CURLU* (*url)();
  void (*url_cleanup)(CURLU*);
  CURLUcode (*url_get)(const CURLU*, CURLUPart, char**, unsigned int);
  CURLUcode (*url_set)(CURLU*, CURLUPart, const char*, unsigned int);
  void (*free)(void*);
};

// Loads libcurl and runs its global set-up, once, whichever thread comes first; null when the
// library cannot be loaded, lacks a function or fails its set-up (every request then fails).
const CurlLibrary* load_libcurl();

// The loaded library, for code that runs only after load_libcurl() (or init_transport()) succeeded.
inline const CurlLibrary& libcurl() { return *load_libcurl(); }

}  // namespace quillora::net
