// The store's API: page count, catalogue pages, recommendation, login check, sign-in, download link.
#include <cstdlib>

#include "path_match.hpp"
#include "php_json.hpp"
#include "service.hpp"
#include "text_codec.hpp"

namespace quillora::devstore {
namespace {
constexpr int oversized_page_count = 5000;

// "<robot>/p/<page>" of the catalogue paths.
std::optional<std::pair<int, int>> robot_and_page(const std::optional<std::string>& rest) {
  if (!rest) return std::nullopt;
  std::size_t split = rest->find("/p/");
  if (split == std::string::npos) return std::nullopt;
  auto robot = whole_number(std::string_view(*rest).substr(0, split));
  auto page = whole_number(std::string_view(*rest).substr(split + 3));
  if (!robot || !page) return std::nullopt;
  return std::pair(*robot, *page);
}

// The value of key in a form body (first occurrence), percent-decoded.
std::string form_value(const std::string& body, const std::string& key) {
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    std::string_view pair(body.data() + start, end - start);
    if (pair.size() > key.size() && pair.substr(0, key.size()) == key && pair[key.size()] == '=') {
      return form_decode(pair.substr(key.size() + 1));
    }
    start = end + 1;
  }
  return {};
}

std::string plugin_json(const Plugin& plugin) {
  PhpObject object;
  for (const auto& [key, value] : plugin.members) {
    switch (value.kind) {
      case MemberValue::Kind::text:
        object.text(key, value.text);
        break;
      case MemberValue::Kind::number:
        object.raw(key, value.text);
        break;
      case MemberValue::Kind::null:
        object.raw(key, "null");
        break;
    }
  }
  return object.str();
}

std::string plugins_json(const std::vector<Plugin>& plugins) {
  std::string out = "[";
  for (const Plugin& plugin : plugins) {
    if (out.size() > 1) out += ',';
    out += plugin_json(plugin);
  }
  return out + "]";
}
}  // namespace

std::optional<Reply> StoreService::store_api(const httplib::Request& req, const std::string& path,
                                             const Faults& faults) {
  if (auto query = robot_and_page(between(path, "/Api/Plugin/getlstcount/robot/"))) {
    return json_reply(php_reply(0, std::to_string(catalogue_.page_count(query->first))));
  }
  if (auto query = robot_and_page(between(path, "/Api/Plugin/lst/robot/"))) {
    auto [robot, page] = *query;
    if (faults.big) return json_reply(plugins_json(catalogue_.oversized_page(robot, oversized_page_count)));
    return json_reply(plugins_json(catalogue_.page(robot, page)));
  }
  if (auto plugin_id = between(path, "/Api/Plugin/recom/plugin_id/")) {
    if (!catalogue_.valid_login(form_value(req.body, "uid"), form_value(req.body, "token"))) {
      return json_reply(php_reply(1, "请先登录"));
    }
    if (!catalogue_.recommend(*plugin_id)) return json_reply(php_reply(1, "插件不存在"));
    return json_reply(php_reply(0, "打榜成功"));
  }
  if (path == "/Api/User/check_login") {
    if (!catalogue_.valid_login(form_value(req.body, "uid"), form_value(req.body, "token"))) {
      return json_reply(php_reply(1, "登录已失效，请重新登录"));
    }
    return json_reply(php_reply(0, "已登录"));
  }
  if (path == "/Api/User/login") {
    // username=<percent-encoded UTF-8>&password=<GBK bytes, not encoded: everything that follows>
    const std::string& body = req.body;
    constexpr std::string_view name_key = "username=", password_key = "&password=";
    std::size_t split = body.find(password_key);
    if (body.rfind(name_key, 0) != 0 || split == std::string::npos) {
      return json_reply(php_reply(1, "账号或密码错误"));
    }
    std::string username =
        form_decode(std::string_view(body).substr(name_key.size(), split - name_key.size()));
    std::string password = body.substr(split + password_key.size());
    auto account = catalogue_.authenticate(username, password);
    if (!account) return json_reply(php_reply(1, "账号或密码错误"));
    std::string token = catalogue_.issue_token(account->uid, options_.state_dir);
    return json_reply(PhpObject()
                          .number("error", 0)
                          .text("content", "登录成功")
                          .text("token", token)
                          .text("uid", account->uid)
                          .str());
  }
  if (auto plugin_id = between(path, "/Api/Plugin/download/plugin_id/")) {
    auto plugin = catalogue_.find(*plugin_id);
    if (!plugin) return json_reply(php_reply(1, "插件不存在或已下架"));
    if (plugin->file_name.empty()) return json_reply(php_reply(1, "该插件暂无下载文件"));
    catalogue_.count_download(plugin->id);
    std::string link_name = plugin->file_link.empty() ? plugin->file_name : plugin->file_link;
    std::string url = base_url(req, faults.prefix) + "/files/" + link_name;
    return json_reply(PhpObject().number("error", 0).text("content", "获取成功").text("url", url).str());
  }
  return std::nullopt;
}

}  // namespace quillora::devstore
