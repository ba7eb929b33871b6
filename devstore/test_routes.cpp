// Endpoints for the transport tests (any method, HTTP and HTTPS): they show the request as it came,
// answer with a chosen status, cookies, charset or bytes.
#include <cstdlib>

#include "listener.hpp"
#include "path_match.hpp"
#include "service.hpp"
#include "text_codec.hpp"

namespace quillora::devstore {
namespace {
constexpr std::uint64_t max_test_bytes = 64ull << 30;

Reply text_reply(std::string text) {
  return Reply{.content_type = "text/plain", .body = text_body(std::move(text))};
}
}  // namespace

std::optional<Reply> StoreService::test_endpoint(const httplib::Request& req, const std::string& path) {
  if (path == "/test/echo") {
    // "METHOD TARGET", the header lines as they came with the blank line, then the body.
    const std::string& head = current_connection().head;
    std::size_t line_end = head.find("\r\n");
    std::string request_line = head.substr(0, line_end);
    if (auto version = request_line.rfind(' '); version != std::string::npos) request_line.resize(version);
    std::string echo = request_line + "\r\n";
    if (line_end != std::string::npos) echo += head.substr(line_end + 2);
    echo += req.body;
    return text_reply(std::move(echo));
  }
  if (auto code = between(path, "/test/status/"); code && code->size() == 3 && whole_number(*code) > 99) {
    return html_reply(*whole_number(*code), "Status " + *code, "<h1>Status " + *code + "</h1>");
  }
  if (path == "/test/cookies") {
    Reply reply = text_reply("cookies");
    reply.headers = {{"set-cookie", "a=1; path=/"}, {"Set-Cookie", "b=2"}};
    return reply;
  }
  if (auto charset_name = between(path, "/test/charset/"); charset_name && !charset_name->empty()) {
    const std::string& charset = *charset_name;
    std::string page = "<html><head>";
    if (req.get_param_value("late") == "1") page += "<!--" + std::string(1093, 'x') + "-->";  // 1,100 bytes
    page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset +
            "\"><title>charset</title></head><body>中文测试</body></html>";
    auto encoded = from_utf8(page, charset.c_str());
    if (!encoded) return html_reply(400, "Unknown charset", "<p>Unknown charset.</p>");
    return Reply{.content_type = "text/html", .body = text_body(std::move(*encoded))};
  }
  if (path == "/test/zero") return text_reply(std::string("ab\0cd", 5));
  if (auto digits = between(path, "/test/bytes/");
      digits && !digits->empty() && digits->size() <= 20 &&
      digits->find_first_not_of("0123456789") == std::string::npos) {
    remember_head();
    std::uint64_t size = std::strtoull(digits->c_str(), nullptr, 10);
    if (size > max_test_bytes) return html_reply(400, "Too large", "<p>Too large.</p>");
    return Reply{.content_type = "application/octet-stream", .body = pattern_body(size, 0), .ranges = true};
  }
  if (path == "/test/last") {
    std::lock_guard lock(last_mutex_);
    return text_reply(last_head_);
  }
  return std::nullopt;
}

}  // namespace quillora::devstore
