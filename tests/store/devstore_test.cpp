// The local store itself (quillora-store), over real loopback HTTP and HTTPS: the contract that the
// client's tests and the demo rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "net/web_request.hpp"
#include "support/store_fixture.hpp"
#include "util/gbk.hpp"

namespace quillora::test {
namespace {

using namespace util::literals;

net::WebResponse get(const std::string& url, const std::string& ca_file = {},
                     const std::string& headers = {}) {
  return net::web_request({.url = url, .extra_headers = headers, .ca_file = ca_file});
}

net::WebResponse post(const std::string& url, const std::string& body, const std::string& ca_file = {}) {
  return net::web_request({.url = url, .method = 1, .body = body, .ca_file = ca_file});
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A header value of a raw response header block ("Name: value" lines), empty when absent.
std::string header(const std::string& block, const std::string& name) {
  std::size_t at = block.find("\r\n" + name + ": ");
  if (at == std::string::npos) return {};
  at += name.size() + 4;
  return block.substr(at, block.find("\r\n", at) - at);
}

class DevStoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    net::init_transport();
    store = std::make_unique<StoreServer>();
    ASSERT_TRUE(store->start());
  }
  static void TearDownTestSuite() { store.reset(); }

  static std::string http(const std::string& path) { return store->http_url() + path; }
  static std::string https(const std::string& path) { return store->https_url() + path; }
  static std::string login(const std::string& body) {
    return post(https("/Api/User/login"), body, store->ca_file()).raw_body;
  }
  // The uid and token of a successful sign-in reply.
  static std::pair<std::string, std::string> login_pair(const std::string& reply) {
    auto field = [&](const std::string& key) {
      std::size_t at = reply.find("\"" + key + "\":\"");
      if (at == std::string::npos) return std::string();
      at += key.size() + 4;
      return reply.substr(at, reply.find('"', at) - at);
    };
    return {field("uid"), field("token")};
  }

  static std::unique_ptr<StoreServer> store;
};
std::unique_ptr<StoreServer> DevStoreTest::store;

TEST_F(DevStoreTest, ListensOnLoopbackWithItsOwnCertificateAuthority) {
  EXPECT_EQ(store->http_url().rfind("http://127.0.0.1:", 0), 0u);
  EXPECT_EQ(store->https_url().rfind("https://127.0.0.1:", 0), 0u);
  EXPECT_NE(store->http_port(), store->https_port());
  EXPECT_NE(read_file(store->ca_file()).find("BEGIN CERTIFICATE"), std::string::npos);

  // The client verifies the store with the CA; without it the certificate is refused.
  net::WebResponse verified = get(https("/Api/Plugin/getlstcount/robot/1/p/1"), store->ca_file());
  EXPECT_EQ(verified.status, 200);
  EXPECT_EQ(verified.raw_body, R"({"error":0,"content":"3"})");
  net::WebResponse untrusted = get(https("/Api/Plugin/getlstcount/robot/1/p/1"));
  EXPECT_EQ(untrusted.status, 0);
  EXPECT_TRUE(untrusted.raw_body.empty());
}

TEST_F(DevStoreTest, PageCountsAndPagesOfTheSampleCatalogue) {
  struct Case {
    int robot;
    const char* pages;
  } cases[] = {{1, "3"}, {2, "1"}, {3, "2"}, {7, "0"}, {99, "0"}};
  for (const Case& c : cases) {
    EXPECT_EQ(get(http("/Api/Plugin/getlstcount/robot/" + std::to_string(c.robot) + "/p/1")).raw_body,
              std::string(R"({"error":0,"content":")") + c.pages + "\"}")
        << "robot " << c.robot;
  }
  std::size_t sizes[] = {8, 8, 4, 0};
  for (int page = 1; page <= 4; ++page) {
    std::string reply = get(http("/Api/Plugin/lst/robot/1/p/" + std::to_string(page))).raw_body;
    EXPECT_EQ(count(reply, "\"plugin_id\":"), sizes[page - 1]) << "page " << page;
    EXPECT_EQ(reply.front(), '[');
    EXPECT_EQ(reply.back(), ']');
  }
  EXPECT_EQ(get(http("/Api/Plugin/lst/robot/7/p/1")).raw_body, "[]");
}

TEST_F(DevStoreTest, CatalogueRepliesAreWrittenThePhpWay) {
  std::string page = get(http("/Api/Plugin/lst/robot/1/p/1")).raw_body;
  // Everything outside ASCII as \u escapes, "/" escaped, strings quoted.
  EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](char c) { return c > 0x1f && c < 0x7f; }));
  EXPECT_NE(page.find(R"("plugin_name":"\u8d85\u7ea7\"\u7b7e\u5230\"\u52a9\u624b")"), std::string::npos);
  EXPECT_NE(page.find(R"(\r\n)"), std::string::npos);
  EXPECT_NE(page.find(R"(C:\\Vexa\\Plugin)"), std::string::npos);
  // Ten members for each plugin, except the one without an update time; both forms of the time.
  for (const char* key : {"plugin_id", "plugin_name", "nick_name", "uid", "type_name", "robot_name", "charge",
                          "down_count", "detail"}) {
    EXPECT_EQ(count(page, std::string("\"") + key + "\":\""), 8u) << key;
  }
  EXPECT_EQ(count(page, "\"update_time\":\""), 7u);
  EXPECT_NE(page.find(R"("update_time":"1234567")"), std::string::npos);
  EXPECT_NE(page.find(R"("update_time":"")"), std::string::npos);
  EXPECT_NE(page.find(R"("charge":"0")"), std::string::npos);
  EXPECT_NE(get(http("/Api/Plugin/lst/robot/1/p/2")).raw_body.find(R"(* \/ )"), std::string::npos);
}

