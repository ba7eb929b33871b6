#pragma once
// JSON written the way the store's PHP back end writes it (json_encode with its default flags):
// "/" as "\/", everything outside ASCII as \u escapes, numbers bare, everything else quoted.
#include <string>
#include <string_view>

namespace quillora::devstore {

// A quoted JSON string of UTF-8 text.
std::string php_string(std::string_view utf8);

// One JSON object, members in the order they are added.
class PhpObject {
 public:
  PhpObject& number(std::string_view key, long long value);
  PhpObject& text(std::string_view key, std::string_view utf8);
  PhpObject& raw(std::string_view key, std::string_view json);  // a value already written as JSON
  std::string str() const { return body_ + "}"; }

 private:
  void key(std::string_view name);
  std::string body_ = "{";
};

// The store's reply envelope: {"error":N,"content":"..."} and any further string members.
std::string php_reply(int error, std::string_view content);

}  // namespace quillora::devstore
