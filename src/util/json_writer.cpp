#include "util/json_writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>

namespace quillora::util::json {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// Characters written as \u escapes besides the control characters: the invisible formatting and
// line-separating ones that break script parsers and confuse readers.
bool escaped_code_point(char32_t c) {
  return c <= 0x1F || (c >= 0x7F && c <= 0x9F) || c == 0xAD || (c >= 0x600 && c <= 0x604) || c == 0x70F ||
         c == 0x17B4 || c == 0x17B5 || (c >= 0x200C && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
         (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF0 && c <= 0xFFFF);
}

void append_unicode_escape(std::string& out, char32_t c) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 15]);
}

// Length and value of the UTF-8 sequence at i; the parser has validated the text, but a stray byte
// still yields a step of one.
std::pair<std::size_t, char32_t> decode_utf8(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char lead = b(0);
  if (lead >= 0xC0 && lead < 0xE0 && i + 1 < s.size())
    return {2, char32_t((lead & 0x1F) << 6 | (b(1) & 0x3F))};
  if (lead >= 0xE0 && lead < 0xF0 && i + 2 < s.size()) {
    return {3, char32_t((lead & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F))};
  }
  if (lead >= 0xF0 && i + 3 < s.size()) return {4, 0x10000};  // outside the escaped ranges
  return {1, lead};
}

}  // namespace

void append_string(std::string& out, std::string_view s) {
  out.push_back('"');
  std::size_t plain = 0;  // start of the run not yet copied
  for (std::size_t i = 0; i < s.size();) {
    const auto byte = static_cast<unsigned char>(s[i]);
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      ++i;
      continue;
    }
    // Only these lead bytes start a sequence that may need an escape; CJK text skips ahead.
    if (byte >= 0xC0 && byte != 0xC2 && byte != 0xD8 && byte != 0xDC && byte != 0xE1 && byte != 0xE2 &&
        byte != 0xEF) {
      i += byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
      continue;
    }
    const auto [length, c] = byte < 0x80 ? std::pair<std::size_t, char32_t>{1, byte} : decode_utf8(s, i);
    const char* named = nullptr;
    switch (c) {
      case '"':
        named = "\\\"";
        break;
      case '\\':
        named = "\\\\";
        break;
      case '\b':
        named = "\\b";
        break;
      case '\t':
        named = "\\t";
        break;
      case '\n':
        named = "\\n";
        break;
      case '\f':
        named = "\\f";
        break;
      case '\r':
        named = "\\r";
        break;
      default:
        break;
    }
    if (named == nullptr && !escaped_code_point(c)) {
      i += length;
      continue;
    }
    out.append(s, plain, i - plain);
    if (named != nullptr) {
      out += named;
    } else {
      append_unicode_escape(out, c);
    }
    i += length;
    plain = i;
  }
  out.append(s, plain);
  out.push_back('"');
}

void append_number(std::string& out, double number) {
  if (!std::isfinite(number)) {
    out += "null";
    return;
  }
  if (number == 0) {
    out.push_back('0');
    return;
  }
  if (number < 0) {
    out.push_back('-');
    number = -number;
  }
  // Shortest round-trip digits, then laid out the way a script engine prints a number.
  char buffer[32];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific);
  if (error != std::errc()) {
    out += "null";
    return;
  }
  const std::string_view sci(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e_at = sci.find('e');
  std::string digits(1, sci[0]);
  if (e_at > 2) digits.append(sci.substr(2, e_at - 2));
  int exponent = 0;
  std::from_chars(sci.data() + e_at + (sci[e_at + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
  const int k = static_cast<int>(digits.size());
  const int n = exponent + 1;
  if (k <= n && n <= 21) {
    out += digits;
    out.append(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out.append(digits, 0, static_cast<std::size_t>(n));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-n), '0');
    out += digits;
  } else {
    out.push_back(digits[0]);
    if (k > 1) {
      out.push_back('.');
      out.append(digits, 1);
    }
    out += n - 1 < 0 ? "e-" : "e+";
    out += std::to_string(std::abs(n - 1));
  }
}

bool has_repeated_names(simdjson::dom::object object) {
  const std::size_t size = object.size();
  if (size < 2) return false;
  if (size <= 16) {
    std::string_view names[16];
    std::size_t count = 0;
    for (const auto member : object) {
      for (std::size_t k = 0; k < count; ++k) {
        if (names[k] == member.key) return true;
      }
      names[count++] = member.key;
    }
    return false;
  }
  std::unordered_set<std::string_view> seen;
  seen.reserve(size);
  for (const auto member : object) {
    if (!seen.insert(member.key).second) return true;
  }
  return false;
}

std::vector<std::pair<std::string_view, element>> unique_members(simdjson::dom::object object) {
  std::vector<std::pair<std::string_view, element>> members;
  std::unordered_map<std::string_view, std::size_t> place;
  for (const auto member : object) {
    const auto [at, added] = place.try_emplace(member.key, members.size());
    if (added) {
      members.emplace_back(member.key, member.value);
    } else {
      members[at->second].second = member.value;
    }
  }
  return members;
}

void append_value(std::string& out, element value) {
  switch (value.type()) {
    case element_type::OBJECT: {
      const simdjson::dom::object object = value.get_object().value_unsafe();
      out.push_back('{');
      bool first = true;
      const auto write = [&](std::string_view key, element member) {
        if (!first) out.push_back(',');
        first = false;
        append_string(out, key);
        out.push_back(':');
        append_value(out, member);
      };
      if (has_repeated_names(object)) {
        for (const auto& [key, member] : unique_members(object)) write(key, member);
      } else {
        for (const auto member : object) write(member.key, member.value);
      }
      out.push_back('}');
      return;
    }
    case element_type::ARRAY: {
      out.push_back('[');
      bool first = true;
      const simdjson::dom::array array = value.get_array().value_unsafe();
      for (const element item : array) {
        if (!first) out.push_back(',');
        first = false;
        append_value(out, item);
      }
      out.push_back(']');
      return;
    }
    case element_type::STRING:
      append_string(out, value.get_string().value_unsafe());
      return;
    // Whole numbers keep every digit, also beyond what a double holds exactly.
    case element_type::INT64:
      out += std::to_string(value.get_int64().value_unsafe());
      return;
    case element_type::UINT64:
      out += std::to_string(value.get_uint64().value_unsafe());
      return;
    case element_type::DOUBLE:
      append_number(out, value.get_double().value_unsafe());
      return;
    case element_type::BOOL:
      out += value.get_bool().value_unsafe() ? "true" : "false";
      return;
    case element_type::NULL_VALUE:
      out += "null";
      return;
  }
}

}  // namespace quillora::util::json
