// The download task end to end against the local store: the window is a recording one, the files
// are real ones in a temporary robot directory, the transfers go over loopback HTTP and HTTPS.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/app_state.hpp"
#include "app/core/plugin_columns.hpp"
#include "store/download_task.hpp"
#include "store/store_context.hpp"
#include "support/file_io.hpp"
#include "support/recording_window.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using test::read_file;
using test::write_file;
using namespace util::literals;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Every entry under root with its content ("<dir>" for directories), by relative path.
std::map<std::string, std::string> tree(const fs::path& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    entries[name] = entry.is_directory() ? "<dir>" : read_file(entry.path());
  }
  return entries;
}

// A recording window that also keeps every progress bar position and progress line it was given.
class ProgressWindow : public test::RecordingWindow {
 public:
  void set_progress(int percent) override {
    positions.push_back(percent);
    RecordingWindow::set_progress(percent);
  }
  void set_text(app::Control control, const std::string& text) override {
    if (control == app::Control::progress_label) lines.push_back(util::gbk_to_utf8(text));
    RecordingWindow::set_text(control, text);
  }
  std::vector<std::string> message_texts() const {
    std::vector<std::string> texts;
    for (const auto& message : messages()) texts.push_back(util::gbk_to_utf8(message.text));
    return texts;
  }
  std::vector<int> positions;
  std::vector<std::string> lines;
};

struct SamplePlugin {
  std::string id;
  std::string name;  // UTF-8, as the list shows it
  std::string file;  // UTF-8
  std::uint64_t size;
};
const SamplePlugin weather{"1002", "天气预报", "天气预报.dll", 262144};
const SamplePlugin emoji{"1012", "表情包大全", "biaoqing.dll", 1048576};
const SamplePlugin manager{"1003", "群管家Pro", "Group Manager.dll", 6303801};

// The Vexa robot's directory, its plugin directory, and the plugin's row selected in the list.
class DownloadSession {
 public:
  explicit DownloadSession(const StoreEndpoints& store) : endpoints(store) {
    state.program_dir = root.path() / "robot";
    state.plugin_dir = state.program_dir / "Plugin";
    fs::create_directories(state.plugin_dir);
    write_file(state.program_dir / "vexa.exe", "host");
    state.robot_id = 1;
  }
  void show_row(const std::string& plugin_id, const std::string& name, const std::string& downloads) {
    const int row = window.append_row();
    window.set_cell(row, app::col_name, util::utf8_to_gbk(name));
    window.set_cell(row, app::col_downloads, downloads);
    window.set_cell(row, app::col_plugin_id, plugin_id);
    window.select_row(row);
  }
  fs::path plugin_file(const std::string& utf8_name) const { return state.plugin_dir / utf8_name; }
  std::string downloads() { return window.cell(window.selected_row(), app::col_downloads); }

  test::TempDir root;
  app::AppState state;
  StoreEndpoints endpoints;
  ProgressWindow window;
  StoreContext ctx{state, window, endpoints};
};

// Runs action on the window's thread as soon as the transfer has written its first bytes.
std::jthread once_transferring(DownloadSession& session, std::function<void()> action) {
  return std::jthread([&session, action = std::move(action)](std::stop_token stop) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
      if (session.state.downloader.is_running() && session.state.downloader.downloaded() > 0) {
        session.window.post(action);
        return;
      }
      std::this_thread::sleep_for(1ms);
    }
  });
}

// The window's timer: a tick every interval on the window's thread until stopped.
std::jthread ticking(DownloadSession& session, std::chrono::milliseconds interval) {
  return std::jthread([&session, interval](std::stop_token stop) {
    while (!stop.stop_requested()) {
      session.window.post([&session] { show_download_status(session.ctx); });
      std::this_thread::sleep_for(interval);
    }
  });
}

