// The store's API: page count, catalogue pages, recommendation, login check, sign-in, download link.
#include <cstdlib>
#include <regex>

#include "php_json.hpp"
#include "service.hpp"
#include "text_codec.hpp"

namespace quillora::devstore {
namespace {
constexpr int oversized_page_count = 5000;

int to_int(const std::string& digits) {
  long value = std::strtol(digits.c_str(), nullptr, 10);
  if (value > 1'000'000'000) return 1'000'000'000;
  if (value < -1'000'000'000) return -1'000'000'000;
  return static_cast<int>(value);
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
  static const std::regex page_count_path(R"(/Api/Plugin/getlstcount/robot/(-?\d+)/p/(-?\d+))");
  static const std::regex page_path(R"(/Api/Plugin/lst/robot/(-?\d+)/p/(-?\d+))");
  static const std::regex recommend_path(R"(/Api/Plugin/recom/plugin_id/(.*))");
  static const std::regex download_path(R"(/Api/Plugin/download/plugin_id/(.*))");
  std::smatch match;

  if (std::regex_match(path, match, page_count_path)) {
    return json_reply(php_reply(0, std::to_string(catalogue_.page_count(to_int(match[1])))));
  }
  if (std::regex_match(path, match, page_path)) {
    int robot = to_int(match[1]);
    if (faults.big) return json_reply(plugins_json(catalogue_.oversized_page(robot, oversized_page_count)));
    return json_reply(plugins_json(catalogue_.page(robot, to_int(match[2]))));
  }
  if (std::regex_match(path, match, recommend_path)) {
    if (!catalogue_.valid_login(form_value(req.body, "uid"), form_value(req.body, "token"))) {
      return json_reply(php_reply(1, "请先登录"));
    }
    if (!catalogue_.recommend(match[1])) return json_reply(php_reply(1, "插件不存在"));
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
  if (std::regex_match(path, match, download_path)) {
    auto plugin = catalogue_.find(match[1]);
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
