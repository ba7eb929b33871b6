#include "store/startup.hpp"

#include <gtest/gtest.h>

#include "browse_session.hpp"
#include "store/account.hpp"
#include "store/catalogue.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;
using app::Control;
using test::BrowseSession;

TEST(WindowCreated, RestoresTheLoginCountsPagesAndLoadsTheFirstPage) {
  test::StoreServer server;
  server.start();
  test::TempDir dir;
  test::write_bytes(dir.path() / "vexa.exe", "");
  {
    BrowseSession first(dir.path(), server.endpoints(), 0);
    first.window.set_text(Control::account_edit, "demo");
    first.window.set_text(Control::password_edit, "demo123");
    sign_in(first.ctx);
    ASSERT_EQ(first.window.text(Control::status_label), "状态：已登录"_gbk);
  }
  BrowseSession s(dir.path(), server.endpoints(), 0);
  s.state.current_page = 0;
  ASSERT_TRUE(on_window_created(s.ctx));
  EXPECT_EQ(s.state.robot_id, 1);
  EXPECT_EQ(s.state.current_page, 1);
  EXPECT_EQ(s.window.text(Control::account_edit), "demo");
  EXPECT_EQ(s.window.text(Control::password_edit), "demo123");
  EXPECT_EQ(s.window.text(Control::status_label), "状态：已登录"_gbk);
  EXPECT_EQ(s.state.page_count, 3);
  // The login check and the page count block the window; the page loads on a worker that is
  // already running by then, so that neither answer delays the rows.
  EXPECT_EQ(s.window.blocking_runs(), (std::vector<bool>{false, false}));
  EXPECT_EQ(s.window.workers_before_runs(), (std::vector<int>{1, 1}));
  ASSERT_TRUE(s.window.wait_for_workers());
  auto first_page = fetch_catalogue_page(server.endpoints(), 1, 1);
  ASSERT_FALSE(first_page.empty());
  ASSERT_EQ(s.window.rows().size(), first_page.size());
  for (std::size_t i = 0; i < first_page.size(); ++i)
    EXPECT_EQ(s.window.rows()[i], std::vector<std::string>(first_page[i].begin(), first_page[i].end()));
  EXPECT_TRUE(s.window.messages().empty());
}

TEST(WindowCreated, WithoutAHostRobotNothingReachesTheStore) {
  test::StoreServer server;
  server.start();
  test::TempDir dir;
  BrowseSession s(dir.path(), server.endpoints(), 0);
  EXPECT_FALSE(on_window_created(s.ctx));
  EXPECT_TRUE(s.window.blocking_runs().empty());
  EXPECT_EQ(s.window.running_workers(), 0);
  EXPECT_TRUE(s.window.rows().empty());
  ASSERT_EQ(s.window.messages().size(), 1u);
}

}  // namespace
}  // namespace quillora::store
