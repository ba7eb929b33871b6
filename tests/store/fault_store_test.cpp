// Faults against the local store and the machine: a store that dies and comes back, replies that
// never end or never stop, a page far larger than any real one, a disk that fills up, a robot
// directory that cannot be written, settings files that are not what they should be. In each case
// nothing the user had is lost and the user is told.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/core/app_state.hpp"
#include "app/core/plugin_columns.hpp"
#include "browse_session.hpp"
#include "store/catalogue.hpp"
#include "store/download_task.hpp"
#include "store/startup.hpp"
#include "store/store_context.hpp"
#include "support/recording_window.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;
using namespace std::chrono_literals;
using namespace std::string_literals;
using app::Control;
using test::read_bytes;
using test::write_bytes;
namespace fs = std::filesystem;

const Control paging_buttons[] = {Control::first_page_button, Control::last_page_button,
                                  Control::prev_page_button, Control::next_page_button};

// Every entry under root with its content ("<dir>" for directories), by relative path.
std::map<std::string, std::string> tree(const fs::path& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    entries[name] = entry.is_directory() ? "<dir>" : read_bytes(entry.path());
  }
  return entries;
}

std::vector<std::string> message_texts(const test::RecordingWindow& window) {
  std::vector<std::string> texts;
  for (const auto& message : window.messages()) texts.push_back(util::gbk_to_utf8(message.text));
  return texts;
}

// 群管家Pro: 6 MiB, long enough to be caught in the middle of its transfer.
const std::string manager_id = "1003";
const std::string manager_file = "Group Manager.dll";
constexpr std::uint64_t manager_size = 6303801;

// The Vexa robot's directory with its plugin directory, and the plugin's row selected in the list.
struct DownloadSession {
  explicit DownloadSession(const StoreEndpoints& store, const fs::path& plugin_dir = {}) : endpoints(store) {
    state.program_dir = root.path() / "robot";
    state.plugin_dir = plugin_dir.empty() ? state.program_dir / "Plugin" : plugin_dir;
    fs::create_directories(state.plugin_dir);
    write_bytes(state.program_dir / "vexa.exe", "host");
    state.robot_id = 1;
    const int row = window.append_row();
    window.set_cell(row, app::col_name, "群管家Pro"_gbk);
    window.set_cell(row, app::col_downloads, "12");
    window.set_cell(row, app::col_plugin_id, manager_id);
    window.select_row(row);
  }
  fs::path plugin_file(const std::string& name = manager_file) const { return state.plugin_dir / name; }

  test::TempDir root;
  app::AppState state;
  StoreEndpoints endpoints;
  test::RecordingWindow window;
  StoreContext ctx{state, window, endpoints};
};

// Runs action on the window's thread once the transfer has written its first bytes.
std::jthread once_transferring(DownloadSession& session, std::function<void()> action) {
  return std::jthread([&session, action = std::move(action)](std::stop_token stop) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
      if (session.state.downloader.is_running() && session.state.downloader.downloaded() > 0) {
        session.window.post(action);
        return;
      }
      std::this_thread::sleep_for(1ms);
    }
  });
}

TEST(StoreFault, KilledMidDownloadThenRestartedTheNextDownloadSucceeds) {
  test::StoreServer store({.file_bytes_per_s = 2 << 20});
  ASSERT_TRUE(store.start());
  DownloadSession session(store.endpoints());
  write_bytes(session.plugin_file(), "an older version");
  auto crash = once_transferring(session, [&store] { store.kill(); });

  request_download(session.ctx);
  crash.join();

  EXPECT_EQ(message_texts(session.window), std::vector<std::string>{"下载失败！"});
  EXPECT_EQ(read_bytes(session.plugin_file()), "an older version");
  EXPECT_FALSE(session.state.downloading);

  // The same ports again: the user simply tries once more, over what the first try left behind.
  ASSERT_TRUE(store.restart());
  session.window.clear_messages();
  request_download(session.ctx);

  EXPECT_EQ(message_texts(session.window), std::vector<std::string>{"下载完成!"});
  EXPECT_EQ(read_bytes(session.plugin_file()),
            test::StoreServer::plugin_file_bytes(manager_file, manager_size));
  EXPECT_FALSE(fs::exists(session.plugin_file(manager_file + ".part")));
  EXPECT_FALSE(session.state.downloading);
}

