// The real window while a catalogue page never finishes arriving: it keeps taking clicks, and when
// the connection finally ends the list is empty and the paging buttons work again.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "app/gui_harness.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"

namespace quillora::test {
namespace {

TEST(FaultWindow, PageThatNeverEndsLeavesTheWindowUsable) {
  StoreServer store;
  ASSERT_TRUE(store.start());
  TempDir dir;
  WindowUnderTest w(dir.path(), store.endpoints("/fault/hang"));
  // No created event: it would ask for the page count first, which blocks the window by design.
  w.window().show();
  w.state().robot_id = 1;
  w.state().current_page = 1;
  w.state().page_count = 3;
  ASSERT_TRUE(click(w.window(), "按钮9"));  // 下一页
  EXPECT_FALSE(w.control("按钮9")->isEnabled());

  // The page hangs on its worker; the user meanwhile opens the sign-up page and types an account.
  UrlRecorder urls;
  ASSERT_TRUE(click(w.window(), "按钮2"));
  EXPECT_TRUE(wait_until([&] { return !urls.urls().empty(); }, std::chrono::seconds(5)));
  w.window().set_text(app::Control::account_edit, "demo");
  EXPECT_EQ(w.control_text("编辑框1"), "demo");
  EXPECT_EQ(w.row_count(), 0);
  EXPECT_FALSE(w.control("按钮9")->isEnabled());  // the page is still on its way

  // The store going away ends the page well before the request's own time-out.
  store.kill();
  EXPECT_TRUE(wait_until([&] { return w.control("按钮9")->isEnabled(); }, std::chrono::seconds(10)));
  EXPECT_EQ(w.row_count(), 0);
  for (const char* button : {"按钮6", "按钮7", "按钮8", "按钮9"}) EXPECT_TRUE(w.control(button)->isEnabled());
}

}  // namespace
}  // namespace quillora::test
