// Downloading from the real window: the menu item "下载" on a listed plugin, the progress bar and
// line moving while the window stays usable, the guard, the file manager, closing during a transfer.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/core/plugin_columns.hpp"
#include "app/gui_harness.hpp"
#include "support/file_io.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"

namespace quillora::test {
namespace {
namespace fs = std::filesystem;

// The timer's progress line; the captures are percent, speed, total size and bytes so far.
QRegularExpressionMatch match_progress_line(const std::string& line) {
  static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
      QString::fromUtf8("下载进度：(\\d+) % 下载速度：(\\d+) KB/s 文件总大小：(\\d+) KB 已下载：(\\d+) KB")));
  return pattern.match(QString::fromStdString(line));
}

// Watches the window while a transfer runs (a timer, so it runs inside the transfer's event loop):
// keeps every bar position and progress line seen, and calls each action once when its condition
// first holds.
class TransferWatch {
 public:
  explicit TransferWatch(WindowUnderTest& window) : window_(window) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(5);
  }
  void when(std::function<bool()> condition, std::function<void()> action) {
    actions_.push_back({std::move(condition), std::move(action)});
  }
  bool transferring() const {
    return window_.state().downloader.is_running() && window_.state().downloader.downloaded() > 0;
  }
  int bar() { return window_.control<QProgressBar>("进度条1")->value(); }
  std::vector<int> bars;
  std::vector<std::string> lines;

 private:
  void poll() {
    if (!window_.state().downloader.is_running()) return;
    if (bars.empty() || bars.back() != bar()) bars.push_back(bar());
    const std::string line = window_.control_text("透明标签5");
    if (lines.empty() || lines.back() != line) lines.push_back(line);
    for (auto& [condition, action] : actions_) {
      if (action && condition()) std::exchange(action, nullptr)();
    }
  }
  WindowUnderTest& window_;
  QTimer timer_;
  std::vector<std::pair<std::function<bool()>, std::function<void()>>> actions_;
};

class DownloadWindow : public ::testing::Test {
 protected:
  // The window beside the Vexa robot, its first page listed.
  void start(StoreServer& store, std::string_view base_path = {}) {
    write_file(dir_.path() / "vexa.exe", "MZ");
    fs::create_directories(plugin_dir());
    window_ = std::make_unique<WindowUnderTest>(dir_.path(), store.endpoints(base_path));
    ASSERT_TRUE(window_->start());
    ASSERT_TRUE(wait_until([&] { return window_->row_count() > 0; }));
  }
  fs::path plugin_dir() const { return dir_.path() / "Plugin"; }
  int row_of(const std::string& plugin_id) {
    for (int row = 0; row < window_->row_count(); ++row) {
      if (window_->cell(row, app::col_plugin_id) == plugin_id) return row;
    }
    return -1;
  }
  // What the user does: a right click on the plugin's row and "下载" in the menu. Returns when the
  // download task has ended.
  void download(int row) {
    right_click_row(window_->list(), row);
    ASSERT_TRUE(choose_menu_item(window_->window(), "下载"));
  }
  void choose_download_again() { choose_menu_item(window_->window(), "下载"); }
  // A paced store, its window started, and an older "Group Manager.dll" (plugin 1003) in the plugin
  // directory: the scene of a transfer that is cut short while it runs. Sets the plugin's row.
  void start_over_older_group_manager(StoreServer& store, int& row) {
    ASSERT_TRUE(store.start());
    start(store);
    row = row_of("1003");
    ASSERT_GE(row, 0);
    write_file(plugin_dir() / "Group Manager.dll", "an older version");
  }

  TempDir dir_;
  MessageBoxWatcher boxes_;
  UrlRecorder desktop_;
  std::unique_ptr<WindowUnderTest> window_;
};

