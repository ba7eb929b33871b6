#include "app/core/program_dirs.hpp"

#include <unistd.h>

#include <system_error>

namespace quillora::app {

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

}  // namespace quillora::app
