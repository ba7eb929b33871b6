#include "cli_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace quillora::test {
namespace {

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

CliProcess::CliProcess(std::vector<std::string> args, std::string input) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0) return;
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
  // A clean signal state: the test runner may ignore or block SIGINT.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> full{QUILLORA_CLI_BINARY};
  full.insert(full.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : full) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);

  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  out_ = out_pipe[0];
  err_ = err_pipe[0];
  // Small inputs only (a password line): they fit in the pipe.
  if (!input.empty() && ::write(in_pipe[1], input.data(), input.size()) < 0) input.clear();
  ::close(in_pipe[1]);
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  close_fd(out_);
  close_fd(err_);
}

void CliProcess::signal(int number) const {
  if (pid_ > 0) ::kill(pid_, number);
}

CliResult CliProcess::wait(std::chrono::seconds deadline) {
  CliResult result;
  const auto until = std::chrono::steady_clock::now() + deadline;
  char buffer[4096];
  while ((out_ >= 0 || err_ >= 0) && std::chrono::steady_clock::now() < until) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (::poll(fds, 2, 100) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
      } else {
        close_fd(i == 0 ? out_ : err_);
      }
    }
  }
  if (pid_ <= 0) return result;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= until) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) {
    result.status = 128 + WTERMSIG(status);
    result.signaled = true;
  }
  return result;
}

}  // namespace quillora::test
