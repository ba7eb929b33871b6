#include "net/ranged_downloader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <optional>
#include <string_view>

#include "net/curl_handles.hpp"
#include "net/web_request.hpp"
#include "util/gbk.hpp"
#include "util/url_encode.hpp"

namespace quillora::net {
namespace {

constexpr std::size_t kChunkBytes = 10240;
// libcurl reads the socket this much at a time; the pieces handed on stay at most kChunkBytes.
// Small socket reads cost more than half the throughput on loopback.
constexpr long kReceiveBufferBytes = 100 * 1024;
constexpr std::int64_t kUtc8Offset = 8 * 3600;

constexpr const char* kRequestLines[] = {
    "Accept: */*",
    "Accept-Language: zh-cn",
    "Accept-Encoding: no-gzip, deflate",
    "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)",
    // Every transfer goes to the origin server, never to a cache.
    "Pragma: no-cache",
    "Cache-Control: no-cache",
};

bool write_all(int file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(file, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

std::optional<std::int64_t> leading_number(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || value < 0) return std::nullopt;
  return value;
}

// The value of a "Name: value" line when its name is `name` (any case), else nullopt.
std::optional<std::string_view> header_value(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char a = line[i] >= 'A' && line[i] <= 'Z' ? static_cast<char>(line[i] - 'A' + 'a') : line[i];
    if (a != name[i]) return std::nullopt;
  }
  return line.substr(name.size() + 1);
}

}  // namespace

// One run of the transfer as libcurl's callbacks see it.
struct RangedDownloader::Transfer {
  RangedDownloader& owner;
  const std::function<void()>& on_progress;
  std::int64_t start_bytes = 0;  // what the file held when the request went out
  // The latest response (a redirection starts a new one).
  long status = 0;
  std::optional<std::int64_t> content_length;
  std::optional<std::int64_t> range_start;  // the "N-M/L" of Content-Range
  std::optional<std::int64_t> range_end;
  std::optional<std::int64_t> full_length;
  bool accepted = false;
  bool discard_body = false;
  std::int64_t received = 0;
  TransferEnd end = TransferEnd::none;  // set when a callback breaks the transfer off

  // Decides whether the final response's body belongs in the file, and where.
  bool accept() {
    if (status == 416 && full_length == start_bytes) {
      // Nothing after byte N because the file has exactly N bytes (an empty file asked from 0
      // included): it is whole already, and the error page that comes with the answer is no part of it.
      discard_body = true;
      owner.total_ = start_bytes;
      owner.start_time_ = unix_now();
      accepted = true;
      return true;
    }
    // Only the whole file (200) or the rest of it (206) is the file; another 2xx (no content,
    // accepted for later) carries no part of it.
    if (status != 200 && status != 206) return refuse(TransferEnd::status);
    if (status == 206 && !range_is_the_rest()) return refuse(TransferEnd::status);
    if (start_bytes > 0 && status == 200) {
      // The server sent the whole file again: start it over rather than append a second copy.
      if (::ftruncate(owner.file_, 0) != 0) return refuse(TransferEnd::write_error);
      owner.downloaded_ = 0;
    }
    std::int64_t total = 0;
    if (__builtin_add_overflow(content_length.value_or(0), owner.downloaded_.load(), &total))
      return refuse(TransferEnd::status);
    owner.total_ = total;
    owner.start_time_ = unix_now();
    accepted = true;
    return true;
  }

  // A 206 must run from the first missing byte to the end of the file: a server may send less than
  // the open range asked for, and a shorter piece taken as the rest would end as a complete file.
  bool range_is_the_rest() const {
    if (range_start != start_bytes || !range_end || *range_end < *range_start) return false;
    const std::int64_t length = *range_end - *range_start + 1;
    if (content_length && *content_length != length) return false;
    return !full_length || *range_end + 1 == *full_length;
  }

  bool refuse(TransferEnd why) {
    end = why;
    return false;
  }

