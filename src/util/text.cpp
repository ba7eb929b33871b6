#include "util/text.hpp"

#include <climits>

#include "util/gbk.hpp"

namespace quillora::util {
namespace {

using namespace literals;

bool lead_byte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Width of the character that starts at index i: a lead byte takes its trail byte along, unless the
// text ends after it.
std::size_t char_width(std::string_view text, std::size_t i) {
  return lead_byte(text[i]) && i + 1 < text.size() ? 2 : 1;
}

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool matches_at(std::string_view text, std::size_t i, std::string_view needle, bool ignore_case) {
  if (text.size() - i < needle.size()) return false;
  if (!ignore_case) return text.compare(i, needle.size(), needle) == 0;
  for (std::size_t k = 0; k < needle.size(); ++k) {
    if (fold(text[i + k]) != fold(needle[k])) return false;
  }
  return true;
}

bool c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::size_t find_text(std::string_view text, std::string_view needle, std::size_t start, bool ignore_case) {
  // An empty needle is never found, so that no caller can loop on an empty match.
  if (needle.empty() || start < 1) return 0;
  for (std::size_t i = start - 1; i < text.size(); i += char_width(text, i)) {
    if (matches_at(text, i, needle, ignore_case)) return i + 1;
  }
  return 0;
}

std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         std::size_t start, bool ignore_case) {
  static const std::string quote_marker = "#引号"_gbk;
  const std::string left_marker = replace_all(left, quote_marker, "\"");
  const std::string right_marker = replace_all(right, quote_marker, "\"");
  const std::size_t p = find_text(text, left_marker, start, ignore_case);
  if (p == 0) return {};
  const std::size_t q = p + left_marker.size();
  const std::size_t r = find_text(text, right_marker, q, ignore_case);
  if (r == 0) return {};
  return std::string(text.substr(q - 1, r - q));
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t copied = 0;
  for (std::size_t at = find_text(text, from); at != 0; at = find_text(text, from, copied + 1)) {
    out.append(text, copied, at - 1 - copied);
    out.append(to);
    copied = at - 1 + from.size();
  }
  out.append(text.substr(copied));
  return out;
}

std::vector<std::string> split_text(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  std::size_t begin = 0;
  for (std::size_t at = find_text(text, separator); at != 0; at = find_text(text, separator, begin + 1)) {
    pieces.emplace_back(text.substr(begin, at - 1 - begin));
    begin = at - 1 + separator.size();
  }
  if (begin < text.size()) pieces.emplace_back(text.substr(begin));
  return pieces;
}

std::string trim_blanks(std::string_view text) {
  // Walks whole characters so that a trail byte A1 is never mistaken for half a full-width blank.
  std::size_t begin = text.size();
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t width = char_width(text, i);
    const bool blank = text[i] == ' ' || (width == 2 && text[i] == '\xA1' && text[i + 1] == '\xA1');
    if (!blank) {
      if (begin == text.size()) begin = i;
      end = i + width;
    }
    i += width;
  }
  if (begin >= end) return {};
  return std::string(text.substr(begin, end - begin));
}

int read_integer(std::string_view text) {
  std::string half;
  half.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t width = char_width(text, i);
    const auto trail = width == 2 ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (width == 2 && text[i] == '\xA3' && trail >= 0xA1 && trail <= 0xFE) {
      half.push_back(static_cast<char>(trail - 0x80));
    } else if (width == 2 && text[i] == '\xA1' && trail == 0xA1) {
      half.push_back(' ');
    } else {
      half.append(text.substr(i, width));
    }
    i += width;
  }
  std::size_t i = 0;
  while (i < half.size() && c_space(half[i])) ++i;
  bool negative = false;
  if (i < half.size() && (half[i] == '+' || half[i] == '-')) negative = half[i++] == '-';
  // Saturates instead of overflowing: a hostile reply must not reach undefined behaviour.
  long long value = 0;
  for (; i < half.size() && half[i] >= '0' && half[i] <= '9'; ++i) {
    value = value * 10 + (half[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace quillora::util
