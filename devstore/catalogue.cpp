#include "catalogue.hpp"

#include <openssl/rand.h>
#include <simdjson.h>

#include <algorithm>
#include <fstream>

#include "text_codec.hpp"

namespace quillora::devstore {
namespace {
// The members of a plugin object in a reply, in the order the store writes them.
constexpr const char* reply_members[] = {"plugin_id",   "plugin_name", "nick_name", "uid",
                                         "type_name",   "robot_name",  "charge",    "down_count",
                                         "update_time", "detail"};

std::string text_of(simdjson::dom::element value) {
  std::string_view text;
  if (value.get_string().get(text) == simdjson::SUCCESS) return std::string(text);
  int64_t number = 0;
  if (value.get_int64().get(number) == simdjson::SUCCESS) return std::to_string(number);
  return {};
}
// The text of object[key], empty when the member is missing.
std::string member(simdjson::dom::element object, const char* key) {
  simdjson::dom::element value;
  if (object[key].get(value) != simdjson::SUCCESS) return {};
  return text_of(value);
}
}  // namespace

std::string Plugin::member_text(const std::string& key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return value.text;
  }
  return {};
}

std::unique_ptr<Catalogue> Catalogue::load(const std::filesystem::path& file, std::string& error) {
  simdjson::dom::parser parser;
  simdjson::dom::element root;
  if (auto code = parser.load(file.string()).get(root); code != simdjson::SUCCESS) {
    error = file.string() + ": " + simdjson::error_message(code);
    return nullptr;
  }
  auto catalogue = std::make_unique<Catalogue>();
  int64_t page_size = 8;
  if (root["page_size"].get_int64().get(page_size) == simdjson::SUCCESS && page_size > 0) {
    catalogue->page_size_ = static_cast<int>(page_size);
  }
  // Only the plugins are required; a catalogue for one test may leave out robots and accounts.
  simdjson::dom::array robots, plugins, accounts;
  if (root["plugins"].get_array().get(plugins) != simdjson::SUCCESS) {
    error = file.string() + ": \"plugins\" must be an array";
    return nullptr;
  }
  bool has_robots = root["robots"].get_array().get(robots) == simdjson::SUCCESS;
  bool has_accounts = root["accounts"].get_array().get(accounts) == simdjson::SUCCESS;
  for (simdjson::dom::element robot : has_robots ? robots : plugins) {
    if (!has_robots) break;
    int64_t id = 0;
    if (robot["id"].get_int64().get(id) != simdjson::SUCCESS) continue;
    catalogue->robots_[static_cast<int>(id)] = member(robot, "name");
  }
  for (simdjson::dom::element entry : plugins) {
    Plugin plugin;
    int64_t robot_id = 0;
    if (entry["robot_id"].get_int64().get(robot_id) != simdjson::SUCCESS) {
      error = file.string() + ": a plugin without \"robot_id\"";
      return nullptr;
    }
    plugin.robot_id = static_cast<int>(robot_id);
    for (const char* key : reply_members) {
      simdjson::dom::element value;
      if (entry[key].get(value) != simdjson::SUCCESS) continue;  // absent from the reply as well
      MemberValue member;
      if (value.is_null()) {
        member.kind = MemberValue::Kind::null;
      } else if (value.is_string()) {
        member.text = text_of(value);
      } else {
        member.kind = MemberValue::Kind::number;
        member.text = text_of(value);
      }
      plugin.members.emplace_back(key, std::move(member));
    }
    plugin.id = plugin.member_text("plugin_id");
    plugin.author_uid = plugin.member_text("uid");
    plugin.down_count = std::atoll(plugin.member_text("down_count").c_str());
    simdjson::dom::element file_entry;
    if (entry["file"].get(file_entry) == simdjson::SUCCESS) {
      plugin.file_name = member(file_entry, "name");
      simdjson::dom::element link;
      if (file_entry["link"].get(link) == simdjson::SUCCESS) plugin.file_link = text_of(link);
      uint64_t size = 0;
      if (file_entry["size"].get_uint64().get(size) == simdjson::SUCCESS) plugin.file_size = size;
    }
    if (plugin.id.empty()) {
      error = file.string() + ": a plugin without \"plugin_id\"";
      return nullptr;
    }
    catalogue->ranking_[plugin.robot_id].push_back(catalogue->plugins_.size());
    catalogue->plugins_.push_back(std::move(plugin));
  }
  for (simdjson::dom::element entry : has_accounts ? accounts : plugins) {
    if (!has_accounts) break;
    catalogue->accounts_.push_back({.uid = member(entry, "uid"),
                                    .username = member(entry, "username"),
                                    .password = member(entry, "password")});
  }
  return catalogue;
}

int Catalogue::page_count(int robot_id) const {
  std::lock_guard lock(mutex_);
  auto it = ranking_.find(robot_id);
  if (it == ranking_.end()) return 0;
  return static_cast<int>((it->second.size() + page_size_ - 1) / page_size_);
}

