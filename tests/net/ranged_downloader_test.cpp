#include "net/ranged_downloader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "net/net_test_support.hpp"
#include "net/web_request.hpp"
#include "support/connect_proxy.hpp"
#include "support/temp_dir.hpp"
#include "support/zone_guard.hpp"
#include "util/gbk.hpp"

namespace quillora::net {
namespace {

using namespace util::literals;
using test::file_bytes;
using test::pattern_bytes;

class RangedDownloaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<test::StoreServer>();
    ASSERT_TRUE(server->start());
  }
  static void TearDownTestSuite() { server.reset(); }

  static std::string http(const std::string& path) { return server->http_url() + path; }

  // Prepares and runs one transfer into `target`, recording what the routines saw.
  struct Outcome {
    bool ok = false;
    int progress_calls = 0;
    int stopped_calls = 0;
    std::int64_t largest_step = 0;
    bool running_seen = true;  // is_running() inside every on_progress
  };
  Outcome fetch(const std::string& url, std::filesystem::path target,
                const std::function<void()>& extra_progress = {}) {
    Outcome outcome;
    if (!downloader.prepare(url, target, true)) {
      ADD_FAILURE() << "prepare failed for " << url;
      return outcome;
    }
    std::int64_t last = downloader.downloaded();
    outcome.ok = downloader.run(
        [&] {
          ++outcome.progress_calls;
          outcome.largest_step = std::max(outcome.largest_step, downloader.downloaded() - last);
          last = downloader.downloaded();
          outcome.running_seen = outcome.running_seen && downloader.is_running();
          if (extra_progress) extra_progress();
        },
        [&] { ++outcome.stopped_calls; });
    EXPECT_FALSE(downloader.is_running());
    return outcome;
  }

  static std::unique_ptr<test::StoreServer> server;
  test::TempDir dir;
  RangedDownloader downloader;
};
std::unique_ptr<test::StoreServer> RangedDownloaderTest::server;

TEST(RangedDownloaderPaths, EncodePathEscapesEveryByteOfTheUtf8Form) {
  EXPECT_EQ(RangedDownloader::encode_path("up/a.dll"), "%75%70%2F%61%2E%64%6C%6C");
  EXPECT_EQ(RangedDownloader::encode_path("插件.dll"_gbk), "%E6%8F%92%E4%BB%B6%2E%64%6C%6C");
  EXPECT_EQ(RangedDownloader::encode_path(""), "");
}

TEST_F(RangedDownloaderTest, PrepareSplitsTheUrlAndNamesTheFile) {
  const struct {
    std::string url;
    std::string request_url;
    std::string file_name;
    std::string extension;
  } cases[] = {
      {"https://h.example/up/a.dll", "https://h.example/%75%70%2F%61%2E%64%6C%6C", "a.dll", ".dll"},
      {"http://h.example:81/up/a.dll", "http://h.example:81/%75%70%2F%61%2E%64%6C%6C", "a.dll", ".dll"},
      {"http://h.example/files/插件.dll"_gbk,
       "http://h.example/%66%69%6C%65%73%2F%E6%8F%92%E4%BB%B6%2E%64%6C%6C", "插件.dll"_gbk, ".dll"},
  };
  for (const auto& c : cases) {
    std::filesystem::path target = dir.path() / "target";
    ASSERT_TRUE(downloader.prepare(c.url, target, true)) << c.url;
    EXPECT_EQ(downloader.request_url(), c.request_url);
    EXPECT_EQ(downloader.file_name(), c.file_name);
    EXPECT_EQ(downloader.extension(), c.extension);
    EXPECT_EQ(downloader.local_path(), dir.path() / "target");
  }
}

TEST_F(RangedDownloaderTest, PrepareRefusesOtherSchemesAndTouchesNothing) {
  for (const char* url : {"HTTP://h.example/a.dll", "ftp://h.example/a.dll", "", "https:/h.example/a.dll"}) {
    std::filesystem::path target = dir.path() / "never";
    EXPECT_FALSE(downloader.prepare(url, target, true)) << url;
    EXPECT_FALSE(std::filesystem::exists(target)) << url;
    EXPECT_EQ(downloader.file_name(), "") << url;
  }
}

TEST_F(RangedDownloaderTest, PrepareWithoutAPathUsesTheDefaultDirectory) {
  downloader.set_default_dir(dir.path());
  std::filesystem::path target;
  ASSERT_TRUE(downloader.prepare(http("/files/插件.dll"_gbk), target, false));
  EXPECT_EQ(target, dir.path() / "插件.dll");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "插件.dll"));
}

