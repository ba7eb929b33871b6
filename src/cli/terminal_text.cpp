#include "cli/terminal_text.hpp"

namespace quillora::cli {
namespace {

void append_escape(std::string& out, unsigned value) {
  constexpr char digits[] = "0123456789abcdef";
  out += "\\x";
  out += digits[value >> 4];
  out += digits[value & 0xf];
}

}  // namespace

std::string printable(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    const bool kept =
        byte == '\t' || byte == '\n' || (byte == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n');
    if ((byte < 0x20 && !kept) || byte == 0x7f) {
      append_escape(out, byte);
    } else if (byte == 0xc2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9f) {
      // U+0080 to U+009F: the C1 controls, which some terminals obey as escape sequences.
      append_escape(out, static_cast<unsigned char>(utf8[++i]));
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

void write_line(std::FILE* stream, std::string_view utf8) {
  const std::string text = printable(utf8) + "\n";
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace quillora::cli
