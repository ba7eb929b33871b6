#pragma once
// A reply of the store before it goes out, and the way it goes out: whole, as a byte range, or
// spoiled on purpose by the fault switches of the request's path prefix.
#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::devstore {

// A body that can be sent in pieces without ever being whole in memory.
class Body {
 public:
  virtual ~Body() = default;
  virtual std::uint64_t size() const = 0;
  // Bytes from offset on, at most max of them and at least one while offset < size().
  virtual std::string_view piece(std::uint64_t offset, std::size_t max) const = 0;
};

std::shared_ptr<const Body> text_body(std::string text);
// size bytes, byte i being (i + phase) % 251: a pattern that a reader can check anywhere.
std::shared_ptr<const Body> pattern_body(std::uint64_t size, unsigned phase);
// size bytes of repeated plugin objects, for a reply too large to hold.
std::shared_ptr<const Body> huge_json_body(std::uint64_t size);

struct Reply {
  int status = 200;
  std::string content_type = "text/html; charset=UTF-8";
  std::vector<std::pair<std::string, std::string>> headers;
  std::shared_ptr<const Body> body;
  bool ranges = false;            // a Range request is answered 206 with Content-Range
  std::uint64_t bytes_per_s = 0;  // paced delivery; 0: as fast as the connection goes
};

Reply html_reply(int status, std::string_view title, std::string_view body_html);
Reply json_reply(std::string text);

// How the body is spoiled on its way out (the delivery faults).
struct Delivery {
  bool cut = false;          // Content-Length of the whole, connection closed after half
  bool nolength = false;     // no Content-Length; the body ends with the connection
  bool drip = false;         // 4 KiB every 20 ms
  bool hang = false;         // headers, then nothing until the client gives up
  bool short_range = false;  // a range request is answered 206 with the first half of the range only
};

void send_reply(const httplib::Request& req, httplib::Response& res, Reply reply, const Delivery& delivery);

}  // namespace quillora::devstore
