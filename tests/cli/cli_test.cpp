// quillora-cli run as a process against the local store: every command's output and exit status.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/core/plugin_columns.hpp"
#include "app/core/program_dirs.hpp"
#include "cli_process.hpp"
#include "store/catalogue.hpp"
#include "store/settings_file.hpp"
#include "support/file_io.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::test {
namespace {
using namespace util::literals;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// A host robot's directory (Vexa unless told otherwise) and the options that point the CLI at it
// and at a store.
class RobotDir {
 public:
  explicit RobotDir(const std::string& marker = "vexa.exe") {
    fs::create_directories(dir());
    if (!marker.empty()) write_file(dir() / marker, "host");
  }
  fs::path dir() const { return root_.path() / "机器人"; }
  fs::path plugin_dir() const { return dir() / "Plugin"; }
  std::vector<std::string> args(const store::StoreEndpoints& store, std::vector<std::string> command) const {
    std::vector<std::string> all{"--program-dir", dir().string(),    "--store-url",
                                 store.http_base, "--store-tls-url", store.https_base};
    if (!store.ca_file.empty()) all.insert(all.end(), {"--ca-file", store.ca_file});
    all.insert(all.end(), command.begin(), command.end());
    return all;
  }
  std::string setting(const std::string& utf8_key) const {
    return store::read_setting(app::settings_file_path(dir()), "登录"_gbk, util::utf8_to_gbk(utf8_key));
  }

 private:
  TempDir root_;
};

class Cli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store_.start()); }
  CliResult run(const RobotDir& robot, std::vector<std::string> command, std::string input = {}) {
    return run_cli(robot.args(store_.endpoints(), std::move(command)), std::move(input));
  }
  StoreServer store_;
};

TEST_F(Cli, RobotPrintsTheDetectedHostOrEndsWithoutOne) {
  RobotDir vexa;
  CliResult found = run(vexa, {"robot"});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out, "title\tVexa机器人 - Quillora Ver：1.6\nrobot_id\t1\nplugin_dir\t" +
                           vexa.plugin_dir().string() + "/\n");
  EXPECT_EQ(found.err, "");

  RobotDir nowhere("");
  CliResult missing = run(nowhere, {"robot"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "将本插件放入机器人目录下，可直接下载指定机器人的插件哦。\n");
}

TEST_F(Cli, PagesPrintsTheStoresCount) {
  struct Case {
    std::string marker;
    std::string out;
  };
  for (const Case& c :
       {Case{"vexa.exe", "3\n"}, Case{"lumop.exe", "1\n"}, Case{"DunmereQQ机器人.exe", "0\n"}}) {
    RobotDir robot(c.marker);
    CliResult result = run(robot, {"pages"});
    EXPECT_EQ(result.status, 0) << c.marker;
    EXPECT_EQ(result.out, c.out) << c.marker;
  }
}

TEST_F(Cli, ListPrintsTheCellsTheWindowShows) {
  RobotDir vexa;
  for (int page : {1, 3}) {
    SCOPED_TRACE(page);
    CliResult result = run(vexa, {"list", std::to_string(page)});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    // The window's own conversion of the same page, written out by hand.
    std::string expected;
    for (const store::PluginRow& row : store::fetch_catalogue_page(store_.endpoints(), 1, page)) {
      for (int column = 0; column < app::plugin_column_count; ++column) {
        expected += util::gbk_to_utf8(row[column]) + (column + 1 < app::plugin_column_count ? "\t" : "\n");
      }
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(result.out, expected);
  }
  const std::vector<std::string> first = lines_of(run(vexa, {"list"}).out);
  ASSERT_EQ(first.size(), 8u);
  EXPECT_TRUE(first[1].starts_with("天气预报\t小青蛙\t资讯\tVexa\t收费\t2922\t")) << first[1];
  EXPECT_EQ(run(vexa, {"list", "1"}).out, run(vexa, {"list"}).out);
}

TEST_F(Cli, ListOfAnEmptyOrBrokenPageIsNoLines) {
  RobotDir vexa;
  const CliResult past_the_end = run(vexa, {"list", "4"});
  EXPECT_EQ(past_the_end.status, 0);
  EXPECT_EQ(past_the_end.out, "");
  const CliResult broken = run_cli(vexa.args(store_.endpoints("/fault/badjson"), {"list"}));
  EXPECT_EQ(broken.status, 0);
  EXPECT_EQ(broken.out, "");
}

TEST_F(Cli, ShowPrintsTheDescriptionWithItsLineBreaks) {
  RobotDir vexa;
  const std::string description =
      "每日签到、积分排行与连续签到奖励。\r\n\r\n支持自定义回复：\\签到成功\\。\r\n\r\n"
      "配置文件路径：C:\\\\Vexa\\\\Plugin\\\\qiandao.ini\n";
  CliResult found = run(vexa, {"show", "1001"});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out, description);
  EXPECT_EQ(run(vexa, {"show", "1001", "1"}).out, description);
  // Without a page every page is searched; with one, only that page.
  std::string third_page_id = lines_of(run(vexa, {"list", "3"}).out).front();
  for (int column = 0; column < app::col_plugin_id; ++column)
    third_page_id.erase(0, third_page_id.find('\t') + 1);
  third_page_id.erase(third_page_id.find('\t'));
  EXPECT_EQ(run(vexa, {"show", third_page_id}).status, 0);
  CliResult elsewhere = run(vexa, {"show", third_page_id, "1"});
  EXPECT_EQ(elsewhere.status, 1);
  EXPECT_EQ(elsewhere.out, "");
}

