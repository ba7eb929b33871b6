#include "reply.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "listener.hpp"

namespace quillora::devstore {
namespace {
constexpr std::size_t piece_size = 1u << 20;  // large writes keep a 1 GiB transfer at loopback speed
constexpr std::size_t drip_piece = 4096;
constexpr auto drip_interval = std::chrono::milliseconds(20);
constexpr auto hang_limit = std::chrono::minutes(10);

class TextBody final : public Body {
 public:
  explicit TextBody(std::string text) : text_(std::move(text)) {}
  std::uint64_t size() const override { return text_.size(); }
  std::string_view piece(std::uint64_t offset, std::size_t max) const override {
    return std::string_view(text_).substr(offset, max);
  }

 private:
  std::string text_;
};

// A unit repeated without end; pieces are views into one shared buffer of whole repetitions.
class CyclicBody final : public Body {
 public:
  CyclicBody(const std::string& buffer, std::size_t unit, std::uint64_t size, std::uint64_t phase)
      : buffer_(buffer), unit_(unit), size_(size), phase_(phase) {}
  std::uint64_t size() const override { return size_; }
  std::string_view piece(std::uint64_t offset, std::size_t max) const override {
    if (offset >= size_) return {};
    std::size_t start = static_cast<std::size_t>((offset + phase_) % unit_);
    std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>({max, piece_size, size_ - offset}));
    return std::string_view(buffer_).substr(start, length);
  }

 private:
  const std::string& buffer_;
  std::size_t unit_;
  std::uint64_t size_, phase_;
};

std::string repeated(const std::string& unit) {
  std::string buffer;
  buffer.reserve(piece_size + unit.size());
  while (buffer.size() < piece_size + unit.size()) buffer += unit;
  return buffer;
}

const std::string& pattern_buffer() {
  static const std::string buffer = [] {
    std::string unit(251, '\0');
    for (std::size_t i = 0; i < unit.size(); ++i) unit[i] = static_cast<char>(i);
    return repeated(unit);
  }();
  return buffer;
}

const std::string huge_unit =
    R"({"plugin_id":"1","plugin_name":"\u5927\u6587\u4ef6","nick_name":"x","down_count":"1","detail":"aaaaaaaa"},)";

const std::string& huge_buffer() {
  static const std::string buffer = repeated(huge_unit);
  return buffer;
}

struct ByteRange {
  std::uint64_t first = 0, count = 0;
};

// The single range of a "Range: bytes=..." header against a body of size bytes. nullopt: no usable
// range header (the whole body is sent); a count of 0 with first == size: not satisfiable.
std::optional<ByteRange> requested_range(const httplib::Request& req, std::uint64_t size,
                                         bool& unsatisfiable) {
  unsatisfiable = false;
  std::string value = req.get_header_value("Range");
  if (value.rfind("bytes=", 0) != 0 || value.find(',') != std::string::npos) return std::nullopt;
  std::string bounds = value.substr(6);
  std::size_t dash = bounds.find('-');
  if (dash == std::string::npos) return std::nullopt;
  std::string from = bounds.substr(0, dash), to = bounds.substr(dash + 1);
  auto number = [](const std::string& text, std::uint64_t& out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::strtoull(text.c_str(), nullptr, 10);
    return true;
  };
  std::uint64_t a = 0, b = 0;
  if (from.empty()) {  // the last b bytes
    if (!number(to, b)) return std::nullopt;
    if (b == 0 || size == 0) {
      unsatisfiable = true;
      return std::nullopt;
    }
    b = std::min(b, size);
    return ByteRange{size - b, b};
  }
  if (!number(from, a)) return std::nullopt;
  if (!to.empty() && (!number(to, b) || b < a)) return std::nullopt;
  if (a >= size) {
    unsatisfiable = true;
    return std::nullopt;
  }
  std::uint64_t last = to.empty() ? size - 1 : std::min(b, size - 1);
  return ByteRange{a, last - a + 1};
}

// Waits while the client keeps the connection open; false when the wait should end.
bool pause(std::chrono::steady_clock::duration interval) {
  auto until = std::chrono::steady_clock::now() + interval;
  while (std::chrono::steady_clock::now() < until) {
    if (stopping() || current_connection().peer_gone()) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        until - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
  }
  return true;
}
}  // namespace

