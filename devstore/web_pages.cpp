// The store's web pages: plugin details, author pages, registration, becoming an author, and the
// web editions of the store ("/web/<robot id>").

#include "path_match.hpp"
#include "service.hpp"

namespace quillora::devstore {
namespace {
std::string escape_html(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\n':
        out += "<br>";
        break;
      case '\r':
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string plugin_list(const std::vector<Plugin>& plugins) {
  std::string html = "<ul>\n";
  for (const Plugin& plugin : plugins) {
    html += "<li><a href=\"/User/Plugin/info/plugin_id/" + escape_html(plugin.id) + ".html\">" +
            escape_html(plugin.member_text("plugin_name")) + "</a> (" +
            escape_html(plugin.member_text("nick_name")) + ")</li>\n";
  }
  return html + "</ul>";
}
}  // namespace

std::optional<Reply> StoreService::web_page(const std::string& path) {
  if (auto plugin_id = between(path, "/User/Plugin/info/plugin_id/", ".html")) {
    auto plugin = catalogue_.find(*plugin_id);
    if (!plugin) return html_reply(404, "插件不存在", "<h1>插件不存在</h1>");
    std::string name = escape_html(plugin->member_text("plugin_name"));
    return html_reply(
        200, name + " - 更新历史",
        "<h1>" + name + "</h1>\n<p>作者：<a href=\"/User/Plugin/developer/uid/" +
            escape_html(plugin->author_uid) + ".html\">" + escape_html(plugin->member_text("nick_name")) +
            "</a></p>\n<h2>简介与更新历史</h2>\n<p>" + escape_html(plugin->member_text("detail")) + "</p>");
  }
  if (auto uid = between(path, "/User/Plugin/developer/uid/", ".html")) {
    auto plugins = catalogue_.by_author(*uid);
    std::string author = plugins.empty() ? *uid : plugins.front().member_text("nick_name");
    return html_reply(200, escape_html(author) + " 的插件",
                      "<h1>" + escape_html(author) + " 的插件</h1>\n" + plugin_list(plugins));
  }
  if (auto rest = between(path, "/web/")) {
    auto robot_id = whole_number(rest->substr(0, rest->find('/')));
    if (!robot_id) return std::nullopt;
    int robot = *robot_id;
    std::string name = catalogue_.robot_name(robot);
    return html_reply(
        200, "Quillora 网页版 - " + escape_html(name),
        "<h1>Quillora 网页版：" + escape_html(name) + "</h1>\n" + plugin_list(catalogue_.by_robot(robot)));
  }
  if (path == "/Store/User/reg.html") {
    return html_reply(
        200, "注册 Quillora 账号",
        "<h1>注册 Quillora 账号</h1>\n<p>本地商城不开放注册，请使用演示账号 demo / demo123。</p>");
  }
  if (path == "/Store/Developer/auth.html") {
    return html_reply(200, "成为插件作者", "<h1>成为插件作者</h1>\n<p>提交作者认证后即可上传插件。</p>");
  }
  if (path == "/" || path == "/index.html") {
    return html_reply(
        200, "Quillora 本地商城",
        "<h1>Quillora 本地商城</h1>\n<p><a href=\"/web/1\">Vexa</a> · <a href=\"/web/2\">Lumo</a> · "
        "<a href=\"/web/3\">Brisko</a></p>");
  }
  return std::nullopt;
}

}  // namespace quillora::devstore
