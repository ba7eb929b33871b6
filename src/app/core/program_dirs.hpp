#pragma once
#include <filesystem>

namespace quillora::app {

std::filesystem::path settings_dir(const std::filesystem::path& program_dir);         // Quillora配置/
std::filesystem::path default_plugin_dir(const std::filesystem::path& program_dir);   // Quillora配置/插件/
std::filesystem::path settings_file_path(const std::filesystem::path& program_dir);   // Quillora配置/config.ini

// The directory of the running executable.
std::filesystem::path executable_dir();

}  // namespace quillora::app