TEST(DownloadTask, CompleteDownloadReplacesTheOlderPluginOverHttpAndHttps) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "https" : "http");
    StoreEndpoints endpoints = store.endpoints();
    // Over TLS the link comes back as an https link, which only the store's CA vouches for.
    if (tls) endpoints.http_base = store.https_url();
    DownloadSession session(endpoints);
    write_file(session.plugin_file(weather.file), "an older version");
    session.show_row(weather.id, weather.name, "12");

    request_download(session.ctx);

    EXPECT_EQ(read_file(session.plugin_file(weather.file)),
              test::StoreServer::plugin_file_bytes(weather.file, weather.size));
    EXPECT_FALSE(fs::exists(session.plugin_file(weather.file + ".part")));
    EXPECT_EQ(session.window.message_texts(), std::vector<std::string>{"下载完成!"});
    EXPECT_EQ(session.window.progress(), 100);
    EXPECT_EQ(session.window.opened_directories(),
              std::vector<std::string>{session.state.plugin_dir.string()});
    EXPECT_EQ(session.downloads(), "13");
    EXPECT_EQ(util::gbk_to_utf8(session.window.text(app::Control::task_label)),
              "当前任务：天气预报 文件名：天气预报.dll");
    EXPECT_FALSE(session.state.downloading);
    // The link request blocks the window; the transfer leaves it usable.
    EXPECT_EQ(session.window.blocking_runs(), (std::vector<bool>{false, true}));
    EXPECT_EQ(session.window.off_thread_calls(), 0);
  }
}

TEST(DownloadTask, StoreRefusalShowsTheDecodedMessageAndTouchesNothing) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  struct Case {
    std::string plugin_id;
    bool store_down;
    std::string message;
  };
  const Case cases[] = {
      {"424242", false, "插件不存在或已下架"},
      // No reply at all: an empty reply's empty message.
      {weather.id, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plugin_id);
    if (c.store_down) store.stop();
    DownloadSession session(store.endpoints());
    write_file(session.plugin_file(weather.file), "an older version");
    session.show_row(c.plugin_id, weather.name, "12");
    const auto before = tree(session.root.path());

    request_download(session.ctx);

    EXPECT_EQ(session.window.message_texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(tree(session.root.path()), before);
    EXPECT_EQ(session.downloads(), "12");
    EXPECT_TRUE(session.window.positions.empty());
    EXPECT_TRUE(session.window.opened_directories().empty());
    EXPECT_FALSE(session.state.downloading);
  }
}

TEST(DownloadTask, HostileNamesAreRefusedBeforeAnythingIsTouched) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  struct Case {
    std::string plugin_id;
    std::string older_file;  // a file of the link's name in the plugin directory, "" for none
  };
  const Case cases[] = {
      {"9001", ""},                  // the link ends in "/.."
      {"9002", "a\\b.dll"},          // a backslash in the name
      {"9003", "..\\..\\evil.dll"},  // "..%5C..%5Cevil.dll", which the message decoding unescapes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plugin_id);
    DownloadSession session(store.endpoints());
    if (!c.older_file.empty()) write_file(session.plugin_file(c.older_file), "an older version");
    write_file(session.root.path() / "evil.dll", "outside");
    session.show_row(c.plugin_id, "test", "");
    const auto before = tree(session.root.path());

    request_download(session.ctx);

    EXPECT_EQ(session.window.message_texts(), std::vector<std::string>{"下载失败！"});
    EXPECT_EQ(tree(session.root.path()), before);
    EXPECT_EQ(session.downloads(), "1");  // the store answered: counted before the transfer
    EXPECT_TRUE(session.window.positions.empty());
    EXPECT_FALSE(session.state.downloading);
  }
}

TEST(DownloadTask, ErrorPageIsNoPlugin) {
  // A catalogue whose plugin links to a file that the store does not have: its 404 page comes back.
  test::TempDir data;
  const fs::path catalogue = data.path() / "catalogue.json";
  write_file(catalogue, R"({"page_size": 8, "robots": [{"id": 1, "name": "Vexa"}], "accounts": [],
      "plugins": [{"plugin_id": "77", "robot_id": 1, "plugin_name": "gone",
                   "file": {"name": "gone.dll", "size": 4096, "link": "missing.dll"}}]})");
  test::StoreServer store({.catalogue = catalogue});
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  write_file(session.plugin_file("missing.dll"), "an older version");
  session.show_row("77", "gone", "12");
  const auto before = tree(session.root.path());

  request_download(session.ctx);

  EXPECT_EQ(session.window.message_texts(), std::vector<std::string>{"下载失败！"});
  EXPECT_EQ(util::gbk_to_utf8(session.window.text(app::Control::task_label)), "无");
  EXPECT_EQ(session.downloads(), "13");
  auto after = tree(session.root.path());
  // Only the temporary file may remain beside the older plugin, and it holds no part of the page.
  EXPECT_EQ(after["robot/Plugin/missing.dll.part"], "");
  after.erase("robot/Plugin/missing.dll.part");
  EXPECT_EQ(after, before);
}

