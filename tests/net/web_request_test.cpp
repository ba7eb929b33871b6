#include "net/web_request.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "net/net_test_support.hpp"
#include "support/connect_proxy.hpp"
#include "util/gbk.hpp"

namespace quillora::net {
namespace {

using namespace util::literals;
using namespace std::chrono_literals;
using test::Echo;

class WebRequestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<test::StoreServer>();
    ASSERT_TRUE(server->start());
  }
  static void TearDownTestSuite() { server.reset(); }

  static WebRequestArgs http(const std::string& path) { return {.url = server->http_url() + path}; }
  static WebRequestArgs https(const std::string& path) {
    return {.url = server->https_url() + path, .ca_file = server->ca_file()};
  }

  static std::unique_ptr<test::StoreServer> server;
};
std::unique_ptr<test::StoreServer> WebRequestTest::server;

// Every byte value, a zero and GBK text: sent as they are, whatever the method.
std::string awkward_body() {
  std::string body = "name="_gbk + "插件"_gbk + "&x=";
  for (int byte = 0; byte < 256; ++byte) body.push_back(static_cast<char>(byte));
  return body;
}

TEST_F(WebRequestTest, BodiesArriveByteForByteWithEveryMethodOverHttpAndHttps) {
  const struct {
    int method;
    const char* verb;
  } cases[] = {{0, "GET"}, {1, "POST"}, {3, "PUT"}, {7, "GET"}, {-1, "GET"}};
  const std::string body = awkward_body();
  for (const bool secure : {false, true}) {
    for (const auto& c : cases) {
      WebRequestArgs args = secure ? https("/test/echo?b=1") : http("/test/echo?b=1");
      args.method = c.method;
      args.body = body;
      const WebResponse response = web_request(args);
      SCOPED_TRACE(std::string(c.verb) + (secure ? " https" : " http"));
      EXPECT_EQ(response.status, 200);
      EXPECT_EQ(response.message, "200 OK");
      const Echo echo(response.raw_body);
      EXPECT_EQ(echo.request_line, std::string(c.verb) + " /test/echo?b=1");
      EXPECT_TRUE(test::same_bytes(echo.body, body));
      EXPECT_EQ(echo.values("Content-Length"), std::vector<std::string>{std::to_string(body.size())});
      EXPECT_TRUE(echo.values("Expect").empty());
    }
  }
}

TEST_F(WebRequestTest, PostWithoutBodySendsZeroLengthAndHeadReadsNoBody) {
  WebRequestArgs post = http("/test/echo");
  post.method = 1;
  const Echo echo(web_request(post).raw_body);
  EXPECT_EQ(echo.request_line, "POST /test/echo");
  EXPECT_EQ(echo.values("Content-Length"), std::vector<std::string>{"0"});

  WebRequestArgs head = http("/test/echo");
  head.method = 2;
  const WebResponse response = web_request(head);
  EXPECT_EQ(response.status, 200);
  EXPECT_TRUE(response.raw_body.empty());
}

TEST_F(WebRequestTest, DefaultHeaderBlockReachesTheServer) {
  const Echo echo(web_request(http("/test/echo")).raw_body);
  EXPECT_EQ(echo.request_line, "GET /test/echo");
  const struct {
    const char* name;
    const char* value;
  } expected[] = {
      {"User-Agent", "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"},
      {"Accept", "text/html, application/xhtml+xml, */*"},
      {"Accept-Encoding", "gbk, GB2312"},
      {"Accept-Language", "zh-cn"},
      {"Content-Type", "application/x-www-form-urlencoded"},
      {"Cache-Control", "no-cache"},
  };
  for (const auto& e : expected) EXPECT_EQ(echo.values(e.name), std::vector<std::string>{e.value}) << e.name;
  EXPECT_TRUE(echo.values("Cookie").empty());
  EXPECT_EQ(echo.values("Host").size(), 1u);
}