TEST_F(DownloadWindow, CompleteDownloadWhileTheWindowStaysUsable) {
  StoreServer store({.file_bytes_per_s = 128 * 1024});
  ASSERT_TRUE(store.start());
  start(store);
  const int row = row_of("1002");
  ASSERT_GE(row, 0);
  const std::string count = window_->cell(row, app::col_downloads);
  write_file(plugin_dir() / "天气预报.dll", "an older version");

  TransferWatch watch(*window_);
  watch.when([&] { return watch.transferring(); }, [&] { choose_download_again(); });
  // docs/download.png is this moment: bar and progress line both showing the transfer.
  QImage shot;
  watch.when(
      [&] {
        return watch.bar() >= 40 && watch.bar() <= 80 &&
               match_progress_line(window_->control_text("透明标签5")).hasMatch();
      },
      [&] { shot = window_->window().grab().toImage(); });
  download(row);

  EXPECT_EQ(boxes_.texts(), (std::vector<std::string>{"请等待前一个下载任务完成", "下载完成!"}));
  EXPECT_EQ(read_file(plugin_dir() / "天气预报.dll"), StoreServer::plugin_file_bytes("天气预报.dll", 262144));
  EXPECT_FALSE(fs::exists(plugin_dir() / "天气预报.dll.part"));
  EXPECT_EQ(watch.bar(), 100);
  EXPECT_EQ(window_->cell(row, app::col_downloads), std::to_string(std::stoi(count) + 1));
  EXPECT_EQ(window_->control_text("透明标签1"), "当前任务：天气预报 文件名：天气预报.dll");
  ASSERT_EQ(desktop_.urls().size(), 1u);
  EXPECT_EQ(fs::path(utf8(desktop_.urls()[0].toLocalFile())), plugin_dir());

  // The bar moved through the transfer, and the timer's line showed it with the file's real size.
  EXPECT_TRUE(
      std::any_of(watch.bars.begin(), watch.bars.end(), [](int bar) { return bar > 0 && bar < 100; }));
  int drawn = 0;
  for (const std::string& line : watch.lines) {
    const QRegularExpressionMatch figures = match_progress_line(line);
    if (!figures.hasMatch()) continue;
    ++drawn;
    if (figures.captured(4) != "0") {
      EXPECT_EQ(figures.captured(3), "256") << line;
    }
  }
  EXPECT_GE(drawn, 1);
  ASSERT_FALSE(shot.isNull());
  if (const char* path = std::getenv("QUILLORA_DOWNLOAD_SCREENSHOT")) {
    EXPECT_TRUE(shot.save(path));
  }
}

TEST_F(DownloadWindow, ClosingDuringTheTransferStopsItAndEndsTheProgram) {
  StoreServer store({.file_bytes_per_s = 512 * 1024});
  int row = -1;
  ASSERT_NO_FATAL_FAILURE(start_over_older_group_manager(store, row));

  TransferWatch watch(*window_);
  watch.when([&] { return watch.transferring(); }, [&] { window_->window().close(); });
  download(row);

  EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"正在停止下载..."});
  EXPECT_TRUE(window_->window().end_requested());
  EXPECT_TRUE(window_->window().was_closed());
  EXPECT_EQ(window_->window().exit_status(), 0);
  EXPECT_EQ(read_file(plugin_dir() / "Group Manager.dll"), "an older version");
  EXPECT_GT(fs::file_size(plugin_dir() / "Group Manager.dll.part"), 0u);
  EXPECT_TRUE(desktop_.urls().empty());
}

TEST_F(DownloadWindow, CutConnectionFailsAndTheWindowThenClosesNormally) {
  StoreServer store({.file_bytes_per_s = 512 * 1024});
  int row = -1;
  ASSERT_NO_FATAL_FAILURE(start_over_older_group_manager(store, row));

  TransferWatch watch(*window_);
  watch.when([&] { return watch.transferring(); }, [&] { store.kill(); });
  download(row);

  EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"下载失败！"});
  EXPECT_EQ(window_->control_text("透明标签1"), "无");
  EXPECT_EQ(read_file(plugin_dir() / "Group Manager.dll"), "an older version");
  EXPECT_NE(watch.bar(), 100);
  EXPECT_TRUE(desktop_.urls().empty());

  window_->window().close();
  EXPECT_TRUE(window_->window().was_closed());
  EXPECT_FALSE(window_->window().end_requested());
  EXPECT_EQ(boxes_.texts().size(), 1u);
}

TEST_F(DownloadWindow, WithoutContentLengthTheBarJumpsToHundredAtTheEnd) {
  StoreServer store;
  ASSERT_TRUE(store.start());
  start(store, "/fault/nolength/fault/drip");
  const int row = row_of("1002");
  ASSERT_GE(row, 0);

  TransferWatch watch(*window_);
  download(row);

  EXPECT_EQ(boxes_.texts(), std::vector<std::string>{"下载完成!"});
  EXPECT_EQ(watch.bars, std::vector<int>{0});
  EXPECT_EQ(watch.bar(), 100);
  int drawn = 0;
  for (const std::string& line : watch.lines) {
    if (line == "下载进度：无") continue;
    ++drawn;
    EXPECT_TRUE(line.starts_with("下载进度：0 % ")) << line;
    EXPECT_NE(line.find(" 文件总大小：0 KB "), std::string::npos) << line;
  }
  EXPECT_GE(drawn, 1);
  EXPECT_EQ(read_file(plugin_dir() / "天气预报.dll"), StoreServer::plugin_file_bytes("天气预报.dll", 262144));
}

}  // namespace
}  // namespace quillora::test
