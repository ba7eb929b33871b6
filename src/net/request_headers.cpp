#include "net/request_headers.hpp"

#include <algorithm>
#include <cctype>

#include "util/text.hpp"

namespace quillora::net {
namespace {

struct DefaultLine {
  std::string_view test;
  bool ignore_case;
  std::string_view line;
};

// Content-Type is tested with its case: a caller's "content-type: " line does not stop the default,
// which then, coming later, wins.
constexpr DefaultLine kDefaultLines[] = {
    {"User-Agent: ", true,
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"},
    {"Accept: ", true, "Accept: text/html, application/xhtml+xml, */*"},
    {"Accept-Encoding: ", true, "Accept-Encoding: gbk, GB2312"},
    {"Accept-Language: ", true, "Accept-Language: zh-cn"},
    {"Content-Type:", false, "Content-Type: application/x-www-form-urlencoded"},
    {"Cache-Control: ", true, "Cache-Control: no-cache"},
};

std::string lower_ascii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string request_header_block(const std::string& extra_headers,
                                 const std::optional<std::string>& cookies) {
  std::string block = extra_headers.empty() ? std::string() : extra_headers + "\r\n";
  for (const DefaultLine& d : kDefaultLines) {
    if (util::find_text(block, d.test, 1, d.ignore_case) == 0) {
      block.append(d.line);
      block.append("\r\n");
    }
  }
  if (cookies && !cookies->empty() && util::find_text(block, "Cookie: ", 1, true) == 0) {
    block.append("Cookie: ");
    block.append(*cookies);
    block.append("\r\n");
  }
  return block;
}

std::optional<std::vector<std::string>> curl_header_lines(std::string_view block) {
  std::vector<std::string> lines;
  std::vector<std::string> names;  // lower-case name of each entry of lines
  for (const std::string& line : util::split_text(block, "\r\n")) {
    if (line.empty()) continue;
    // A lone CR, LF or zero inside a line would let it smuggle further headers onto the wire.
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return std::nullopt;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    const std::string_view name(line.data(), colon);
    if (std::any_of(name.begin(), name.end(), is_blank)) return std::nullopt;
    std::size_t value = colon + 1;
    while (value < line.size() && is_blank(line[value])) ++value;
    std::string out = value == line.size() ? std::string(name) + ":" : line;
    const std::string key = lower_ascii(name);
    const auto known = std::find(names.begin(), names.end(), key);
    if (known == names.end()) {
      names.push_back(key);
      lines.push_back(std::move(out));
    } else {
      lines[static_cast<std::size_t>(known - names.begin())] = std::move(out);
    }
  }
  return lines;
}

}  // namespace quillora::net
