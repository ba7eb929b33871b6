// The catalogue in the real window: the first page after start-up, paging with its messages and
// its disabled button, quick clicks, the description and the store's web pages.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QTreeWidget>
#include <algorithm>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/gui_harness.hpp"
#include "store/catalogue.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "support/zone_guard.hpp"
#include "util/gbk.hpp"

namespace quillora::test {
namespace {

// A host robot directory: the marker executable beside the program.
void place_marker(const std::filesystem::path& dir, std::string_view marker) {
  std::ofstream(dir / std::filesystem::path(std::u8string(marker.begin(), marker.end())));
}

std::vector<std::string> plugin_ids(WindowUnderTest& w) {
  std::vector<std::string> ids;
  for (int row = 0; row < w.row_count(); ++row) ids.push_back(w.cell(row, app::col_plugin_id));
  return ids;
}

class BrowseCatalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<StoreServer>();
    ASSERT_TRUE(server->start());
  }
  static void TearDownTestSuite() { server.reset(); }

  // The store's times are given at UTC+8.
  test::ZoneGuard zone_{"CST-8"};

  // A started window beside the marker of a host robot, its first page loaded.
  std::unique_ptr<WindowUnderTest> started(std::string_view marker, const store::StoreEndpoints& endpoints) {
    place_marker(dir.path(), marker);
    auto w = std::make_unique<WindowUnderTest>(dir.path(), endpoints);
    EXPECT_TRUE(w->start());
    EXPECT_TRUE(wait_until([&] { return w->control("按钮9")->isEnabled() && w->row_count() > 0; }) ||
                w->state().page_count == 0);
    return w;
  }

  static std::vector<std::string> page_ids(int robot_id, int page) {
    std::vector<std::string> ids;
    for (const auto& row : store::fetch_catalogue_page(server->endpoints(), robot_id, page))
      ids.push_back(row[app::col_plugin_id]);
    return ids;
  }

  static std::unique_ptr<StoreServer> server;
  TempDir dir;
  MessageBoxWatcher boxes;

 private:
};
std::unique_ptr<StoreServer> BrowseCatalogue::server;

