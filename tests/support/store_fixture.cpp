#include "support/store_fixture.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace quillora::test {
namespace {
constexpr auto start_deadline = std::chrono::seconds(20);
constexpr auto stop_deadline = std::chrono::seconds(10);

#ifdef QUILLORA_STORE_BINARY
constexpr const char* store_binary = QUILLORA_STORE_BINARY;
#else
constexpr const char* store_binary = "";
#endif

// The string value of "key" in the store's one-line JSON object.
std::string json_field(const std::string& line, const std::string& key) {
  std::string marker = "\"" + key + "\":\"";
  std::size_t at = line.find(marker);
  if (at == std::string::npos) return {};
  std::string value;
  for (std::size_t i = at + marker.size(); i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    value += line[i];
  }
  return value;
}

int port_of(const std::string& url) {
  std::size_t colon = url.rfind(':');
  return colon == std::string::npos ? 0 : std::atoi(url.c_str() + colon + 1);
}

// Waits for the child to end, at most until the deadline; true when it was reaped.
bool reap(pid_t pid, std::chrono::steady_clock::duration deadline, int& status) {
  auto until = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};
}  // namespace

StoreServer::StoreServer() : StoreServer(Options{}) {}
StoreServer::StoreServer(Options options) : options_(std::move(options)) {}

StoreServer::~StoreServer() {
  if (running()) stop();
}

bool StoreServer::start() {
  if (running()) return true;
  return launch(0, 0);
}

bool StoreServer::restart() {
  if (running()) stop();
  // The old ports may still be held for a moment by the process that just died.
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!launch(http_port_, https_port_, /*report=*/false)) {
    if (std::chrono::steady_clock::now() > until) return launch(http_port_, https_port_, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool StoreServer::launch(int http_port, int https_port, bool report) {
  auto fail = [&](const std::string& why) {
    if (report) ADD_FAILURE() << "quillora-store: " << why;
    return false;
  };
  if (*store_binary == '\0') return fail("the test was built without the quillora-store target");

  std::vector<std::string> args = {store_binary,
                                   "--state-dir",
                                   state_dir_.path().string(),
                                   "--http-port",
                                   std::to_string(http_port),
                                   "--https-port",
                                   std::to_string(https_port)};
  if (!options_.catalogue.empty()) args.insert(args.end(), {"--catalogue", options_.catalogue.string()});
  if (options_.file_bytes_per_s > 0) {
    args.insert(args.end(), {"--file-rate", std::to_string(options_.file_bytes_per_s)});
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return fail("pipe failed");
  Fd out{pipe_fds[0]}, in{pipe_fds[1]};
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) return fail("fork failed");
  if (pid == 0) {
    // The store goes with the test process, also when that one dies without cleaning up.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(in.fd, STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in.fd);
  in.fd = -1;

  // Read the one line, with a deadline.
  std::string line;
  auto until = std::chrono::steady_clock::now() + start_deadline;
  while (line.find('\n') == std::string::npos) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd entry{.fd = out.fd, .events = POLLIN, .revents = 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[512];
    ssize_t n = ::read(out.fd, buffer, sizeof buffer);
    if (n <= 0) break;  // the store ended before it was ready
    line.append(buffer, static_cast<std::size_t>(n));
  }
  std::string http = json_field(line, "http_url"), https = json_field(line, "https_url");
  std::string ca = json_field(line, "ca_file");
  if (line.find('\n') == std::string::npos || http.empty() || https.empty() || ca.empty()) {
    ::kill(pid, SIGKILL);
    int status = 0;
    reap(pid, stop_deadline, status);
    return fail("no line of URLs came (got \"" + line + "\")");
  }
  pid_ = pid;
  http_url_ = http;
  https_url_ = https;
  ca_file_ = ca;
  http_port_ = port_of(http);
  https_port_ = port_of(https);
  return true;
}

bool StoreServer::stop() {
  if (!running()) return false;
  pid_t pid = pid_;
  pid_ = -1;
  ::kill(pid, SIGTERM);
  int status = 0;
  if (!reap(pid, stop_deadline, status)) {
    ADD_FAILURE() << "quillora-store did not stop within " << stop_deadline.count() << " s of SIGTERM";
    ::kill(pid, SIGKILL);
    reap(pid, stop_deadline, status);
    return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void StoreServer::kill() {
  if (!running()) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  reap(pid_, stop_deadline, status);
  pid_ = -1;
}

store::StoreEndpoints StoreServer::endpoints(std::string_view base_path) const {
  return {.http_base = http_url_ + std::string(base_path),
          .https_base = https_url_ + std::string(base_path),
          .ca_file = ca_file_,
          .local = true};
}

std::string StoreServer::plugin_file_bytes(std::string_view name, std::uint64_t size) {
  std::uint32_t hash = 2166136261u;  // FNV-1a, as the store derives the phase
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 16777619u;
  }
  std::uint64_t phase = hash % 251;
  std::string bytes(size, '\0');
  for (std::uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i + phase) % 251);
  return bytes;
}

std::filesystem::path StoreServer::sample_catalogue() {
  return std::filesystem::path(QUILLORA_SOURCE_DIR) / "devstore" / "catalogue.json";
}

}  // namespace quillora::test
