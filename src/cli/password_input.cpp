#include "cli/password_input.hpp"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace quillora::cli {
namespace {

// Turns the terminal's echo off for its lifetime.
class EchoOff {
 public:
  EchoOff() : active_(::tcgetattr(STDIN_FILENO, &saved_) == 0) {
    if (!active_) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_;
};

}  // namespace

std::string read_password(const std::string& utf8_prompt) {
  std::string line;
  if (::isatty(STDIN_FILENO) == 1) {
    std::fputs(utf8_prompt.c_str(), stderr);
    std::fflush(stderr);
    {
      EchoOff quiet;
      std::getline(std::cin, line);
    }
    std::fputs("\n", stderr);
  } else {
    std::getline(std::cin, line);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace quillora::cli
