#pragma once
// One synchronous HTTP or HTTPS request on the calling thread (libcurl easy interface). Every call
// builds and frees its own handle; nothing survives between calls.
#include <cstddef>
#include <optional>
#include <string>

namespace quillora::net {

enum class Method : int { get = 0, post = 1, head = 2, put = 3 };

struct WebRequestArgs {
  std::string url;
  int method = 0;  // 0 GET, 1 POST, 2 HEAD, 3 PUT, anything else GET
  std::string body;
  std::optional<std::string> cookies;  // the cookie jar; absent means no cookie handling at all
  std::string extra_headers;           // CR LF separated, no final CR LF
  bool no_redirect = false;
  std::string user, password;
  std::string proxy, proxy_user, proxy_password;  // empty proxy: none, whatever the environment says
  int timeout = 0;                                // seconds; below 1 means 30
  // The CA bundle that the peer must chain to, in place of the system's (the store's own certificate
  // authority); empty: the system's. Certificate checks stay on either way.
  std::string ca_file;
  // A reply body larger than this fails (713, empty result) instead of filling memory; 0: no limit.
  // Store replies are a few hundred KiB at most.
  std::size_t max_body = 16 * 1024 * 1024;
};

struct WebResponse {
  std::string text;  // the body as GBK text; empty on failure (but a failed read keeps what came)
  std::optional<std::string> cookies;  // the merged jar, when a jar was given
  std::string received_cookies;
  std::string response_headers;
  std::string location;
  std::string message;  // "7xx ..." failure text, or the status text ("200 OK")
  std::string raw_body;
  long status = 0;  // the final response's status code, 0 when none arrived
};

WebResponse web_request(const WebRequestArgs& args);
inline std::string web_get(const std::string& url, const std::string& ca_file = {}) {
  return web_request({.url = url, .ca_file = ca_file}).text;
}

// Merges received cookies into the jar: both lose their blanks in place, then the jar becomes the
// merged jar, which is also returned.
std::string merge_cookies(std::string& jar, std::string& received);

// With true, every request in flight fails within about a second and every later one at once: the
// window program calls it when its window has closed, so that a store that never finishes a reply
// cannot keep the ending process alive. False lets requests run again.
void abandon_requests(bool abandon = true);

// Loads libcurl and runs its global set-up, once, whichever thread comes first (see
// curl_library.hpp): every request and every download calls it before it touches libcurl, so no
// caller has to. The window program calls it on a thread of its own at start-up, so that the loading
// overlaps the building of the window. False when libcurl cannot be loaded or set up.
bool init_transport();

}  // namespace quillora::net
