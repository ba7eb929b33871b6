// The Window interface as the store logic uses it, on the real Qt window: GBK texts in and out,
// the list, message boxes, worker threads and calls carried to the window's thread, waiting for a
// job while the window keeps running, the desktop and the end of the program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "app/gui_harness.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::test {
namespace {

using app::Control;
using namespace util::literals;

class WindowInterface : public ::testing::Test {
 protected:
  WindowInterface() { window_.window().show(); }
  app::Window& ui() { return window_.window(); }

  TempDir dir_;
  ListeningPort port_;
  WindowUnderTest window_{dir_.path(),
                          {.http_base = port_.url(), .https_base = port_.url("https"), .local = true}};
};

TEST_F(WindowInterface, TextsCrossTheEdgeAsGbk) {
  ui().set_caption("Vexa机器人 - Quillora Ver：1.6"_gbk);
  EXPECT_EQ(window_.caption(), "Vexa机器人 - Quillora Ver：1.6");

  window_.control<QLineEdit>("编辑框1")->setText(qstr("张三"));
  EXPECT_EQ(ui().text(Control::account_edit), "张三"_gbk);
  ui().set_text(Control::password_edit, "p&ss密码"_gbk);
  EXPECT_EQ(utf8(window_.control<QLineEdit>("编辑框2")->text()), "p&ss密码");
  ui().set_text(Control::status_label, "状态：已登录"_gbk);
  EXPECT_EQ(window_.control_text("透明标签4"), "状态：已登录");
  EXPECT_EQ(ui().text(Control::next_page_button), "下一页"_gbk);
}

TEST_F(WindowInterface, EnableAndProgress) {
  ui().set_enabled(Control::next_page_button, false);
  EXPECT_FALSE(window_.control("按钮9")->isEnabled());
  EXPECT_FALSE(click(window_.window(), "按钮9"));
  ui().set_enabled(Control::next_page_button, true);
  EXPECT_TRUE(window_.control("按钮9")->isEnabled());

  ui().set_progress(42);
  EXPECT_EQ(window_.control<QProgressBar>("进度条1")->value(), 42);
}

TEST_F(WindowInterface, ListRowsCellsAndSelection) {
  EXPECT_EQ(ui().selected_row(), -1);
  EXPECT_EQ(ui().cell(-1, 0), "");
  EXPECT_EQ(ui().append_row(), 0);
  EXPECT_EQ(ui().append_row(), 1);
  ui().set_cell(1, 0, "天气插件"_gbk);
  ui().set_cell(1, 9, "1024"_gbk);      // a hidden column holds its text too
  ui().set_cell(5, 0, "nowhere"_gbk);   // no such row: ignored
  ui().set_cell(1, 10, "nowhere"_gbk);  // no such column: ignored
  EXPECT_EQ(ui().cell(1, 0), "天气插件"_gbk);
  EXPECT_EQ(ui().cell(1, 9), "1024");
  EXPECT_EQ(ui().cell(0, 0), "");
  EXPECT_EQ(ui().cell(2, 0), "");
  EXPECT_EQ(ui().cell(-1, 0), "");
  EXPECT_EQ(window_.row_count(), 2);

  select_row(window_.list(), 1);
  EXPECT_EQ(ui().selected_row(), 1);
  select_row(window_.list(), 0);
  EXPECT_EQ(ui().selected_row(), 0);  // one row at a time

  ui().clear_rows();
  EXPECT_EQ(window_.row_count(), 0);
  EXPECT_EQ(ui().selected_row(), -1);
}

TEST_F(WindowInterface, MessageBoxHasOneOkButtonNoOwnerAndBlocksTheApplication) {
  MessageBoxWatcher boxes;
  ui().message_box("登录成功！"_gbk);
  ui().message_box(""_gbk, "提示"_gbk);
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[0].text, "登录成功！");
  EXPECT_EQ(boxes.shown()[0].caption, "信息：");
  EXPECT_EQ(boxes.shown()[0].buttons, 1);
  EXPECT_TRUE(boxes.shown()[0].has_ok_button);
  EXPECT_TRUE(boxes.shown()[0].application_modal);
  EXPECT_FALSE(boxes.shown()[0].has_parent);
  EXPECT_EQ(boxes.shown()[1].text, "");  // an empty message is still shown
  EXPECT_EQ(boxes.shown()[1].caption, "提示");
}

