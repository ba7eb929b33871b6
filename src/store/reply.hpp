#pragma once
// Reading store replies: fields cut out by fixed markers, the success test, message decoding.
#include <cstdint>
#include <string>
#include <string_view>

namespace quillora::store {

enum class ReplyField { error, content, token, uid, url };

std::string reply_field(std::string_view reply, ReplyField field);
bool reply_ok(std::string_view reply);
// The content field read as a page count (full-width forms made ASCII, then atoi).
int read_page_count(std::string_view reply);

std::string decode_message(std::string_view text);
std::string unescape_fallback(std::string_view text);
std::uint64_t hex_value(std::string_view digits);

}  // namespace quillora::store
