#include "net/response_headers.hpp"

#include "util/events.hpp"
#include "util/text.hpp"

namespace quillora::net {
namespace {

constexpr std::string_view kSetCookie = "Set-Cookie";

// Status lines are "HTTP/1.1 " and then the text; requests are made as HTTP/1.1 so that this holds.
std::string status_text(const std::string& block) {
  if (block.size() < 10) return {};
  const std::size_t end = util::find_text(block, "\r\n", 10);
  return end == 0 ? std::string() : block.substr(9, end - 10);
}

std::string cookie_of_line(const std::string& line) {
  if (util::find_text(line, ";") != 0) return util::text_between(line, "Set-Cookie:", ";");
  std::string cookie = line;
  for (std::size_t at = util::find_text(cookie, "Set-Cookie:", 1, true); at != 0;
       at = util::find_text(cookie, "Set-Cookie:", at, true)) {
    cookie.erase(at - 1, 11);
  }
  return cookie;
}

}  // namespace

void process_response_headers(const std::string& block, bool keep_message, WebResponse& response) {
  std::string headers = block;
  if (!keep_message) response.message = status_text(headers);
  for (std::size_t at = util::find_text(headers, kSetCookie, 1, true); at != 0;
       at = util::find_text(headers, kSetCookie, at + kSetCookie.size(), true)) {
    headers.replace(at - 1, kSetCookie.size(), kSetCookie);
  }
  response.response_headers = headers;

  std::string received = response.received_cookies;
  for (const std::string& line : util::split_text(headers, "\r\n")) {
    if (util::find_text(line, kSetCookie) != 0) {
      received += util::trim_blanks(cookie_of_line(line));
      received += "; ";
    }
    if (line.size() >= 10 && util::find_text(line.substr(0, 10), "Location: ", 1, true) == 1) {
      response.location = line.substr(10);
    }
    util::process_pending_events();
  }
  received.resize(received.size() > 2 ? received.size() - 2 : 0);
  response.received_cookies = received;
}

}  // namespace quillora::net
