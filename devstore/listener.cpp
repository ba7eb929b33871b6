#include "listener.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

namespace quillora::devstore {
namespace {
constexpr int read_timeout_ms = 10'000;
constexpr int send_timeout_s = 60;  // a client that reads nothing for this long is given up
constexpr int keep_alive_timeout_ms = 5'000;
constexpr int keep_alive_max_requests = 100;
constexpr size_t max_unread_body = 64u << 20;

thread_local Connection current;

bool wait_for(int fd, short events, int timeout_ms) {
  pollfd entry{.fd = fd, .events = events, .revents = 0};
  int ready = ::poll(&entry, 1, timeout_ms);
  return ready > 0;
}

std::string address_text(const sockaddr_storage& address, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    port = ntohs(v6->sin6_port);
  }
  return text;
}

struct SslFree {
  void operator()(SSL* ssl) const {
    SSL_shutdown(ssl);  // one-way close notify; the peer's answer is not waited for
    SSL_free(ssl);
  }
};

// A buffered stream over one socket, with or without TLS, that records the request head.
class SocketStream final : public httplib::Stream {
 public:
  SocketStream(int fd, SSL* ssl) : fd_(fd), ssl_(ssl), buffer_(64 * 1024) {}

  bool is_readable() const override { return buffered() > 0 || wait_for(fd_, POLLIN, read_timeout_ms); }
  bool is_writable() const override { return wait_for(fd_, POLLOUT, send_timeout_s * 1000); }

  ssize_t read(char* ptr, size_t size) override {
    if (size == 0) return 0;
    if (buffered() == 0 && fill() <= 0) return -1;
    size_t n = std::min(size, buffered());
    if (in_head_) {
      // Stop right after the blank line so that the recorded head holds no body bytes.
      size_t taken = 0;
      while (taken < n && in_head_) {
        head_ += buffer_[begin_ + taken];
        ++taken;
        if (head_.size() >= 4 && head_.compare(head_.size() - 4, 4, "\r\n\r\n") == 0) in_head_ = false;
        if (head_.size() >= 2 && head_ == "\r\n") head_.clear();  // stray blank line between requests
      }
      n = taken;
    }
    std::copy_n(buffer_.data() + begin_, n, ptr);
    begin_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (ssl_ != nullptr) {
      int n = SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1u << 30)));
      return n > 0 ? n : -1;
    }
    return ::send(fd_, ptr, size, MSG_NOSIGNAL);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      ip = address_text(address, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      ip = address_text(address, port);
  }
  socket_t socket() const override { return fd_; }

  void begin_request() {
    head_.clear();
    in_head_ = true;
  }
  const std::string& head() const { return head_; }

  // Waits for the next request of a kept-alive connection.
  template <class StopTest>
  bool wait_for_request(StopTest should_stop) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(keep_alive_timeout_ms);
    while (!should_stop()) {
      if (buffered() > 0 || (ssl_ != nullptr && SSL_pending(ssl_) > 0)) return true;
      if (wait_for(fd_, POLLIN, 100)) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
    }
    return false;
  }

 private:
  size_t buffered() const { return end_ - begin_; }

  ssize_t fill() {
    begin_ = end_ = 0;
    bool pending = ssl_ != nullptr && SSL_pending(ssl_) > 0;
    if (!pending && !wait_for(fd_, POLLIN, read_timeout_ms)) return -1;
    ssize_t n = ssl_ != nullptr ? SSL_read(ssl_, buffer_.data(), static_cast<int>(buffer_.size()))
                                : ::recv(fd_, buffer_.data(), buffer_.size(), 0);
    if (n > 0) end_ = static_cast<size_t>(n);
    return n;
  }

  int fd_;
  SSL* ssl_;
  std::vector<char> buffer_;
  size_t begin_ = 0, end_ = 0;
  std::string head_;
  bool in_head_ = false;
};

