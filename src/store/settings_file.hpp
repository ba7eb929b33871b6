#pragma once
// The settings file: a profile (INI) file of GBK bytes with CR LF line ends and "key=value" lines,
// read and written one key at a time the way the host platform's profile functions do it. No INI
// library keeps this exact shape (bytes untouched, no blanks around "=", CR LF, a replaced key
// staying on its line, a new key appended to its section), so this small reader and writer does.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillora::store {

// The longest value a read gives back; longer values are cut to this many bytes.
inline constexpr std::size_t setting_value_limit = 10239;

// The value of key in section; "" when the file, the section or the key is missing. Section and key
// names compare without regard to ASCII case, as the profile functions compare them.
std::string read_setting(const std::filesystem::path& file, std::string_view section, std::string_view key);

// Sets key to value: its line is replaced where it stands, or the key is appended to its section (the
// section is appended to the file when missing). The file is replaced atomically and is readable by
// its owner only. False when nothing was written: the directory is missing or not writable, the disk
// is full, or a name or value holds a line break, which would smuggle extra lines into the file.
bool write_setting(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value);

// Removes key from section. True when the key is gone afterwards (also when it was never there).
bool delete_setting(const std::filesystem::path& file, std::string_view section, std::string_view key);

}  // namespace quillora::store
