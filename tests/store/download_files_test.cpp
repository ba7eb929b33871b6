// The plugin file rules under the download: which link names are refused, the progress line, and
// the commit that makes a complete temporary file the plugin.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "store/download_task.hpp"
#include "store/plugin_file.hpp"
#include "support/file_io.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using test::read_file;
using test::write_file;
using namespace util::literals;
namespace fs = std::filesystem;

TEST(PluginName, OnlyNamesThatStayInsideThePluginDirectoryPass) {
  struct Case {
    std::string gbk_name;
    bool safe;
  };
  const Case cases[] = {
      {"a.dll", true},
      {"插件.dll"_gbk, true},
      {".hidden", true},
      {"...", true},
      {"a..b", true},
      // GBK 0x81 0x5C is one character whose second byte happens to be "\".
      {"\x81\\.dll", true},
      {"", false},
      {".", false},
      {"..", false},
      {"..\\..\\evil.dll", false},
      {"a\\b.dll", false},
      {"a/b.dll", false},
      {std::string("a\0b.dll", 7), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_safe_plugin_name(c.gbk_name), c.safe) << util::gbk_to_utf8(c.gbk_name);
  }
}

TEST(PluginFile, CommitReplacesTheTargetWithTheCompleteFile) {
  test::TempDir dir;
  const fs::path target = dir.path() / "插件.dll";
  const fs::path partial = partial_path(target);
  EXPECT_EQ(partial.filename(), "插件.dll.part");
  write_file(target, "old plugin");
  write_file(partial, "new plugin");

  ASSERT_TRUE(commit_plugin_file(partial, target));
  EXPECT_EQ(read_file(target), "new plugin");
  EXPECT_FALSE(fs::exists(partial));
}

TEST(PluginFile, FailedCommitLeavesTheTargetAlone) {
  test::TempDir dir;
  const fs::path target = dir.path() / "a.dll";
  write_file(target, "old plugin");
  // Nothing to commit.
  EXPECT_FALSE(commit_plugin_file(partial_path(target), target));
  EXPECT_EQ(read_file(target), "old plugin");
  // A directory in the target's place is never replaced.
  const fs::path occupied = dir.path() / "b.dll";
  fs::create_directory(occupied);
  write_file(occupied / "inside", "x");
  write_file(partial_path(occupied), "new plugin");
  EXPECT_FALSE(commit_plugin_file(partial_path(occupied), occupied));
  EXPECT_EQ(read_file(occupied / "inside"), "x");
}

TEST(PluginFile, RemovalSparesDirectories) {
  test::TempDir dir;
  fs::create_directory(dir.path() / "a.dll.part");
  remove_plugin_file(dir.path() / "a.dll.part");
  EXPECT_TRUE(fs::is_directory(dir.path() / "a.dll.part"));
  write_file(dir.path() / "b.dll.part", "x");
  remove_plugin_file(dir.path() / "b.dll.part");
  EXPECT_FALSE(fs::exists(dir.path() / "b.dll.part"));
  remove_plugin_file(dir.path() / "missing.part");  // no complaint
}

TEST(DownloadStatusLine, FiguresAreWholeKilobytesCutTowardZero) {
  struct Case {
    std::int64_t percent, downloaded, total, last;
    std::string line;
  };
  const Case cases[] = {
      {0, 0, 0, 0, "下载进度：0 % 下载速度：0 KB/s 文件总大小：0 KB 已下载：0 KB"},
      {50, 1048576, 2097152, 524288, "下载进度：50 % 下载速度：512 KB/s 文件总大小：2048 KB 已下载：1024 KB"},
      {33, 1023, 3100, 0, "下载进度：33 % 下载速度：0 KB/s 文件总大小：3 KB 已下载：0 KB"},
      // Without a Content-Length the total stays 0 while the count grows.
      {0, 10240 * 3, 0, 10240, "下载进度：0 % 下载速度：20 KB/s 文件总大小：0 KB 已下载：30 KB"},
      // A count below the baseline (a new transfer measured against an old one) is cut toward zero.
      {1, 100, 10000, 2047, "下载进度：1 % 下载速度：-1 KB/s 文件总大小：9 KB 已下载：0 KB"},
      {100, 6442450944, 6442450944, 6442450944 - 4096,
       "下载进度：100 % 下载速度：4 KB/s 文件总大小：6291456 KB 已下载：6291456 KB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(util::gbk_to_utf8(download_status_line(c.percent, c.downloaded, c.total, c.last)), c.line);
  }
}

}  // namespace
}  // namespace quillora::store