TEST_F(RangedDownloaderTest, PrepareKeepsTheBytesAlreadyThereAndFailsWhereNoFileCanBe) {
  test::write_file(dir.path() / "part", pattern_bytes(0, 1000));
  std::filesystem::path target = dir.path() / "part";
  ASSERT_TRUE(downloader.prepare(http("/test/bytes/1500"), target, true));
  EXPECT_EQ(downloader.downloaded(), 1000);
  EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, 1000)));

  for (std::filesystem::path bad : {dir.path() / "missing" / "x", dir.path()}) {
    EXPECT_FALSE(downloader.prepare(http("/test/bytes/1"), bad, true)) << bad;
  }
}

TEST_F(RangedDownloaderTest, FreshFileArrivesWholeInChunksOverHttpAndHttps) {
  downloader.set_ca_file(server->ca_file());
  // Sizes around one chunk: the transfer must end cleanly right after a full chunk, too.
  const struct {
    std::string base;
    std::int64_t size;
  } cases[] = {{server->http_url(), 1},
               {server->http_url(), 10240},
               {server->http_url(), 10241},
               {server->http_url(), 300000},
               {server->https_url(), 300000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base + " " + std::to_string(c.size));
    const std::filesystem::path target = dir.path() / "fresh.bin";
    std::filesystem::remove(target);
    const Outcome outcome = fetch(c.base + "/test/bytes/" + std::to_string(c.size), target);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(downloader.last_end(), TransferEnd::complete);
    EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, c.size)));
    EXPECT_EQ(downloader.total_size(), c.size);
    EXPECT_EQ(downloader.downloaded(), c.size);
    EXPECT_EQ(downloader.percent(), 100);
    EXPECT_LE(outcome.largest_step, 10240);
    EXPECT_GE(outcome.progress_calls, (c.size + 10239) / 10240);
    EXPECT_TRUE(outcome.running_seen);
    EXPECT_EQ(outcome.stopped_calls, 0);
  }
}

TEST_F(RangedDownloaderTest, ContinuationAsksForTheRestAndAppendsIt) {
  const std::filesystem::path target = dir.path() / "part";
  test::write_file(target, pattern_bytes(0, 1000));
  const Outcome outcome = fetch(http("/test/bytes/1500"), target);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(downloader.total_size(), 1500);
  EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, 1500)));

  const std::string request = web_request({.url = http("/test/last")}).raw_body;
  EXPECT_NE(request.find("\r\nRange:bytes=1000-\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nUser-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR "
                         "1.1.4322)\r\n"),
            std::string::npos)
      << request;
  EXPECT_NE(request.find("\r\nAccept-Encoding: no-gzip, deflate\r\n"), std::string::npos) << request;

  test::write_file(target, "");
  ASSERT_TRUE(fetch(http("/test/bytes/10"), target).ok);
  EXPECT_NE(web_request({.url = http("/test/last")}).raw_body.find("\r\nRange:bytes=0-\r\n"),
            std::string::npos);
}

// A range that starts at the end of the file is unsatisfiable (416): the file is whole already.
TEST_F(RangedDownloaderTest, FileThatIsAlreadyWholeCompletesUntouched) {
  const struct { std::int64_t size; } cases[] = {{0}, {1000}};
  for (const auto& c : cases) {
    const std::filesystem::path target = dir.path() / "whole.bin";
    test::write_file(target, pattern_bytes(0, c.size));
    const Outcome outcome = fetch(http("/test/bytes/" + std::to_string(c.size)), target);
    EXPECT_TRUE(outcome.ok) << c.size;
    EXPECT_EQ(downloader.total_size(), c.size);
    EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, c.size)));
  }
}

TEST_F(RangedDownloaderTest, WholeBodyInsteadOfTheRangeRestartsTheFile) {
  const std::filesystem::path target = dir.path() / "part";
  test::write_file(target, std::string(1000, 'x'));
  const Outcome outcome = fetch(http("/test/status/200"), target);
  EXPECT_TRUE(outcome.ok);
  const std::string page = web_request({.url = http("/test/status/200")}).raw_body;
  EXPECT_FALSE(page.empty());
  EXPECT_EQ(file_bytes(target), page);
  EXPECT_EQ(downloader.downloaded(), static_cast<std::int64_t>(page.size()));
}

