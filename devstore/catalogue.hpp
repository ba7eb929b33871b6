#pragma once
// The store's data: host robots, plugins with their ranking and download counts, accounts and their
// login tokens. Loaded from the catalogue file; rankings and counts live in memory, tokens are kept
// in the state directory so that a restarted store still knows its logins.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quillora::devstore {

// A member of a plugin object as the data file gives it: a string, an integer or null.
struct MemberValue {
  enum class Kind { text, number, null } kind = Kind::text;
  std::string text;  // UTF-8 text, or the digits of a number
};

struct Plugin {
  std::string id;
  int robot_id = 0;
  std::vector<std::pair<std::string, MemberValue>> members;  // reply members in reply order
  std::string author_uid;
  std::string file_name;
  std::string file_link;  // the name as the download link writes it, when it differs (test fixtures)
  std::uint64_t file_size = 0;
  long long down_count = 0;

  std::string member_text(const std::string& key) const;
};

struct Account {
  std::string uid, username, password;  // UTF-8
};

class Catalogue {
 public:
  // Reads the data file; nullptr with error set when it is missing or malformed.
  static std::unique_ptr<Catalogue> load(const std::filesystem::path& file, std::string& error);

  int page_size() const { return page_size_; }
  int page_count(int robot_id) const;
  // The plugins of one page in ranking order (copies: the live counts go with them).
  std::vector<Plugin> page(int robot_id, int page) const;
  // The robot's plugins repeated up to count entries with fresh ids (an oversized page for tests).
  std::vector<Plugin> oversized_page(int robot_id, int count) const;
  std::optional<Plugin> find(const std::string& plugin_id) const;
  std::optional<Plugin> find_file(const std::string& file_name) const;
  std::vector<Plugin> by_author(const std::string& uid) const;
  std::vector<Plugin> by_robot(int robot_id) const;
  std::string robot_name(int robot_id) const;

  // Moves the plugin to the top of its robot's ranking; false when there is no such plugin.
  bool recommend(const std::string& plugin_id);
  // Counts one download; the plugin as it is afterwards.
  std::optional<Plugin> count_download(const std::string& plugin_id);

  // Login: the account whose name and password match (the password in GBK as the client sends it).
  std::optional<Account> authenticate(const std::string& username, const std::string& password_gbk) const;
  std::string issue_token(const std::string& uid, const std::filesystem::path& state_dir);
  bool valid_login(const std::string& uid, const std::string& token) const;
  void load_tokens(const std::filesystem::path& state_dir);

 private:
  int page_size_ = 8;
  std::map<int, std::string> robots_;
  std::vector<Plugin> plugins_;
  std::map<int, std::vector<size_t>> ranking_;  // per robot, indexes into plugins_
  std::vector<Account> accounts_;
  std::multimap<std::string, std::string> tokens_;  // uid -> token
  mutable std::mutex mutex_;
};

}  // namespace quillora::devstore
