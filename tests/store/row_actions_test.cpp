#include "store/row_actions.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "browse_session.hpp"
#include "store/account.hpp"
#include "store/catalogue.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;
using test::BrowseSession;

class RowActionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<test::StoreServer>();
    server->start();
  }
  static void TearDownTestSuite() { server.reset(); }

  // A session showing the first page of robot 1, the row "row" selected.
  std::unique_ptr<BrowseSession> showing_first_page(int row = 0) {
    auto session = std::make_unique<BrowseSession>(dir.path(), server->endpoints(), 1);
    query_page_count(session->ctx);
    start_page_load(session->ctx);
    EXPECT_TRUE(session->window.wait_for_workers());
    EXPECT_GT(session->window.rows().size(), static_cast<std::size_t>(row));
    session->window.select_row(row);
    return session;
  }

  void sign_in_as(BrowseSession& session, const std::string& account, const std::string& password) {
    session.window.set_text(app::Control::account_edit, account);
    session.window.set_text(app::Control::password_edit, password);
    sign_in(session.ctx);
    session.window.clear_messages();
  }

  static std::unique_ptr<test::StoreServer> server;
  test::TempDir dir;
};
std::unique_ptr<test::StoreServer> RowActionsTest::server;

TEST_F(RowActionsTest, DoubleClickShowsTheDescription) {
  auto session = showing_first_page(1);
  auto& window = session->window;
  show_details(session->ctx);
  ASSERT_EQ(window.messages().size(), 1u);
  EXPECT_EQ(window.messages()[0].caption, "【简介】"_gbk + window.cell(1, app::col_name));
  EXPECT_EQ(window.messages()[0].text, description_text(window.cell(1, app::col_detail)));

  window.select_row(-1);
  show_details(session->ctx);
  open_row_menu(session->ctx);
  EXPECT_EQ(window.messages().size(), 1u);
  EXPECT_EQ(window.popup_count(), 0);
  window.select_row(0);
  open_row_menu(session->ctx);
  EXPECT_EQ(window.popup_count(), 1);
}

TEST_F(RowActionsTest, LinksOpenTheStorePages) {
  auto session = showing_first_page(2);
  auto& window = session->window;
  const auto& base = session->endpoints.http_base;
  open_update_history(session->ctx);
  open_author_page(session->ctx);
  open_author_signup(session->ctx);
  open_register_page(session->ctx);
  open_web_edition(session->ctx);
  session->state.robot_id = 7;  // no web edition of its own: the main host
  open_web_edition(session->ctx);
  std::vector<std::string> expected{
      base + "/User/Plugin/info/plugin_id/" + window.cell(2, app::col_plugin_id) + ".html",
      base + "/User/Plugin/developer/uid/" + window.cell(2, app::col_author_uid) + ".html",
      base + "/Store/Developer/auth.html",
      base + "/Store/User/reg.html",
      base + "/web/1",
      base,
  };
  EXPECT_EQ(window.opened_urls(), expected);

  // The list was emptied under an open menu: the commands find no row and do nothing.
  window.clear_rows();
  open_update_history(session->ctx);
  open_author_page(session->ctx);
  recommend(session->ctx);
  EXPECT_EQ(window.opened_urls().size(), expected.size());
  EXPECT_TRUE(window.blocking_runs().size() == 1u);  // only the page count blocked
  EXPECT_TRUE(window.messages().empty());

  show_user_group(session->ctx);
  ASSERT_EQ(window.messages().size(), 1u);
  EXPECT_EQ(window.messages()[0].text, "Quillora用户交流群：123456789"_gbk);
  EXPECT_EQ(window.messages()[0].caption, "信息："_gbk);
}

TEST_F(RowActionsTest, RecommendationSignedInGoesBackToTheFirstPage) {
  auto session = showing_first_page();
  sign_in_as(*session, "demo", "demo123");
  ASSERT_FALSE(session->state.token.empty());
  next_page(session->ctx);
  ASSERT_TRUE(session->window.wait_for_workers());
  ASSERT_EQ(session->state.current_page, 2);
  session->window.select_row(0);
  recommend(session->ctx);
  ASSERT_EQ(session->window.messages().size(), 1u);
  EXPECT_EQ(session->window.messages()[0].text, "打榜成功！"_gbk);
  EXPECT_EQ(session->state.current_page, 1);
  ASSERT_TRUE(session->window.wait_for_workers());
  auto first = fetch_catalogue_page(session->endpoints, 1, 1);
  ASSERT_EQ(session->window.rows().size(), first.size());
  EXPECT_EQ(session->window.cell(0, app::col_plugin_id), first[0][app::col_plugin_id]);
  EXPECT_EQ(session->window.blocking_runs().back(), false);
}

TEST_F(RowActionsTest, RecommendationRefusedShowsTheStoreMessage) {
  auto session = showing_first_page();
  next_page(session->ctx);
  ASSERT_TRUE(session->window.wait_for_workers());
  session->window.select_row(0);
  recommend(session->ctx);  // nobody signed in: empty uid and token
  ASSERT_EQ(session->window.messages().size(), 1u);
  const auto& text = session->window.messages()[0].text;
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find("\\u"), std::string::npos) << "shown undecoded";
  EXPECT_NE(text, "打榜成功！"_gbk);
  EXPECT_EQ(session->state.current_page, 2);
  EXPECT_EQ(session->window.running_workers(), 0);

  // A store out of reach: an empty message, nothing else.
  session->endpoints.https_base = server->endpoints().https_base + "/fault/500";
  session->window.clear_messages();
  recommend(session->ctx);
  ASSERT_EQ(session->window.messages().size(), 1u);
  EXPECT_EQ(session->window.messages()[0].text, "");
  EXPECT_EQ(session->state.current_page, 2);
}

}  // namespace
}  // namespace quillora::store