TEST_F(BrowseCatalogue, FirstPageAppearsWithItsCells) {
  auto w = started("vexa.exe", server->endpoints());
  EXPECT_EQ(w->state().page_count, 3);
  EXPECT_EQ(w->state().current_page, 1);
  ASSERT_EQ(w->row_count(), 8);
  struct {
    int row;
    std::vector<std::string> cells;
  } expected[] = {
      // A name with quotes shows backslashes; "\r\n" and "\"" stay escaped in the hidden description.
      {0,
       {"超级\\签到\\助手", "星河工作室", "群管理", "Vexa", "免费", "3", "2017-6-23 15:45:00", "1001",
        "每日签到、积分排行与连续签到奖励。\\r\\n支持自定义回复：\\签到成功\\。\\r\\n配置文件路径：C:"
        "\\\\Vexa\\\\Plugin\\\\qiandao.ini",
        "20002"}},
      {1,
       {"天气预报", "小青蛙", "资讯", "Vexa", "收费", "2922", "2017-7-6 16:46:11", "1002",
        "输入“天气 城市名”查询三日天气。\\r\\n数据每小时更新一次。", "20001"}},
  };
  for (const auto& e : expected)
    for (int column = 0; column < app::plugin_column_count; ++column)
      EXPECT_EQ(w->cell(e.row, column), e.cells[static_cast<std::size_t>(column)])
          << "row " << e.row << " column " << column;
  // Seven-digit times are seconds after 08:00 on the first day, shown on the locale's clock (C: 24 h).
  EXPECT_EQ(w->cell(3, app::col_updated), "2009-2-14 07:16:40");
  EXPECT_EQ(w->cell(4, app::col_updated), "2009-2-14 16:26:40");
  EXPECT_EQ(w->cell(5, app::col_charge), "半收费");
  EXPECT_EQ(w->cell(5, app::col_updated), "1970-1-1 08:00:00");  // no update time
  EXPECT_EQ(w->cell(6, app::col_updated), "1970-1-1 08:00:00");  // an empty one
  EXPECT_EQ(w->cell(7, app::col_charge), "");                    // a charge outside 1, 2, 3
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(BrowseCatalogue, PagingClickDisablesItsButtonUntilTheLoadEnds) {
  // A slow store, so that the load is still running when the click returns.
  auto w = started("vexa.exe", server->endpoints("/fault/drip"));
  ASSERT_TRUE(click(w->window(), "按钮9"));
  EXPECT_EQ(w->state().current_page, 2);
  EXPECT_FALSE(w->control("按钮9")->isEnabled());
  for (const char* other : {"按钮6", "按钮7", "按钮8"}) EXPECT_TRUE(w->control(other)->isEnabled()) << other;
  EXPECT_FALSE(click(w->window(), "按钮9"));  // a disabled button takes no click
  ASSERT_TRUE(wait_until([&] { return w->control("按钮9")->isEnabled(); }));
  EXPECT_EQ(plugin_ids(*w), page_ids(1, 2));

  ASSERT_TRUE(click(w->window(), "按钮7"));
  EXPECT_FALSE(w->control("按钮7")->isEnabled());
  ASSERT_TRUE(wait_until([&] { return w->control("按钮7")->isEnabled(); }));
  EXPECT_EQ(plugin_ids(*w), page_ids(1, 3));
  ASSERT_TRUE(click(w->window(), "按钮8"));
  ASSERT_TRUE(wait_until([&] { return w->control("按钮8")->isEnabled(); }));
  EXPECT_EQ(w->state().current_page, 2);
  EXPECT_EQ(plugin_ids(*w), page_ids(1, 2));
  EXPECT_TRUE(boxes.shown().empty());
}

// A catalogue of three pages whose second page is large, so that over a dripping store it loads
// long after the small third page.
std::filesystem::path uneven_catalogue(const std::filesystem::path& dir) {
  auto plugin = [](int id, std::size_t detail_size) {
    std::string n = std::to_string(id);
    return R"({"plugin_id":")" + n + R"(","robot_id":1,"plugin_name":"p)" + n +
           R"(","nick_name":"a","uid":"1","type_name":"t","robot_name":"Vexa","charge":"1","down_count":"0",)" +
           R"("update_time":"1498203900","detail":")" + std::string(detail_size, 'd') + R"("})";
  };
  std::string json = R"({"page_size":2,"robots":[{"id":1,"name":"Vexa"}],"accounts":[],"plugins":[)";
  json += plugin(1, 10) + "," + plugin(2, 10) + "," + plugin(3, 100'000) + "," + plugin(4, 100'000) + "," +
          plugin(5, 10) + "]}";
  auto file = dir / "uneven.json";
  std::ofstream(file) << json;
  return file;
}

TEST_F(BrowseCatalogue, QuickClicksNeverMixTwoPages) {
  TempDir data;
  StoreServer uneven(StoreServer::Options{.catalogue = uneven_catalogue(data.path())});
  ASSERT_TRUE(uneven.start());
  auto w = started("vexa.exe", uneven.endpoints("/fault/drip"));
  ASSERT_EQ(w->state().page_count, 3);
  const std::vector<std::vector<std::string>> pages{{"1", "2"}, {"3", "4"}, {"5"}};
  bool mixed = false;
  // At every moment the list holds nothing or exactly one page.
  auto check = [&] {
    auto ids = plugin_ids(*w);
    if (!ids.empty() && std::find(pages.begin(), pages.end(), ids) == pages.end()) mixed = true;
  };
  ASSERT_TRUE(click(w->window(), "按钮9"));  // page 2: slow
  ASSERT_TRUE(click(w->window(), "按钮7"));  // page 3: quick, ends first
  ASSERT_TRUE(wait_until([&] {
    check();
    return plugin_ids(*w) == pages[2] && w->control("按钮9")->isEnabled();
  }));
  // The end of the page 2 load enables the buttons again: disable one and wait for that.
  w->window().set_enabled(app::Control::first_page_button, false);
  ASSERT_TRUE(wait_until([&] {
    check();
    return w->control("按钮6")->isEnabled();
  }));
  EXPECT_FALSE(mixed);
  EXPECT_EQ(w->state().current_page, 3);
  EXPECT_EQ(plugin_ids(*w), pages[2]);
}

