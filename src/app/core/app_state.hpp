#pragma once
// The program-wide state. Integer fields are atomic because page loads read them from worker
// threads; only the window's thread writes them. Texts are touched on the window's thread only.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "net/ranged_downloader.hpp"

namespace quillora::app {

struct AppState {
  std::atomic<std::int32_t> page_count{0};
  std::atomic<std::int32_t> current_page{0};
  std::atomic<std::int32_t> robot_id{0};
  std::string uid;    // GBK
  std::string token;  // GBK
  std::filesystem::path plugin_dir;  // where plugins go (UTF-8 path; a directory)
  net::RangedDownloader downloader;
  bool exit_after_stop = false;
  std::int64_t last_downloaded = 0;
  bool downloading = false;

  // Not part of the user-visible state: where the program lives, and the number of the latest
  // page load, which lets an older load drop its rows instead of mixing them into the list.
  std::filesystem::path program_dir;
  std::atomic<std::uint64_t> page_generation{0};
};

}  // namespace quillora::app
