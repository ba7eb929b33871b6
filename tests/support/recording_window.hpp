#pragma once
// A Window for tests that need no display. It keeps everything the logic shows (rows and cells,
// control texts and enabled states, caption, progress, every message box, opened URLs and
// directories, popup menus) and never blocks: a message box is recorded and "closed" at once.
//
// The thread that constructs it is its window thread. post() queues a call from any thread;
// process_events(), wait_until() and run_and_wait() run the queued calls on the window thread.
// Any other call made from another thread is counted in off_thread_calls(), so a test can prove
// that workers reach the window through post() only.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/window.hpp"

namespace quillora::test {

struct ShownMessage {
  std::string text;     // GBK
  std::string caption;  // GBK
};

class RecordingWindow : public app::Window {
 public:
  RecordingWindow();
  ~RecordingWindow() override;  // joins every worker, running posted calls meanwhile
  RecordingWindow(const RecordingWindow&) = delete;
  RecordingWindow& operator=(const RecordingWindow&) = delete;

  // app::Window
  void set_caption(const std::string& text) override;
  std::string text(app::Control control) override;
  void set_text(app::Control control, const std::string& text) override;
  void set_enabled(app::Control control, bool enabled) override;
  void set_progress(int percent) override;
  void clear_rows() override;
  int append_row() override;
  void set_cell(int row, int column, const std::string& text) override;
  std::string cell(int row, int column) override;
  int selected_row() override;
  void popup_menu() override;
  using app::Window::message_box;
  void message_box(const std::string& text, const std::string& caption) override;
  void process_events() override;
  void start_worker(std::function<void()> work) override;
  void post(std::function<void()> call) override;
  void run_and_wait(const std::function<void()>& job, bool allow_input) override;
  void open_url(const std::string& url) override;
  void open_directory(const std::string& utf8_path) override;
  void end_program(int status) override;

  // Runs posted calls until predicate holds or the deadline passes; true when it holds.
  bool wait_until(const std::function<bool()>& predicate,
                  std::chrono::milliseconds deadline = std::chrono::seconds(20));
  // Waits (running posted calls) until every worker started so far has ended; false on timeout.
  bool wait_for_workers(std::chrono::milliseconds deadline = std::chrono::seconds(20));

  // What the logic did. Read these on the window thread.
  const std::string& caption() const { return caption_; }
  bool enabled(app::Control control) const;  // controls start enabled
  int progress() const { return progress_; }
  const std::vector<std::vector<std::string>>& rows() const { return rows_; }
  const std::vector<ShownMessage>& messages() const { return messages_; }
  const std::vector<std::string>& opened_urls() const { return urls_; }
  const std::vector<std::string>& opened_directories() const { return directories_; }
  int popup_count() const { return popups_; }
  // The allow_input flag of every run_and_wait call, in order.
  const std::vector<bool>& blocking_runs() const { return blocking_runs_; }
  // How many workers had been started when each run_and_wait call began, in order.
  const std::vector<int>& workers_before_runs() const { return workers_before_runs_; }
  int clear_count() const { return clears_; }
  int end_status() const { return end_status_; }  // -1 until end_program is called
  int off_thread_calls() const { return off_thread_calls_.load(); }
  int running_workers() const { return running_workers_.load(); }

  // What the user does.
  void select_row(int row) { selected_ = row; }
  void clear_messages() { messages_.clear(); }
  // Called with each message box as it is shown (for example to click something "meanwhile").
  std::function<void(const ShownMessage&)> on_message_box;
  // Called by popup_menu(), standing for the user's choice of a menu item.
  std::function<void()> on_popup_menu;

 private:
  void check_thread();

  std::thread::id owner_;
  std::string caption_;
  std::map<app::Control, std::string> texts_;
  std::map<app::Control, bool> enabled_;
  int progress_ = 0;
  std::vector<std::vector<std::string>> rows_;
  int selected_ = -1;
  int popups_ = 0;
  int clears_ = 0;
  int end_status_ = -1;
  std::vector<ShownMessage> messages_;
  std::vector<std::string> urls_;
  std::vector<std::string> directories_;
  std::vector<bool> blocking_runs_;
  std::vector<int> workers_before_runs_;

  std::mutex queue_mutex_;
  std::deque<std::function<void()>> queue_;
  std::vector<std::thread> workers_;
  std::atomic<int> running_workers_{0};
  std::atomic<int> off_thread_calls_{0};
};

}  // namespace quillora::test