  static std::size_t take_header(char* data, std::size_t size, std::size_t count, void* self) {
    auto& t = *static_cast<Transfer*>(self);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
      const std::size_t blank = line.find(' ');
      t.status = blank == std::string_view::npos ? 0 : leading_number(line.substr(blank + 1)).value_or(0);
      // Each response is judged on its own headers alone.
      t.accepted = t.discard_body = false;
      t.content_length.reset();
      t.range_start.reset();
      t.range_end.reset();
      t.full_length.reset();
    } else if (line.empty()) {
      // A 2xx is never followed elsewhere, so it can be judged now; anything else is judged when its
      // body or its end arrives, since libcurl may still follow it.
      if (!t.accepted && t.status >= 200 && t.status <= 299 && !t.accept()) return 0;
    } else if (const auto length = header_value(line, "content-length")) {
      t.content_length = leading_number(*length);
    } else if (const auto range = header_value(line, "content-range")) {
      // "bytes N-M/L", "bytes N-M/*" when the length is unknown, "bytes */L" when the range cannot
      // be served.
      const std::size_t unit = range->find("bytes");
      if (unit != std::string_view::npos) t.range_start = leading_number(range->substr(unit + 5));
      const std::size_t dash = range->find('-');
      if (dash != std::string_view::npos) t.range_end = leading_number(range->substr(dash + 1));
      const std::size_t slash = range->find('/');
      if (slash != std::string_view::npos) t.full_length = leading_number(range->substr(slash + 1));
    }
    return size * count;
  }

  static std::size_t take_body(char* data, std::size_t size, std::size_t count, void* self) {
    auto& t = *static_cast<Transfer*>(self);
    const std::size_t bytes = size * count;
    if (!t.accepted && !t.accept()) return 0;
    if (t.discard_body) return bytes;
    for (std::size_t done = 0; done < bytes;) {
      if (t.owner.stop_requested_) {
        t.end = TransferEnd::stopped;
        return 0;
      }
      const std::size_t piece = std::min(kChunkBytes, bytes - done);
      if (!write_all(t.owner.file_, data + done, piece)) {
        t.end = TransferEnd::write_error;
        return 0;
      }
      done += piece;
      t.received += static_cast<std::int64_t>(piece);
      t.owner.downloaded_ += static_cast<std::int64_t>(piece);
      t.on_progress();
    }
    return bytes;
  }

  // libcurl calls this at least once a second, also while no byte arrives: a stop is seen at once.
  static int check_stop(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(self);
    if (!t.owner.stop_requested_) return 0;
    t.end = TransferEnd::stopped;
    return 1;
  }
};

RangedDownloader::RangedDownloader() = default;

RangedDownloader::~RangedDownloader() {
  stop();
  close_file();
}

bool RangedDownloader::prepare(const std::string& url, std::filesystem::path& path, bool path_given) {
  if (running_) return false;
  if (!url.starts_with("http://") && !url.starts_with("https://")) return false;
  {
    std::lock_guard lock(text_mutex_);
    file_name_ = url.substr(url.rfind('/') + 1);
    const std::size_t dot = url.rfind('.');
    extension_ = dot == std::string::npos ? std::string() : url.substr(dot);
    const std::size_t path_start = url.find('/', url.find("//") + 2);
    request_url_ = path_start == std::string::npos
                       ? encode_path(url)
                       : url.substr(0, path_start + 1) + encode_path(url.substr(path_start + 1));
  }
  if (!path_given) path = default_dir_ / std::filesystem::path(util::gbk_to_utf8(file_name()));

  close_file();
  // O_NONBLOCK only for the open itself: a FIFO planted under the file's name must not hang us.
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
  if (file < 0) return false;
  struct stat info {};
  if (::fcntl(file, F_SETFL, O_WRONLY | O_APPEND) != 0 || ::fstat(file, &info) != 0) {
    ::close(file);
    return false;
  }
  file_ = file;
  downloaded_ = info.st_size;
  stop_requested_ = false;
  std::lock_guard lock(text_mutex_);
  local_path_ = path;
  return true;
}