TEST_F(BrowseCatalogue, PagingMessagesOfSmallCatalogues) {
  struct {
    const char* marker;
    int pages;
    std::vector<std::string> messages;  // after clicking 首页, 尾页, 上一页, 下一页
  } cases[] = {
      {"DunmereQQ机器人.exe",
       0,
       {"商城暂无本机器人的插件", "商城暂无本机器人的插件", "商城暂无本机器人的插件",
        "商城暂无本机器人的插件"}},
      {"lumop.exe", 1, {"已结是首页了", "已经是最末页了", "当前商城列表只有1页", "当前商城列表只有1页"}},
      {"vexa.exe", 3, {"已结是首页了", "已经是首页了"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.marker);
    TempDir robot_dir;
    place_marker(robot_dir.path(), c.marker);
    WindowUnderTest w(robot_dir.path(), server->endpoints());
    ASSERT_TRUE(w.start());
    EXPECT_EQ(w.state().page_count, c.pages);
    ASSERT_TRUE(wait_until([&] { return w.control("按钮9")->isEnabled(); }));
    const std::size_t before = boxes.shown().size();
    for (const char* button : {"按钮6", "按钮7", "按钮8", "按钮9"}) {
      if (c.pages == 3 && (button == std::string("按钮7") || button == std::string("按钮9"))) continue;
      ASSERT_TRUE(click(w.window(), button));
    }
    ASSERT_TRUE(boxes.wait_for(before + c.messages.size()));
    auto texts = boxes.texts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end()),
              c.messages);
    for (const auto& shown : boxes.shown()) EXPECT_EQ(shown.caption, "信息：");
    EXPECT_EQ(w.state().current_page, 1);
    for (const char* button : {"按钮6", "按钮7", "按钮8", "按钮9"})
      EXPECT_TRUE(w.control(button)->isEnabled());
  }
}

TEST_F(BrowseCatalogue, DoubleClickShowsTheDescription) {
  auto w = started("vexa.exe", server->endpoints());
  double_click_row(w->list(), 1);
  ASSERT_TRUE(boxes.wait_for(1));
  EXPECT_EQ(boxes.shown()[0].caption, "【简介】天气预报");
  EXPECT_EQ(boxes.shown()[0].text, "输入“天气 城市名”查询三日天气。\r\n\r\n数据每小时更新一次。");
}

TEST_F(BrowseCatalogue, MenuAndButtonsOpenTheStorePages) {
  auto w = started("vexa.exe", server->endpoints());
  UrlRecorder urls;
  right_click_empty(w->list());
  EXPECT_FALSE(popup_menu(w->window())->isVisible());
  select_row(w->list(), 1);
  right_click_row(w->list(), 1);
  EXPECT_TRUE(popup_menu(w->window())->isVisible());
  ASSERT_TRUE(choose_menu_item(w->window(), "查看更新历史"));
  ASSERT_TRUE(choose_menu_item(w->window(), "查看该作者其他插件"));
  ASSERT_TRUE(click(w->window(), "按钮3"));  // 网页版Quillora
  ASSERT_TRUE(click(w->window(), "按钮5"));  // 我是插件作者
  ASSERT_TRUE(click(w->window(), "按钮2"));  // 注册
  ASSERT_TRUE(wait_until([&] { return urls.urls().size() >= 5; }));
  const std::string base = server->http_url();
  EXPECT_EQ(urls.url_texts(), (std::vector<std::string>{
                                  base + "/User/Plugin/info/plugin_id/1002.html",
                                  base + "/User/Plugin/developer/uid/20001.html",
                                  base + "/web/1",
                                  base + "/Store/Developer/auth.html",
                                  base + "/Store/User/reg.html",
                              }));
  ASSERT_TRUE(click(w->window(), "按钮4"));  // 加入用户群
  ASSERT_TRUE(boxes.wait_for(1));
  EXPECT_EQ(boxes.shown()[0].text, "Quillora用户交流群：123456789");
  EXPECT_EQ(boxes.shown()[0].caption, "信息：");
}

}  // namespace
}  // namespace quillora::test
