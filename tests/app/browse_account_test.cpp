// Sign-in, the saved account and the recommendation in the real window.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTreeWidget>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/core/plugin_columns.hpp"
#include "app/core/program_dirs.hpp"
#include "app/gui_harness.hpp"
#include "store/account.hpp"
#include "store/settings_file.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/base64.hpp"
#include "util/gbk.hpp"

namespace quillora::test {
namespace {
using namespace util::literals;

std::string file_bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BrowseAccount : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<StoreServer>();
    ASSERT_TRUE(server->start());
  }
  static void TearDownTestSuite() { server.reset(); }

  BrowseAccount() { std::ofstream(dir.path() / "vexa.exe"); }

  std::unique_ptr<WindowUnderTest> started() {
    auto w = std::make_unique<WindowUnderTest>(dir.path(), server->endpoints());
    EXPECT_TRUE(w->start());
    EXPECT_TRUE(wait_until([&] { return w->row_count() > 0; }));
    return w;
  }

  static void type_and_sign_in(WindowUnderTest& w, std::string_view account, std::string_view password) {
    w.control<QLineEdit>("编辑框1")->setText(qstr(account));
    w.control<QLineEdit>("编辑框2")->setText(qstr(password));
    ASSERT_TRUE(click(w.window(), "按钮1"));
  }

  std::filesystem::path settings_file() const { return app::settings_file_path(dir.path()); }

  static std::unique_ptr<StoreServer> server;
  TempDir dir;
  MessageBoxWatcher boxes;
};
std::unique_ptr<StoreServer> BrowseAccount::server;

TEST_F(BrowseAccount, SignInMessages) {
  auto w = started();
  type_and_sign_in(*w, "", "");
  type_and_sign_in(*w, "demo", "");
  type_and_sign_in(*w, "demo", "wrong");
  ASSERT_TRUE(boxes.wait_for(3));
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"请输入账号", "请输入密码", "账号或密码错误"}));
  EXPECT_EQ(w->control_text("透明标签4"), "状态：尚未登录");
  EXPECT_FALSE(std::filesystem::exists(settings_file()));

  type_and_sign_in(*w, "张三", "p&ss");
  ASSERT_TRUE(boxes.wait_for(4));
  EXPECT_EQ(boxes.texts().back(), "登录成功！");
  EXPECT_EQ(w->control_text("透明标签4"), "状态：已登录");
  EXPECT_EQ(w->state().uid, "10002");
  // GBK, CR LF, the four keys in the order of the writes, password and token enciphered in Base64.
  const std::string expected = "[登录]\r\n账号=张三\r\n密码=DZtSvA==\r\ntoken="_gbk +
                               util::base64_encode(store::store_cipher(w->state().token, "drenmofaxe920")) +
                               "\r\nuid=10002\r\n";
  EXPECT_EQ(file_bytes(settings_file()), expected);
}

TEST_F(BrowseAccount, RestartRestoresTheBoxesAndTheLogin) {
  std::string token;
  {
    auto w = started();
    type_and_sign_in(*w, "demo", "demo123");
    ASSERT_TRUE(boxes.wait_for(1));
    token = w->state().token;
  }
  auto w = started();
  EXPECT_EQ(utf8(w->control<QLineEdit>("编辑框1")->text()), "demo");
  EXPECT_EQ(utf8(w->control<QLineEdit>("编辑框2")->text()), "demo123");
  EXPECT_EQ(w->control<QLineEdit>("编辑框2")->echoMode(), QLineEdit::Password);
  EXPECT_EQ(w->control_text("透明标签4"), "状态：已登录");
  EXPECT_EQ(w->state().uid, "10001");
  EXPECT_EQ(w->state().token, token);
  EXPECT_EQ(boxes.shown().size(), 1u);
}

TEST_F(BrowseAccount, RefusedLoginCheckRemovesOnlyTokenAndUid) {
  const std::string section = "登录"_gbk;
  std::filesystem::create_directories(app::settings_dir(dir.path()));
  ASSERT_TRUE(store::write_setting(settings_file(), section, "账号"_gbk, "demo"));
  ASSERT_TRUE(store::write_setting(settings_file(), section, "密码"_gbk,
                                   util::base64_encode(store::store_cipher("demo123", "vorku385"))));
  ASSERT_TRUE(store::write_setting(settings_file(), section, "token",
                                   util::base64_encode(store::store_cipher("stale", "drenmofaxe920"))));
  ASSERT_TRUE(store::write_setting(settings_file(), section, "uid", "10001"));
  auto w = started();
  EXPECT_EQ(w->control_text("透明标签4"), "状态：未登录");
  EXPECT_EQ(utf8(w->control<QLineEdit>("编辑框1")->text()), "demo");
  EXPECT_EQ(utf8(w->control<QLineEdit>("编辑框2")->text()), "demo123");
  EXPECT_TRUE(w->state().uid.empty());
  EXPECT_EQ(file_bytes(settings_file()), "[登录]\r\n账号=demo\r\n密码=GdhMoDd1DQ==\r\n"_gbk);
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(BrowseAccount, RecommendationWithAndWithoutLogin) {
  auto w = started();
  ASSERT_TRUE(click(w->window(), "按钮9"));
  ASSERT_TRUE(wait_until([&] { return w->control("按钮9")->isEnabled(); }));
  ASSERT_EQ(w->state().current_page, 2);
  const std::string second_page_plugin = w->cell(3, app::col_plugin_id);

  select_row(w->list(), 3);
  right_click_row(w->list(), 3);
  ASSERT_TRUE(choose_menu_item(w->window(), "帮它打榜/置顶"));
  ASSERT_TRUE(boxes.wait_for(1));
  EXPECT_EQ(boxes.texts()[0], "请先登录");  // the store's message, decoded
  EXPECT_EQ(w->state().current_page, 2);

  type_and_sign_in(*w, "demo", "demo123");
  ASSERT_TRUE(boxes.wait_for(2));
  select_row(w->list(), 3);
  right_click_row(w->list(), 3);
  ASSERT_TRUE(choose_menu_item(w->window(), "帮它打榜/置顶"));
  ASSERT_TRUE(boxes.wait_for(3));
  EXPECT_EQ(boxes.texts()[2], "打榜成功！");
  EXPECT_EQ(w->state().current_page, 1);
  // Back on the first page, where the recommended plugin now stands.
  ASSERT_TRUE(wait_until([&] {
    for (int row = 0; row < w->row_count(); ++row)
      if (w->cell(row, app::col_plugin_id) == second_page_plugin) return true;
    return false;
  }));
}

}  // namespace
}  // namespace quillora::test