TEST(StoreFault, PageThatNeverEndsLeavesTheWindowResponsive) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  test::TempDir dir;
  test::BrowseSession session(dir.path(), store.endpoints("/fault/hang"), 1);
  session.state.page_count = 3;
  session.window.append_row();

  start_page_load(session.ctx);

  // The load waits on its worker; the window thread goes on running whatever it is given.
  ASSERT_TRUE(session.window.wait_until([&] { return session.window.rows().empty(); }, 5s));
  for (int i = 0; i < 3; ++i) {
    bool ran = false;
    session.window.post([&ran] { ran = true; });
    EXPECT_TRUE(session.window.wait_until([&] { return ran; }, 2s));
  }
  EXPECT_EQ(session.window.running_workers(), 1);

  // The server going away ends the wait well before the request's own time-out.
  store.kill();
  ASSERT_TRUE(session.window.wait_for_workers(10s));
  EXPECT_TRUE(session.window.rows().empty());
  for (auto button : paging_buttons) EXPECT_TRUE(session.window.enabled(button));
  EXPECT_TRUE(session.window.messages().empty());
  EXPECT_EQ(session.window.off_thread_calls(), 0);
}

TEST(StoreFault, HugeCatalogueReplyLeavesAnEmptyList) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  test::TempDir dir;
  test::BrowseSession session(dir.path(), store.endpoints("/fault/huge"), 1);

  query_page_count(session.ctx);
  EXPECT_EQ(session.state.page_count, 0);

  session.state.page_count = 3;
  session.window.append_row();
  start_page_load(session.ctx);
  ASSERT_TRUE(session.window.wait_for_workers(30s));
  EXPECT_TRUE(session.window.rows().empty());
  for (auto button : paging_buttons) EXPECT_TRUE(session.window.enabled(button));
  EXPECT_TRUE(session.window.messages().empty());
}

TEST(StoreFault, PageOfFiveThousandPluginsShowsEveryRow) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  test::TempDir dir;
  test::BrowseSession session(dir.path(), store.endpoints("/fault/big"), 1);

  start_page_load(session.ctx);
  ASSERT_TRUE(session.window.wait_for_workers(30s));

  const auto& rows = session.window.rows();
  ASSERT_EQ(rows.size(), 5000u);
  const auto fetched = fetch_catalogue_page(store.endpoints("/fault/big"), 1, 1);
  ASSERT_EQ(fetched.size(), 5000u);
  for (std::size_t i : {std::size_t{0}, std::size_t{2500}, std::size_t{4999}}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i], std::vector<std::string>(fetched[i].begin(), fetched[i].end()));
    EXPECT_FALSE(rows[i][app::col_name].empty());
    EXPECT_FALSE(rows[i][app::col_plugin_id].empty());
  }
  for (auto button : paging_buttons) EXPECT_TRUE(session.window.enabled(button));
}

