#include "store/settings_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

namespace quillora::store {
namespace {

constexpr std::string_view line_end = "\r\n";

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool reset() {
    bool ok = fd_ < 0 || ::close(fd_) == 0;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

// Removes a temporary file unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  void keep() { path_.clear(); }

 private:
  std::string path_;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare with ASCII case folded, but never on the second byte of a double-byte GBK
// character, which may look like an ASCII letter.
bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (static_cast<unsigned char>(a[i]) >= 0x80 && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (ascii_lower(a[i]) != ascii_lower(b[i])) {
      return false;
    }
  }
  return true;
}

bool has_line_break(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// The name of a section header line ("[name]"), or nullopt for any other line.
std::optional<std::string_view> section_name(std::string_view line) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trim(t.substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt.
std::optional<std::string_view> key_name(std::string_view line) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return trim(line.substr(0, eq));
}

// The file's lines without their line ends; an empty list for a missing file, nullopt when the file
// exists but cannot be read (it must then not be overwritten with a fraction of its content).
std::optional<std::vector<std::string>> load_lines(const std::filesystem::path& file) {
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return std::vector<std::string>{};
    return std::nullopt;
  }
  std::string content;
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    std::size_t next = end == std::string::npos ? content.size() : end + 1;
    std::size_t stop = end == std::string::npos ? content.size() : end;
    if (stop > start && content[stop - 1] == '\r') --stop;
    lines.emplace_back(content, start, stop - start);
    start = next;
  }
  return lines;
}

struct Location {
  std::size_t section = std::string::npos;  // header line
  std::size_t end = 0;                      // first line after the section
  std::size_t key = std::string::npos;      // the key's line
};

// The first section of that name, and the first line of the key in it.
Location locate(const std::vector<std::string>& lines, std::string_view section, std::string_view key) {
  Location at;
  std::size_t i = 0;
  for (; i < lines.size(); ++i) {
    auto name = section_name(lines[i]);
    if (name && same_name(*name, section)) break;
  }
  if (i == lines.size()) return at;
  at.section = i;
  for (++i; i < lines.size(); ++i) {
    if (section_name(lines[i])) break;
    auto name = key_name(lines[i]);
    if (at.key == std::string::npos && name && same_name(*name, key)) at.key = i;
  }
  at.end = i;
  return at;
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes the lines to a temporary file beside the settings file and renames it over the old one, so
// that a crash or a full disk leaves either the old file or the new one, never a cut one. mkstemp
// creates the file with mode 0600: it holds the password and the login token.
bool store_lines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
  std::string content;
  for (const auto& line : lines) {
    content += line;
    content += line_end;
  }
  std::string pattern = file.string() + ".XXXXXX";
  FileDescriptor fd(::mkstemp(pattern.data()));
  if (fd.get() < 0) return false;
  TemporaryFile temporary(pattern);
  if (::fchmod(fd.get(), S_IRUSR | S_IWUSR) != 0) return false;
  if (!write_all(fd.get(), content) || ::fsync(fd.get()) != 0 || !fd.reset()) return false;
  if (::rename(pattern.c_str(), file.c_str()) != 0) return false;
  temporary.keep();
  // Make the rename itself durable; a failure here leaves a complete file either way.
  FileDescriptor dir(::open(file.parent_path().empty() ? "." : file.parent_path().c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

std::string key_line(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  return line;
}

}  // namespace

std::string read_setting(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  auto lines = load_lines(file);
  if (!lines) return {};
  Location at = locate(*lines, section, key);
  if (at.key == std::string::npos) return {};
  std::string_view line = (*lines)[at.key];
  std::string_view value = line.substr(line.find('=') + 1);
  return std::string(value.substr(0, setting_value_limit));
}

bool write_setting(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value) {
  if (has_line_break(section) || has_line_break(key) || has_line_break(value) ||
      key.find('=') != std::string_view::npos || trim(key).empty())
    return false;
  auto lines = load_lines(file);
  if (!lines) return false;
  Location at = locate(*lines, section, key);
  if (at.section == std::string::npos) {
    lines->push_back("[" + std::string(section) + "]");
    lines->push_back(key_line(key, value));
  } else if (at.key != std::string::npos) {
    (*lines)[at.key] = key_line(key, value);
  } else {
    // After the section's last non-blank line, so that a blank line before the next section stays
    // where it is.
    std::size_t insert = at.end;
    while (insert > at.section + 1 && trim((*lines)[insert - 1]).empty()) --insert;
    lines->insert(lines->begin() + static_cast<std::ptrdiff_t>(insert), key_line(key, value));
  }
  return store_lines(file, *lines);
}

bool delete_setting(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  auto lines = load_lines(file);
  if (!lines) return false;
  Location at = locate(*lines, section, key);
  if (at.key == std::string::npos) return true;
  // Every line of the key goes, so that a second copy cannot come back as its value.
  for (std::size_t i = at.end; i-- > at.key;) {
    auto name = key_name((*lines)[i]);
    if (name && same_name(*name, key)) lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(i));
  }
  return store_lines(file, *lines);
}

}  // namespace quillora::store