TEST_F(RangedDownloaderTest, ErrorAnswersFailAndLeaveTheFileAsItWas) {
  const struct {
    const char* path;
    std::string existing;
  } cases[] = {
      {"/test/status/500", ""},
      {"/test/status/404", ""},
      {"/test/status/500", std::string(1000, 'x')},
      {"/test/status/204", std::string(1000, 'x')},  // 2xx, but no continuation from byte 1000
      {"/test/status/205", ""},                      // 2xx, but no file in it
      // 206 with only part of the rest, from the start and from byte 1000: the file is not whole.
      {"/fault/shortrange/test/bytes/2000", ""},
      {"/fault/shortrange/test/bytes/2000", pattern_bytes(0, 1000)},
  };
  for (const auto& c : cases) {
    const std::filesystem::path target = dir.path() / "part";
    test::write_file(target, c.existing);
    const Outcome outcome = fetch(http(c.path), target);
    EXPECT_FALSE(outcome.ok) << c.path;
    EXPECT_EQ(downloader.last_end(), TransferEnd::status) << c.path;
    EXPECT_TRUE(test::same_bytes(file_bytes(target), c.existing)) << c.path;
    EXPECT_EQ(outcome.progress_calls, 0);
  }
}

// An office proxy in front of the store: its "200 Connection established" must pass neither for
// the store's error page nor for the whole file in place of the rest of a continued one.
TEST_F(RangedDownloaderTest, ThroughAProxyTheServersOwnAnswerCounts) {
  const test::ConnectProxy proxy;
  ASSERT_TRUE(proxy.listening());
  const test::ScopedEnvironment environment{
      {"https_proxy", proxy.url().c_str()}, {"no_proxy", nullptr}, {"NO_PROXY", nullptr}};
  downloader.set_ca_file(server->ca_file());
  const std::filesystem::path target = dir.path() / "part";

  test::write_file(target, "");
  const Outcome refused = fetch(server->https_url() + "/test/status/404", target);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(downloader.last_end(), TransferEnd::status);
  EXPECT_EQ(file_bytes(target), "");

  test::write_file(target, pattern_bytes(0, 1000));
  const Outcome continued = fetch(server->https_url() + "/test/bytes/2000", target);
  EXPECT_TRUE(continued.ok);
  EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, 2000)));
  EXPECT_EQ(downloader.total_size(), 2000);
  EXPECT_EQ(proxy.tunnels(), 2);
}

TEST_F(RangedDownloaderTest, BodyWithoutLengthCompletesWithZeroTotal) {
  const std::filesystem::path target = dir.path() / "nolength.bin";
  bool percent_stayed_zero = true;
  const Outcome outcome = fetch(http("/fault/nolength/test/bytes/50000"), target, [&] {
    percent_stayed_zero = percent_stayed_zero && downloader.percent() == 0;
  });
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(downloader.total_size(), 0);
  EXPECT_TRUE(percent_stayed_zero);
  EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, 50000)));
}

TEST_F(RangedDownloaderTest, SlowBodyArrivesWhole) {
  const std::filesystem::path target = dir.path() / "slow.bin";
  EXPECT_TRUE(fetch(http("/fault/drip/test/bytes/40000"), target).ok);
  EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, 40000)));
}

TEST_F(RangedDownloaderTest, RedirectIsFollowedToTheFile) {
  const std::filesystem::path target = dir.path() / "moved.bin";
  EXPECT_TRUE(fetch(http("/fault/redirect/test/bytes/30000"), target).ok);
  EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, 30000)));
}

TEST_F(RangedDownloaderTest, StopFromTheProgressRoutineWritesNothingMore) {
  const std::filesystem::path target = dir.path() / "stopped.bin";
  const Outcome outcome = fetch(http("/test/bytes/5000000"), target, [&] { downloader.stop(); });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.progress_calls, 1);
  EXPECT_EQ(outcome.stopped_calls, 1);
  EXPECT_EQ(downloader.last_end(), TransferEnd::stopped);
  EXPECT_GT(downloader.downloaded(), 0);
  EXPECT_LE(downloader.downloaded(), 10240);
  EXPECT_TRUE(test::same_bytes(file_bytes(target), pattern_bytes(0, downloader.downloaded())));
}

TEST_F(RangedDownloaderTest, StopAfterTheLastChunkStillCountsAsStopped) {
  const Outcome outcome =
      fetch(http("/test/bytes/100"), dir.path() / "small.bin", [&] { downloader.stop(); });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.stopped_calls, 1);
  EXPECT_TRUE(test::same_bytes(file_bytes(dir.path() / "small.bin"), pattern_bytes(0, 100)));
}