TEST_F(Cli, LoginWritesTheAccountOrShowsTheStoresMessage) {
  RobotDir vexa;
  CliResult refused = run(vexa, {"login", "demo"}, "wrong\n");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "账号或密码错误\n");  // sent as \u escapes
  EXPECT_FALSE(fs::exists(app::settings_file_path(vexa.dir())));

  CliResult empty = run(vexa, {"login", "demo"}, "\n");
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(empty.err, "请输入密码\n");

  // A non-ASCII account and a password with "&", typed in UTF-8 and sent as GBK.
  CliResult signed_in = run(vexa, {"login", "张三"}, "p&ss\n");
  EXPECT_EQ(signed_in.status, 0);
  EXPECT_EQ(signed_in.out, "登录成功！\n");
  EXPECT_EQ(signed_in.err, "");
  EXPECT_EQ(vexa.setting("账号"), "张三"_gbk);
  EXPECT_EQ(vexa.setting("uid"), "10002");
  EXPECT_FALSE(vexa.setting("token").empty());
  EXPECT_FALSE(vexa.setting("密码").empty());
}

// The store's text is shown, never obeyed: control characters in its messages reach the terminal
// as visible escapes, whichever way the message is printed.
TEST_F(Cli, ControlCharactersFromTheStoreArePrintedVisibly) {
  RobotDir vexa;
  const store::StoreEndpoints hostile = store_.endpoints("/fault/escapes");
  const std::string shown = "\\x1b]0;PWNED\\x07\\x1b[2J\\x1b[31m失败\n";
  CliResult login = run_cli(vexa.args(hostile, {"login", "demo"}), "demo123\n");
  EXPECT_EQ(login.status, 1);
  EXPECT_EQ(login.err, shown);
  CliResult recommend = run_cli(vexa.args(hostile, {"recommend", "1005"}));
  EXPECT_EQ(recommend.status, 1);
  EXPECT_EQ(recommend.err, shown);
}

