#include "app/core/program_dirs.hpp"

#include <algorithm>
#include <string>
#include <system_error>

namespace quillora::app {
namespace {

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Only ASCII letters fold: the bytes of a multi-byte UTF-8 character never fall in A-Z, so they
// keep comparing exactly.
bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

}  // namespace

std::filesystem::path settings_dir(const std::filesystem::path& program_dir) {
  return program_dir / "Quillora配置";
}

std::filesystem::path default_plugin_dir(const std::filesystem::path& program_dir) {
  return settings_dir(program_dir) / "插件";
}

std::filesystem::path settings_file_path(const std::filesystem::path& program_dir) {
  return settings_dir(program_dir) / "config.ini";
}

std::filesystem::path executable_dir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

bool is_directory(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

void ensure_directory(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
}

std::optional<std::filesystem::path> find_entry_ignoring_case(const std::filesystem::path& dir,
                                                              std::string_view name, bool directories_only) {
  std::error_code ec;
  const auto exact = dir / std::string(name);
  if (std::filesystem::exists(exact, ec) && (!directories_only || app::is_directory(exact))) return exact;
  // Directory order is arbitrary; the smallest matching name keeps the choice the same from run to run.
  std::optional<std::filesystem::path> found;
  for (auto it = std::filesystem::directory_iterator(dir, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (!equal_ignoring_ascii_case(entry, name)) continue;
    if (directories_only && !app::is_directory(it->path())) continue;
    if (!found || it->path().filename() < found->filename()) found = it->path();
  }
  return found;
}

}  // namespace quillora::app
