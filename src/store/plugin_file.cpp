#include "store/plugin_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "util/gbk.hpp"

namespace quillora::store {
namespace {

// An open descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  Descriptor(const std::filesystem::path& path, int flags) : fd_(::open(path.c_str(), flags | O_CLOEXEC)) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  bool sync() const { return fd_ >= 0 && ::fsync(fd_) == 0; }

 private:
  int fd_;
};

}  // namespace

bool is_safe_plugin_name(std::string_view gbk_name) {
  if (gbk_name.empty() || gbk_name.find('\0') != std::string_view::npos) return false;
  // The characters are judged in UTF-8, where a "\" byte is always the character "\".
  const std::string name = util::gbk_to_utf8(gbk_name);
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

std::filesystem::path partial_path(const std::filesystem::path& target) {
  std::filesystem::path partial = target;
  partial += ".part";
  return partial;
}

void remove_plugin_file(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(std::filesystem::symlink_status(path, ec))) return;
  std::filesystem::remove(path, ec);
}

bool commit_plugin_file(const std::filesystem::path& partial, const std::filesystem::path& target) {
  if (!Descriptor(partial, O_RDONLY).sync()) return false;
  if (std::rename(partial.c_str(), target.c_str()) != 0) return false;
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  // The rename is done; a directory that cannot be flushed (some file systems refuse) does not
  // undo it, and the file itself is already on disk.
  Descriptor(dir, O_RDONLY | O_DIRECTORY).sync();
  return true;
}

}  // namespace quillora::store
