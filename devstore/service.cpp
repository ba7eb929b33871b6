#include "service.hpp"

#include "listener.hpp"

namespace quillora::devstore {
namespace {
constexpr std::uint64_t huge_size = 200ull << 20;

// Broken on purpose: a PHP warning and a cut-off array, with none of the reply markers in it.
constexpr const char* bad_json =
    "<br />\n<b>Warning</b>:  mysql_fetch_assoc() expects parameter 1 to be resource<br />\n"
    "[{\"plugin_name\":\"\\u574f\" \"nick_name\":,";

// A refusal whose message would retitle a terminal, clear it and turn its text red, were it obeyed.
constexpr const char* escapes_json =
    "{\"error\":1,\"content\":\"\\u001b]0;PWNED\\u0007\\u001b[2J\\u001b[31m\\u5931\\u8d25\"}";

bool take_fault(const std::string& name, Faults& faults) {
  if (name == "cut") return faults.delivery.cut = true;
  if (name == "nolength") return faults.delivery.nolength = true;
  if (name == "drip") return faults.delivery.drip = true;
  if (name == "hang") return faults.delivery.hang = true;
  if (name == "shortrange") return faults.delivery.short_range = true;
  if (name == "500") return faults.status500 = true;
  if (name == "redirect") return faults.redirect = true;
  if (name == "badjson") return faults.badjson = true;
  if (name == "escapes") return faults.escapes = true;
  if (name == "huge") return faults.huge = true;
  if (name == "big") return faults.big = true;
  return false;
}
}  // namespace

unsigned file_phase(std::string_view name) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash % 251;
}

StoreService::StoreService(Catalogue& catalogue, ServiceOptions options)
    : catalogue_(catalogue), options_(std::move(options)) {}

std::string StoreService::base_url(const httplib::Request& req, const std::string& prefix) const {
  std::string host = req.get_header_value("Host");
  if (host.empty()) host = "127.0.0.1:" + std::to_string(req.local_port);
  return (current_connection().tls ? "https://" : "http://") + host + prefix;
}

void StoreService::remember_head() {
  std::lock_guard lock(last_mutex_);
  last_head_ = current_connection().head;
}

void StoreService::handle(const httplib::Request& req, httplib::Response& res) {
  Faults faults;
  std::string path = req.path;
  while (path.rfind("/fault/", 0) == 0) {
    std::size_t end = path.find('/', 7);
    if (!take_fault(path.substr(7, end == std::string::npos ? std::string::npos : end - 7), faults)) break;
    faults.prefix += path.substr(0, end);
    path = end == std::string::npos ? "/" : path.substr(end);
  }

  if (faults.status500) {
    Reply reply = html_reply(500, "500 Internal Server Error",
                             "<h1>500 Internal Server Error</h1>\n<p>The store could not answer.</p>");
    return send_reply(req, res, std::move(reply), faults.delivery);
  }
  if (faults.redirect) {
    // Built from the decoded path: a client that percent-encodes every byte of its path (the
    // downloader does) must still be sent somewhere else, not back to the same URL.
    std::string target = faults.prefix;
    if (auto at = target.find("/fault/redirect"); at != std::string::npos) target.erase(at, 15);
    target += path;
    if (auto query = req.target.find('?'); query != std::string::npos) target += req.target.substr(query);
    Reply reply = html_reply(302, "302 Found", "<p>Moved.</p>");
    reply.headers.emplace_back("Location", target);
    return send_reply(req, res, std::move(reply), faults.delivery);
  }
  if (faults.badjson) return send_reply(req, res, json_reply(bad_json), faults.delivery);
  if (faults.escapes) return send_reply(req, res, json_reply(escapes_json), faults.delivery);
  if (faults.huge) {
    return send_reply(req, res, Reply{.body = huge_json_body(huge_size)}, faults.delivery);
  }
  send_reply(req, res, route(req, path, faults), faults.delivery);
}

Reply StoreService::route(const httplib::Request& req, const std::string& path, const Faults& faults) {
  if (auto reply = store_api(req, path, faults)) return std::move(*reply);
  if (auto reply = plugin_file(path)) return std::move(*reply);
  if (auto reply = test_endpoint(req, path)) return std::move(*reply);
  if (auto reply = web_page(path)) return std::move(*reply);
  return html_reply(404, "404 Not Found", "<h1>404 Not Found</h1>");
}

std::optional<Reply> StoreService::plugin_file(const std::string& path) {
  if (path.rfind("/files/", 0) != 0) return std::nullopt;
  remember_head();
  std::string name = path.substr(7);
  auto plugin = catalogue_.find_file(name);
  if (!plugin) return html_reply(404, "404 Not Found", "<h1>404 Not Found</h1>");
  return Reply{.content_type = "application/octet-stream",
               .body = pattern_body(plugin->file_size, file_phase(name)),
               .ranges = true,
               .bytes_per_s = options_.file_bytes_per_s};
}

}  // namespace quillora::devstore