std::vector<Plugin> Catalogue::page(int robot_id, int page) const {
  std::lock_guard lock(mutex_);
  std::vector<Plugin> out;
  auto it = ranking_.find(robot_id);
  if (it == ranking_.end() || page < 1) return out;
  size_t first = static_cast<size_t>(page - 1) * page_size_;
  for (size_t i = first; i < it->second.size() && i < first + page_size_; ++i) {
    out.push_back(plugins_[it->second[i]]);
  }
  return out;
}

std::vector<Plugin> Catalogue::oversized_page(int robot_id, int count) const {
  std::vector<Plugin> source = by_robot(robot_id);
  if (source.empty()) {
    std::lock_guard lock(mutex_);
    source = plugins_;
  }
  std::vector<Plugin> out;
  if (source.empty()) return out;
  out.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    Plugin plugin = source[static_cast<size_t>(i) % source.size()];
    plugin.id = std::to_string(500000 + i);
    for (auto& [key, value] : plugin.members) {
      if (key == "plugin_id") value.text = plugin.id;
    }
    out.push_back(std::move(plugin));
  }
  return out;
}

std::optional<Plugin> Catalogue::find(const std::string& plugin_id) const {
  std::lock_guard lock(mutex_);
  for (const Plugin& plugin : plugins_) {
    if (plugin.id == plugin_id) return plugin;
  }
  return std::nullopt;
}

std::optional<Plugin> Catalogue::find_file(const std::string& file_name) const {
  std::lock_guard lock(mutex_);
  for (const Plugin& plugin : plugins_) {
    if (!plugin.file_name.empty() && plugin.file_name == file_name) return plugin;
  }
  return std::nullopt;
}

std::vector<Plugin> Catalogue::by_author(const std::string& uid) const {
  std::lock_guard lock(mutex_);
  std::vector<Plugin> out;
  for (const Plugin& plugin : plugins_) {
    if (plugin.author_uid == uid) out.push_back(plugin);
  }
  return out;
}

std::vector<Plugin> Catalogue::by_robot(int robot_id) const {
  std::lock_guard lock(mutex_);
  std::vector<Plugin> out;
  auto it = ranking_.find(robot_id);
  if (it == ranking_.end()) return out;
  for (size_t index : it->second) out.push_back(plugins_[index]);
  return out;
}

std::string Catalogue::robot_name(int robot_id) const {
  auto it = robots_.find(robot_id);
  return it != robots_.end() ? it->second : std::string();
}

bool Catalogue::recommend(const std::string& plugin_id) {
  std::lock_guard lock(mutex_);
  for (size_t index = 0; index < plugins_.size(); ++index) {
    if (plugins_[index].id != plugin_id) continue;
    auto& ranking = ranking_[plugins_[index].robot_id];
    auto it = std::find(ranking.begin(), ranking.end(), index);
    if (it != ranking.end()) std::rotate(ranking.begin(), it, it + 1);
    return true;
  }
  return false;
}

std::optional<Plugin> Catalogue::count_download(const std::string& plugin_id) {
  std::lock_guard lock(mutex_);
  for (Plugin& plugin : plugins_) {
    if (plugin.id != plugin_id) continue;
    ++plugin.down_count;
    for (auto& [key, value] : plugin.members) {
      if (key == "down_count") value.text = std::to_string(plugin.down_count);
    }
    return plugin;
  }
  return std::nullopt;
}

std::optional<Account> Catalogue::authenticate(const std::string& username,
                                               const std::string& password_gbk) const {
  for (const Account& account : accounts_) {
    if (account.username != username) continue;
    auto expected = from_utf8(account.password, "gbk");
    if (expected && *expected == password_gbk) return account;
  }
  return std::nullopt;
}

std::string Catalogue::issue_token(const std::string& uid, const std::filesystem::path& state_dir) {
  unsigned char random[16];
  RAND_bytes(random, sizeof random);
  static const char digits[] = "0123456789abcdef";
  std::string token;
  for (unsigned char byte : random) {
    token += digits[byte >> 4];
    token += digits[byte & 15];
  }
  std::lock_guard lock(mutex_);
  tokens_.emplace(uid, token);
  std::ofstream(state_dir / "tokens.txt", std::ios::app) << uid << ' ' << token << '\n';
  return token;
}

bool Catalogue::valid_login(const std::string& uid, const std::string& token) const {
  if (uid.empty() || token.empty()) return false;
  std::lock_guard lock(mutex_);
  auto [first, last] = tokens_.equal_range(uid);
  return std::any_of(first, last, [&](const auto& entry) { return entry.second == token; });
}

void Catalogue::load_tokens(const std::filesystem::path& state_dir) {
  std::ifstream in(state_dir / "tokens.txt");
  std::string uid, token;
  std::lock_guard lock(mutex_);
  while (in >> uid >> token) tokens_.emplace(uid, token);
}

}  // namespace quillora::devstore
