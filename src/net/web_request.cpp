#include "net/web_request.hpp"

#include <atomic>
#include <string_view>

#include "net/curl_handles.hpp"
#include "net/request_headers.hpp"
#include "net/response_headers.hpp"
#include "util/events.hpp"
#include "util/gbk.hpp"
#include "util/regex_matcher.hpp"
#include "util/text.hpp"

namespace quillora::net {
namespace {

using namespace util::literals;

std::atomic<bool> requests_abandoned{false};

// libcurl calls this about once a second even while nothing arrives.
int check_abandoned(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return requests_abandoned.load() ? 1 : 0;
}

std::string failure_text(int code) {
  switch (code) {
    case 700:
      return "700 当前系统不支持WinHttp服务!"_gbk;
    case 701:
      return "701 解析URL地址失败!"_gbk;
    case 702:
      return "702 创建WinHttp会话失败!"_gbk;
    case 703:
      return "703 创建WinHttp连接失败!"_gbk;
    case 704:
      return "704 创建WinHttp请求失败!"_gbk;
    case 705:
      return "705 设置超时时间失败!"_gbk;
    case 707:
      return "707 设置代理凭证失败!"_gbk;
    case 708:
      return "708 禁止自动设置Cookies失败!"_gbk;
    case 709:
      return "709 重定向设置失败!"_gbk;
    case 710:
      return "710 设置协议头失败!"_gbk;
    case 711:
      return "711 发送请求失败!"_gbk;
    case 712:
      return "712 服务器未响应!"_gbk;
    default:
      return "713 读取数据失败!"_gbk;
  }
}

std::string url_part(CURLU* url, CURLUPart part) {
  const CurlLibrary& curl = libcurl();
  char* text = nullptr;
  if (curl.url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) return {};
  std::string copy(text);
  curl.free(text);
  return copy;
}

// The URL as it goes on the wire: any scheme but https becomes http, credentials and fragment are
// dropped, and after an empty path ("http://host?x") the query goes too, so the target is "/" alone.
// Empty when the URL cannot be split.
std::string wire_url(const std::string& url) {
  const CurlLibrary& curl = libcurl();
  if (url.empty()) return {};
  UrlHandle parsed(curl.url());
  if (!parsed ||
      curl.url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return {};
  }
  if (url_part(parsed.get(), CURLUPART_SCHEME) != "https" &&
      curl.url_set(parsed.get(), CURLUPART_SCHEME, "http", 0) != CURLUE_OK) {
    return {};
  }
  curl.url_set(parsed.get(), CURLUPART_USER, nullptr, 0);
  curl.url_set(parsed.get(), CURLUPART_PASSWORD, nullptr, 0);
  curl.url_set(parsed.get(), CURLUPART_OPTIONS, nullptr, 0);
  curl.url_set(parsed.get(), CURLUPART_FRAGMENT, nullptr, 0);
  const std::size_t scheme_end = url.find("://");
  const std::size_t path_start =
      scheme_end == std::string::npos ? std::string::npos : url.find_first_of("/?#", scheme_end + 3);
  if (path_start != std::string::npos && url[path_start] != '/') {
    curl.url_set(parsed.get(), CURLUPART_QUERY, nullptr, 0);
  }
  return url_part(parsed.get(), CURLUPART_URL);
}

// What libcurl delivered: the header block and body of the latest response (a redirection or a
// "100 Continue" starts them afresh).
struct Exchange {
  std::string headers;
  bool headers_done = false;
  std::string body;
  std::size_t max_body = 0;
  bool too_large = false;
};

std::size_t take_header(char* data, std::size_t size, std::size_t count, void* exchange_ptr) {
  auto& exchange = *static_cast<Exchange*>(exchange_ptr);
  std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    exchange.headers.clear();
    exchange.body.clear();
    exchange.headers_done = false;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  exchange.headers.append(line);
  exchange.headers.append("\r\n");
  if (line.empty()) exchange.headers_done = true;
  return size * count;
}

std::size_t take_body(char* data, std::size_t size, std::size_t count, void* exchange_ptr) {
  auto& exchange = *static_cast<Exchange*>(exchange_ptr);
  if (exchange.max_body != 0 && exchange.body.size() + size * count > exchange.max_body) {
    exchange.too_large = true;
    return 0;  // libcurl ends the transfer
  }
  exchange.body.append(data, size * count);
  return size * count;
}

// 711: the request never got out (name, connection, TLS, certificate, sending); 712: it went out
// but no response came; 713: the response began and its body broke off.
int failure_code(CURLcode result, CURL* handle, const Exchange& exchange) {
  switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_SEND_FAIL_REWIND:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_LOGIN_DENIED:
      return 711;
    default:
      break;
  }
  if (exchange.headers_done) return 713;
  if (result == CURLE_OPERATION_TIMEDOUT) {
    curl_off_t ready_to_send = 0;
    libcurl().easy_getinfo(handle, CURLINFO_PRETRANSFER_TIME_T, &ready_to_send);
    if (ready_to_send == 0) return 711;
  }
  return 712;
}

// The body as text: up to its first zero byte, or converted from a charset named in a meta tag in
// its first 1024 bytes.
std::string decode_body(const std::string& raw) {
  std::string text = raw.substr(0, raw.find('\0'));
  util::RegexMatcher matcher;
  std::string charset;
  if (matcher.search("<meta.+?charset=[^\\w]?([-\\w]+)", std::string_view(text).substr(0, 1024))) {
    charset = matcher.submatch_text(1, 1);
  }
  if (!charset.empty() && charset != "gbk" && charset != "gb2312") {
    text = util::charset_to_gbk(raw, charset);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
  }
  util::process_pending_events();
  return text;
}

const char* verb_of(int method) {
  switch (method) {
    case 1:
      return "POST";
    case 2:
      return "HEAD";
    case 3:
      return "PUT";
    default:
      return "GET";
  }
}

// Sets up the handle in the order of the numbered steps; returns 0 or the failure code of the
// step whose setting libcurl refused.
int configure(CURL* h, const WebRequestArgs& args, const std::string& url, const HeaderList& headers) {
  const CurlLibrary& curl = libcurl();
  const bool ok_url = curl.easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
                      curl.easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  if (!ok_url) return 703;
  // An empty proxy means none at all: "" also keeps libcurl from reading the proxy environment.
  const std::string proxy = args.proxy.empty() ? std::string() : "http://" + args.proxy;
  if (curl.easy_setopt(h, CURLOPT_PROXY, proxy.c_str()) != CURLE_OK ||
      curl.easy_setopt(h, CURLOPT_NOPROXY, "") != CURLE_OK) {
    return 702;
  }
  const std::string verb = verb_of(args.method);
  bool ok_request = curl.easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
                    curl.easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
                    curl.easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
                    curl.easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  if (!args.ca_file.empty()) {
    ok_request = ok_request && curl.easy_setopt(h, CURLOPT_CAINFO, args.ca_file.c_str()) == CURLE_OK;
  }
  if (verb == "HEAD") {
    ok_request = ok_request && curl.easy_setopt(h, CURLOPT_NOBODY, 1L) == CURLE_OK;
  } else if (!args.body.empty() || verb != "GET") {
    // The body goes out as it is, for any method, with its byte count as Content-Length.
    ok_request =
        ok_request &&
        curl.easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(args.body.size())) ==
            CURLE_OK &&
        curl.easy_setopt(h, CURLOPT_POSTFIELDS, args.body.data()) == CURLE_OK &&
        curl.easy_setopt(h, CURLOPT_CUSTOMREQUEST, verb == "POST" ? nullptr : verb.c_str()) == CURLE_OK;
  }
  if (!ok_request) return 704;
  // One limit for every phase: resolving and connecting, then no byte moving either way.
  const long seconds = args.timeout >= 1 ? args.timeout : 30;
  if (curl.easy_setopt(h, CURLOPT_CONNECTTIMEOUT, seconds) != CURLE_OK ||
      curl.easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) != CURLE_OK ||
      curl.easy_setopt(h, CURLOPT_LOW_SPEED_TIME, seconds) != CURLE_OK) {
    return 705;
  }
  if (!args.user.empty() && !args.password.empty()) {
    if (curl.easy_setopt(h, CURLOPT_HTTPAUTH, CURLAUTH_BASIC) != CURLE_OK ||
        curl.easy_setopt(h, CURLOPT_USERNAME, args.user.c_str()) != CURLE_OK ||
        curl.easy_setopt(h, CURLOPT_PASSWORD, args.password.c_str()) != CURLE_OK) {
      return 707;
    }
  }
  if (!args.proxy_user.empty() && !args.proxy_password.empty()) {
    if (curl.easy_setopt(h, CURLOPT_PROXYAUTH, CURLAUTH_BASIC) != CURLE_OK ||
        curl.easy_setopt(h, CURLOPT_PROXYUSERNAME, args.proxy_user.c_str()) != CURLE_OK ||
        curl.easy_setopt(h, CURLOPT_PROXYPASSWORD, args.proxy_password.c_str()) != CURLE_OK) {
      return 707;
    }
  }
  // With a jar the transport keeps cookies across the redirections of this one request; without one
  // its cookie engine stays off, which is libcurl's default.
  if (args.cookies && curl.easy_setopt(h, CURLOPT_COOKIEFILE, "") != CURLE_OK) return 708;
  if (curl.easy_setopt(h, CURLOPT_FOLLOWLOCATION, args.no_redirect ? 0L : 1L) != CURLE_OK ||
      curl.easy_setopt(h, CURLOPT_MAXREDIRS, 10L) != CURLE_OK ||
      curl.easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") != CURLE_OK) {
    return 709;
  }
  if (curl.easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) != CURLE_OK) return 710;
  return 0;
}

}  // namespace

