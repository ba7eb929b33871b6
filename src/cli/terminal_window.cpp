#include "cli/terminal_window.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <thread>

#include "app/core/plugin_columns.hpp"
#include "cli/interrupt.hpp"
#include "cli/terminal_text.hpp"
#include "util/gbk.hpp"

namespace quillora::cli {
namespace {
using namespace util::literals;
using namespace std::chrono_literals;

constexpr auto tick_interval = 500ms;
constexpr int bar_cells = 20;

// The messages that report a result; every other message is a failure or a notice.
bool is_result(const std::string& text) {
  static const std::array<std::string, 3> results{"登录成功！"_gbk, "下载完成!"_gbk, "打榜成功！"_gbk};
  for (const std::string& result : results) {
    if (text == result) return true;
  }
  return false;
}

void print_line(std::FILE* stream, const std::string& gbk_text) {
  write_line(stream, util::gbk_to_utf8(gbk_text));
  std::fflush(stream);
}

}  // namespace

TerminalWindow::TerminalWindow() : stderr_is_terminal_(::isatty(STDERR_FILENO) == 1) {
  texts_[app::Control::status_label] = "状态：尚未登录"_gbk;
  texts_[app::Control::task_label] = "当前任务：无"_gbk;
  texts_[app::Control::progress_label] = "下载进度：无"_gbk;
}

TerminalWindow::~TerminalWindow() {
  workers_.join_all();
  if (drawing_) std::fputs("\n", stderr);
}

std::string TerminalWindow::text(app::Control control) {
  auto it = texts_.find(control);
  return it == texts_.end() ? std::string() : it->second;
}

void TerminalWindow::set_text(app::Control control, const std::string& text) {
  texts_[control] = text;
  if (control == app::Control::progress_label) draw_progress();
}

void TerminalWindow::set_progress(int percent) {
  progress_ = percent;
  draw_progress();
}

int TerminalWindow::append_row() {
  rows_.emplace_back(app::plugin_column_count);
  return static_cast<int>(rows_.size()) - 1;
}

void TerminalWindow::set_cell(int row, int column, const std::string& text) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  if (column < 0 || column >= app::plugin_column_count) return;
  rows_[row][column] = text;
}

std::string TerminalWindow::cell(int row, int column) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
  if (column < 0 || column >= app::plugin_column_count) return {};
  return rows_[row][column];
}

void TerminalWindow::message_box(const std::string& text, const std::string&) {
  if (drawing_) {
    // The message starts on a line of its own, below the bar.
    std::fputs("\n", stderr);
    drawing_ = false;
  }
  bar_shown_ = false;
  print_line(is_result(text) ? stdout : stderr, text);
}

void TerminalWindow::process_events() {
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(queue_mutex_);
      if (queue_.empty()) return;
      call = std::move(queue_.front());
      queue_.pop_front();
    }
    call();
  }
}

void TerminalWindow::post(std::function<void()> call) {
  {
    std::lock_guard lock(queue_mutex_);
    queue_.push_back(std::move(call));
  }
  queue_changed_.notify_one();
}

void TerminalWindow::run_and_wait(const std::function<void()>& job, bool allow_input) {
  std::atomic<bool> done{false};
  std::thread runner([&] {
    job();
    {
      std::lock_guard lock(queue_mutex_);
      done = true;
    }
    queue_changed_.notify_one();
  });
  // Ctrl-C is looked at on every turn, also after the job ended, so that a stop requested just
  // before the transfer started or ended is never lost.
  const auto turn = [&] {
    process_events();
    if (interrupted() && on_interrupt) on_interrupt();
  };
  if (allow_input) bar_shown_ = true;
  auto next_tick = std::chrono::steady_clock::now() + tick_interval;
  while (!done.load()) {
    turn();
    if (allow_input && on_tick && std::chrono::steady_clock::now() >= next_tick) {
      on_tick();
      next_tick += tick_interval;
    }
    std::unique_lock lock(queue_mutex_);
    queue_changed_.wait_until(lock, std::min(next_tick, std::chrono::steady_clock::now() + 50ms),
                              [&] { return done.load() || !queue_.empty(); });
  }
  runner.join();
  turn();
  if (!allow_input) return;
  if (final_line) texts_[app::Control::progress_label] = final_line();
  if (stderr_is_terminal_) {
    draw_progress();  // the bar stays until the outcome is printed below it
  } else {
    print_line(stderr, texts_[app::Control::progress_label]);
  }
}

void TerminalWindow::draw_progress() {
  if (!stderr_is_terminal_ || !bar_shown_) return;
  const int clamped = std::clamp(progress_, 0, 100);
  const int filled = clamped * bar_cells / 100;
  std::string line = "\r\033[K[" + std::string(filled, '#') + std::string(bar_cells - filled, '.') + "] " +
                     printable(util::gbk_to_utf8(texts_[app::Control::progress_label]));
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  drawing_ = true;
}

}  // namespace quillora::cli
