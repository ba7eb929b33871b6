#include "util/script_text.hpp"

namespace quillora::util {
namespace {

int hex_digit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The code unit written by `count` hex digits at `at`, or -1 when they are not all there.
long hex_units(std::u16string_view text, std::size_t at, std::size_t count) {
  if (at > text.size() || text.size() - at < count) return -1;
  long value = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const int digit = hex_digit(text[at + k]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

std::optional<std::u16string> read_script_literal(std::u16string_view body) {
  std::u16string out;
  out.reserve(body.size());
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char16_t c = body[i];
    if (c == u'\'' || c == u'\r' || c == u'\n') return std::nullopt;
    if (c != u'\\') {
      out.push_back(c);
      continue;
    }
    if (++i == body.size()) return std::nullopt;
    const char16_t escaped = body[i];
    switch (escaped) {
      case u'b':
        out.push_back(u'\b');
        break;
      case u't':
        out.push_back(u'\t');
        break;
      case u'n':
        out.push_back(u'\n');
        break;
      case u'v':
        out.push_back(u'\v');
        break;
      case u'f':
        out.push_back(u'\f');
        break;
      case u'r':
        out.push_back(u'\r');
        break;
      case u'0':
        out.push_back(u'\0');
        break;
      case u'\r':
      case u'\n':
        return std::nullopt;
      case u'x':
      case u'u': {
        const std::size_t digits = escaped == u'x' ? 2 : 4;
        const long unit = hex_units(body, i + 1, digits);
        if (unit < 0) {
          out.push_back(escaped);
        } else {
          out.push_back(static_cast<char16_t>(unit));
          i += digits;
        }
        break;
      }
      default:
        out.push_back(escaped);
        break;
    }
  }
  return out;
}

std::u16string script_unescape(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'%') {
      if (i + 1 < text.size() && text[i + 1] == u'u') {
        if (const long unit = hex_units(text, i + 2, 4); unit >= 0) {
          out.push_back(static_cast<char16_t>(unit));
          i += 5;
          continue;
        }
      }
      if (const long unit = hex_units(text, i + 1, 2); unit >= 0) {
        out.push_back(static_cast<char16_t>(unit));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace quillora::util
