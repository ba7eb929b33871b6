#include "store/row_actions.hpp"

#include "net/web_request.hpp"
#include "store/catalogue.hpp"
#include "store/reply.hpp"
#include "util/gbk.hpp"
#include "util/text.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;

// The users' chat group.
constexpr const char* user_group_number = "123456789";

// The menu commands act on the selected row. A page load may empty the list while the menu is
// open, so they check that a row is still selected instead of acting on an empty plugin id.
bool selected_cell(app::Window& window, int column, std::string& text) {
  int row = window.selected_row();
  if (row < 0) return false;
  text = window.cell(row, column);
  return true;
}
}  // namespace

std::string description_text(const std::string& detail_cell) {
  return util::replace_all(util::replace_all(detail_cell, "\\r", "\r\n"), "\\n", "\r\n");
}

void show_details(StoreContext& ctx) {
  int row = ctx.window.selected_row();
  if (row < 0) return;
  ctx.window.message_box(description_text(ctx.window.cell(row, app::col_detail)),
                         "【简介】"_gbk + ctx.window.cell(row, app::col_name));
}

void open_row_menu(StoreContext& ctx) {
  if (ctx.window.selected_row() >= 0) ctx.window.popup_menu();
}

void open_update_history(StoreContext& ctx) {
  std::string plugin_id;
  if (!selected_cell(ctx.window, app::col_plugin_id, plugin_id)) return;
  ctx.window.open_url(ctx.endpoints.http("/User/Plugin/info/plugin_id/" + plugin_id + ".html"));
}

void open_author_page(StoreContext& ctx) {
  std::string uid;
  if (!selected_cell(ctx.window, app::col_author_uid, uid)) return;
  ctx.window.open_url(ctx.endpoints.http("/User/Plugin/developer/uid/" + uid + ".html"));
}

std::string send_recommendation(StoreContext& ctx, const std::string& plugin_id) {
  net::WebRequestArgs args{.url = ctx.endpoints.https("/Api/Plugin/recom/plugin_id/" + plugin_id),
                           .method = static_cast<int>(net::Method::post),
                           .body = "uid=" + ctx.state.uid + "&token=" + ctx.state.token,
                           .ca_file = ctx.endpoints.ca_file};
  std::string reply;
  ctx.window.run_and_wait([&] { reply = net::web_request(args).text; }, false);
  return reply;
}

void recommend(StoreContext& ctx) {
  std::string plugin_id;
  if (!selected_cell(ctx.window, app::col_plugin_id, plugin_id)) return;
  std::string reply = send_recommendation(ctx, plugin_id);
  if (!reply_ok(reply)) {
    ctx.window.message_box(decode_message(reply_field(reply, ReplyField::content)));
    return;
  }
  ctx.window.message_box("打榜成功！"_gbk);
  ctx.state.current_page = 1;
  start_page_load(ctx);
}

void open_web_edition(StoreContext& ctx) {
  ctx.window.open_url(ctx.endpoints.web_edition_url(ctx.state.robot_id));
}

void show_user_group(StoreContext& ctx) {
  ctx.window.message_box("Quillora用户交流群："_gbk + user_group_number);
}

void open_author_signup(StoreContext& ctx) {
  ctx.window.open_url(ctx.endpoints.http("/Store/Developer/auth.html"));
}

}  // namespace quillora::store
