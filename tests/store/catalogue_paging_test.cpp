#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "browse_session.hpp"
#include "store/catalogue.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using app::Control;
using test::BrowseSession;

std::vector<std::vector<std::string>> as_cells(const std::vector<PluginRow>& rows) {
  std::vector<std::vector<std::string>> cells;
  for (const auto& row : rows) cells.emplace_back(row.begin(), row.end());
  return cells;
}

const Control paging_buttons[] = {Control::first_page_button, Control::last_page_button,
                                  Control::prev_page_button, Control::next_page_button};

class CataloguePagingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<test::StoreServer>();
    server->start();
  }
  static void TearDownTestSuite() { server.reset(); }

  // The rows the list must show for a page, fetched straight from the store.
  static std::vector<std::vector<std::string>> page_rows(int robot_id, int page) {
    return as_cells(fetch_catalogue_page(server->endpoints(), robot_id, page));
  }

  static std::unique_ptr<test::StoreServer> server;
  test::TempDir dir;
};
std::unique_ptr<test::StoreServer> CataloguePagingTest::server;

TEST_F(CataloguePagingTest, PageCountComesFromTheStoreWithTheWindowBlocked) {
  struct {
    int robot_id;
    int pages;
  } cases[] = {{1, 3}, {2, 1}, {7, 0}};
  for (const auto& c : cases) {
    BrowseSession session(dir.path(), server->endpoints(), c.robot_id);
    query_page_count(session.ctx);
    EXPECT_EQ(session.state.page_count, c.pages) << "robot " << c.robot_id;
    EXPECT_EQ(session.window.blocking_runs(), std::vector<bool>{false});
  }
}

TEST_F(CataloguePagingTest, PageCountOfABrokenStoreIsZero) {
  for (const char* fault : {"/fault/500", "/fault/badjson", "/fault/cut"}) {
    auto endpoints = server->endpoints();
    endpoints.http_base += fault;
    BrowseSession session(dir.path(), endpoints, 1);
    session.state.page_count = 5;
    query_page_count(session.ctx);
    EXPECT_EQ(session.state.page_count, 0) << fault;
  }
}

struct PagingCase {
  int robot_id;
  int current_page;
  void (*click)(StoreContext&);
  Control button;
  const char* message;  // UTF-8; nullptr when the click loads a page
  int page_after;
};

TEST_F(CataloguePagingTest, ButtonsTestInOrderAndLoadTheirPage) {
  const char* none = "商城暂无本机器人的插件";
  const char* one = "当前商城列表只有1页";
  const PagingCase cases[] = {
      // No pages at all.
      {7, 1, first_page, Control::first_page_button, none, 1},
      {7, 1, previous_page, Control::prev_page_button, none, 1},
      {7, 1, next_page, Control::next_page_button, none, 1},
      {7, 1, last_page, Control::last_page_button, none, 1},
      // One page: the one-page test comes before the first-page and last-page tests.
      {2, 1, first_page, Control::first_page_button, "已结是首页了", 1},
      {2, 1, previous_page, Control::prev_page_button, one, 1},
      {2, 1, next_page, Control::next_page_button, one, 1},
      {2, 1, last_page, Control::last_page_button, "已经是最末页了", 1},
      // Three pages.
      {1, 1, first_page, Control::first_page_button, "已结是首页了", 1},
      {1, 1, previous_page, Control::prev_page_button, "已经是首页了", 1},
      {1, 1, next_page, Control::next_page_button, nullptr, 2},
      {1, 1, last_page, Control::last_page_button, nullptr, 3},
      {1, 2, previous_page, Control::prev_page_button, nullptr, 1},
      {1, 2, next_page, Control::next_page_button, nullptr, 3},
      {1, 3, first_page, Control::first_page_button, nullptr, 1},
      {1, 3, previous_page, Control::prev_page_button, nullptr, 2},
      {1, 3, next_page, Control::next_page_button, "已经是末页了", 3},
      {1, 3, last_page, Control::last_page_button, "已经是最末页了", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "robot " << c.robot_id << " page " << c.current_page << " button "
                                    << app::layout_name(c.button));
    BrowseSession session(dir.path(), server->endpoints(), c.robot_id);
    query_page_count(session.ctx);
    session.state.current_page = c.current_page;
    c.click(session.ctx);
    EXPECT_EQ(session.state.current_page, c.page_after);
    if (c.message) {
      ASSERT_EQ(session.window.messages().size(), 1u);
      EXPECT_EQ(session.window.messages()[0].text, util::utf8_to_gbk(c.message));
      EXPECT_EQ(session.window.messages()[0].caption, util::utf8_to_gbk("信息："));
      EXPECT_EQ(session.window.running_workers(), 0);
      for (auto button : paging_buttons) EXPECT_TRUE(session.window.enabled(button));
      continue;
    }
    EXPECT_TRUE(session.window.messages().empty());
    // Only the clicked button waits for the load.
    for (auto button : paging_buttons) EXPECT_EQ(session.window.enabled(button), button != c.button);
    ASSERT_TRUE(session.window.wait_for_workers());
    for (auto button : paging_buttons) EXPECT_TRUE(session.window.enabled(button));
    auto expected = page_rows(c.robot_id, c.page_after);
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(session.window.rows(), expected);
    EXPECT_EQ(session.window.off_thread_calls(), 0);
  }
}

