#include "app/ui/main_window.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <atomic>
#include <thread>
#include <utility>

#include "app/core/plugin_columns.hpp"
#include "app/ui/qt_text.hpp"
#include "app/ui/window_layout.hpp"
#include "store/account.hpp"
#include "store/catalogue.hpp"
#include "store/download_task.hpp"
#include "store/row_actions.hpp"

namespace quillora::ui {
namespace {

QWidget* make_control(const LayoutControl& control, QWidget* parent) {
  const QString caption = from_utf8(control.caption);
  switch (control.kind) {
    case ControlKind::group_box:
      return new QGroupBox(caption, parent);
    case ControlKind::button:
      return new QPushButton(caption, parent);
    case ControlKind::label:
      // QLabel paints no background of its own, which is what a transparent label needs.
      return new QLabel(caption, parent);
    case ControlKind::edit:
      return new QLineEdit(caption, parent);
    case ControlKind::password_edit: {
      auto* edit = new QLineEdit(caption, parent);
      edit->setEchoMode(QLineEdit::Password);
      // Every style has its own mask character; the window shows "*" everywhere.
      edit->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
      return edit;
    }
    case ControlKind::progress_bar: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setValue(0);
      return bar;
    }
    case ControlKind::list: {
      auto* list = new QTreeWidget(parent);
      list->setColumnCount(app::plugin_column_count);
      QStringList titles;
      for (const auto& column : app::plugin_columns) titles << from_utf8(column.title);
      list->setHeaderLabels(titles);
      list->header()->setStretchLastSection(false);
      for (int i = 0; i < app::plugin_column_count; ++i) {
        list->header()->resizeSection(i, app::plugin_columns[i].width);
        // Columns of width 0 carry data for the row actions but are never shown.
        list->setColumnHidden(i, app::plugin_columns[i].width == 0);
      }
      list->setRootIsDecorated(false);
      list->setItemsExpandable(false);
      list->setUniformRowHeights(true);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setSelectionBehavior(QAbstractItemView::SelectRows);
      list->setEditTriggers(QAbstractItemView::NoEditTriggers);
      list->setContextMenuPolicy(Qt::CustomContextMenu);
      return list;
    }
  }
  return nullptr;
}

}  // namespace

MainWindow::MainWindow(app::AppState& state, const store::StoreEndpoints& endpoints)
    : context_{state, *this, endpoints} {
  setObjectName(from_utf8(window_name));
  setWindowTitle(from_utf8(initial_window_caption));
  build_layout();
  bind_events();
  timer_->start();
}

MainWindow::~MainWindow() { workers_.join_all(); }

void MainWindow::build_layout() {
  setGeometry(window_x, window_y, window_width, window_height);
  setFixedSize(window_width, window_height);
  for (const LayoutControl& entry : window_layout()) {
    QWidget* parent = this;
    if (!entry.parent.empty()) parent = controls_.at(std::string(entry.parent));
    QWidget* widget = make_control(entry, parent);
    widget->setObjectName(from_utf8(entry.name));
    widget->setGeometry(entry.x, entry.y, entry.width, entry.height);
    controls_.emplace(std::string(entry.name), widget);
  }
  list_ = static_cast<QTreeWidget*>(control(app::Control::plugin_list));

  menu_ = new QMenu(from_utf8(menu_name), this);
  menu_->setObjectName(from_utf8(menu_name));
  for (std::string_view item : menu_items) menu_->addAction(from_utf8(item));

  timer_ = new QTimer(this);
  timer_->setObjectName(from_utf8(timer_name));
  timer_->setInterval(timer_interval_ms);
}

void MainWindow::bind_events() {
  using Handler = void (*)(store::StoreContext&);
  const std::pair<app::Control, Handler> buttons[] = {
      {app::Control::first_page_button, store::first_page},
      {app::Control::last_page_button, store::last_page},
      {app::Control::prev_page_button, store::previous_page},
      {app::Control::next_page_button, store::next_page},
      {app::Control::sign_in_button, store::sign_in},
      {app::Control::register_button, store::open_register_page},
      {app::Control::web_edition_button, store::open_web_edition},
      {app::Control::user_group_button, store::show_user_group},
      {app::Control::author_button, store::open_author_signup},
  };
  for (const auto& [button, handler] : buttons) {
    connect(static_cast<QPushButton*>(control(button)), &QPushButton::clicked, this,
            [this, handler = handler] { handler(context_); });
  }

  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { store::show_details(context_); });
  connect(list_, &QWidget::customContextMenuRequested, this, [this] { store::open_row_menu(context_); });

  const Handler menu_handlers[] = {store::request_download, store::open_update_history,
                                   store::open_author_page, store::recommend};
  const auto actions = menu_->actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    connect(actions[i], &QAction::triggered, this, [this, handler = menu_handlers[i]] { handler(context_); });
  }

  connect(timer_, &QTimer::timeout, this, [this] { store::show_download_status(context_); });
}

