#pragma once
// Helpers for tests that drive the real main window on the offscreen platform: a window started
// against a program directory and a store, controls found by their layout names, waits with a
// deadline that keep the event loop running, message boxes accepted and recorded, clicks, the
// popup menu, and the URLs and directories the window asks the desktop to open.
#include <QAction>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/app_state.hpp"
#include "app/ui/main_window.hpp"
#include "app/ui/window_event_hook.hpp"
#include "store/store_context.hpp"
#include "store/store_endpoints.hpp"

class QTimer;
class QTreeWidget;
class QAbstractButton;

namespace quillora::test {

using namespace std::chrono_literals;

// Processes events until condition() holds; false when the deadline passed first.
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 10s);
// Processes events for a while (for "nothing happens" checks).
void process_events_for(std::chrono::milliseconds duration);

QString qstr(std::string_view utf8);
std::string utf8(const QString& text);

// The control of root (or root itself) with this layout name; nullptr when absent or of another type.
template <class T = QWidget>
T* find_control(QWidget& root, std::string_view layout_name) {
  const QString name = qstr(layout_name);
  if (root.objectName() == name) return qobject_cast<T*>(&root);
  return root.findChild<T*>(name);
}

// A main window on its own AppState, program directory and store, with the window event hook
// installed for its lifetime, as the window program does.
class WindowUnderTest {
 public:
  WindowUnderTest(const std::filesystem::path& program_dir, store::StoreEndpoints endpoints);
  ~WindowUnderTest();
  WindowUnderTest(const WindowUnderTest&) = delete;
  WindowUnderTest& operator=(const WindowUnderTest&) = delete;

  // Shows the window and runs its created event; the result of on_window_created.
  bool start();

  app::AppState& state() { return state_; }
  ui::MainWindow& window() { return *window_; }
  store::StoreContext& context() { return window_->context(); }
  const store::StoreEndpoints& endpoints() const { return endpoints_; }

  template <class T = QWidget>
  T* control(std::string_view layout_name) {
    return find_control<T>(*window_, layout_name);
  }
  QTreeWidget* list();
  std::string caption() const;                             // UTF-8
  std::string control_text(std::string_view layout_name);  // UTF-8 text of a button, label or edit
  int row_count();
  std::string cell(int row, int column);  // UTF-8

 private:
  store::StoreEndpoints endpoints_;
  app::AppState state_;
  const ui::WindowEventHook hook_;  // outlives the window
  std::unique_ptr<ui::MainWindow> window_;
};

// One message box as the user saw it (texts in UTF-8).
struct ShownMessage {
  std::string text;
  std::string caption;
  std::string window_caption;  // the main window's caption while the box was up
  int buttons = 0;
  bool has_ok_button = false;
  bool application_modal = false;
  bool has_parent = false;
};

// While alive, accepts every message box shown (presses its OK button) and records it.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  const std::vector<ShownMessage>& shown() const { return shown_; }
  std::vector<std::string> texts() const;
  // Waits until at least count boxes have been shown.
  bool wait_for(std::size_t count, std::chrono::milliseconds deadline = 10s);
  // Called while the box is still up, before it is accepted.
  void on_shown(std::function<void(const ShownMessage&)> callback) { on_shown_ = std::move(callback); }

 private:
  void poll();
  QTimer* timer_;
  std::vector<ShownMessage> shown_;
  std::function<void(const ShownMessage&)> on_shown_;
};

// Clicks a button by its layout name (as a user would: only an enabled button reacts). False when
// there is no such button or it is disabled.
bool click(QWidget& root, std::string_view layout_name);

// Mouse actions on a list row, sent as real mouse events to the list.
void select_row(QTreeWidget* list, int row);
void double_click_row(QTreeWidget* list, int row);
void right_click_row(QTreeWidget* list, int row);
// A right click where there is no row (the list's empty area).
void right_click_empty(QTreeWidget* list);

QMenu* popup_menu(QWidget& window);  // the menu "操作"
QAction* menu_item(QWidget& window, std::string_view text);
// Triggers the menu item (and closes the menu when it is open). False when there is no such item.
bool choose_menu_item(QWidget& window, std::string_view text);

// Records the URLs that the program hands to the desktop (web pages and, as file URLs, directories)
// instead of opening them; one recorder at a time.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  UrlRecorder();
  ~UrlRecorder() override;
  const std::vector<QUrl>& urls() const { return urls_; }
  std::vector<std::string> url_texts() const;  // encoded, as sent

 public slots:
  void open(const QUrl& url);

 private:
  std::vector<QUrl> urls_;
};

// A loopback port that listens but never answers: a store address whose use the test can detect.
class ListeningPort {
 public:
  ListeningPort();
  ~ListeningPort();
  ListeningPort(const ListeningPort&) = delete;
  ListeningPort& operator=(const ListeningPort&) = delete;
  int port() const { return port_; }
  std::string url(std::string_view scheme = "http") const;
  // True when some client has connected (connections wait unaccepted in the backlog).
  bool connected() const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace quillora::test
