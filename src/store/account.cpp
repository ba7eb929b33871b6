#include "store/account.hpp"

#include <array>
#include <cstdint>

#include "app/core/program_dirs.hpp"
#include "net/web_request.hpp"
#include "store/reply.hpp"
#include "store/settings_file.hpp"
#include "util/base64.hpp"
#include "util/gbk.hpp"
#include "util/url_encode.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;

constexpr std::string_view password_key = "vorku385";
constexpr std::string_view token_key = "drenmofaxe920";

// The section and key names of the saved account (GBK).
const std::string& section_name() {
  static const std::string name = "登录"_gbk;
  return name;
}
const std::string& account_name_key() {
  static const std::string name = "账号"_gbk;
  return name;
}
const std::string& password_name_key() {
  static const std::string name = "密码"_gbk;
  return name;
}
constexpr std::string_view token_name_key = "token";
constexpr std::string_view uid_name_key = "uid";

std::filesystem::path settings_file(const StoreContext& ctx) {
  return app::settings_file_path(ctx.state.program_dir);
}

// A saved secret: Base64 of the enciphered bytes. The plain text ends at the first zero byte.
std::string reveal(std::string_view saved, std::string_view key) {
  std::string plain = store_cipher(util::base64_decode(saved, false), key);
  auto zero = plain.find('\0');
  if (zero != std::string::npos) plain.resize(zero);
  return plain;
}

std::string conceal(std::string_view plain, std::string_view key) {
  return util::base64_encode(store_cipher(plain, key));
}

// A value that cannot be written (a line break in it, a full disk) must not leave the previous
// login's value behind to pair with the new one.
void save(const std::filesystem::path& file, std::string_view key, std::string_view value) {
  if (!write_setting(file, section_name(), key, value)) delete_setting(file, section_name(), key);
}

// A POST on the store's https host, with the window painting but taking no input meanwhile.
std::string post_blocking(StoreContext& ctx, const std::string& path, std::string body) {
  net::WebRequestArgs args{.url = ctx.endpoints.https(path),
                           .method = static_cast<int>(net::Method::post),
                           .body = std::move(body),
                           .ca_file = ctx.endpoints.ca_file};
  std::string reply;
  ctx.window.run_and_wait([&] { reply = net::web_request(args).text; }, false);
  return reply;
}
}  // namespace

std::string store_cipher(std::string_view data, std::string_view key) {
  std::string out(data);
  if (key.empty() || data.empty()) return out;
  std::array<std::uint8_t, 256> s{};
  for (int i = 0; i < 256; ++i) s[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + s[i] + static_cast<std::uint8_t>(key[i % key.size()]));
    std::swap(s[i], s[j]);
  }
  std::uint8_t a = 0, b = 0;
  for (char& c : out) {
    a = static_cast<std::uint8_t>(a + 1);
    b = static_cast<std::uint8_t>(b + s[a]);
    std::swap(s[a], s[b]);
    c = static_cast<char>(static_cast<std::uint8_t>(c) ^ s[static_cast<std::uint8_t>(s[a] + s[b])]);
  }
  return out;
}

void restore_saved_account(StoreContext& ctx) {
  auto file = settings_file(ctx);
  ctx.window.set_text(app::Control::account_edit, read_setting(file, section_name(), account_name_key()));
  ctx.window.set_text(app::Control::password_edit,
                      reveal(read_setting(file, section_name(), password_name_key()), password_key));
  ctx.state.uid = read_setting(file, section_name(), uid_name_key);
  ctx.state.token = reveal(read_setting(file, section_name(), token_name_key), token_key);
  if (ctx.state.uid.empty() || ctx.state.token.empty()) {
    ctx.state.uid.clear();
    ctx.state.token.clear();
    return;
  }
  check_saved_login(ctx);
}

bool check_saved_login(StoreContext& ctx) {
  std::string reply =
      post_blocking(ctx, "/Api/User/check_login", "uid=" + ctx.state.uid + "&token=" + ctx.state.token);
  if (reply_ok(reply)) {
    ctx.window.set_text(app::Control::status_label, "状态：已登录"_gbk);
    return true;
  }
  ctx.state.token.clear();
  ctx.state.uid.clear();
  // Only a store that answered and refused ends the saved login. A store out of reach (no reply, or
  // something that is not a store reply) says nothing about the login, which stays saved for the
  // next start.
  if (!reply_field(reply, ReplyField::error).empty()) {
    auto file = settings_file(ctx);
    delete_setting(file, section_name(), token_name_key);
    delete_setting(file, section_name(), uid_name_key);
  }
  ctx.window.set_text(app::Control::status_label, "状态：未登录"_gbk);
  return false;
}

void sign_in(StoreContext& ctx) {
  std::string account = ctx.window.text(app::Control::account_edit);
  if (account.empty()) return ctx.window.message_box("请输入账号"_gbk);
  std::string password = ctx.window.text(app::Control::password_edit);
  if (password.empty()) return ctx.window.message_box("请输入密码"_gbk);

  std::string reply = post_blocking(
      ctx, "/Api/User/login", "username=" + util::url_encode(account, true, true) + "&password=" + password);
  if (!reply_ok(reply))
    return ctx.window.message_box(decode_message(reply_field(reply, ReplyField::content)));

  ctx.state.token = reply_field(reply, ReplyField::token);
  ctx.state.uid = reply_field(reply, ReplyField::uid);
  // Four writes, each to disk at once, in this order: a new file lists the keys this way.
  auto file = settings_file(ctx);
  save(file, account_name_key(), account);
  save(file, password_name_key(), conceal(password, password_key));
  save(file, token_name_key, conceal(ctx.state.token, token_key));
  save(file, uid_name_key, ctx.state.uid);
  ctx.window.set_text(app::Control::status_label, "状态：已登录"_gbk);
  ctx.window.message_box("登录成功！"_gbk);
}

void open_register_page(StoreContext& ctx) {
  ctx.window.open_url(ctx.endpoints.http("/Store/User/reg.html"));
}

}  // namespace quillora::store