// A small tmpfs on a directory of its own, unmounted at the end. Only root may mount; ready()
// tells whether it worked, and why not.
class SmallTmpfs {
 public:
  explicit SmallTmpfs(const fs::path& where, const char* options) : where_(where) {
    fs::create_directories(where_);
    if (::geteuid() != 0) {
      why_not_ = "mounting a tmpfs needs root";
      return;
    }
    if (::mount("tmpfs", where_.c_str(), "tmpfs", 0, options) != 0) {
      why_not_ = std::string("mount -t tmpfs failed: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~SmallTmpfs() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool ready() const { return mounted_; }
  const std::string& why_not() const { return why_not_; }
  // Makes the file system read-only; false when that fails.
  bool make_read_only() {
    return ::mount(nullptr, where_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  fs::path where_;
  bool mounted_ = false;
  std::string why_not_;
};

TEST(StoreFault, DiskFullDuringTheDownloadKeepsTheOlderPlugin) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  test::TempDir disk_dir;
  SmallTmpfs disk(disk_dir.path() / "disk", "size=2m");
  if (!disk.ready()) GTEST_SKIP() << "no small disk to fill: " << disk.why_not();
  DownloadSession session(store.endpoints(), disk_dir.path() / "disk" / "Plugin");
  write_bytes(session.plugin_file(), "an older version");

  request_download(session.ctx);

  EXPECT_EQ(message_texts(session.window), std::vector<std::string>{"下载失败！"});
  EXPECT_EQ(read_bytes(session.plugin_file()), "an older version");
  // The partial file would hold the disk full; it goes.
  EXPECT_FALSE(fs::exists(session.plugin_file(manager_file + ".part")));
  EXPECT_EQ(util::gbk_to_utf8(session.window.text(Control::task_label)), "无");
  EXPECT_FALSE(session.state.downloading);
}

TEST(StoreFault, ReadOnlyRobotDirectoryWritesNothing) {
  test::StoreServer store;
  ASSERT_TRUE(store.start());
  test::TempDir disk_dir;
  const fs::path plugin_dir = disk_dir.path() / "disk" / "Plugin";
  // Root writes through permission bits: for root, the directory lives on a read-only mount.
  std::optional<SmallTmpfs> disk;
  if (::geteuid() == 0) {
    disk.emplace(disk_dir.path() / "disk", "size=1m");
    if (!disk->ready()) GTEST_SKIP() << "no read-only disk for root: " << disk->why_not();
  }
  DownloadSession session(store.endpoints(), plugin_dir);
  write_bytes(session.plugin_file(), "an older version");
  if (disk) {
    ASSERT_TRUE(disk->make_read_only()) << std::strerror(errno);
  } else {
    fs::permissions(plugin_dir, fs::perms::owner_read | fs::perms::owner_exec);
  }
  const auto before = tree(plugin_dir);

  request_download(session.ctx);

  if (!disk) fs::permissions(plugin_dir, fs::perms::owner_all);
  EXPECT_EQ(message_texts(session.window), std::vector<std::string>{"下载失败！"});
  EXPECT_EQ(tree(plugin_dir), before);
  EXPECT_TRUE(session.window.opened_directories().empty());
  EXPECT_FALSE(session.state.downloading);
}

// Start-up over a settings file that is not a settings file: the window comes up with the first
// page as always, and the file is left as it was.
class HostileSettingsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<test::StoreServer>();
    server->start();
  }
  static void TearDownTestSuite() { server.reset(); }

  // Starts the program over dir and checks what the window shows.
  void start_up(test::BrowseSession& session) {
    ASSERT_TRUE(on_window_created(session.ctx));
    ASSERT_TRUE(session.window.wait_for_workers());
    EXPECT_EQ(session.state.page_count, 3);
    EXPECT_EQ(session.window.rows().size(), 8u);
    EXPECT_NE(session.window.text(Control::status_label), "状态：已登录"_gbk);
    EXPECT_TRUE(session.state.uid.empty());
    EXPECT_TRUE(session.state.token.empty());
  }

  static std::unique_ptr<test::StoreServer> server;
  test::TempDir dir;
};
std::unique_ptr<test::StoreServer> HostileSettingsTest::server;

std::string garbage(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

TEST_F(HostileSettingsTest, FilesThatAreNoSettingsAreReadAsEmptyAndKept) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string ten_mib(10 << 20, 'x');
  const Case cases[] = {
      {"binary garbage", garbage(64 << 10)},
      {"binary garbage with line breaks and brackets", "[\r\n=\0\xff]\n"s + garbage(4096) + "\r\n[=]"},
      {"10 MiB without a line break", ten_mib},
      {"10 MiB of one account value",
       "["s + "登录"_gbk + "]\r\n" + "账号"_gbk + "=" + ten_mib + "\r\nuid=\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir program;
    write_bytes(program.path() / "vexa.exe", "host");
    test::BrowseSession session(program.path(), server->endpoints(), 0);
    write_bytes(session.settings_file(), c.bytes);

    start_up(session);

    EXPECT_LE(session.window.text(Control::account_edit).size(), 10239u);
    EXPECT_EQ(read_bytes(session.settings_file()), c.bytes);
  }
}

TEST_F(HostileSettingsTest, DirectoryInPlaceOfTheFileStaysADirectory) {
  write_bytes(dir.path() / "vexa.exe", "host");
  test::BrowseSession session(dir.path(), server->endpoints(), 0);
  fs::create_directory(session.settings_file());
  write_bytes(session.settings_file() / "keep", "mine");

  start_up(session);

  EXPECT_TRUE(fs::is_directory(session.settings_file()));
  EXPECT_EQ(read_bytes(session.settings_file() / "keep"), "mine");
  EXPECT_EQ(session.window.text(Control::account_edit), "");
}

TEST_F(HostileSettingsTest, UnreadableFileIsKept) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads a file whatever its mode says";
  write_bytes(dir.path() / "vexa.exe", "host");
  test::BrowseSession session(dir.path(), server->endpoints(), 0);
  const std::string saved = "["s + "登录"_gbk + "]\r\nuid=10001\r\ntoken=x\r\n";
  write_bytes(session.settings_file(), saved);
  fs::permissions(session.settings_file(), fs::perms::none);

  start_up(session);

  fs::permissions(session.settings_file(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(read_bytes(session.settings_file()), saved);
}

}  // namespace
}  // namespace quillora::store