TEST_F(WindowInterface, PostedCallsRunOnTheWindowThreadInOrder) {
  const auto window_thread = std::this_thread::get_id();
  std::vector<int> seen;
  bool all_on_window_thread = true;
  // The worker posts through a reference taken here: the harness's pointer to the window is the
  // test thread's, which resets it at the end while the worker is joined only afterwards.
  app::Window& window = ui();
  window.start_worker([&] {
    for (int i = 0; i < 200; ++i) {
      window.post([&, i] {
        seen.push_back(i);
        all_on_window_thread = all_on_window_thread && std::this_thread::get_id() == window_thread;
      });
    }
  });
  ASSERT_TRUE(wait_until([&] { return seen.size() == 200; }));
  EXPECT_TRUE(all_on_window_thread);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(seen[i], i);
}

TEST(WindowWorkers, AreJoinedBeforeTheWindowGoesAway) {
  TempDir dir;
  ListeningPort port;
  std::atomic<int> finished{0};
  {
    WindowUnderTest window(dir.path(),
                           {.http_base = port.url(), .https_base = port.url("https"), .local = true});
    app::Window& ui = window.window();
    for (int i = 0; i < 3; ++i) {
      ui.start_worker([&] {
        std::this_thread::sleep_for(100ms);
        ui.post([] {});  // posting while the window is being destroyed is harmless
        ++finished;
      });
    }
  }
  EXPECT_EQ(finished.load(), 3);
}

TEST_F(WindowInterface, RunAndWaitRunsTheJobElsewhereAndKeepsTheWindowRunning) {
  for (bool allow_input : {false, true}) {
    SCOPED_TRACE(allow_input);
    std::atomic<int> ticks{0};
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    std::thread::id job_thread;
    bool done = false;
    ui().run_and_wait(
        [&] {
          job_thread = std::this_thread::get_id();
          // Ends once the window's thread has handled a few timer events: proof that it did not block.
          while (ticks.load() < 3) std::this_thread::sleep_for(1ms);
          done = true;
        },
        allow_input);
    EXPECT_TRUE(done);
    EXPECT_NE(job_thread, std::this_thread::get_id());
  }
}

TEST_F(WindowInterface, RunAndWaitWithAJobThatEndsAtOnce) {
  int runs = 0;
  for (int i = 0; i < 50; ++i) ui().run_and_wait([&] { ++runs; }, i % 2 == 0);
  EXPECT_EQ(runs, 50);
}

TEST_F(WindowInterface, PopupMenuOpensOverTheWindow) {
  ui().popup_menu();
  QMenu* menu = popup_menu(window_.window());
  ASSERT_TRUE(wait_until([&] { return menu->isVisible(); }));
  menu->hide();
}

TEST_F(WindowInterface, UrlsAndDirectoriesGoToTheDesktop) {
  UrlRecorder desktop;
  ui().open_url("http://127.0.0.1:1/User/Plugin/info/plugin_id/42.html"_gbk);
  ui().open_directory((dir_.path() / "Plugin").string());
  ASSERT_EQ(desktop.urls().size(), 2u);
  EXPECT_EQ(desktop.url_texts()[0], "http://127.0.0.1:1/User/Plugin/info/plugin_id/42.html");
  EXPECT_TRUE(desktop.urls()[1].isLocalFile());
  EXPECT_EQ(utf8(desktop.urls()[1].toLocalFile()), (dir_.path() / "Plugin").string());
}

TEST_F(WindowInterface, EndProgramClosesWithoutAskingAndKeepsTheStatus) {
  bool closed = false;
  QObject::connect(&window_.window(), &ui::MainWindow::closed, [&] { closed = true; });
  ui().end_program(3);
  EXPECT_TRUE(closed);
  EXPECT_FALSE(window_.window().isVisible());
  EXPECT_TRUE(window_.window().was_closed());
  EXPECT_EQ(window_.window().exit_status(), 3);
}

TEST_F(WindowInterface, ClosingWithNoDownloadRunningClosesAtOnce) {
  EXPECT_TRUE(window_.window().close());
  EXPECT_TRUE(window_.window().was_closed());
  EXPECT_EQ(window_.window().exit_status(), 0);
}

}  // namespace
}  // namespace quillora::test
