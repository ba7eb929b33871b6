#pragma once
// Helpers of the transport tests: the local store shared by a suite, the bytes that /test/bytes
// serves, a parsed /test/echo reply, loopback ports where nobody answers.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/store_fixture.hpp"

namespace quillora::test {

// The body of /test/bytes/<n> from byte `from` up to byte `to`: byte i is i % 251.
inline std::string pattern_bytes(std::int64_t from, std::int64_t to) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(to - from));
  for (std::int64_t i = from; i < to; ++i) bytes.push_back(static_cast<char>(i % 251));
  return bytes;
}

// Byte strings compared without printing megabytes: sizes and the first difference.
inline ::testing::AssertionResult same_bytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  return ::testing::AssertionFailure()
         << got.size() << " bytes where " << want.size() << " were expected, first difference at byte " << at;
}

inline std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What /test/echo saw: "METHOD TARGET", the header lines as received, the body bytes.
struct Echo {
  std::string request_line;
  std::vector<std::string> headers;
  std::string body;

  explicit Echo(const std::string& reply) {
    const std::size_t end = reply.find("\r\n\r\n");
    const std::string head = reply.substr(0, end);
    body = end == std::string::npos ? std::string() : reply.substr(end + 4);
    std::size_t start = 0;
    for (std::size_t next; (next = head.find("\r\n", start)) != std::string::npos; start = next + 2) {
      (start == 0 ? request_line : headers.emplace_back()) = head.substr(start, next - start);
    }
    (start == 0 ? request_line : headers.emplace_back()) = head.substr(start);
  }

  // Values of every header line with this name (any case), in order.
  std::vector<std::string> values(std::string_view name) const {
    std::vector<std::string> found;
    for (const std::string& line : headers) {
      if (line.size() <= name.size() || line[name.size()] != ':') continue;
      bool same = true;
      for (std::size_t i = 0; i < name.size(); ++i) {
        same = same && std::tolower(static_cast<unsigned char>(line[i])) ==
                           std::tolower(static_cast<unsigned char>(name[i]));
      }
      if (!same) continue;
      const std::size_t value = line.find_first_not_of(' ', name.size() + 1);
      found.push_back(value == std::string::npos ? std::string() : line.substr(value));
    }
    return found;
  }
};

// Environment variables set (or, with nullptr, removed) for the life of the object, then restored.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A loopback socket held open for the life of the object.
class Socket {
 public:
  // listening: the kernel completes connections (backlog) but nobody ever reads or answers.
  explicit Socket(bool listening) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
    if (listening) ::listen(fd_, 8);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~Socket() { ::close(fd_); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

// A loopback port that refuses connections: bound, never listening.
inline std::string refusing_base_url(const Socket& bound) {
  return "http://127.0.0.1:" + std::to_string(bound.port());
}

}  // namespace quillora::test
