#include "util/url_encode.hpp"

#include "util/gbk.hpp"

namespace quillora::util {
namespace {

bool unreserved(unsigned char byte) {
  return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= 'a' && byte <= 'z');
}

}  // namespace

std::string url_encode(std::string_view text, bool keep_unreserved, bool to_utf8) {
  if (text.empty()) return {};
  const std::string bytes = to_utf8 ? gbk_to_utf8(text) : std::string(text);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (keep_unreserved && unreserved(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

}  // namespace quillora::util
