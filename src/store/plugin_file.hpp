#pragma once
// The plugin file on disk: which names a store link may give it, where the transfer writes before
// the file is complete, and how a complete file takes its place.
#include <filesystem>
#include <string_view>

namespace quillora::store {

// True when a name taken from a download link can only name a file inside the plugin directory:
// not empty, not "." or "..", no "/", "\" or zero byte. gbk_name is the program's text; the test
// looks at characters, so a GBK double-byte character whose second byte is 0x5C is not a "\".
bool is_safe_plugin_name(std::string_view gbk_name);

// The temporary file beside the target that a transfer fills: "<name>.part".
std::filesystem::path partial_path(const std::filesystem::path& target);

// Removes a regular file or a link; never a directory. A missing file is not a failure.
void remove_plugin_file(const std::filesystem::path& path);

// Makes a complete temporary file the target: flushed to disk, renamed over the target, the
// directory flushed, so that neither a crash nor a power cut leaves an empty or partial plugin.
// On false the target is as it was.
bool commit_plugin_file(const std::filesystem::path& partial, const std::filesystem::path& target);

}  // namespace quillora::store