TEST_F(WebRequestTest, CallerLinesAgainstTheDefaultTests) {
  const struct {
    const char* extra_headers;
    std::optional<std::string> jar;
    const char* name;
    std::vector<std::string> sent;
  } cases[] = {
      // Any case stops the default User-Agent.
      {"user-agent: X", std::nullopt, "User-Agent", {"X"}},
      // The Content-Type test keeps its case: the default comes later and wins.
      {"content-type: application/json", std::nullopt, "Content-Type", {"application/x-www-form-urlencoded"}},
      {"Content-Type: application/json", std::nullopt, "Content-Type", {"application/json"}},
      // A later line with the same name wins.
      {"X-Twice: 1\r\nx-twice: 2", std::nullopt, "X-Twice", {"2"}},
      // An empty value removes the header, once the test text (with its blank) has matched.
      {"Accept-Language: ", std::nullopt, "Accept-Language", {}},
      {"Accept-Language:", std::nullopt, "Accept-Language", {"zh-cn"}},
      {"", std::string("a=1; b=2"), "Cookie", {"a=1; b=2"}},
      {"", std::string(), "Cookie", {}},
      {"Cookie: z=9", std::string("a=1"), "Cookie", {"z=9"}},
  };
  for (const auto& c : cases) {
    WebRequestArgs args = http("/test/echo");
    args.extra_headers = c.extra_headers;
    args.cookies = c.jar;
    const WebResponse response = web_request(args);
    EXPECT_EQ(Echo(response.raw_body).values(c.name), c.sent) << c.extra_headers;
  }
}

TEST_F(WebRequestTest, LinesThatAreNoHeaderLinesFailWith710) {
  for (const char* extra : {"no colon here", "X-A: 1\nX-Smuggled: 2"}) {
    WebRequestArgs args = http("/test/echo");
    args.extra_headers = extra;
    const WebResponse response = web_request(args);
    EXPECT_EQ(response.message, "710 设置协议头失败!"_gbk) << extra;
    EXPECT_TRUE(response.text.empty());
  }
}

TEST_F(WebRequestTest, BasicCredentialsOnlyWithUserAndPassword) {
  WebRequestArgs args = https("/test/echo");
  args.user = "demo";
  args.password = "p:w";
  EXPECT_EQ(Echo(web_request(args).raw_body).values("Authorization"),
            std::vector<std::string>{"Basic ZGVtbzpwOnc="});
  args.password.clear();
  EXPECT_TRUE(Echo(web_request(args).raw_body).values("Authorization").empty());
}

TEST_F(WebRequestTest, UrlsSplitIntoTheRequestTarget) {
  const std::string host = server->http_url().substr(std::string("http://").size());
  const struct {
    std::string url;
    const char* request_line;
  } cases[] = {
      {"http://" + host + "/test/echo?b=1#part", "GET /test/echo?b=1"},
      {"HTTP://" + host + "/test/echo", "GET /test/echo"},
      {"http://user:secret@" + host + "/test/echo", "GET /test/echo"},
  };
  for (const auto& c : cases) {
    const WebResponse response = web_request({.url = c.url});
    const Echo echo(response.raw_body);
    EXPECT_EQ(echo.request_line, c.request_line) << c.url;
    EXPECT_TRUE(echo.values("Authorization").empty()) << c.url;
  }
}

TEST_F(WebRequestTest, CookiesAreCollectedAndMergedIntoTheJar) {
  const WebResponse plain = web_request(http("/test/cookies"));
  EXPECT_EQ(plain.received_cookies, "a=1; b=2");
  EXPECT_FALSE(plain.cookies.has_value());
  EXPECT_NE(plain.response_headers.find("\r\nSet-Cookie: a=1; path=/\r\n"), std::string::npos);
  EXPECT_EQ(plain.response_headers.find("set-cookie"), std::string::npos);

  WebRequestArgs args = https("/test/cookies");
  args.cookies = "a=0; z=9";
  const WebResponse merged = web_request(args);
  EXPECT_EQ(merged.cookies, std::optional<std::string>("a=1;z=9;b=2;"));
  EXPECT_EQ(merged.received_cookies, "a=1;b=2");

  EXPECT_TRUE(web_request(http("/test/echo")).received_cookies.empty());
}

TEST(MergeCookies, FollowsTheJarRules) {
  const struct {
    const char* jar;
    const char* received;
    const char* merged;
    const char* received_after;
  } cases[] = {
      {"a=1; b=2", "b=3; c=deleted; d=4", "a=1;b=3;d=4;", "b=3;c=deleted;d=4"},
      {"a=1; b=2", "", "a=1;b=2", ""},
      {"a=1; b=2", "a=deleted", "b=2;", "a=deleted"},
      {"a=1; flag; b=2", "c=3", "a=1;b=2;c=3;", "c=3"},
      {"A=1", "a=2", "A=1;a=2;", "a=2"},
      {"x=1\xA1\xA1;y=2", "y=3", "x=1;y=3;", "y=3"},  // the full-width blank goes too
      {"", "t=v=w", "t=v=w;", "t=v=w"},
  };
  for (const auto& c : cases) {
    std::string jar = c.jar;
    std::string received = c.received;
    EXPECT_EQ(merge_cookies(jar, received), c.merged) << c.jar << " + " << c.received;
    EXPECT_EQ(jar, c.merged);
    EXPECT_EQ(received, c.received_after);
  }
}

