#include "support/recording_window.hpp"

#include <condition_variable>

#include "app/core/plugin_columns.hpp"
#include "util/gbk.hpp"

namespace quillora::test {
namespace {
// Wakes the window thread when a call is posted or a job ends; shared by every recording window,
// which costs nothing but a spurious wake-up now and then.
std::mutex wake_mutex;
std::condition_variable wake;

void notify() {
  std::lock_guard lock(wake_mutex);
  wake.notify_all();
}

void sleep_briefly(const std::function<bool()>& ready) {
  std::unique_lock lock(wake_mutex);
  wake.wait_for(lock, std::chrono::milliseconds(5), ready);
}
}  // namespace

RecordingWindow::RecordingWindow() : owner_(std::this_thread::get_id()) {
  using namespace util::literals;
  // The texts the window's layout gives these controls.
  texts_[app::Control::status_label] = "状态：尚未登录"_gbk;
  texts_[app::Control::task_label] = "当前任务：无"_gbk;
  texts_[app::Control::progress_label] = "下载进度：无"_gbk;
}

RecordingWindow::~RecordingWindow() {
  while (running_workers_.load() > 0) {
    process_events();
    sleep_briefly([this] { return running_workers_.load() == 0; });
  }
  for (auto& worker : workers_) worker.join();
  process_events();
}

void RecordingWindow::check_thread() {
  if (std::this_thread::get_id() != owner_) ++off_thread_calls_;
}

void RecordingWindow::set_caption(const std::string& text) {
  check_thread();
  caption_ = text;
}

std::string RecordingWindow::text(app::Control control) {
  check_thread();
  auto it = texts_.find(control);
  return it == texts_.end() ? std::string() : it->second;
}

void RecordingWindow::set_text(app::Control control, const std::string& text) {
  check_thread();
  texts_[control] = text;
}

void RecordingWindow::set_enabled(app::Control control, bool enabled) {
  check_thread();
  enabled_[control] = enabled;
}

bool RecordingWindow::enabled(app::Control control) const {
  auto it = enabled_.find(control);
  return it == enabled_.end() || it->second;
}

void RecordingWindow::set_progress(int percent) {
  check_thread();
  progress_ = percent;
}

void RecordingWindow::clear_rows() {
  check_thread();
  rows_.clear();
  selected_ = -1;
  ++clears_;
}

int RecordingWindow::append_row() {
  check_thread();
  rows_.emplace_back(app::plugin_column_count);
  return static_cast<int>(rows_.size()) - 1;
}

void RecordingWindow::set_cell(int row, int column, const std::string& text) {
  check_thread();
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0) return;
  auto& cells = rows_[static_cast<std::size_t>(row)];
  if (column >= static_cast<int>(cells.size())) cells.resize(static_cast<std::size_t>(column) + 1);
  cells[static_cast<std::size_t>(column)] = text;
}

std::string RecordingWindow::cell(int row, int column) {
  check_thread();
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0) return {};
  const auto& cells = rows_[static_cast<std::size_t>(row)];
  if (column >= static_cast<int>(cells.size())) return {};
  return cells[static_cast<std::size_t>(column)];
}

int RecordingWindow::selected_row() {
  check_thread();
  return selected_ < static_cast<int>(rows_.size()) ? selected_ : -1;
}

void RecordingWindow::popup_menu() {
  check_thread();
  ++popups_;
  if (on_popup_menu) on_popup_menu();
}

void RecordingWindow::message_box(const std::string& text, const std::string& caption) {
  check_thread();
  messages_.push_back({text, caption});
  if (on_message_box) on_message_box(messages_.back());
}

void RecordingWindow::process_events() {
  check_thread();
  // Calls posted while these run wait for the next round, as a real event loop would have them.
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(queue_mutex_);
    batch.swap(queue_);
  }
  for (auto& call : batch) call();
}

void RecordingWindow::start_worker(std::function<void()> work) {
  check_thread();
  ++running_workers_;
  workers_.emplace_back([this, work = std::move(work)] {
    work();
    --running_workers_;
    notify();
  });
}

void RecordingWindow::post(std::function<void()> call) {
  {
    std::lock_guard lock(queue_mutex_);
    queue_.push_back(std::move(call));
  }
  notify();
}

void RecordingWindow::run_and_wait(const std::function<void()>& job, bool allow_input) {
  check_thread();
  blocking_runs_.push_back(allow_input);
  workers_before_runs_.push_back(static_cast<int>(workers_.size()));
  std::atomic<bool> done{false};
  std::thread runner([&] {
    job();
    done = true;
    notify();
  });
  while (!done.load()) {
    process_events();
    sleep_briefly([&] { return done.load(); });
  }
  runner.join();
  process_events();
}

void RecordingWindow::open_url(const std::string& url) {
  check_thread();
  urls_.push_back(url);
}

void RecordingWindow::open_directory(const std::string& utf8_path) {
  check_thread();
  directories_.push_back(utf8_path);
}

void RecordingWindow::end_program(int status) {
  check_thread();
  end_status_ = status;
}

bool RecordingWindow::wait_until(const std::function<bool()>& predicate, std::chrono::milliseconds deadline) {
  auto until = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    process_events();
    if (predicate()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    sleep_briefly([this] {
      std::lock_guard lock(queue_mutex_);
      return !queue_.empty();
    });
  }
}

bool RecordingWindow::wait_for_workers(std::chrono::milliseconds deadline) {
  bool ended = wait_until([this] { return running_workers_.load() == 0; }, deadline);
  process_events();
  return ended;
}

}  // namespace quillora::test
