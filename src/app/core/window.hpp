#pragma once
// The narrow interface through which the store logic drives the window. Implemented by the Qt main
// window (app/ui), by a recording window in the tests and by the terminal in the CLI. All texts are
// GBK. Calls are made on the window's thread, except post(), which any thread may call.
#include <array>
#include <functional>
#include <span>
#include <string>

#include "app/core/controls.hpp"
#include "app/core/plugin_columns.hpp"

namespace quillora::app {

class Window {
 public:
  virtual ~Window() = default;

  virtual void set_caption(const std::string& text) = 0;
  virtual std::string text(Control control) = 0;
  virtual void set_text(Control control, const std::string& text) = 0;
  virtual void set_enabled(Control control, bool enabled) = 0;
  virtual void set_progress(int percent) = 0;

  // The plugin list. cell() of row -1 (no row) is "".
  virtual void clear_rows() = 0;
  virtual int append_row() = 0;
  virtual void set_cell(int row, int column, const std::string& text) = 0;
  virtual std::string cell(int row, int column) = 0;
  virtual int selected_row() = 0;
  // Appends whole rows, cells in column order; a page arrives in one go instead of cell by cell.
  using Row = std::array<std::string, plugin_column_count>;
  virtual void append_rows(std::span<const Row> rows);

  // Opens the popup menu "操作" at the mouse; its items call back into the store logic.
  virtual void popup_menu() = 0;

  // One OK button, task-modal, no owner. Returns when the user has closed it.
  virtual void message_box(const std::string& text, const std::string& caption) = 0;
  void message_box(const std::string& text);  // caption "信息："

  // Lets the window handle its pending events (painting, timer, clicks) from inside a handler.
  virtual void process_events() = 0;

  // Runs work on a worker thread that the caller does not keep; the window joins it before it dies.
  virtual void start_worker(std::function<void()> work) = 0;
  // Carries a call to the window's thread; it runs later, in order. Safe from any thread.
  virtual void post(std::function<void()> call) = 0;
  // Runs job on a worker thread and keeps the window alive until it ends. allow_input false: the
  // window paints but takes no clicks or keys meanwhile (no second request can start).
  virtual void run_and_wait(const std::function<void()>& job, bool allow_input) = 0;

  // The desktop: a URL in the default browser, a directory in the file manager (not waited for).
  virtual void open_url(const std::string& url) = 0;
  virtual void open_directory(const std::string& utf8_path) = 0;

  // Ends the program with this status once the current handler returns.
  virtual void end_program(int status) = 0;
};

}  // namespace quillora::app
