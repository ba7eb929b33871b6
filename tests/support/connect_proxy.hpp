#pragma once
// An HTTP proxy on 127.0.0.1 that tunnels HTTPS the way an office proxy does: it answers CONNECT
// with "HTTP/1.1 200 Connection established" and then passes bytes both ways until either side
// closes. It tunnels only to ports on 127.0.0.1 and answers anything else with 403.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace quillora::test {

class ConnectProxy {
 public:
  ConnectProxy();   // listening on a free port when listening() is true
  ~ConnectProxy();  // stops accepting and ends every tunnel
  ConnectProxy(const ConnectProxy&) = delete;
  ConnectProxy& operator=(const ConnectProxy&) = delete;

  bool listening() const { return listener_ >= 0; }
  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int tunnels() const { return tunnels_.load(); }  // CONNECT requests answered with 200

 private:
  void accept_loop();
  void tunnel(int client);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> tunnels_{0};
  std::vector<std::thread> tunnel_threads_;  // touched by the accepting thread only, then joined
  std::thread acceptor_;
};

}  // namespace quillora::test
