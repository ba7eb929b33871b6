#pragma once
// The two pieces of script text handling that the program relies on, done natively: reading the body
// of a single-quoted string literal and the standard unescape function. Nothing is ever evaluated.
#include <optional>
#include <string>
#include <string_view>

namespace quillora::util {

// The string that the literal '<body>' denotes under ECMAScript 3rd edition rules: \b \t \n \v \f \r
// \" \' \\ \0, \xHH, \uHHHH, and a backslash before any other character stands for that character.
// Nothing when the literal is not well formed: a raw quote, CR or LF in the body, or a final
// backslash that would escape the closing quote.
std::optional<std::u16string> read_script_literal(std::u16string_view body);

// ECMAScript unescape: "%uHHHH" and "%HH" become that code unit; any other "%" stays.
std::u16string script_unescape(std::u16string_view text);

}  // namespace quillora::util
