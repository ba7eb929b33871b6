// Each event of the window reaches its operation: buttons, the list's double and right click, the
// menu items. The store is a dead address, so every request fails at once; what is checked is the
// operation's first visible effect (a page opened, a message, the page number and its button).
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <string>

#include "app/core/plugin_columns.hpp"
#include "app/gui_harness.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::test {
namespace {

using namespace util::literals;

std::string dead_store() { return ListeningPort().url(); }  // the port closes again at once

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class EventBindings : public ::testing::Test {
 protected:
  EventBindings() {
    window_.window().show();
    window_.state().robot_id = 1;
    window_.state().current_page = 2;
    window_.state().page_count = 4;
    app::Window& ui = window_.window();
    const char* names[] = {"天气插件", "翻译插件"};
    for (int i = 0; i < 2; ++i) {
      const int row = ui.append_row();
      ui.set_cell(row, app::col_name, util::utf8_to_gbk(names[i]));
      ui.set_cell(row, app::col_plugin_id, std::to_string(40 + i));
      ui.set_cell(row, app::col_detail, "第一行\\n第二行"_gbk);
      ui.set_cell(row, app::col_author_uid, std::to_string(700 + i));
    }
  }

  TempDir dir_;
  std::string store_ = dead_store();
  WindowUnderTest window_{dir_.path(),
                          {.http_base = store_, .https_base = "https" + store_.substr(4), .local = true}};
  MessageBoxWatcher boxes_;
  UrlRecorder desktop_;
};

TEST_F(EventBindings, PagingButtonsMoveThePageAndLoadIt) {
  struct Case {
    const char* button;
    int page_after;
  };
  for (const Case& c : {Case{"按钮6", 1}, Case{"按钮7", 4}, Case{"按钮8", 1}, Case{"按钮9", 3}}) {
    SCOPED_TRACE(c.button);
    window_.state().current_page = 2;
    ASSERT_TRUE(click(window_.window(), c.button));
    EXPECT_EQ(window_.state().current_page, c.page_after);
    // The clicked button alone waits for the load, which gives it back when it ends.
    for (const char* other : {"按钮6", "按钮7", "按钮8", "按钮9"}) {
      EXPECT_EQ(window_.control(other)->isEnabled(), std::string(other) != c.button) << other;
    }
    EXPECT_TRUE(wait_until([&] { return window_.control(c.button)->isEnabled(); }));
  }
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(EventBindings, LinkButtonsOpenTheirPages) {
  ASSERT_TRUE(click(window_.window(), "按钮2"));
  ASSERT_TRUE(click(window_.window(), "按钮3"));
  ASSERT_TRUE(click(window_.window(), "按钮5"));
  const auto urls = desktop_.url_texts();
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_EQ(urls[0], store_ + "/Store/User/reg.html");
  EXPECT_EQ(urls[1], store_ + "/web/1");
  EXPECT_EQ(urls[2], store_ + "/Store/Developer/auth.html");
}

TEST_F(EventBindings, SignInAndUserGroupButtonsSpeak) {
  ASSERT_TRUE(click(window_.window(), "按钮1"));  // no account typed in
  ASSERT_TRUE(click(window_.window(), "按钮4"));
  ASSERT_EQ(boxes_.shown().size(), 2u);
  EXPECT_EQ(boxes_.shown()[0].text, "请输入账号");
  EXPECT_EQ(boxes_.shown()[1].text.rfind("Quillora用户交流群：", 0), 0u) << boxes_.shown()[1].text;
}

TEST_F(EventBindings, DoubleClickShowsTheDescriptionOfTheRow) {
  double_click_row(window_.list(), 1);
  ASSERT_TRUE(boxes_.wait_for(1));
  EXPECT_EQ(boxes_.shown()[0].caption, "【简介】翻译插件");
  EXPECT_EQ(boxes_.shown()[0].text, "第一行\r\n第二行");
}

TEST_F(EventBindings, RightClickOnARowOpensTheMenuAndItsItemsActOnThatRow) {
  QMenu* menu = popup_menu(window_.window());
  right_click_empty(window_.list());
  process_events_for(20ms);
  EXPECT_FALSE(menu->isVisible());  // no row selected yet

  right_click_row(window_.list(), 1);
  EXPECT_EQ(window_.window().selected_row(), 1);
  ASSERT_TRUE(wait_until([&] { return menu->isVisible(); }));
  ASSERT_TRUE(choose_menu_item(window_.window(), "查看更新历史"));
  ASSERT_TRUE(choose_menu_item(window_.window(), "查看该作者其他插件"));
  const auto urls = desktop_.url_texts();
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_TRUE(ends_with(urls[0], "/User/Plugin/info/plugin_id/41.html")) << urls[0];
  EXPECT_TRUE(ends_with(urls[1], "/User/Plugin/developer/uid/701.html")) << urls[1];
}

TEST_F(EventBindings, RequestMenuItemsReportTheDeadStore) {
  select_row(window_.list(), 0);
  for (const char* item : {"帮它打榜/置顶", "下载"}) {
    SCOPED_TRACE(item);
    const auto before = boxes_.shown().size();
    ASSERT_TRUE(choose_menu_item(window_.window(), item));
    EXPECT_TRUE(boxes_.wait_for(before + 1));
  }
  EXPECT_FALSE(window_.state().downloading);
}

}  // namespace
}  // namespace quillora::test
