#pragma once
#include <string>
#include <string_view>

namespace quillora::util {

// Standard padded Base64 (RFC 4648), no line breaks.
std::string base64_encode(std::string_view bytes);

// The program's lenient decoder: blanks and CR LF pairs skipped, invalid characters leave stale
// group entries, the last group's scan end shortens the result, optional strip of trailing zeros.
// Processes pending window events after every group (util/events.hpp).
std::string base64_decode(std::string_view text, bool strip_trailing_zeros = false);

}  // namespace quillora::util