TEST_F(WebRequestTest, ErrorStatusesReturnTheirBodyAndStatusText) {
  const struct {
    const char* path;
    long status;
    const char* message;
  } cases[] = {{"/test/status/500", 500, "500 Internal Server Error"},
               {"/test/status/404", 404, "404 Not Found"}};
  for (const auto& c : cases) {
    const WebResponse response = web_request(http(c.path));
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.message, c.message);
    EXPECT_FALSE(response.text.empty());
    EXPECT_EQ(response.text, response.raw_body);
  }
}

TEST_F(WebRequestTest, CharsetDeclaredEarlyInAMetaTagIsConverted) {
  const std::string chinese = "中文测试"_gbk;
  const struct {
    const char* path;
    bool converted;
  } cases[] = {
      {"/test/charset/utf-8", true},  {"/test/charset/gbk", true},     {"/test/charset/GBK", true},
      {"/test/charset/gb2312", true}, {"/test/charset/gb18030", true}, {"/test/charset/utf-8?late=1", false},
  };
  for (const auto& c : cases) {
    const WebResponse response = web_request(http(c.path));
    EXPECT_EQ(response.status, 200) << c.path;
    EXPECT_EQ(response.text.find(chinese) != std::string::npos, c.converted) << c.path;
    if (!c.converted) {
      EXPECT_EQ(response.text, response.raw_body) << c.path;
    }
  }
}

TEST_F(WebRequestTest, TextEndsAtTheFirstZeroByte) {
  const WebResponse response = web_request(https("/test/zero"));
  EXPECT_EQ(response.text, "ab");
  EXPECT_EQ(response.raw_body, std::string("ab\0cd", 5));
}

TEST_F(WebRequestTest, RedirectionsAreFollowedUnlessSwitchedOff) {
  const WebResponse followed = web_request(http("/fault/redirect/test/echo"));
  EXPECT_EQ(followed.status, 200);
  EXPECT_EQ(Echo(followed.raw_body).request_line, "GET /test/echo");

  WebRequestArgs args = http("/fault/redirect/test/echo");
  args.no_redirect = true;
  const WebResponse redirect = web_request(args);
  EXPECT_EQ(redirect.status, 302);
  EXPECT_EQ(redirect.message.substr(0, 3), "302");
  EXPECT_TRUE(redirect.location.ends_with("/test/echo")) << redirect.location;
  EXPECT_EQ(redirect.location.find("fault"), std::string::npos);
}

TEST_F(WebRequestTest, UnusableUrlsFailWith701) {
  for (const char* url : {"", "no scheme at all", "http://", "http://[::1"}) {
    const WebResponse response = web_request({.url = url});
    EXPECT_EQ(response.message, "701 解析URL地址失败!"_gbk) << url;
    EXPECT_TRUE(response.text.empty());
    EXPECT_EQ(response.status, 0);
  }
}

TEST_F(WebRequestTest, RequestsThatNeverGetOutFailWith711) {
  const test::Socket refusing(/*listening=*/false);
  // The CA file left out: the store's own certificate authority is unknown, so the peer is refused.
  const WebRequestArgs cases[] = {
      {.url = test::refusing_base_url(refusing) + "/test/echo"},
      {.url = server->https_url() + "/test/echo"},
      {.url = server->http_url() + "/test/echo", .proxy = "127.0.0.1:" + std::to_string(refusing.port())},
  };
  for (const WebRequestArgs& args : cases) {
    WebRequestArgs with_jar = args;
    with_jar.cookies = "kept=1";
    const WebResponse response = web_request(with_jar);
    EXPECT_EQ(response.message, "711 发送请求失败!"_gbk) << args.url << " " << args.proxy;
    EXPECT_TRUE(response.text.empty());
    EXPECT_TRUE(response.response_headers.empty());
    EXPECT_EQ(response.cookies, with_jar.cookies);
  }
}

TEST_F(WebRequestTest, ProxyEnvironmentIsIgnoredWithoutAProxy) {
  const test::Socket refusing(/*listening=*/false);
  const std::string dead_proxy = "http://127.0.0.1:" + std::to_string(refusing.port());
  WebResponse plain, secure;
  {
    const test::ScopedEnvironment proxies{{"http_proxy", dead_proxy.c_str()},
                                          {"HTTPS_PROXY", dead_proxy.c_str()},
                                          {"ALL_PROXY", dead_proxy.c_str()}};
    plain = web_request(http("/test/echo"));
    secure = web_request(https("/test/echo"));
  }
  EXPECT_EQ(plain.status, 200);
  EXPECT_EQ(secure.status, 200);
}

