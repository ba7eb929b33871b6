#include "store/reply.hpp"

#include "util/gbk.hpp"
#include "util/script_text.hpp"
#include "util/text.hpp"

namespace quillora::store {
namespace {

struct Markers {
  std::string_view left;
  std::string_view right;
};

Markers markers_of(ReplyField field) {
  switch (field) {
    case ReplyField::error:
      return {R"(error":)", ","};
    case ReplyField::content:
      return {R"(content":")", "\""};
    case ReplyField::token:
      return {R"(token":")", "\""};
    case ReplyField::uid:
      return {R"(uid":")", "\""};
    case ReplyField::url:
      return {R"(url":")", "\""};
  }
  return {};
}

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kLineBreakMark = "{$}";
constexpr std::string_view kRightQuote = "\xA1\xAF";  // U+2019 in GBK

// A UTF-16 text back to GBK the way wide strings come back from the platform: up to the first zero.
std::string wide_to_gbk(std::u16string_view wide) {
  std::string bytes;
  bytes.reserve(wide.size() * 2);
  for (const char16_t unit : wide) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return util::wide_to_text(bytes);
}

// One UTF-16 code unit as GBK text; a unit that converts to nothing gives nothing.
std::string unit_to_gbk(std::uint64_t value) {
  const char16_t unit = static_cast<char16_t>(value & 0xFFFF);
  return wide_to_gbk(std::u16string_view(&unit, 1));
}

// The message read as the body of a single-quoted script literal, then unescaped; empty when the
// literal is not well formed.
std::string primary_decoding(std::string_view text) {
  const auto literal = util::read_script_literal(util::gbk_to_utf16(text));
  if (!literal) return {};
  return wide_to_gbk(util::script_unescape(*literal));
}

}  // namespace

std::string reply_field(std::string_view reply, ReplyField field) {
  const Markers markers = markers_of(field);
  return util::text_between(reply, markers.left, markers.right);
}

bool reply_ok(std::string_view reply) { return reply_field(reply, ReplyField::error) == "0"; }

int read_page_count(std::string_view reply) {
  return util::read_integer(reply_field(reply, ReplyField::content));
}

std::string decode_message(std::string_view message) {
  std::string text = util::replace_all(message, kLineBreak, kLineBreakMark);
  if (!text.empty() && text.front() == '\r') text.erase(0, 1);
  text = util::replace_all(text, "\\u", "%u");
  text = util::replace_all(text, "'", kRightQuote);
  std::string result = primary_decoding(text);
  if (result.empty()) result = unescape_fallback(text);
  result = util::replace_all(result, kRightQuote, "'");
  return util::replace_all(result, kLineBreakMark, kLineBreak);
}

std::string unescape_fallback(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    // i is 0-based here: "at least k characters after the %" is i + k < n.
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 5 < n && text[i + 1] == 'u') {
      const std::string_view digits = text.substr(i + 2, 4);
      if (util::read_integer(digits) == 0) {
        out.push_back('%');
        continue;
      }
      out += unit_to_gbk(hex_value(digits));
      i += 5;
    } else if (i + 2 < n) {
      out += unit_to_gbk(hex_value(text.substr(i + 1, 2)));
      i += 2;
    } else {
      out.push_back('%');
    }
  }
  return out;
}

std::uint64_t hex_value(std::string_view digits) {
  if (digits.size() > 16) digits = digits.substr(digits.size() - 16);
  std::uint64_t value = 0;
  for (const char c : digits) {
    // Characters are not validated: each one contributes whatever its code gives.
    const auto code = static_cast<std::uint64_t>(static_cast<unsigned char>(c));
    const std::uint64_t digit = code < 65 ? code - 48 : code <= 96 ? code - 55 : code - 87;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace quillora::store