TEST(DownloadTask, CutConnectionKeepsTheOlderPluginAndThePartialFile) {
  test::StoreServer store({.file_bytes_per_s = 1 << 20});
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  write_file(session.plugin_file(manager.file), "an older version");
  session.show_row(manager.id, manager.name, "12");
  auto cut = once_transferring(session, [&store] { store.kill(); });

  request_download(session.ctx);

  EXPECT_EQ(session.window.message_texts(), std::vector<std::string>{"下载失败！"});
  EXPECT_EQ(read_file(session.plugin_file(manager.file)), "an older version");
  const std::string partial = read_file(session.plugin_file(manager.file + ".part"));
  EXPECT_GT(partial.size(), 0u);
  EXPECT_LT(partial.size(), manager.size);
  EXPECT_EQ(partial,
            test::StoreServer::plugin_file_bytes(manager.file, manager.size).substr(0, partial.size()));
  EXPECT_EQ(util::gbk_to_utf8(session.window.text(app::Control::task_label)), "无");
  EXPECT_EQ(session.downloads(), "13");
  EXPECT_TRUE(session.window.opened_directories().empty());
  EXPECT_FALSE(session.state.downloading);
}

TEST(DownloadTask, SecondDownloadIsRefusedWhileOneRuns) {
  test::StoreServer store({.file_bytes_per_s = 1 << 20});
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  session.show_row(emoji.id, emoji.name, "7");
  auto second = once_transferring(session, [&session] { request_download(session.ctx); });

  request_download(session.ctx);

  EXPECT_EQ(session.window.message_texts(),
            (std::vector<std::string>{"请等待前一个下载任务完成", "下载完成!"}));
  EXPECT_EQ(read_file(session.plugin_file(emoji.file)),
            test::StoreServer::plugin_file_bytes(emoji.file, emoji.size));
  EXPECT_EQ(session.downloads(), "8");
}

TEST(DownloadTask, ClosingDuringTheTransferStopsItAndEndsTheProgram) {
  test::StoreServer store({.file_bytes_per_s = 1 << 20});
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  write_file(session.plugin_file(manager.file), "an older version");
  session.show_row(manager.id, manager.name, "12");
  bool close_allowed = true;
  auto close = once_transferring(session, [&] { close_allowed = confirm_close(session.ctx); });

  EXPECT_FALSE(download_task(session.ctx, manager.id));
  session.window.process_events();

  EXPECT_FALSE(close_allowed);
  // "正在停止下载..." and then nothing more: the program ends.
  EXPECT_EQ(session.window.message_texts(), std::vector<std::string>{"正在停止下载..."});
  EXPECT_EQ(session.window.end_status(), 0);
  EXPECT_TRUE(session.state.exit_after_stop);
  EXPECT_EQ(read_file(session.plugin_file(manager.file)), "an older version");
  const auto partial_size = fs::file_size(session.plugin_file(manager.file + ".part"));
  EXPECT_GT(partial_size, 0u);
  EXPECT_LT(partial_size, manager.size);
  EXPECT_FALSE(session.state.downloader.is_running());
  EXPECT_TRUE(confirm_close(session.ctx));  // nothing runs now: the window may close
}

// The window may close while the link is still being fetched (nothing is written yet); the task
// must then end there, not start a transfer that no window can stop any more.
TEST(DownloadTask, ClosingWhileTheLinkIsFetchedEndsTheTaskBeforeAnyFileIsTouched) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  write_file(session.plugin_file(manager.file), "an older version");
  session.show_row(manager.id, manager.name, "12");
  bool close_allowed = false;
  // Posted calls run while the link request blocks the window.
  session.window.post([&] { close_allowed = confirm_close(session.ctx); });

  EXPECT_FALSE(download_task(session.ctx, manager.id));

  EXPECT_TRUE(close_allowed);
  EXPECT_TRUE(session.window.message_texts().empty());
  EXPECT_EQ(read_file(session.plugin_file(manager.file)), "an older version");
  EXPECT_FALSE(fs::exists(session.plugin_file(manager.file + ".part")));
  EXPECT_FALSE(session.state.downloading);
}

