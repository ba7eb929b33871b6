#pragma once
// The request header block of a web request and its translation into libcurl header lines.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::net {

// The caller's lines followed by every default line whose test text the block lacks, each line
// ended by CR LF.
std::string request_header_block(const std::string& extra_headers, const std::optional<std::string>& cookies);

// One line per header name, in the order the names first appear: a later line with the same name
// (any case) replaces the earlier one, and a line with an empty value becomes "Name:", which makes
// libcurl leave that header out. nullopt for a line that is no header line at all.
std::optional<std::vector<std::string>> curl_header_lines(std::string_view block);

}  // namespace quillora::net
