#include "util/base64.hpp"

#include <array>

#include "util/events.hpp"
#include "util/text.hpp"

namespace quillora::util {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Index of each byte in the alphabet, -1 for every other byte.
constexpr std::array<int, 256> make_index() {
  std::array<int, 256> index{};
  index.fill(-1);
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) index[static_cast<unsigned char>(kAlphabet[i])] = int(i);
  return index;
}
constexpr std::array<int, 256> kIndex = make_index();

}  // namespace

std::string base64_encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const auto byte = [&](std::size_t k) -> unsigned {
      return k < left ? static_cast<unsigned char>(bytes[i + k]) : 0;
    };
    const unsigned group = byte(0) << 16 | byte(1) << 8 | byte(2);
    out.push_back(kAlphabet[group >> 18 & 63]);
    out.push_back(kAlphabet[group >> 12 & 63]);
    out.push_back(left > 1 ? kAlphabet[group >> 6 & 63] : '=');
    out.push_back(left > 2 ? kAlphabet[group & 63] : '=');
  }
  return out;
}

std::string base64_decode(std::string_view input, bool strip_trailing_zeros) {
  std::string text = replace_all(input, " ", "");
  text = replace_all(text, "\xA1\xA1", "");
  text = replace_all(text, "\r\n", "");

  std::string out;
  out.reserve((text.size() + 3) / 4 * 3);
  // Entries after an invalid character keep the previous group's values, which is how saved settings
  // have always been read back.
  std::array<unsigned, 4> entry{};
  std::size_t scan_end = 0;
  for (std::size_t group = 0; group * 4 < text.size(); ++group) {
    scan_end = 5;
    for (std::size_t j = 0; j < 4; ++j) {
      const std::size_t at = group * 4 + j;
      if (at >= text.size()) {
        entry[j] = 0;
        continue;
      }
      const auto byte = static_cast<unsigned char>(text[at]);
      if (kIndex[byte] < 0) {
        entry[j] = byte;
        scan_end = j + 1;
        break;
      }
      entry[j] = static_cast<unsigned>(kIndex[byte]);
    }
    out.push_back(static_cast<char>((entry[0] * 4 | entry[1] / 16) & 0xFF));
    out.push_back(static_cast<char>((entry[1] * 16 | entry[2] / 4) & 0xFF));
    out.push_back(static_cast<char>((entry[2] * 64 | entry[3]) & 0xFF));
    process_pending_events();
  }
  if (scan_end < 5) out.resize(out.size() - std::min(out.size(), 5 - scan_end));
  if (strip_trailing_zeros) {
    while (!out.empty() && out.back() == '\0') out.pop_back();
  }
  return out;
}

}  // namespace quillora::util
