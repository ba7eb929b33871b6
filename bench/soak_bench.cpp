// Soak: one process clicks through the catalogue and downloads plugins over and over against the
// local store, the way a long session does, and compares its resident memory and open descriptors
// at the end with those after a short warm-up. A leak of a handle, a thread or a buffer per click or
// per download shows up as a growth here.
// Usage: soak_bench HTTP_URL CA_FILE WORK_DIR [CLICKS [DOWNLOADS]]   (defaults 2000 and 200)
// Exit status 0 when RSS is within 5 % of the start and no descriptor is left open, else 1.
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/app_state.hpp"
#include "bench_window.hpp"
#include "net/web_request.hpp"
#include "store/catalogue.hpp"
#include "store/download_task.hpp"
#include "store/store_context.hpp"
#include "store/store_endpoints.hpp"
#include "util/gbk.hpp"

namespace {

using namespace std::chrono_literals;
namespace store = quillora::store;

long resident_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

int open_descriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
  }
  return count - 1;  // the directory stream itself
}

struct Soak {
  Soak(const std::string& http_url, const std::string& ca_file, const std::filesystem::path& work) {
    endpoints.http_base = http_url;
    endpoints.ca_file = ca_file;
    state.program_dir = work / "robot";
    state.plugin_dir = state.program_dir / "Plugin";
    std::filesystem::create_directories(state.plugin_dir);
    state.robot_id = 1;
    state.current_page = 1;
  }

  // One click of a paging button, waited for until its rows are shown.
  bool click(int i) {
    static void (*const buttons[])(store::StoreContext&) = {
        store::next_page, store::next_page, store::last_page, store::previous_page, store::first_page};
    buttons[i % 5](ctx);
    return window.settle() && !window.rows.empty();
  }

  // One download of a plugin of the current page, waited for until its outcome is shown.
  bool download(int i) {
    store::first_page(ctx);
    if (!window.settle() || window.rows.empty()) return false;
    // The small plugins of the first page: their files are 256 KiB to 1 MiB.
    window.selected = i % 2 == 0 ? 1 : 2;
    window.last_message.clear();
    store::request_download(ctx);
    window.settle();
    return window.last_message == quillora::util::utf8_to_gbk("下载完成!");
  }

  quillora::app::AppState state;
  store::StoreEndpoints endpoints;
  quillora::bench::BenchWindow window;
  store::StoreContext ctx{state, window, endpoints};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s HTTP_URL CA_FILE WORK_DIR [CLICKS [DOWNLOADS]]\n", argv[0]);
    return 2;
  }
  const int clicks = argc > 4 ? std::atoi(argv[4]) : 2000;
  const int downloads = argc > 5 ? std::atoi(argv[5]) : 200;
  quillora::net::init_transport();
  Soak soak(argv[1], argv[2], argv[3]);

  store::query_page_count(soak.ctx);
  if (soak.state.page_count < 2) {
    std::fprintf(stderr, "the store has no catalogue to page through (page count %d)\n",
                 soak.state.page_count.load());
    return 1;
  }
  // Warm-up: the first requests settle the allocator, libcurl and ICU; the baseline is taken after.
  int failures = 0;
  for (int i = 0; i < 50; ++i) failures += !soak.click(i);
  for (int i = 0; i < 5; ++i) failures += !soak.download(i);
  const long rss_start = resident_kib();
  const int fds_start = open_descriptors();
  const auto started = std::chrono::steady_clock::now();

  for (int i = 0; i < clicks; ++i) failures += !soak.click(i);
  const auto clicked = std::chrono::steady_clock::now();
  for (int i = 0; i < downloads; ++i) failures += !soak.download(i);
  const auto ended = std::chrono::steady_clock::now();

  const long rss_end = resident_kib();
  const int fds_end = open_descriptors();
  const double growth = 100.0 * static_cast<double>(rss_end - rss_start) / static_cast<double>(rss_start);
  const auto seconds = [](auto d) { return std::chrono::duration<double>(d).count(); };
  std::printf("paging clicks       %d in %.1f s (%.2f ms each)\n", clicks, seconds(clicked - started),
              1000.0 * seconds(clicked - started) / clicks);
  std::printf("downloads           %d in %.1f s\n", downloads, seconds(ended - clicked));
  std::printf("failed operations   %d\n", failures);
  std::printf("RSS                 %ld KiB -> %ld KiB (%+.1f %%)\n", rss_start, rss_end, growth);
  std::printf("open descriptors    %d -> %d\n", fds_start, fds_end);
  const bool held = failures == 0 && growth <= 5.0 && fds_end <= fds_start;
  std::printf("verdict             %s\n", held ? "steady" : "NOT steady");
  return held ? 0 : 1;
}