TEST_F(CataloguePagingTest, NegativePageCountMeansNoPlugins) {
  BrowseSession session(dir.path(), server->endpoints(), 1);
  session.state.page_count = -2;
  for (auto click : {first_page, previous_page, next_page, last_page}) click(session.ctx);
  ASSERT_EQ(session.window.messages().size(), 4u);
  for (const auto& shown : session.window.messages())
    EXPECT_EQ(shown.text, util::utf8_to_gbk("商城暂无本机器人的插件"));
}

TEST_F(CataloguePagingTest, QuickClicksShowOnlyTheLatestPage) {
  // The first load drips slowly, the second is quick: the slow one ends last and must drop its rows.
  auto slow = server->endpoints();
  slow.http_base += "/fault/drip";
  BrowseSession session(dir.path(), slow, 1);
  session.state.page_count = 3;
  next_page(session.ctx);
  session.endpoints = server->endpoints();
  last_page(session.ctx);
  ASSERT_TRUE(session.window.wait_for_workers());
  EXPECT_EQ(session.state.current_page, 3);
  EXPECT_EQ(session.window.rows(), page_rows(1, 3));
  for (auto button : paging_buttons) EXPECT_TRUE(session.window.enabled(button));

  // A burst of clicks without the window getting a turn in between.
  for (int i = 0; i < 6; ++i) {
    previous_page(session.ctx);
    if (session.state.current_page == 1) next_page(session.ctx);
  }
  ASSERT_TRUE(session.window.wait_for_workers());
  EXPECT_EQ(session.window.rows(), page_rows(1, session.state.current_page));
  EXPECT_EQ(session.window.off_thread_calls(), 0);
}

TEST_F(CataloguePagingTest, BrokenPagesLeaveAnEmptyListAndTheButtonsEnabled) {
  for (const char* fault : {"/fault/500", "/fault/badjson", "/fault/cut"}) {
    SCOPED_TRACE(fault);
    auto endpoints = server->endpoints();
    endpoints.http_base += fault;
    BrowseSession session(dir.path(), endpoints, 1);
    session.state.page_count = 3;
    session.window.append_row();
    next_page(session.ctx);
    ASSERT_TRUE(session.window.wait_for_workers());
    EXPECT_TRUE(session.window.rows().empty());
    for (auto button : paging_buttons) EXPECT_TRUE(session.window.enabled(button));
    EXPECT_TRUE(session.window.messages().empty());
  }
}

TEST_F(CataloguePagingTest, ADeadStoreLeavesAnEmptyList) {
  test::StoreServer dead;
  dead.start();
  auto endpoints = dead.endpoints();
  dead.stop();
  BrowseSession session(dir.path(), endpoints, 1);
  query_page_count(session.ctx);
  EXPECT_EQ(session.state.page_count, 0);
  start_page_load(session.ctx);
  ASSERT_TRUE(session.window.wait_for_workers());
  EXPECT_TRUE(session.window.rows().empty());
}

}  // namespace
}  // namespace quillora::store