std::shared_ptr<const Body> text_body(std::string text) {
  return std::make_shared<TextBody>(std::move(text));
}

std::shared_ptr<const Body> pattern_body(std::uint64_t size, unsigned phase) {
  return std::make_shared<CyclicBody>(pattern_buffer(), 251, size, phase % 251);
}

std::shared_ptr<const Body> huge_json_body(std::uint64_t size) {
  return std::make_shared<CyclicBody>(huge_buffer(), huge_unit.size(), size, 0);
}

Reply html_reply(int status, std::string_view title, std::string_view body_html) {
  std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>";
  page.append(title);
  page += "</title></head>\n<body>\n";
  page.append(body_html);
  page += "\n</body></html>\n";
  return Reply{.status = status, .body = text_body(std::move(page))};
}

Reply json_reply(std::string text) { return Reply{.body = text_body(std::move(text))}; }

void send_reply(const httplib::Request& req, httplib::Response& res, Reply reply, const Delivery& delivery) {
  std::shared_ptr<const Body> body = reply.body ? reply.body : text_body({});
  res.status = reply.status;
  for (auto& [name, value] : reply.headers) res.set_header(name, value);
  std::uint64_t first = 0, count = body->size();
  if (reply.ranges) {
    res.set_header("Accept-Ranges", "bytes");
    bool unsatisfiable = false;
    if (auto range = requested_range(req, body->size(), unsatisfiable)) {
      first = range->first;
      count = delivery.short_range ? (range->count + 1) / 2 : range->count;
      res.status = 206;
      res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                          std::to_string(first + count - 1) + "/" +
                                          std::to_string(body->size()));
    } else if (unsatisfiable) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(body->size()));
      first = count = 0;
    }
  }

  // Bytes sent before the connection is dropped on purpose, and the pace of the pieces.
  std::uint64_t limit = delivery.cut ? count / 2 : count;
  std::size_t piece = piece_size;
  std::chrono::steady_clock::duration interval{};
  if (delivery.drip) {
    piece = drip_piece;
    interval = drip_interval;
  } else if (reply.bytes_per_s > 0) {
    piece = static_cast<std::size_t>(std::max<std::uint64_t>(1, reply.bytes_per_s / 50));
    interval = std::chrono::milliseconds(20);
  }
  bool hang = delivery.hang;
  auto write = [body, first, count, limit, piece, interval, hang](std::size_t offset,
                                                                  httplib::DataSink& sink) {
    if (hang) {
      pause(hang_limit);
      return false;
    }
    if (offset >= limit) return false;  // cut: the rest never comes
    std::string_view bytes =
        body->piece(first + offset, static_cast<std::size_t>(std::min<std::uint64_t>(piece, limit - offset)));
    if (bytes.empty() || !sink.write(bytes.data(), bytes.size())) return false;
    if (interval.count() > 0 && offset + bytes.size() < count && !pause(interval)) return false;
    return true;
  };

  if (delivery.nolength) {
    current_connection().close_after = true;
    res.set_header("Connection", "close");
    res.set_content_provider(reply.content_type, [write, count](std::size_t offset, httplib::DataSink& sink) {
      if (offset >= count) {
        sink.done();
        return true;
      }
      return write(offset, sink);
    });
    return;
  }
  if (count == 0 && !hang) {
    res.set_content(std::string(), reply.content_type);
    return;
  }
  res.set_content_provider(
      static_cast<std::size_t>(count), reply.content_type,
      [write](std::size_t offset, std::size_t, httplib::DataSink& sink) { return write(offset, sink); });
}

}  // namespace quillora::devstore
