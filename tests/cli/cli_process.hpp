#pragma once
// Runs quillora-cli as a child process: arguments, standard input, what it printed and how it ended.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace quillora::test {

struct CliResult {
  int status = -1;        // exit status; 128 + n when killed by signal n; -1 when it had to be killed
  bool signaled = false;  // ended by a signal rather than by exiting
  std::string out, err;
};

// The program with its store options in front of the arguments.
class CliProcess {
 public:
  CliProcess(std::vector<std::string> args, std::string input = {});
  ~CliProcess();  // kills the child if it still runs
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  void signal(int number) const;
  // Reads its output until it ends; a child that outlives the deadline is killed.
  CliResult wait(std::chrono::seconds deadline = std::chrono::seconds(60));

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
};

inline CliResult run_cli(std::vector<std::string> args, std::string input = {}) {
  return CliProcess(std::move(args), std::move(input)).wait();
}

}  // namespace quillora::test
