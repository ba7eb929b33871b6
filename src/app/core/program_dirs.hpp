#pragma once
// The program's own directories and the file-system rules of the host robot's installation, which
// was made for a file system that ignores letter case.
#include <filesystem>
#include <optional>
#include <string_view>

namespace quillora::app {

std::filesystem::path settings_dir(const std::filesystem::path& program_dir);        // Quillora配置/
std::filesystem::path default_plugin_dir(const std::filesystem::path& program_dir);  // Quillora配置/插件/
std::filesystem::path settings_file_path(
    const std::filesystem::path& program_dir);  // Quillora配置/config.ini

// The directory of the running executable.
std::filesystem::path executable_dir();

// True when path names an existing directory (a link to one counts).
bool is_directory(const std::filesystem::path& path);
// Creates the directory and every missing parent; a failure is left for the later users to meet.
void ensure_directory(const std::filesystem::path& path);

// The entry of dir whose name equals name (UTF-8) when ASCII letters are compared without regard to
// case; an exact match is preferred. directories_only skips entries that are not directories.
std::optional<std::filesystem::path> find_entry_ignoring_case(const std::filesystem::path& dir,
                                                              std::string_view name,
                                                              bool directories_only = false);

}  // namespace quillora::app
