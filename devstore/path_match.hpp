#pragma once
// Matching of request paths against the store's fixed forms ("/Api/Plugin/lst/robot/<id>/p/<page>").
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace quillora::devstore {

// The text X when path is prefix + X + suffix, else nullopt.
inline std::optional<std::string> between(std::string_view path, std::string_view prefix,
                                          std::string_view suffix = {}) {
  if (path.size() < prefix.size() + suffix.size() || path.substr(0, prefix.size()) != prefix ||
      path.substr(path.size() - suffix.size()) != suffix) {
    return std::nullopt;
  }
  return std::string(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()));
}

// The decimal integer (optionally negative) that is the whole text, clamped to +-1e9.
inline std::optional<int> whole_number(std::string_view text) {
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 20) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min<long long>(value * 10 + (c - '0'), 1'000'000'000);
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace quillora::devstore
