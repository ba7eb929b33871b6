#include "store/account.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "browse_session.hpp"
#include "store/settings_file.hpp"
#include "support/store_fixture.hpp"
#include "support/temp_dir.hpp"
#include "util/base64.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;
using app::Control;
using test::BrowseSession;
using test::read_bytes;
using test::write_bytes;

class AccountTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = std::make_unique<test::StoreServer>();
    server->start();
  }
  static void TearDownTestSuite() { server.reset(); }

  std::unique_ptr<BrowseSession> session(const store::StoreEndpoints& endpoints = server->endpoints()) {
    return std::make_unique<BrowseSession>(dir.path(), endpoints);
  }

  // Types into the boxes and clicks "登录".
  static void sign_in_with(BrowseSession& s, const std::string& account, const std::string& password) {
    s.window.set_text(Control::account_edit, account);
    s.window.set_text(Control::password_edit, password);
    sign_in(s.ctx);
  }

  static std::unique_ptr<test::StoreServer> server;
  test::TempDir dir;
};
std::unique_ptr<test::StoreServer> AccountTest::server;

TEST_F(AccountTest, EmptyBoxesAreRefusedBeforeAnyRequest) {
  struct {
    const char* account;
    const char* password;
    const char* message;
  } cases[] = {{"", "", "请输入账号"}, {"", "demo123", "请输入账号"}, {"demo", "", "请输入密码"}};
  for (const auto& c : cases) {
    auto s = session();
    sign_in_with(*s, c.account, c.password);
    ASSERT_EQ(s->window.messages().size(), 1u);
    EXPECT_EQ(s->window.messages()[0].text, util::utf8_to_gbk(c.message));
    EXPECT_EQ(s->window.messages()[0].caption, "信息："_gbk);
    EXPECT_TRUE(s->window.blocking_runs().empty());
    EXPECT_FALSE(std::filesystem::exists(s->settings_file()));
  }
}

TEST_F(AccountTest, RefusedSignInShowsTheStoreMessageAndKeepsNothing) {
  auto s = session();
  sign_in_with(*s, "demo", "wrong");
  ASSERT_EQ(s->window.messages().size(), 1u);
  const auto& text = s->window.messages()[0].text;
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find("\\u"), std::string::npos) << "shown undecoded";
  EXPECT_NE(text, "登录成功！"_gbk);
  EXPECT_EQ(s->window.blocking_runs(), std::vector<bool>{false});
  EXPECT_EQ(s->window.text(Control::status_label), "状态：尚未登录"_gbk);
  EXPECT_TRUE(s->state.uid.empty());
  EXPECT_FALSE(std::filesystem::exists(s->settings_file()));

  // A store out of reach: an empty message box.
  auto broken = server->endpoints();
  broken.https_base += "/fault/500";
  auto t = session(broken);
  sign_in_with(*t, "demo", "demo123");
  ASSERT_EQ(t->window.messages().size(), 1u);
  EXPECT_EQ(t->window.messages()[0].text, "");
  EXPECT_FALSE(std::filesystem::exists(t->settings_file()));
}

TEST_F(AccountTest, SignInWritesTheSettingsFileAsTheFixtureHasIt) {
  auto s = session();
  // A Chinese account name (sent percent-encoded as UTF-8) and a password with
  // "&" (sent as typed).
  sign_in_with(*s, "张三"_gbk, "p&ss");
  ASSERT_EQ(s->window.messages().size(), 1u);
  EXPECT_EQ(s->window.messages()[0].text, "登录成功！"_gbk);
  EXPECT_EQ(s->window.text(Control::status_label), "状态：已登录"_gbk);
  ASSERT_FALSE(s->state.uid.empty());
  ASSERT_FALSE(s->state.token.empty());

  // The fixture holds the file of this sign-in with the token
  // 0123456789abcdef0123456789abcdef; the store issues a new token each time,
  // so its enciphered form is put in its place.
  std::string expected =
      read_bytes(std::filesystem::path(QUILLORA_SOURCE_DIR) / "tests/store/fixtures/config.ini");
  const std::string fixture_token =
      util::base64_encode(store_cipher("0123456789abcdef0123456789abcdef", "drenmofaxe920"));
  auto at = expected.find("token=" + fixture_token + "\r\n");
  ASSERT_NE(at, std::string::npos);
  expected.replace(at + 6, fixture_token.size(),
                   util::base64_encode(store_cipher(s->state.token, "drenmofaxe920")));
  EXPECT_EQ(read_bytes(s->settings_file()), expected);
  EXPECT_EQ(s->state.uid, "10002");
}

