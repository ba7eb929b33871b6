#pragma once
// The Qt main window: builds the fixed layout, binds the controls' events to the store logic and
// implements the Window interface that the logic drives it through.
#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "app/core/app_state.hpp"
#include "app/core/window.hpp"
#include "app/core/worker_set.hpp"
#include "store/store_context.hpp"

class QMenu;
class QTimer;
class QTreeWidget;

namespace quillora::ui {

class MainWindow : public QWidget, public app::Window {
  Q_OBJECT

 public:
  MainWindow(app::AppState& state, const store::StoreEndpoints& endpoints);
  ~MainWindow() override;

  store::StoreContext& context() { return context_; }
  // Whether end_program was called, and with which status.
  bool end_requested() const { return end_requested_; }
  int exit_status() const { return exit_status_; }
  // Whether the window has accepted a close (the user's or end_program's).
  bool was_closed() const { return closed_; }

  void set_caption(const std::string& text) override;
  std::string text(app::Control control) override;
  void set_text(app::Control control, const std::string& text) override;
  void set_enabled(app::Control control, bool enabled) override;
  void set_progress(int percent) override;

  void clear_rows() override;
  int append_row() override;
  void append_rows(std::span<const Row> rows) override;
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

 signals:
  // The window has accepted a close: the program's event loop ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_layout();
  void bind_events();
  QWidget* control(app::Control control) const;

  store::StoreContext context_;
  std::map<std::string, QWidget*, std::less<>> controls_;  // by layout name
  QTreeWidget* list_ = nullptr;
  QMenu* menu_ = nullptr;
  QTimer* timer_ = nullptr;
  bool end_requested_ = false;
  bool closed_ = false;
  int exit_status_ = 0;
  // Last member: destroyed first, so that no worker still runs while the rest goes away.
  app::WorkerSet workers_;
};

}  // namespace quillora::ui
