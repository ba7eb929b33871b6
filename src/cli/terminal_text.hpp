#pragma once
// Text from the store or the file system, made safe for a terminal: a control character in it could
// retitle the terminal, clear the screen or hide what was printed before it.
#include <cstdio>
#include <string>
#include <string_view>

namespace quillora::cli {

// The UTF-8 text with every control character (C0, DEL, C1) written as \xHH, except TAB, LF and a CR
// that comes right before a LF, which stay as they are.
std::string printable(std::string_view utf8);

// Writes printable(utf8) and a line break to the stream.
void write_line(std::FILE* stream, std::string_view utf8);

}  // namespace quillora::cli