TEST(DownloadTask, ProgressLineFollowsTheTransferFromItsOwnStart) {
  test::StoreServer store({.file_bytes_per_s = 512 * 1024});
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  session.show_row(weather.id, weather.name, "1");
  const std::regex line(R"(下载进度：(\d+) % 下载速度：(-?\d+) KB/s 文件总大小：(\d+) KB 已下载：(\d+) KB)");
  // Twice in a row: the second transfer measures its speed from its own start, not from the end
  // of the first one.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    session.window.lines.clear();
    {
      auto timer = ticking(session, 40ms);
      ASSERT_TRUE(download_task(session.ctx, weather.id));
    }
    session.window.process_events();
    ASSERT_GE(session.window.lines.size(), 3u);
    long long gained = 0;
    for (const std::string& text : session.window.lines) {
      std::smatch figures;
      ASSERT_TRUE(std::regex_match(text, figures, line)) << text;
      const long long percent = std::stoll(figures[1]), speed = std::stoll(figures[2]);
      const long long done = std::stoll(figures[4]);
      const long long total = std::stoll(figures[3]);
      // Before the response has come the size is not known yet; nothing has arrived either.
      if (total == 0) {
        EXPECT_EQ(done, 0) << text;
      } else {
        EXPECT_EQ(total, 256) << text;
      }
      EXPECT_GE(speed, 0) << text;
      EXPECT_LE(done, 256) << text;
      // The percent and the done figure describe the same moment: a chunk and the cuts apart at most.
      EXPECT_NEAR(percent * 256 / 100.0, done, 14.0) << text;
      gained += speed;
    }
    // The speed figures add up to what arrived while the line was drawn (each cut below 1 KB).
    std::smatch last;
    std::regex_match(session.window.lines.back(), last, line);
    EXPECT_LE(gained, std::stoll(last[4]));
    EXPECT_GE(gained, std::stoll(last[4]) - static_cast<long long>(session.window.lines.size()));
  }
}

TEST(DownloadTask, WithoutContentLengthTheBarJumpsFromZeroToHundred) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints("/fault/nolength/fault/drip"));
  session.show_row(weather.id, weather.name, "1");
  {
    auto timer = ticking(session, 40ms);
    ASSERT_TRUE(download_task(session.ctx, weather.id));
  }
  session.window.process_events();

  EXPECT_EQ(session.window.positions, (std::vector<int>{0, 100}));
  ASSERT_FALSE(session.window.lines.empty());
  for (const std::string& text : session.window.lines) {
    EXPECT_TRUE(text.starts_with("下载进度：0 % ")) << text;
    EXPECT_NE(text.find(" 文件总大小：0 KB "), std::string::npos) << text;
  }
  EXPECT_EQ(read_file(session.plugin_file(weather.file)),
            test::StoreServer::plugin_file_bytes(weather.file, weather.size));
}

// A file size limit makes every write past it fail, as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t old_handler_;
};

TEST(DownloadTask, WriteFailureRemovesTheTemporaryFile) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  write_file(session.plugin_file(manager.file), "an older version");
  session.show_row(manager.id, manager.name, "12");
  {
    FileSizeLimit full_disk(1 << 20);
    request_download(session.ctx);
  }

  EXPECT_EQ(session.window.message_texts(), std::vector<std::string>{"下载失败！"});
  EXPECT_EQ(read_file(session.plugin_file(manager.file)), "an older version");
  EXPECT_FALSE(fs::exists(session.plugin_file(manager.file + ".part")));
  EXPECT_EQ(util::gbk_to_utf8(session.window.text(app::Control::task_label)), "无");
  EXPECT_FALSE(session.state.downloading);
}

}  // namespace
}  // namespace quillora::store