bool RangedDownloader::run(const std::function<void()>& on_progress,
                           const std::function<void()>& on_stopped) {
  // The stop flag is cleared by prepare, not here: a stop that comes between the two still counts.
  running_ = true;
  if (file_ < 0) return finish(TransferEnd::file_error, on_stopped);
  if (!init_transport()) return finish(TransferEnd::network, on_stopped);
  const CurlLibrary& curl = libcurl();

  Transfer transfer{.owner = *this, .on_progress = on_progress, .start_bytes = downloaded_.load()};
  CURLcode result = CURLE_FAILED_INIT;
  {
    EasyHandle handle(curl.easy_init());
    HeaderList headers;
    bool ready = handle != nullptr;
    for (const char* line : kRequestLines) ready = ready && append_line(headers, line);
    ready = ready && append_line(headers, "Range:bytes=" + std::to_string(transfer.start_bytes) + "-");
    const std::string url = request_url();
    CURL* h = handle.get();
    ready = ready && curl.easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
            // A proxy's "200 Connection established" is not the server's answer.
            curl.easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_MAXREDIRS, 10L) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
            (ca_file_.empty() || curl.easy_setopt(h, CURLOPT_CAINFO, ca_file_.c_str()) == CURLE_OK) &&
            curl.easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_CONNECTTIMEOUT, stall_seconds_) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stall_seconds_) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_HEADERFUNCTION, &Transfer::take_header) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_HEADERDATA, &transfer) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_WRITEFUNCTION, &Transfer::take_body) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_WRITEDATA, &transfer) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Transfer::check_stop) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK &&
            curl.easy_setopt(h, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    if (ready && !stop_requested_) result = curl.easy_perform(h);
  }

  TransferEnd end = TransferEnd::complete;
  if (stop_requested_) {
    // Whatever else happened, a requested stop is reported as one, so that its caller hears of it.
    end = TransferEnd::stopped;
  } else if (transfer.end != TransferEnd::none) {
    end = transfer.end;
  } else if (result == CURLE_PARTIAL_FILE) {
    end = TransferEnd::short_body;
  } else if (result != CURLE_OK) {
    end = TransferEnd::network;
  } else if (!transfer.accepted && !transfer.accept()) {
    end = transfer.end;  // a final response without a body, judged here
  } else if (!transfer.discard_body && transfer.content_length &&
             transfer.received < *transfer.content_length) {
    end = TransferEnd::short_body;
  }
  return finish(end, on_stopped);
}

bool RangedDownloader::finish(TransferEnd end, const std::function<void()>& on_stopped) {
  close_file();
  last_end_ = end;
  running_ = false;
  if (end == TransferEnd::stopped && on_stopped) on_stopped();
  return end == TransferEnd::complete;
}

void RangedDownloader::close_file() {
  if (file_ >= 0) ::close(file_);
  file_ = -1;
}

std::string RangedDownloader::file_name() const {
  std::lock_guard lock(text_mutex_);
  return file_name_;
}

std::string RangedDownloader::extension() const {
  std::lock_guard lock(text_mutex_);
  return extension_;
}

std::string RangedDownloader::request_url() const {
  std::lock_guard lock(text_mutex_);
  return request_url_;
}

std::filesystem::path RangedDownloader::local_path() const {
  std::lock_guard lock(text_mutex_);
  return local_path_;
}

std::int64_t RangedDownloader::percent() const {
  const std::int64_t total = total_;
  if (total == 0) return 0;
  return static_cast<std::int64_t>(static_cast<double>(downloaded_) * 100.0 / static_cast<double>(total));
}

std::int64_t RangedDownloader::elapsed_seconds() const { return unix_now() - start_time_; }

void RangedDownloader::stop() { stop_requested_ = true; }

std::string RangedDownloader::encode_path(const std::string& gbk_path) {
  return util::url_encode(gbk_path, /*keep_unreserved=*/false, /*to_utf8=*/true);
}

// Seconds from 1970-01-01 08:00:00 to now, both in the local calendar: Unix time on a clock at UTC+8.
std::int64_t RangedDownloader::unix_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<std::int64_t>(timegm(&local)) - kUtc8Offset;
}

std::tm RangedDownloader::time_from_unix(std::int32_t seconds) {
  const std::time_t moment = static_cast<std::time_t>(seconds) + kUtc8Offset;
  std::tm calendar{};
  gmtime_r(&moment, &calendar);
  return calendar;
}

}  // namespace quillora::net
