#pragma once
// One listening port of the store (plain HTTP or TLS) on cpp-httplib. Connections are served by our
// own stream so that the handlers can see the request head exactly as it came and the socket itself
// (fault answers need both).
#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <string>

namespace quillora::devstore {

// The connection of the request being served. httplib serves a connection on one thread from the
// request line to the last byte of the response, so this is thread-local.
struct Connection {
  int fd = -1;
  bool tls = false;
  std::string head;          // request line and header lines as received, ending with the blank line
  bool close_after = false;  // the response is delimited by closing the connection

  // True once the peer has closed its side or the socket failed.
  bool peer_gone() const;
};
Connection& current_connection();

// Set when the server is asked to stop; long answers (drip, hang) give up when they see it.
std::atomic<bool>& stopping();

class Listener : public httplib::Server {
 public:
  // tls == nullptr: plain HTTP. The context is borrowed and must outlive the listener.
  explicit Listener(SSL_CTX* tls);

  // Binds to 127.0.0.1:port (0: a free port) with a backlog fit for bursts of connections; the port
  // bound, or -1.
  int bind_loopback(int port);

 private:
  bool process_and_close_socket(socket_t sock) override;
  bool shutting_down() const;

  SSL_CTX* tls_;
};

}  // namespace quillora::devstore