TEST_F(DevStoreTest, SignInChecksTheAccountAndHandsOutTokens) {
  struct Case {
    std::string body;
    bool accepted;
  } cases[] = {
      {"username=demo&password=demo123", true},
      {"username=%E5%BC%A0%E4%B8%89&password=p&ss", true},  // "&" in the password: the rest of the body
      {"username=%E6%9D%8E%E5%9B%9B%20a%26b&password=" + "芝麻开门"_gbk, true},  // GBK password
      {"username=demo&password=demo1234", false},
      {"username=%E5%BC%A0%E4%B8%89&password=p", false},
      {"username=%E6%9D%8E%E5%9B%9B%20a%26b&password=芝麻开门", false},  // UTF-8 is not GBK
      {"username=nobody&password=", false},
      {"", false},
  };
  for (const Case& c : cases) {
    std::string reply = login(c.body);
    if (c.accepted) {
      EXPECT_EQ(reply.rfind(R"({"error":0,"content":"\u767b\u5f55\u6210\u529f","token":")", 0), 0u) << reply;
      auto [uid, token] = login_pair(reply);
      EXPECT_FALSE(uid.empty());
      EXPECT_EQ(
          post(https("/Api/User/check_login"), "uid=" + uid + "&token=" + token, store->ca_file()).raw_body,
          R"({"error":0,"content":"\u5df2\u767b\u5f55"})");
    } else {
      EXPECT_EQ(reply, R"({"error":1,"content":"\u8d26\u53f7\u6216\u5bc6\u7801\u9519\u8bef"})") << c.body;
    }
  }
  auto [uid, token] = login_pair(login("username=demo&password=demo123"));
  for (const std::string& body :
       {"uid=" + uid + "&token=x" + token, "uid=10002&token=" + token, std::string("uid=&token=")}) {
    EXPECT_EQ(
        post(https("/Api/User/check_login"), body, store->ca_file()).raw_body.rfind(R"({"error":1,)", 0), 0u)
        << body;
  }
}

TEST_F(DevStoreTest, RecommendationNeedsALoginAndMovesThePluginToTheTop) {
  const std::string recommend = "/Api/Plugin/recom/plugin_id/1020";  // last plugin of robot 1
  EXPECT_EQ(post(https(recommend), "uid=&token=", store->ca_file()).raw_body,
            R"({"error":1,"content":"\u8bf7\u5148\u767b\u5f55"})");
  EXPECT_EQ(
      get(http("/Api/Plugin/lst/robot/1/p/3")).raw_body.find(R"("plugin_id":"1020")") != std::string::npos,
      true);

  auto [uid, token] = login_pair(login("username=demo&password=demo123"));
  EXPECT_EQ(post(https(recommend), "uid=" + uid + "&token=" + token, store->ca_file()).raw_body,
            R"({"error":0,"content":"\u6253\u699c\u6210\u529f"})");
  EXPECT_EQ(get(http("/Api/Plugin/lst/robot/1/p/1")).raw_body.rfind(R"([{"plugin_id":"1020",)", 0), 0u);
  EXPECT_EQ(
      post(https("/Api/Plugin/recom/plugin_id/424242"), "uid=" + uid + "&token=" + token, store->ca_file())
          .raw_body.rfind(R"({"error":1,"content":")", 0),
      0u);
}

TEST_F(DevStoreTest, DownloadLinkCountsTheDownloadAndPointsAtTheFile) {
  auto down_count = [] {
    std::string page = get(http("/Api/Plugin/lst/robot/2/p/1")).raw_body;
    std::size_t at = page.find(R"("down_count":")", page.find(R"("plugin_id":"1022")"));
    return std::stol(page.substr(at + 14));
  };
  long before = down_count();
  std::string reply = get(http("/Api/Plugin/download/plugin_id/1022")).raw_body;
  std::string port = std::to_string(store->http_port());
  EXPECT_EQ(reply, R"({"error":0,"content":"\u83b7\u53d6\u6210\u529f","url":"http:\/\/127.0.0.1:)" + port +
                       R"(\/files\/lumo_music.dll"})");
  EXPECT_EQ(down_count(), before + 1);

  // The link keeps the fault prefix it was asked under.
  EXPECT_NE(
      get(http("/fault/drip/Api/Plugin/download/plugin_id/1022")).raw_body.find(R"(\/fault\/drip\/files\/)"),
      std::string::npos);
  EXPECT_EQ(get(http("/Api/Plugin/download/plugin_id/31337")).raw_body.rfind(R"({"error":1,"content":")", 0),
            0u);

  // The fixtures with hostile names, as the links write them.
  struct Case {
    const char* id;
    const char* ending;
  } hostile[] = {{"9001", R"(\/files\/.."})"},
                 {"9002", R"(\/files\/a\\b.dll"})"},
                 {"9003", R"(\/files\/..%5C..%5Cevil.dll"})"}};
  for (const Case& c : hostile) {
    std::string link = get(http(std::string("/Api/Plugin/download/plugin_id/") + c.id)).raw_body;
    ASSERT_GE(link.size(), std::string(c.ending).size());
    EXPECT_EQ(link.substr(link.size() - std::string(c.ending).size()), c.ending) << link;
  }
}