QWidget* MainWindow::control(app::Control control) const {
  return controls_.at(std::string(app::layout_name(control)));
}

void MainWindow::set_caption(const std::string& text) { setWindowTitle(from_gbk(text)); }

std::string MainWindow::text(app::Control which) {
  QWidget* widget = control(which);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return to_gbk(edit->text());
  if (auto* label = qobject_cast<QLabel*>(widget)) return to_gbk(label->text());
  if (auto* button = qobject_cast<QPushButton*>(widget)) return to_gbk(button->text());
  if (auto* bar = qobject_cast<QProgressBar*>(widget)) return std::to_string(bar->value());
  return {};
}

void MainWindow::set_text(app::Control which, const std::string& text) {
  QWidget* widget = control(which);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(from_gbk(text));
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(from_gbk(text));
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(from_gbk(text));
  }
}

void MainWindow::set_enabled(app::Control which, bool enabled) { control(which)->setEnabled(enabled); }

void MainWindow::set_progress(int percent) {
  static_cast<QProgressBar*>(control(app::Control::progress_bar))->setValue(percent);
}

void MainWindow::clear_rows() { list_->clear(); }

int MainWindow::append_row() {
  list_->addTopLevelItem(new QTreeWidgetItem());
  return list_->topLevelItemCount() - 1;
}

void MainWindow::append_rows(std::span<const Row> rows) {
  // Items filled before they join the list, and added together: one model update for the page.
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows.size()));
  for (const Row& row : rows) {
    auto* item = new QTreeWidgetItem();
    for (int column = 0; column < app::plugin_column_count; ++column) {
      const std::string& text = row[static_cast<std::size_t>(column)];
      if (!text.empty()) item->setText(column, from_gbk(text));
    }
    items.append(item);
  }
  list_->addTopLevelItems(items);
}

void MainWindow::set_cell(int row, int column, const std::string& text) {
  if (column < 0 || column >= app::plugin_column_count) return;
  if (QTreeWidgetItem* item = list_->topLevelItem(row)) item->setText(column, from_gbk(text));
}

std::string MainWindow::cell(int row, int column) {
  if (column < 0 || column >= app::plugin_column_count) return {};
  QTreeWidgetItem* item = list_->topLevelItem(row);  // null for -1 and past the end
  return item == nullptr ? std::string() : to_gbk(item->text(column));
}

int MainWindow::selected_row() {
  const auto selected = list_->selectedItems();
  return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.first());
}

void MainWindow::popup_menu() { menu_->popup(QCursor::pos()); }

void MainWindow::message_box(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, from_gbk(caption), from_gbk(text), QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void MainWindow::process_events() { QCoreApplication::processEvents(); }

void MainWindow::start_worker(std::function<void()> work) { workers_.start(std::move(work)); }

void MainWindow::post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void MainWindow::run_and_wait(const std::function<void()>& job, bool allow_input) {
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    job();
    done.store(true);
    // Queued, so it reaches the loop even when the job ends before exec() has started.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  const auto flags = allow_input ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
  // The loop also leaves early when the whole program is asked to end; the job is waited for anyway.
  if (!done.load()) loop.exec(flags);
  worker.join();
}

void MainWindow::open_url(const std::string& url) {
  QDesktopServices::openUrl(QUrl(from_gbk(url), QUrl::TolerantMode));
}

void MainWindow::open_directory(const std::string& utf8_path) {
  // A file URL goes to the desktop's file manager (xdg-open) like any other directory link.
  QDesktopServices::openUrl(QUrl::fromLocalFile(from_utf8(utf8_path)));
}

void MainWindow::end_program(int status) {
  end_requested_ = true;
  exit_status_ = status;
  close();  // the program's event loop ends on closed()
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (end_requested_ || store::confirm_close(context_)) {
    event->accept();
    closed_ = true;
    emit closed();
  } else {
    event->ignore();
  }
}

}  // namespace quillora::ui