TEST_F(Cli, CheckAndRecommendUseTheSavedLogin) {
  RobotDir vexa;
  CliResult none = run(vexa, {"check"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "状态：未登录\n");
  CliResult anonymous = run(vexa, {"recommend", "1005"});
  EXPECT_EQ(anonymous.status, 1);
  EXPECT_EQ(anonymous.err, "请先登录\n");

  ASSERT_EQ(run(vexa, {"login", "demo"}, "demo123\n").status, 0);
  CliResult checked = run(vexa, {"check"});
  EXPECT_EQ(checked.status, 0);
  EXPECT_EQ(checked.out, "状态：已登录\n");
  CliResult recommended = run(vexa, {"recommend", "1005"});
  EXPECT_EQ(recommended.status, 0);
  EXPECT_EQ(recommended.out, "打榜成功！\n");
  EXPECT_TRUE(lines_of(run(vexa, {"list"}).out).front().starts_with("点歌台\t"));  // now ranked first
  CliResult unknown = run(vexa, {"recommend", "424242"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "插件不存在\n");

  // A login that the store no longer knows is refused and forgotten; the account stays.
  ASSERT_TRUE(
      store::write_setting(app::settings_file_path(vexa.dir()), "登录"_gbk, "token", "bm90IGEgdG9rZW4="));
  CliResult stale = run(vexa, {"check"});
  EXPECT_EQ(stale.status, 1);
  EXPECT_EQ(stale.out, "状态：未登录\n");
  EXPECT_EQ(vexa.setting("uid"), "");
  EXPECT_EQ(vexa.setting("token"), "");
  EXPECT_EQ(vexa.setting("账号"), "demo");
}

TEST_F(Cli, DownloadWritesThePluginOrFailsWithoutTouchingIt) {
  RobotDir vexa;
  fs::create_directories(vexa.plugin_dir());
  write_file(vexa.plugin_dir() / "天气预报.dll", "an older version");
  CliResult done = run(vexa, {"download", "1002"});
  EXPECT_EQ(done.status, 0);
  EXPECT_EQ(done.out, "下载完成!\n");
  // Not a terminal: one plain line with the final figures.
  EXPECT_TRUE(done.err.starts_with("下载进度：100 % 下载速度：")) << done.err;
  EXPECT_TRUE(done.err.ends_with(" KB/s 文件总大小：256 KB 已下载：256 KB\n")) << done.err;
  EXPECT_EQ(read_file(vexa.plugin_dir() / "天气预报.dll"),
            StoreServer::plugin_file_bytes("天气预报.dll", 262144));

  write_file(vexa.plugin_dir() / "a\\b.dll", "an older version");
  CliResult hostile = run(vexa, {"download", "9002"});
  EXPECT_EQ(hostile.status, 1);
  EXPECT_EQ(hostile.out, "");
  EXPECT_EQ(hostile.err, "下载失败！\n");
  EXPECT_EQ(read_file(vexa.plugin_dir() / "a\\b.dll"), "an older version");

  CliResult refused = run(vexa, {"download", "424242"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "插件不存在或已下架\n");
}

TEST(CliDownload, CtrlCStopsTheTransferAndKeepsThePartialFile) {
  StoreServer store({.file_bytes_per_s = 512 * 1024});
  ASSERT_TRUE(store.start());
  RobotDir vexa;
  fs::create_directories(vexa.plugin_dir());
  const fs::path target = vexa.plugin_dir() / "Group Manager.dll";
  write_file(target, "an older version");
  CliProcess cli(vexa.args(store.endpoints(), {"download", "1003"}));
  const fs::path partial = vexa.plugin_dir() / "Group Manager.dll.part";
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  std::error_code ec;
  // Bytes in the temporary file: the transfer runs, and the handler is in place.
  const auto transferring = [&] { return fs::exists(partial, ec) && fs::file_size(partial, ec) > 0; };
  while (std::chrono::steady_clock::now() < deadline && !transferring()) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(transferring());
  cli.signal(SIGINT);
  CliResult stopped = cli.wait();

  EXPECT_EQ(stopped.status, 130);
  EXPECT_FALSE(stopped.signaled);  // it exited by itself, after stopping
  EXPECT_EQ(stopped.out, "");
  EXPECT_TRUE(stopped.err.starts_with("正在停止下载...\n")) << stopped.err;
  EXPECT_EQ(stopped.err.find("下载失败！"), std::string::npos);
  EXPECT_EQ(read_file(target), "an older version");
  const auto kept = fs::file_size(partial, ec);
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, 6303801u);
}

TEST(CliUsage, BadCommandLinesExitWithTwoAndHelpWithZero) {
  RobotDir vexa;
  const std::vector<std::vector<std::string>> bad{
      {},       {"frobnicate"}, {"list", "x"},      {"list", "0"},   {"list", "1", "2"},
      {"show"}, {"download"},   {"robot", "extra"}, {"--store-url"}, {"--no-such-option", "robot"},
  };
  for (const auto& args : bad) {
    std::vector<std::string> all{"--program-dir", vexa.dir().string()};
    all.insert(all.end(), args.begin(), args.end());
    CliResult result = run_cli(all);
    EXPECT_EQ(result.status, 2) << (args.empty() ? "(none)" : args.front());
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(result.err.empty());
  }
  CliResult help = run_cli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"robot", "pages", "list [PAGE]", "show PLUGIN_ID [PAGE]", "login ACCOUNT",
                              "check", "recommend PLUGIN_ID", "download PLUGIN_ID", "--store-url"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  CliResult download_help = run_cli({"download", "--help"});
  EXPECT_EQ(download_help.status, 0);
  EXPECT_TRUE(download_help.out.starts_with("Usage: quillora-cli [options] download PLUGIN_ID\n"));
  EXPECT_NE(download_help.out.find("Ctrl-C"), std::string::npos);
}

}  // namespace
}  // namespace quillora::test
