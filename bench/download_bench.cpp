// Side by side: RangedDownloader::run against `curl -o` fetching the same URL into a real file,
// runs interleaved, medians compared. The progress routine does what the download task's does on
// its worker: read the percent after every chunk and post it to a window thread when it changes.
// Usage: download_bench URL DIR [RUNS]   (DIR receives the files, which are removed after each run)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/ranged_downloader.hpp"
#include "net/web_request.hpp"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using quillora::net::RangedDownloader;

// Stands in for the window thread: posted calls run there, one after another.
class WindowThread {
 public:
  WindowThread() : thread_([this] { loop(); }) {}
  ~WindowThread() {
    post({});
    thread_.join();
  }
  void post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(call));
    wake_.notify_one();
  }

 private:
  void loop() {
    for (;;) {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return !queue_.empty(); });
      std::function<void()> call = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      if (!call) return;
      call();
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  std::thread thread_;
};

// The progress bar's position, as the window thread sets it.
std::atomic<int> bar_position{0};

long peak_rss_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Wall-clock and CPU seconds of one transfer; the CPU figure stays meaningful on a busy machine.
struct Timing {
  double wall = -1;
  double cpu = 0;
};

double cpu_seconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// One transfer into path; wall < 0 when it failed. stop_after > 0 stops the
// transfer once that many bytes are in (the warm-up).
Timing run_downloader(RangedDownloader& downloader, WindowThread& window, const std::string& url,
                      const std::filesystem::path& path, std::int64_t stop_after = 0) {
  std::filesystem::remove(path);
  std::filesystem::path target = path;
  if (!downloader.prepare(url, target, true)) return {};
  int shown = 0;
  const double cpu_start = cpu_seconds(RUSAGE_SELF);
  const auto start = Clock::now();
  const bool ok = downloader.run(
      [&] {
        const int percent = static_cast<int>(static_cast<std::uint32_t>(downloader.percent()));
        if (stop_after > 0 && downloader.downloaded() >= stop_after) downloader.stop();
        if (percent == shown) return;
        shown = percent;
        window.post([percent] { bar_position = percent; });
      },
      [] {});
  const Timing timing{seconds_since(start), cpu_seconds(RUSAGE_SELF) - cpu_start};
  return ok || stop_after > 0 ? timing : Timing{};
}

Timing run_curl(const std::string& url, const std::filesystem::path& path) {
  std::filesystem::remove(path);
  std::vector<std::string> args = {"curl", "-s", "-S", "-f", "-o", path.string(), url};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const double cpu_start = cpu_seconds(RUSAGE_CHILDREN);
  const auto start = Clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, "curl", nullptr, nullptr, argv.data(), environ) != 0) return {};
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return {seconds_since(start), cpu_seconds(RUSAGE_CHILDREN) - cpu_start};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s URL DIR [RUNS]\n", argv[0]);
    return 2;
  }
  const std::string url = argv[1];
  const std::filesystem::path dir = argv[2];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  quillora::net::init_transport();

  RangedDownloader downloader;
  WindowThread window;
  const std::filesystem::path ours = dir / "downloader.bin";
  const std::filesystem::path theirs = dir / "curl.bin";
  // Warm-up: libcurl's and the allocator's first-use costs stay out of the memory figure.
  if (run_downloader(downloader, window, url, ours, 16 << 20).wall < 0) {
    std::fprintf(stderr, "warm-up transfer failed\n");
    return 1;
  }
  const long rss_before = peak_rss_kib();

  std::vector<double> our_rates, curl_rates, our_cpu, curl_cpu;
  std::int64_t bytes = 0;
  for (int i = 0; i < runs; ++i) {
    // Alternate who goes first, so that neither always meets a warmer or colder page cache.
    Timing our_run, curl_run;
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == (i % 2 == 0)) {
        our_run = run_downloader(downloader, window, url, ours);
        bytes = downloader.downloaded();
        if (our_run.wall < 0 || std::filesystem::file_size(ours) != static_cast<std::uintmax_t>(bytes)) {
          std::fprintf(stderr, "downloader run %d failed\n", i + 1);
          return 1;
        }
        std::filesystem::remove(ours);
      } else {
        curl_run = run_curl(url, theirs);
        if (curl_run.wall < 0) {
          std::fprintf(stderr, "curl run %d failed\n", i + 1);
          return 1;
        }
        std::filesystem::remove(theirs);
      }
    }
    const double gib = static_cast<double>(bytes) / (1 << 30);
    our_rates.push_back(static_cast<double>(bytes) / our_run.wall / 1e9);
    curl_rates.push_back(static_cast<double>(bytes) / curl_run.wall / 1e9);
    our_cpu.push_back(our_run.cpu / gib);
    curl_cpu.push_back(curl_run.cpu / gib);
    std::printf("run %d: downloader %.3f GB/s (%.2f CPU s/GiB), curl %.3f GB/s (%.2f CPU s/GiB)\n", i + 1,
                our_rates.back(), our_cpu.back(), curl_rates.back(), curl_cpu.back());
  }
  const double ours_median = median(our_rates);
  const double curl_median = median(curl_rates);
  std::printf("%lld bytes, %d runs each, medians: downloader %.3f GB/s, curl -o %.3f GB/s, ratio %.2f\n",
              static_cast<long long>(bytes), runs, ours_median, curl_median, ours_median / curl_median);
  std::printf("CPU seconds per GiB, medians: downloader %.2f, curl -o %.2f\n", median(our_cpu),
              median(curl_cpu));
  std::printf("downloader peak RSS growth: %ld KiB\n", peak_rss_kib() - rss_before);
  return 0;
}