TEST_F(DevStoreTest, PluginFilesWithLengthsAndRanges) {
  const std::string file = "/files/Group%20Manager.dll";  // several MiB
  const std::uint64_t size = 6 * 1048576 + 12345;
  const std::string whole = StoreServer::plugin_file_bytes("Group Manager.dll", size);
  for (const std::string& url : {http(file), https(file)}) {
    net::WebResponse response = get(url, store->ca_file());
    EXPECT_EQ(response.status, 200) << url;
    EXPECT_EQ(header(response.response_headers, "Content-Length"), std::to_string(size));
    EXPECT_TRUE(response.raw_body == whole) << url;
  }
  // Chinese names arrive percent-encoded.
  EXPECT_TRUE(get(http("/files/%E5%A4%A9%E6%B0%94%E9%A2%84%E6%8A%A5.dll")).raw_body ==
              StoreServer::plugin_file_bytes("天气预报.dll", 262144));

  struct Case {
    std::string range;
    long status;
    std::string content_range;
    std::uint64_t first, length;
  } cases[] = {
      {"bytes=1000-", 206, "bytes 1000-" + std::to_string(size - 1) + "/" + std::to_string(size), 1000,
       size - 1000},
      {"bytes=0-9", 206, "bytes 0-9/" + std::to_string(size), 0, 10},
      {"bytes=-5", 206,
       "bytes " + std::to_string(size - 5) + "-" + std::to_string(size - 1) + "/" + std::to_string(size),
       size - 5, 5},
      {"bytes=" + std::to_string(size) + "-", 416, "bytes */" + std::to_string(size), 0, 0},
  };
  for (const Case& c : cases) {
    net::WebResponse response = get(http(file), {}, "Range: " + c.range);
    EXPECT_EQ(response.status, c.status) << c.range;
    EXPECT_EQ(header(response.response_headers, "Content-Range"), c.content_range) << c.range;
    EXPECT_TRUE(response.raw_body == whole.substr(c.first, c.length)) << c.range;
  }
  // The store remembers the head of the last file request for the transfer tests.
  get(http("/test/bytes/100"), {}, "Range: bytes=7-");
  std::string last = get(http("/test/last")).raw_body;
  EXPECT_EQ(last.rfind("GET /test/bytes/100 HTTP/1.1\r\n", 0), 0u) << last;
  EXPECT_NE(last.find("\r\nRange: bytes=7-\r\n"), std::string::npos);
  EXPECT_EQ(get(http("/files/no-such.dll")).status, 404);
}

