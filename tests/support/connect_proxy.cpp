#include "support/connect_proxy.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <string_view>

namespace quillora::test {
namespace {

constexpr int kPollMs = 50;  // how soon a stopping proxy notices

bool send_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

int connect_loopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The port of "CONNECT 127.0.0.1:PORT HTTP/1.1", or 0 for any other request line.
int tunnel_port(std::string_view head) {
  for (std::string_view host : {"CONNECT 127.0.0.1:", "CONNECT localhost:"}) {
    if (!head.starts_with(host)) continue;
    head.remove_prefix(host.size());
    int port = 0;
    const auto [end, error] = std::from_chars(head.data(), head.data() + head.size(), port);
    return error == std::errc() && end != head.data() && *end == ' ' && port > 0 && port < 65536 ? port : 0;
  }
  return 0;
}

}  // namespace

ConnectProxy::ConnectProxy() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return;
  }
  listener_ = fd;
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

ConnectProxy::~ConnectProxy() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (auto& thread : tunnel_threads_) thread.join();
  if (listener_ >= 0) ::close(listener_);
}

void ConnectProxy::accept_loop() {
  while (!stopping_) {
    pollfd waiting{.fd = listener_, .events = POLLIN, .revents = 0};
    if (::poll(&waiting, 1, kPollMs) <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) tunnel_threads_.emplace_back([this, client] { tunnel(client); });
  }
}

void ConnectProxy::tunnel(int client) {
  // The request head, up to its blank line; the client sends nothing more before the answer.
  std::string head;
  char buffer[16384];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 8192 && !stopping_) {
    pollfd waiting{.fd = client, .events = POLLIN, .revents = 0};
    if (::poll(&waiting, 1, kPollMs) <= 0) continue;
    const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    head.append(buffer, static_cast<std::size_t>(got));
  }
  const int port = tunnel_port(head);
  const int server = port > 0 ? connect_loopback(port) : -1;
  if (server < 0) {
    send_all(client, "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    ::close(client);
    return;
  }
  ++tunnels_;
  bool open = send_all(client, "HTTP/1.1 200 Connection established\r\nProxy-Agent: test\r\n\r\n");
  while (open && !stopping_) {
    pollfd ends[2] = {{.fd = client, .events = POLLIN, .revents = 0},
                      {.fd = server, .events = POLLIN, .revents = 0}};
    if (::poll(ends, 2, kPollMs) <= 0) continue;
    for (int i = 0; i < 2 && open; ++i) {
      if (ends[i].revents == 0) continue;
      const ssize_t got = ::recv(ends[i].fd, buffer, sizeof buffer, 0);
      open = got > 0 && send_all(ends[1 - i].fd, std::string_view(buffer, static_cast<std::size_t>(got)));
    }
  }
  ::close(server);
  ::close(client);
}

}  // namespace quillora::test
