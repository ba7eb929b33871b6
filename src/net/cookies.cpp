#include <string>
#include <utility>
#include <vector>

#include "net/web_request.hpp"
#include "util/text.hpp"

namespace quillora::net {
namespace {

// Drops half-width blanks and the GBK full-width blank (A1 A1), stepping over double-byte characters
// so that a trail byte is never read as half of a blank.
std::string without_blanks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == ' ') continue;
    if (byte >= 0x81 && i + 1 < text.size()) {
      if (!(byte == 0xA1 && static_cast<unsigned char>(text[i + 1]) == 0xA1)) {
        out.push_back(text[i]);
        out.push_back(text[i + 1]);
      }
      ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

using CookieList = std::vector<std::pair<std::string, std::string>>;

CookieList cookie_pairs(const std::string& text) {
  CookieList pairs;
  for (const std::string& item : util::split_text(text, ";")) {
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      pairs.emplace_back(util::trim_blanks(item), std::string());
    } else {
      pairs.emplace_back(util::trim_blanks(std::string_view(item).substr(0, equals)),
                         item.substr(equals + 1));
    }
  }
  return pairs;
}

}  // namespace

std::string merge_cookies(std::string& jar, std::string& received) {
  jar = without_blanks(jar);
  received = without_blanks(received);
  if (received.empty()) return jar;

  CookieList merged = cookie_pairs(jar);
  for (auto& [name, value] : cookie_pairs(received)) {
    auto known = merged.begin();
    while (known != merged.end() && known->first != name) ++known;
    if (known != merged.end()) {
      known->second = std::move(value);
    } else {
      merged.emplace_back(std::move(name), std::move(value));
    }
  }
  jar.clear();
  for (const auto& [name, value] : merged) {
    if (value == "deleted" || name.empty() || value.empty()) continue;
    jar += name + "=" + value + ";";
  }
  jar = util::replace_all(jar, ";;", ";");
  return jar;
}

}  // namespace quillora::net