TEST_F(RangedDownloaderTest, StopFromAnotherThreadEndsAStalledTransfer) {
  // The stall limit is far beyond the wait: only the stop can end this transfer in time.
  downloader.set_stall_seconds(60);
  std::filesystem::path target = dir.path() / "hang.bin";
  ASSERT_TRUE(downloader.prepare(http("/fault/hang/test/bytes/100000"), target, true));
  int stopped_calls = 0;
  std::thread window([&] {
    while (!downloader.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    downloader.stop();
  });
  EXPECT_FALSE(downloader.run([] {}, [&] { ++stopped_calls; }));
  window.join();
  EXPECT_EQ(stopped_calls, 1);
  EXPECT_EQ(downloader.last_end(), TransferEnd::stopped);
  EXPECT_FALSE(downloader.is_running());
}

TEST_F(RangedDownloaderTest, StopBetweenPrepareAndRunIsHonoured) {
  std::filesystem::path target = dir.path() / "early.bin";
  ASSERT_TRUE(downloader.prepare(http("/test/bytes/1000"), target, true));
  downloader.stop();
  int stopped_calls = 0;
  EXPECT_FALSE(downloader.run([] {}, [&] { ++stopped_calls; }));
  EXPECT_EQ(stopped_calls, 1);
  EXPECT_EQ(file_bytes(target), "");
}

TEST_F(RangedDownloaderTest, CutConnectionFailsAndKeepsTheBytes) {
  const std::filesystem::path target = dir.path() / "cut.bin";
  const Outcome outcome = fetch(http("/fault/cut/test/bytes/200000"), target);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(downloader.last_end(), TransferEnd::short_body);
  const std::string kept = file_bytes(target);
  EXPECT_GT(kept.size(), 0u);
  EXPECT_LT(kept.size(), 200000u);
  EXPECT_EQ(static_cast<std::int64_t>(kept.size()), downloader.downloaded());
  EXPECT_TRUE(test::same_bytes(kept, pattern_bytes(0, static_cast<std::int64_t>(kept.size()))));
}

TEST_F(RangedDownloaderTest, SilentConnectionFailsAfterTheStallLimit) {
  downloader.set_stall_seconds(2);
  const Outcome outcome = fetch(http("/fault/hang/test/bytes/100000"), dir.path() / "hang.bin");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(downloader.last_end(), TransferEnd::network);
  EXPECT_EQ(outcome.stopped_calls, 0);
}

TEST_F(RangedDownloaderTest, NetworkFailuresEndTheTransfer) {
  const test::Socket refusing(/*listening=*/false);
  const std::string cases[] = {
      test::refusing_base_url(refusing) + "/test/bytes/10",
      server->https_url() + "/test/bytes/10",  // no CA given: the store's certificate is not trusted
      "http://no-slash-after-the-host",
  };
  for (const std::string& url : cases) {
    const Outcome outcome = fetch(url, dir.path() / "net.bin");
    EXPECT_FALSE(outcome.ok) << url;
    EXPECT_EQ(downloader.last_end(), TransferEnd::network) << url;
    EXPECT_EQ(outcome.progress_calls + outcome.stopped_calls, 0) << url;
  }
}

TEST_F(RangedDownloaderTest, FullDiskEndsAsWriteError) {
  const Outcome outcome = fetch(http("/test/bytes/100000"), "/dev/full");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(downloader.last_end(), TransferEnd::write_error);
  EXPECT_EQ(outcome.progress_calls, 0);
}

TEST_F(RangedDownloaderTest, RunWithoutAPreparedFileFails) {
  EXPECT_FALSE(downloader.run([] {}, [] {}));
  EXPECT_EQ(downloader.last_end(), TransferEnd::file_error);
  EXPECT_FALSE(downloader.is_running());
}

// Local time as the local calendar: with the clock at UTC+8 these are plain Unix times.
TEST(RangedDownloaderTime, CountsFromEightOClockOnNewYear1970) {
  const std::tm start = RangedDownloader::time_from_unix(0);
  EXPECT_EQ(start.tm_year, 70);
  EXPECT_EQ(start.tm_mon, 0);
  EXPECT_EQ(start.tm_mday, 1);
  EXPECT_EQ(start.tm_hour, 8);
  const std::tm later = RangedDownloader::time_from_unix(1700000000);  // 2023-11-14 22:13:20 UTC
  EXPECT_EQ(later.tm_year, 123);
  EXPECT_EQ(later.tm_mday, 15);
  EXPECT_EQ(later.tm_hour, 6);
  EXPECT_EQ(later.tm_min, 13);

  for (const auto& [zone, offset] : {std::pair{"CST-8", 0}, std::pair{"UTC0", -8 * 3600}}) {
    test::ZoneGuard guard(zone);
    const std::int64_t expected = static_cast<std::int64_t>(std::time(nullptr)) + offset;
    EXPECT_NEAR(static_cast<double>(RangedDownloader::unix_now()), static_cast<double>(expected), 2) << zone;
  }
}

}  // namespace
}  // namespace quillora::net
