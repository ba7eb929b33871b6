#include "app/gui_harness.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <stdexcept>
#include <thread>

#include "app/ui/qt_text.hpp"
#include "store/startup.hpp"

namespace quillora::test {

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > deadline.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

void process_events_for(std::chrono::milliseconds duration) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < duration.count()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(2ms);
  }
}

QString qstr(std::string_view utf8) { return ui::from_utf8(utf8); }
std::string utf8(const QString& text) { return text.toStdString(); }

// --- WindowUnderTest ---

WindowUnderTest::WindowUnderTest(const std::filesystem::path& program_dir, store::StoreEndpoints endpoints)
    : endpoints_(std::move(endpoints)) {
  state_.program_dir = program_dir;
  window_ = std::make_unique<ui::MainWindow>(state_, endpoints_);
}

WindowUnderTest::~WindowUnderTest() {
  window_.reset();  // joins the window's workers while the state they use still exists
}

bool WindowUnderTest::start() {
  window_->show();
  return store::on_window_created(window_->context());
}

QTreeWidget* WindowUnderTest::list() { return control<QTreeWidget>("超级列表框1"); }

std::string WindowUnderTest::caption() const { return utf8(window_->windowTitle()); }

std::string WindowUnderTest::control_text(std::string_view layout_name) {
  QWidget* widget = control(layout_name);
  if (widget == nullptr) throw std::invalid_argument("no control " + std::string(layout_name));
  const QVariant text = widget->property("text");
  if (text.isValid()) return utf8(text.toString());
  return utf8(widget->property("title").toString());  // group boxes
}

int WindowUnderTest::row_count() { return list()->topLevelItemCount(); }

std::string WindowUnderTest::cell(int row, int column) {
  QTreeWidgetItem* item = list()->topLevelItem(row);
  return item == nullptr ? std::string() : utf8(item->text(column));
}

// --- MessageBoxWatcher ---

MessageBoxWatcher::MessageBoxWatcher() : timer_(new QTimer) {
  QObject::connect(timer_, &QTimer::timeout, [this] { poll(); });
  timer_->start(5);
}

MessageBoxWatcher::~MessageBoxWatcher() { delete timer_; }

std::vector<std::string> MessageBoxWatcher::texts() const {
  std::vector<std::string> texts;
  for (const auto& shown : shown_) texts.push_back(shown.text);
  return texts;
}

bool MessageBoxWatcher::wait_for(std::size_t count, std::chrono::milliseconds deadline) {
  return wait_until([&] { return shown_.size() >= count; }, deadline);
}

void MessageBoxWatcher::poll() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box == nullptr || !box->isVisible()) continue;
    ShownMessage shown{.text = utf8(box->text()), .caption = utf8(box->windowTitle())};
    // The visible main window if there is one (tests may also drive a window they never show).
    for (QWidget* other : QApplication::topLevelWidgets()) {
      if (other->objectName() != qstr("窗口")) continue;
      if (shown.window_caption.empty() || other->isVisible())
        shown.window_caption = utf8(other->windowTitle());
      if (other->isVisible()) break;
    }
    shown.buttons = static_cast<int>(box->buttons().size());
    shown.has_ok_button = box->button(QMessageBox::Ok) != nullptr;
    shown.application_modal = box->windowModality() == Qt::ApplicationModal;
    shown.has_parent = box->parentWidget() != nullptr;
    shown_.push_back(shown);
    if (on_shown_) on_shown_(shown_.back());
    if (auto* ok = box->button(QMessageBox::Ok)) {
      ok->click();
    } else {
      box->done(0);
    }
  }
}

// --- clicks, list and menu ---

bool click(QWidget& root, std::string_view layout_name) {
  auto* button = find_control<QAbstractButton>(root, layout_name);
  if (button == nullptr || !button->isEnabled()) return false;
  button->click();
  return true;
}

namespace {

QPoint row_point(QTreeWidget* list, int row) {
  QTreeWidgetItem* item = list->topLevelItem(row);
  if (item == nullptr) throw std::invalid_argument("no row " + std::to_string(row));
  list->scrollToItem(item);
  return list->visualItemRect(item).center();
}

void send_mouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
  const Qt::MouseButtons buttons =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void press_and_release(QWidget* target, QPoint pos, Qt::MouseButton button) {
  send_mouse(target, QEvent::MouseButtonPress, pos, button);
  send_mouse(target, QEvent::MouseButtonRelease, pos, button);
}

void context_menu_at(QWidget* target, QPoint pos) {
  QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
  QApplication::sendEvent(target, &event);
}

}  // namespace

void select_row(QTreeWidget* list, int row) {
  press_and_release(list->viewport(), row_point(list, row), Qt::LeftButton);
}

void double_click_row(QTreeWidget* list, int row) {
  const QPoint pos = row_point(list, row);
  press_and_release(list->viewport(), pos, Qt::LeftButton);
  send_mouse(list->viewport(), QEvent::MouseButtonDblClick, pos, Qt::LeftButton);
  send_mouse(list->viewport(), QEvent::MouseButtonRelease, pos, Qt::LeftButton);
}

void right_click_row(QTreeWidget* list, int row) {
  const QPoint pos = row_point(list, row);
  press_and_release(list->viewport(), pos, Qt::RightButton);
  context_menu_at(list->viewport(), pos);
}

void right_click_empty(QTreeWidget* list) {
  const QPoint pos(list->viewport()->width() / 2, list->viewport()->height() - 2);
  press_and_release(list->viewport(), pos, Qt::RightButton);
  context_menu_at(list->viewport(), pos);
}

QMenu* popup_menu(QWidget& window) { return find_control<QMenu>(window, "操作"); }

QAction* menu_item(QWidget& window, std::string_view text) {
  QMenu* menu = popup_menu(window);
  if (menu == nullptr) return nullptr;
  for (QAction* action : menu->actions()) {
    if (action->text() == qstr(text)) return action;
  }
  return nullptr;
}

bool choose_menu_item(QWidget& window, std::string_view text) {
  QAction* action = menu_item(window, text);
  if (action == nullptr) return false;
  popup_menu(window)->hide();
  action->trigger();
  return true;
}

// --- UrlRecorder ---

namespace {
constexpr const char* recorded_schemes[] = {"http", "https", "file"};
}

UrlRecorder::UrlRecorder() {
  for (const char* scheme : recorded_schemes) QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlRecorder::~UrlRecorder() {
  for (const char* scheme : recorded_schemes) QDesktopServices::unsetUrlHandler(scheme);
}

void UrlRecorder::open(const QUrl& url) { urls_.push_back(url); }

std::vector<std::string> UrlRecorder::url_texts() const {
  std::vector<std::string> texts;
  for (const QUrl& url : urls_) texts.push_back(url.toEncoded().toStdString());
  return texts;
}

// --- ListeningPort ---

ListeningPort::ListeningPort() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd_, 16) != 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("cannot listen on loopback");
  }
  port_ = ntohs(address.sin_port);
}

ListeningPort::~ListeningPort() { ::close(fd_); }

std::string ListeningPort::url(std::string_view scheme) const {
  return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
}

bool ListeningPort::connected() const {
  pollfd waiting{.fd = fd_, .events = POLLIN, .revents = 0};
  return ::poll(&waiting, 1, 0) > 0;
}

}  // namespace quillora::test