TEST_F(DevStoreTest, FaultPrefixesSpoilTheAnswer) {
  const std::string bytes = "/test/bytes/100000";
  std::string whole(100000, '\0');
  for (std::size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<char>(i % 251);

  net::WebResponse cut = get(http("/fault/cut" + bytes));
  EXPECT_EQ(header(cut.response_headers, "Content-Length"), "100000");
  EXPECT_TRUE(cut.raw_body == whole.substr(0, 50000)) << cut.raw_body.size();

  net::WebResponse nolength = get(http("/fault/nolength" + bytes));
  EXPECT_EQ(header(nolength.response_headers, "Content-Length"), "");
  EXPECT_TRUE(nolength.raw_body == whole);

  net::WebResponse drip = get(https("/fault/drip/test/bytes/20000"), store->ca_file());
  EXPECT_TRUE(drip.raw_body == whole.substr(0, 20000));

  net::WebResponse failed = get(http("/fault/500/Api/Plugin/lst/robot/1/p/1"));
  EXPECT_EQ(failed.status, 500);
  EXPECT_NE(failed.raw_body.find("<html>"), std::string::npos);

  net::WebResponse moved =
      net::web_request({.url = http("/fault/redirect" + bytes + "?x=1"), .no_redirect = true});
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(moved.location, bytes + "?x=1");
  EXPECT_TRUE(get(http("/fault/redirect" + bytes)).raw_body == whole);

  std::string broken = get(http("/fault/badjson/Api/Plugin/lst/robot/1/p/1")).raw_body;
  EXPECT_FALSE(broken.empty());
  EXPECT_EQ(broken.find("plugin_id"), std::string::npos);
  EXPECT_EQ(broken.find("error\":"), std::string::npos);

  net::WebResponse hung = net::web_request({.url = http("/fault/hang" + bytes), .timeout = 1});
  EXPECT_TRUE(hung.raw_body.empty());

  net::WebResponse huge =
      net::web_request({.url = http("/fault/huge/Api/Plugin/lst/robot/1/p/1"), .method = 2});
  EXPECT_EQ(header(huge.response_headers, "Content-Length"), std::to_string(200u << 20));

  EXPECT_EQ(count(get(http("/fault/big/Api/Plugin/lst/robot/1/p/1")).raw_body, "\"plugin_id\":"), 5000u);
  // Prefixes combine, and the store still answers normally afterwards.
  EXPECT_TRUE(get(http("/fault/redirect/fault/cut" + bytes)).raw_body == whole.substr(0, 50000));
  EXPECT_EQ(get(http("/Api/Plugin/getlstcount/robot/2/p/1")).raw_body, R"({"error":0,"content":"1"})");
}

TEST_F(DevStoreTest, TestEndpointsShowTheRequestAsItCame) {
  std::string body = "a=1&b=";
  for (int byte = 0; byte < 256; ++byte) body.push_back(static_cast<char>(byte));
  net::WebResponse echo = net::web_request({.url = https("/test/echo?q=%41"),
                                            .method = 1,
                                            .body = body,
                                            .extra_headers = "X-Odd:  two blanks \r\nx-lower: v",
                                            .ca_file = store->ca_file()});
  EXPECT_EQ(echo.raw_body.rfind("POST /test/echo?q=%41\r\n", 0), 0u);
  EXPECT_NE(echo.raw_body.find("\r\nX-Odd:  two blanks \r\nx-lower: v\r\n"), std::string::npos);
  ASSERT_GE(echo.raw_body.size(), body.size() + 4);
  EXPECT_EQ(echo.raw_body.substr(echo.raw_body.size() - body.size() - 4), "\r\n\r\n" + body);

  // (The client writes every Set-Cookie name in one case; the order shows both lines came.)
  net::WebResponse cookies = get(http("/test/cookies"));
  std::size_t first = cookies.response_headers.find("Set-Cookie: a=1; path=/\r\n");
  EXPECT_NE(first, std::string::npos);
  EXPECT_GT(cookies.response_headers.find("Set-Cookie: b=2\r\n"), first);

  EXPECT_EQ(get(http("/test/status/404")).status, 404);
  EXPECT_EQ(get(http("/test/zero")).raw_body, std::string("ab\0cd", 5));
  std::string gbk = get(http("/test/charset/gbk")).raw_body;
  EXPECT_NE(gbk.find("charset=gbk\""), std::string::npos);
  EXPECT_NE(gbk.find("中文测试"_gbk), std::string::npos);
  std::string late = get(http("/test/charset/big5?late=1")).raw_body;
  EXPECT_GT(late.find("charset=big5"), 1100u);
}

TEST(DevStore, StopsOnSigtermAndComesBackOnTheSamePortsWithTheSameAuthority) {
  net::init_transport();
  StoreServer store;
  ASSERT_TRUE(store.start());
  const std::string ca = read_file(store.ca_file());
  auto [http_port, https_port] = std::pair(store.http_port(), store.https_port());
  std::string reply =
      post(store.https_url() + "/Api/User/login", "username=demo&password=demo123", store.ca_file()).raw_body;
  std::size_t at = reply.find(R"("token":")") + 9;
  std::string token = reply.substr(at, reply.find('"', at) - at);

  store.kill();
  EXPECT_TRUE(get(store.http_url() + "/Api/Plugin/getlstcount/robot/1/p/1").raw_body.empty());
  ASSERT_TRUE(store.restart());
  EXPECT_EQ(store.http_port(), http_port);
  EXPECT_EQ(store.https_port(), https_port);
  EXPECT_EQ(read_file(store.ca_file()), ca);
  // A login outlives the restart.
  EXPECT_EQ(
      post(store.https_url() + "/Api/User/check_login", "uid=10001&token=" + token, store.ca_file()).raw_body,
      R"({"error":0,"content":"\u5df2\u767b\u5f55"})");

  // Slow transfers in flight do not hold up a clean stop; they end with the store.
  std::thread dripping([&] { get(store.http_url() + "/fault/drip/test/bytes/100000000"); });
  std::thread hanging([&] { get(store.http_url() + "/fault/hang/test/bytes/10"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(store.stop());
  EXPECT_FALSE(store.running());
  dripping.join();
  hanging.join();
}

TEST(DevStore, EndpointsCarryTheBasePath) {
  StoreServer store(StoreServer::Options{.base_path = "/fault/cut"});
  ASSERT_TRUE(store.start());
  store::StoreEndpoints endpoints = store.endpoints();
  EXPECT_EQ(endpoints.http("/x"), store.http_url() + "/fault/cut/x");
  EXPECT_EQ(endpoints.https("/x"), store.https_url() + "/fault/cut/x");
  EXPECT_EQ(endpoints.ca_file, store.ca_file());
  EXPECT_TRUE(endpoints.local);
  EXPECT_EQ(store.endpoints("").http_base, store.http_url());
}

}  // namespace
}  // namespace quillora::test