// Content-Length of a request, 0 when absent or unreadable.
size_t request_length(const httplib::Request& req) {
  std::string value = req.get_header_value("Content-Length");
  char* end = nullptr;
  unsigned long long length = std::strtoull(value.c_str(), &end, 10);
  return end != value.c_str() ? static_cast<size_t>(length) : 0;
}

bool body_read_by_httplib(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "PRI" || method == "DELETE";
}
}  // namespace

bool Connection::peer_gone() const {
  pollfd entry{.fd = fd, .events = POLLIN | POLLRDHUP, .revents = 0};
  if (::poll(&entry, 1, 0) <= 0) return false;
  if (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) return true;
  char byte;
  return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

Connection& current_connection() { return current; }

std::atomic<bool>& stopping() {
  static std::atomic<bool> flag{false};
  return flag;
}

Listener::Listener(SSL_CTX* tls) : tls_(tls) {
  // Every kept-alive connection holds a thread, and tests open several at once.
  new_task_queue = [] { return new httplib::ThreadPool(64); };
  set_keep_alive_max_count(keep_alive_max_requests);
  set_keep_alive_timeout(keep_alive_timeout_ms / 1000);
  // SO_REUSEADDR only: a restarted store takes its old ports back, and no two stores share one.
  set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
}

int Listener::bind_loopback(int port) {
  if (port == 0) {
    port = bind_to_any_port("127.0.0.1");
  } else if (!bind_to_port("127.0.0.1", port)) {
    port = -1;
  }
  // httplib listens with a backlog of 5, which drops connections that tests open all at once.
  if (port > 0) ::listen(svr_sock_, SOMAXCONN);
  return port;
}

bool Listener::shutting_down() const { return stopping().load() || svr_sock_ == INVALID_SOCKET; }

bool Listener::process_and_close_socket(socket_t sock) {
  int yes = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  timeval send_timeout{.tv_sec = send_timeout_s, .tv_usec = 0};
  setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout);
  timeval receive_timeout{.tv_sec = read_timeout_ms / 1000, .tv_usec = 0};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &receive_timeout, sizeof receive_timeout);

  std::unique_ptr<SSL, SslFree> ssl;
  bool ready = true;
  if (tls_ != nullptr) {
    ssl.reset(SSL_new(tls_));
    ready = ssl && SSL_set_fd(ssl.get(), sock) == 1 && SSL_accept(ssl.get()) == 1;
  }
  if (ready) {
    SocketStream stream(sock, ssl.get());
    for (int served = 0; served < keep_alive_max_requests; ++served) {
      if (!stream.wait_for_request([this] { return shutting_down(); })) break;
      stream.begin_request();
      current = Connection{.fd = sock, .tls = tls_ != nullptr, .head = {}, .close_after = false};
      bool closed = false;
      bool ok =
          process_request(stream, served + 1 == keep_alive_max_requests, closed, [&](httplib::Request& req) {
            current.head = stream.head();
            // Bodies go out as they are: no compression, whatever the client accepts.
            req.headers.erase("Accept-Encoding");
            // Ranges are answered by the handlers, which know which answers allow them.
            req.ranges.clear();
            // A POST without Content-Length has an empty body (httplib would refuse it with 400).
            if (body_read_by_httplib(req.method) && !req.has_header("Content-Length") &&
                !req.has_header("Transfer-Encoding")) {
              req.set_header("Content-Length", "0");
            }
            // httplib leaves the body of other methods unread, which would break the next request.
            size_t length = request_length(req);
            if (!body_read_by_httplib(req.method) && length > 0) {
              if (length > max_unread_body) {
                current.close_after = true;
                return;
              }
              req.body.resize(length);
              size_t got = 0;
              while (got < length) {
                ssize_t n = stream.read(req.body.data() + got, length - got);
                if (n <= 0) break;
                got += static_cast<size_t>(n);
              }
              req.body.resize(got);
              if (got < length) current.close_after = true;
            }
          });
      if (!ok || closed || current.close_after) break;
    }
  }
  ssl.reset();
  ::shutdown(sock, SHUT_WR);
  ::close(sock);
  return true;
}

}  // namespace quillora::devstore
