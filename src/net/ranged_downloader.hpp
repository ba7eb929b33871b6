#pragma once
// Fetches one URL into one file, continuing after the bytes the file already holds, with a progress
// routine after every chunk of at most 10,240 bytes and a stop request seen before the next chunk.
// Counters are atomic so that a window thread may read them while another thread transfers.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

namespace quillora::net {

// Why the last run ended; the download task needs it to decide what to keep.
enum class TransferEnd { none, complete, stopped, network, status, short_body, write_error, file_error };

class RangedDownloader {
 public:
  RangedDownloader();
  ~RangedDownloader();
  RangedDownloader(const RangedDownloader&) = delete;
  RangedDownloader& operator=(const RangedDownloader&) = delete;

  // url must begin with "http://" or "https://" (case-sensitive). path is a file path (UTF-8);
  // when path_given is false it becomes default_dir / file_name. The file is opened for appending,
  // never truncated here, and a stop requested earlier is forgotten. Refused while a transfer runs.
  bool prepare(const std::string& url, std::filesystem::path& path, bool path_given);
  // True only when the whole body is in the file. A response that is not 2xx, a continuation that
  // the server does not answer from the right byte, a short body, a stall, a failed write all end
  // it as false (last_end says which); on_stopped runs once when a stop ended it.
  bool run(const std::function<void()>& on_progress, const std::function<void()>& on_stopped);
  std::int64_t downloaded() const { return downloaded_.load(); }
  std::int64_t total_size() const { return total_.load(); }
  std::string file_name() const;
  std::string extension() const;
  std::int64_t percent() const;
  std::int64_t elapsed_seconds() const;
  std::filesystem::path local_path() const;
  void stop();
  bool is_running() const { return running_.load(); }

  static std::string encode_path(const std::string& gbk_path);
  static std::int64_t unix_now();
  static std::tm time_from_unix(std::int32_t seconds);

  // Beyond the original contract: how the last run ended, the CA bundle for https links, the
  // directory used when no path is given, the stall limit (seconds without a byte). The setters are
  // for the idle downloader, between transfers.
  TransferEnd last_end() const { return last_end_.load(); }
  void set_ca_file(std::string ca_file) { ca_file_ = std::move(ca_file); }
  void set_default_dir(std::filesystem::path dir) { default_dir_ = std::move(dir); }
  void set_stall_seconds(long seconds) { stall_seconds_ = seconds; }
  std::string request_url() const;

 private:
  struct Transfer;
  void close_file();
  bool finish(TransferEnd end, const std::function<void()>& on_stopped);

  // Guards the texts, which prepare writes while a window thread may read them.
  mutable std::mutex text_mutex_;
  int file_ = -1;
  std::atomic<std::int64_t> downloaded_{0};
  std::string request_url_;
  std::atomic<std::int64_t> total_{0};
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_requested_{false};
  std::string file_name_;
  std::string extension_;
  std::filesystem::path local_path_;
  std::atomic<std::int64_t> start_time_{0};
  std::atomic<TransferEnd> last_end_{TransferEnd::none};
  std::string ca_file_;
  std::filesystem::path default_dir_;
  long stall_seconds_ = 60;
};

}  // namespace quillora::net
