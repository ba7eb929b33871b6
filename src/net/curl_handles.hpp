#pragma once
// Owning wrappers for the libcurl objects that one request or one transfer builds and frees.

#include <memory>
#include <string>

#include "net/curl_library.hpp"

namespace quillora::net {

struct EasyCleanup {
  void operator()(CURL* handle) const { libcurl().easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct SlistCleanup {
  void operator()(curl_slist* list) const { libcurl().slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistCleanup>;

struct UrlCleanup {
  void operator()(CURLU* url) const { libcurl().url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;

// Appends one line; false (the list unchanged) when libcurl runs out of memory.
inline bool append_line(HeaderList& list, const std::string& line) {
  curl_slist* head = libcurl().slist_append(list.get(), line.c_str());
  if (head == nullptr) return false;
  (void)list.release();
  list.reset(head);
  return true;
}

}  // namespace quillora::net
