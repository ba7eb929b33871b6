#pragma once
// The window of the command-line client: controls are kept in memory, message boxes are printed
// (results on standard output, everything else on standard error, in UTF-8), and a transfer's
// progress is drawn as a bar on standard error when that is a terminal.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/window.hpp"
#include "app/core/worker_set.hpp"

namespace quillora::cli {

class TerminalWindow : public app::Window {
 public:
  TerminalWindow();
  ~TerminalWindow() override;
  TerminalWindow(const TerminalWindow&) = delete;
  TerminalWindow& operator=(const TerminalWindow&) = delete;

  void set_caption(const std::string& text) override { caption_ = text; }
  std::string text(app::Control control) override;
  void set_text(app::Control control, const std::string& text) override;
  void set_enabled(app::Control, bool) override {}
  void set_progress(int percent) override;
  void clear_rows() override { rows_.clear(); }
  int append_row() override;
  void set_cell(int row, int column, const std::string& text) override;
  std::string cell(int row, int column) override;
  int selected_row() override { return selected_; }
  void popup_menu() override {}
  using app::Window::message_box;
  void message_box(const std::string& text, const std::string& caption) override;
  void process_events() override;
  void start_worker(std::function<void()> work) override { workers_.start(std::move(work)); }
  void post(std::function<void()> call) override;
  void run_and_wait(const std::function<void()>& job, bool allow_input) override;
  // A terminal has no file manager and no browser to hand anything to.
  void open_url(const std::string&) override {}
  void open_directory(const std::string&) override {}
  void end_program(int status) override { end_status_ = status; }

  const std::string& caption() const { return caption_; }
  void select_row(int row) { selected_ = row; }
  int end_status() const { return end_status_; }  // -1 while nobody asked the program to end

  // While a run_and_wait that takes input runs (the transfer): on_tick every 500 ms, as the
  // window's timer; on_interrupt at every turn once Ctrl-C was pressed; final_line when it ends,
  // for the last state of the progress line.
  std::function<void()> on_tick;
  std::function<void()> on_interrupt;
  std::function<std::string()> final_line;

 private:
  void draw_progress();

  std::string caption_;
  std::map<app::Control, std::string> texts_;
  std::vector<std::vector<std::string>> rows_;
  int selected_ = -1;
  int end_status_ = -1;
  int progress_ = 0;
  bool bar_shown_ = false;  // from the start of a transfer until its outcome is printed
  bool drawing_ = false;    // a progress bar is on the terminal's last line
  const bool stderr_is_terminal_;

  std::mutex queue_mutex_;
  std::condition_variable queue_changed_;
  std::deque<std::function<void()>> queue_;
  app::WorkerSet workers_;
};

}  // namespace quillora::cli