TEST_F(AccountTest, AnotherSignInReplacesAllFourKeysInPlace) {
  auto s = session();
  sign_in_with(*s, "张三"_gbk, "p&ss");
  sign_in_with(*s, "demo", "demo123");
  ASSERT_EQ(s->window.messages().size(), 2u);
  const std::string file = read_bytes(s->settings_file());
  const std::string expected =
      "[登录]\r\n账号=demo\r\n密码="_gbk + util::base64_encode(store_cipher("demo123", "vorku385")) +
      "\r\ntoken=" + util::base64_encode(store_cipher(s->state.token, "drenmofaxe920")) +
      "\r\nuid=" + s->state.uid + "\r\n";
  EXPECT_EQ(file, expected);
}

TEST_F(AccountTest, RestartRestoresTheBoxesAndChecksTheLogin) {
  std::string uid, token;
  {
    auto first = session();
    sign_in_with(*first, "张三"_gbk, "p&ss");
    uid = first->state.uid;
    token = first->state.token;
  }
  auto s = session();
  restore_saved_account(s->ctx);
  EXPECT_EQ(s->window.text(Control::account_edit), "张三"_gbk);
  EXPECT_EQ(s->window.text(Control::password_edit), "p&ss");
  EXPECT_EQ(s->state.uid, uid);
  EXPECT_EQ(s->state.token, token);
  EXPECT_EQ(s->window.text(Control::status_label), "状态：已登录"_gbk);
  EXPECT_EQ(s->window.blocking_runs(), std::vector<bool>{false});
  EXPECT_TRUE(s->window.messages().empty());
}

TEST_F(AccountTest, RefusedCheckRemovesOnlyTokenAndUid) {
  auto s = session();
  sign_in_with(*s, "张三"_gbk, "p&ss");
  const auto file = s->settings_file();
  // The same file with a token the store never issued.
  write_setting(file, "登录"_gbk, "token", util::base64_encode(store_cipher("forged", "drenmofaxe920")));
  auto r = session();
  restore_saved_account(r->ctx);
  EXPECT_EQ(r->window.text(Control::status_label), "状态：未登录"_gbk);
  EXPECT_TRUE(r->state.uid.empty());
  EXPECT_TRUE(r->state.token.empty());
  EXPECT_TRUE(r->window.messages().empty());
  EXPECT_EQ(r->window.text(Control::account_edit), "张三"_gbk);
  EXPECT_EQ(r->window.text(Control::password_edit), "p&ss");
  const std::string kept =
      "[登录]\r\n账号=张三\r\n密码="_gbk + util::base64_encode(store_cipher("p&ss", "vorku385")) + "\r\n";
  EXPECT_EQ(read_bytes(file), kept);
}

TEST_F(AccountTest, AStoreOutOfReachKeepsTheSavedLogin) {
  auto s = session();
  sign_in_with(*s, "demo", "demo123");
  const std::string saved = read_bytes(s->settings_file());
  test::StoreServer gone;
  ASSERT_TRUE(gone.start());
  auto dead = gone.endpoints();
  gone.stop();
  // An error page instead of a store reply, and no answer at all.
  for (const auto& broken : {server->endpoints("/fault/500"), dead}) {
    auto t = session(broken);
    restore_saved_account(t->ctx);
    EXPECT_EQ(t->window.text(Control::status_label), "状态：未登录"_gbk) << broken.https_base;
    EXPECT_TRUE(t->state.uid.empty());
    EXPECT_TRUE(t->state.token.empty());
    EXPECT_EQ(read_bytes(t->settings_file()), saved) << broken.https_base;
  }
}

TEST_F(AccountTest, NoSavedLoginMakesNoRequest) {
  {
    auto s = session();  // no settings file at all
    restore_saved_account(s->ctx);
    EXPECT_EQ(s->window.text(Control::account_edit), "");
    EXPECT_EQ(s->window.text(Control::password_edit), "");
    EXPECT_EQ(s->window.text(Control::status_label), "状态：尚未登录"_gbk);
    EXPECT_TRUE(s->window.blocking_runs().empty());
  }
  auto s = session();
  const std::string uid_only = "[登录]\r\n账号=demo\r\nuid=5\r\n"_gbk;
  write_bytes(s->settings_file(), uid_only);
  restore_saved_account(s->ctx);
  EXPECT_EQ(s->window.text(Control::account_edit), "demo");
  EXPECT_TRUE(s->state.uid.empty());
  EXPECT_TRUE(s->window.blocking_runs().empty());
  EXPECT_EQ(s->window.text(Control::status_label), "状态：尚未登录"_gbk);
  EXPECT_EQ(read_bytes(s->settings_file()), uid_only);
}

}  // namespace
}  // namespace quillora::store