void abandon_requests(bool abandon) { requests_abandoned = abandon; }

WebResponse web_request(const WebRequestArgs& args) {
  WebResponse response;
  response.cookies = args.cookies;
  const auto fail = [&response](int code) {
    response.message = failure_text(code);
    util::process_pending_events();
    return response;
  };

  if (requests_abandoned) return fail(711);
  if (!init_transport()) return fail(700);
  const CurlLibrary& curl = libcurl();
  const std::string url = wire_url(args.url);
  if (url.empty()) return fail(701);
  EasyHandle handle(curl.easy_init());
  if (!handle) return fail(702);

  HeaderList headers;
  const auto lines = curl_header_lines(request_header_block(args.extra_headers, args.cookies));
  if (!lines) return fail(710);
  bool has_expect = false;
  for (const std::string& line : *lines) {
    if (!append_line(headers, line)) return fail(710);
    has_expect = has_expect || util::find_text(line, "Expect:", 1, true) == 1;
  }
  // libcurl would add "Expect: 100-continue" to larger bodies on its own; the block is the whole say.
  if (!has_expect && !append_line(headers, "Expect:")) return fail(710);

  if (const int code = configure(handle.get(), args, url, headers); code != 0) return fail(code);
  Exchange exchange{.max_body = args.max_body};
  if (curl.easy_setopt(handle.get(), CURLOPT_HEADERFUNCTION, take_header) != CURLE_OK ||
      curl.easy_setopt(handle.get(), CURLOPT_HEADERDATA, &exchange) != CURLE_OK ||
      curl.easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, take_body) != CURLE_OK ||
      curl.easy_setopt(handle.get(), CURLOPT_WRITEDATA, &exchange) != CURLE_OK ||
      curl.easy_setopt(handle.get(), CURLOPT_XFERINFOFUNCTION, check_abandoned) != CURLE_OK ||
      curl.easy_setopt(handle.get(), CURLOPT_NOPROGRESS, 0L) != CURLE_OK) {
    return fail(704);
  }

  const CURLcode result = curl.easy_perform(handle.get());
  if (exchange.too_large) {
    // Nothing of an oversized reply is handed on: a part of it would only be misread.
    response.message = failure_text(713);
    util::process_pending_events();
    return response;
  }
  const bool read_failed = result != CURLE_OK && failure_code(result, handle.get(), exchange) == 713;
  if (result != CURLE_OK) {
    response.message = failure_text(failure_code(result, handle.get(), exchange));
    if (!read_failed) {
      util::process_pending_events();
      return response;
    }
  }
  curl.easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &response.status);
  handle.reset();
  if (exchange.headers.empty()) return response;

  process_response_headers(exchange.headers, read_failed, response);
  if (response.cookies) merge_cookies(*response.cookies, response.received_cookies);
  response.text = decode_body(exchange.body);
  response.raw_body = std::move(exchange.body);
  util::process_pending_events();
  return response;
}

}  // namespace quillora::net
