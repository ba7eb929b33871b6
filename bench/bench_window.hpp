#pragma once
// A window without a display for the benchmarks: it keeps only what the current screen shows, as the
// real one does (the rows of the list, control texts, the last message), runs posted calls on the
// thread that drives it, and joins its workers as they end, so that a long run keeps nothing it
// should not.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/plugin_columns.hpp"
#include "app/core/window.hpp"
#include "app/core/worker_set.hpp"

namespace quillora::bench {

class BenchWindow : public app::Window {
 public:
  void set_caption(const std::string&) override {}
  std::string text(app::Control control) override { return texts_[control]; }
  void set_text(app::Control control, const std::string& text) override { texts_[control] = text; }
  void set_enabled(app::Control, bool) override {}
  void set_progress(int percent) override { progress = percent; }
  void clear_rows() override { rows.clear(); }
  int append_row() override {
    rows.emplace_back(app::plugin_column_count);
    return static_cast<int>(rows.size()) - 1;
  }
  void set_cell(int row, int column, const std::string& text) override {
    if (row >= 0 && row < static_cast<int>(rows.size())) rows[row][column] = text;
  }
  std::string cell(int row, int column) override {
    if (row < 0 || row >= static_cast<int>(rows.size())) return {};
    return rows[row][column];
  }
  int selected_row() override { return selected; }
  void popup_menu() override {}
  using app::Window::message_box;
  void message_box(const std::string& text, const std::string&) override { last_message = text; }
  void process_events() override { run_posted(); }
  void start_worker(std::function<void()> work) override {
    ++busy_;
    workers_.start([this, work = std::move(work)] {
      work();
      post([this] { --busy_; });
    });
  }
  void post(std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(call));
    wake_.notify_one();
  }
  void run_and_wait(const std::function<void()>& job, bool) override {
    bool done = false;
    std::thread worker([&] {
      job();
      post([&done] { done = true; });
    });
    while (!done) wait_and_run();
    worker.join();
  }
  void open_url(const std::string&) override {}
  void open_directory(const std::string&) override {}
  void end_program(int) override {}

  // Runs posted calls until `done()` holds (or the deadline passes); false on the deadline.
  template <typename Done>
  bool run_until(Done done, std::chrono::seconds deadline = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      wait_and_run();
    }
    return true;
  }

  // Runs posted calls until every worker started so far has ended (or the deadline passes).
  bool settle(std::chrono::seconds deadline = std::chrono::seconds(60)) {
    if (!run_until([this] { return busy_ == 0; }, deadline)) return false;
    run_posted();
    return true;
  }

  std::vector<std::vector<std::string>> rows;
  int selected = -1;
  int progress = 0;
  std::string last_message;

 private:
  void run_posted() {
    std::deque<std::function<void()>> calls;
    {
      std::lock_guard lock(mutex_);
      calls.swap(queue_);
    }
    for (auto& call : calls) call();
  }
  void wait_and_run() {
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return !queue_.empty(); });
    }
    run_posted();
  }

  std::map<app::Control, std::string> texts_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  int busy_ = 0;
  app::WorkerSet workers_;
};

}  // namespace quillora::bench