TEST_F(WebRequestTest, ThroughAProxyTheServersOwnAnswerIsReported) {
  const test::ConnectProxy proxy;
  ASSERT_TRUE(proxy.listening());
  WebRequestArgs args = https("/test/status/404");
  args.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  const WebResponse response = web_request(args);
  EXPECT_EQ(proxy.tunnels(), 1);
  EXPECT_EQ(response.status, 404);
  EXPECT_EQ(response.message, "404 Not Found");
  // The header block is the store's alone: the tunnel's "200 Connection established" is not in it.
  EXPECT_TRUE(response.response_headers.starts_with("HTTP/1.1 404")) << response.response_headers;
  EXPECT_EQ(response.response_headers.find("Connection established"), std::string::npos);
}

// The window program abandons requests when its window has closed: one waiting on a reply that never
// comes ends, and later ones do not start, until requests are allowed again.
TEST_F(WebRequestTest, AbandonedRequestsEndAndLaterOnesFailAtOnce) {
  WebResponse hanging;
  std::thread waiting([&] { hanging = web_request(http("/fault/hang/test/bytes/100")); });
  std::this_thread::sleep_for(200ms);  // headers in, the body never comes
  abandon_requests();
  waiting.join();
  const WebResponse later = web_request(http("/test/echo"));
  abandon_requests(false);
  EXPECT_EQ(hanging.message, "713 读取数据失败!"_gbk);
  EXPECT_TRUE(hanging.text.empty());
  EXPECT_EQ(later.message, "711 发送请求失败!"_gbk);
  EXPECT_EQ(later.status, 0);
  EXPECT_EQ(web_request(http("/test/echo")).status, 200);
}

TEST_F(WebRequestTest, SilenceBeforeTheResponseFailsWith712) {
  const test::Socket silent(/*listening=*/true);
  WebRequestArgs args{.url = "http://127.0.0.1:" + std::to_string(silent.port()) + "/test/echo",
                      .timeout = 1};
  const WebResponse response = web_request(args);
  EXPECT_EQ(response.message, "712 服务器未响应!"_gbk);
  EXPECT_TRUE(response.text.empty());
}

TEST_F(WebRequestTest, BodyBrokenOffFailsWith713AndKeepsWhatCame) {
  WebRequestArgs cut = http("/fault/cut/test/bytes/100000");
  const WebResponse response = web_request(cut);
  EXPECT_EQ(response.message, "713 读取数据失败!"_gbk);
  EXPECT_EQ(response.status, 200);
  EXPECT_FALSE(response.raw_body.empty());
  EXPECT_LT(response.raw_body.size(), 100000u);
  EXPECT_TRUE(test::same_bytes(response.raw_body,
                               test::pattern_bytes(0, static_cast<std::int64_t>(response.raw_body.size()))));
  EXPECT_FALSE(response.response_headers.empty());

  WebRequestArgs hang = http("/fault/hang/test/bytes/100000");
  hang.timeout = 1;
  const WebResponse stalled = web_request(hang);
  EXPECT_EQ(stalled.message, "713 读取数据失败!"_gbk);
  EXPECT_EQ(stalled.status, 200);
}

TEST_F(WebRequestTest, BodiesWithoutLengthOrSentSlowlyArriveWhole) {
  const struct {
    const char* path;
    std::int64_t size;
  } cases[] = {{"/fault/nolength/test/bytes/300000", 300000}, {"/fault/drip/test/bytes/40000", 40000}};
  for (const auto& c : cases) {
    const WebResponse response = web_request(http(c.path));
    EXPECT_EQ(response.message, "200 OK") << c.path;
    EXPECT_TRUE(test::same_bytes(response.raw_body, test::pattern_bytes(0, c.size))) << c.path;
  }
}

TEST_F(WebRequestTest, OversizedBodyFailsWith713AndHandsNothingOn) {
  WebRequestArgs big = http("/test/bytes/300000");
  big.max_body = 100000;
  const WebResponse refused = web_request(big);
  EXPECT_EQ(refused.message, "713 读取数据失败!"_gbk);
  EXPECT_TRUE(refused.text.empty());
  EXPECT_TRUE(refused.raw_body.empty());

  big.max_body = 0;  // no limit
  EXPECT_EQ(web_request(big).raw_body.size(), 300000u);
}

}  // namespace
}  // namespace quillora::net
