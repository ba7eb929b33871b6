#pragma once
// Byte-string helpers over GBK text. Positions are 1-based byte positions; a search never starts a
// match on the second byte of a double-byte character (a byte >= 0x80 starts one).
#include <string>
#include <string_view>
#include <vector>

namespace quillora::util {

// 1-based position of needle in text at or after start, 0 when absent. ASCII case folded on request.
std::size_t find_text(std::string_view text, std::string_view needle, std::size_t start = 1,
                      bool ignore_case = false);

// The text between the first left marker (from start) and the first right marker after it; "" when
// either is missing. "#引号" in a marker stands for a double quote.
std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         std::size_t start = 1, bool ignore_case = false);

// Every occurrence replaced, left to right, case-sensitive.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to);

// Splits at every separator; empty pieces between separators stay, an empty rest after the last
// separator is dropped.
std::vector<std::string> split_text(std::string_view text, std::string_view separator);

// Removes half-width blanks and the GBK full-width blank (A1 A1) at both ends.
std::string trim_blanks(std::string_view text);

// C atoi over text whose full-width ASCII forms (A3 A1..A3 FE, A1 A1) are first made half-width:
// optional leading blanks, an optional sign, decimal digits up to the first other character.
int read_integer(std::string_view text);

}  // namespace quillora::util
