#pragma once
#include <string>

namespace quillora::cli {

// One line of standard input without its line end. On a terminal the prompt goes to standard
// error and the typed characters are not echoed.
std::string read_password(const std::string& utf8_prompt);

}  // namespace quillora::cli
