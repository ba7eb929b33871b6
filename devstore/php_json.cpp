#include "php_json.hpp"

#include <cstdio>

#include "text_codec.hpp"

namespace quillora::devstore {

std::string php_string(std::string_view utf8) {
  std::string out = "\"";
  char escape[8];
  for (char16_t unit : utf8_to_utf16(utf8)) {
    switch (unit) {
      case u'"':
        out += "\\\"";
        break;
      case u'\\':
        out += "\\\\";
        break;
      case u'/':
        out += "\\/";
        break;
      case u'\b':
        out += "\\b";
        break;
      case u'\f':
        out += "\\f";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\r':
        out += "\\r";
        break;
      case u'\t':
        out += "\\t";
        break;
      default:
        if (unit < 0x20 || unit > 0x7f) {
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
          out += escape;
        } else {
          out += static_cast<char>(unit);
        }
    }
  }
  return out + "\"";
}

void PhpObject::key(std::string_view name) {
  if (body_.size() > 1) body_ += ',';
  body_ += php_string(name);
  body_ += ':';
}

PhpObject& PhpObject::number(std::string_view name, long long value) {
  key(name);
  body_ += std::to_string(value);
  return *this;
}

PhpObject& PhpObject::text(std::string_view name, std::string_view utf8) {
  key(name);
  body_ += php_string(utf8);
  return *this;
}

PhpObject& PhpObject::raw(std::string_view name, std::string_view json) {
  key(name);
  body_.append(json);
  return *this;
}

std::string php_reply(int error, std::string_view content) {
  return PhpObject().number("error", error).text("content", content).str();
}

}  // namespace quillora::devstore
