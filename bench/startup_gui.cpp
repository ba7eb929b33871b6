// Start-up to the first page shown, as one process: either the Quillora window the way the window
// program brings it up (state, window, created event with its first page load, login check and page
// count) until the list holds rows, or, for comparison, a minimal Qt window until its first paint.
// Prints "shown" on standard output at that moment and ends; the caller times exec to that line.
// Usage: startup_gui --minimal
//        startup_gui PROGRAM_DIR HTTP_URL CA_FILE
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>
#include <string>

#include "app/core/app_state.hpp"
#include "app/ui/main_window.hpp"
#include "store/startup.hpp"
#include "store/store_endpoints.hpp"
#include "util/events.hpp"

namespace {

void announce_and_quit() {
  std::fputs("shown\n", stdout);
  std::fflush(stdout);
  QCoreApplication::exit(0);
}

// Ends the program at the first paint of the widget it watches.
class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      QTimer::singleShot(0, [] { announce_and_quit(); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc == 2 && std::string(argv[1]) == "--minimal") {
    QWidget window;
    window.resize(800, 600);
    FirstPaint first_paint;
    window.installEventFilter(&first_paint);
    window.show();
    return QApplication::exec();
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s --minimal | PROGRAM_DIR HTTP_URL CA_FILE\n", argv[0]);
    return 2;
  }
  quillora::util::install_event_hook([] { QCoreApplication::processEvents(); });
  quillora::app::AppState state;
  state.program_dir = argv[1];
  quillora::store::StoreEndpoints endpoints;
  endpoints.http_base = argv[2];
  endpoints.ca_file = argv[3];
  int status = 1;
  {
    quillora::ui::MainWindow window(state, endpoints);
    window.show();
    if (!quillora::store::on_window_created(window.context())) return 1;
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
    if (list == nullptr) return 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [list] {
      if (list->topLevelItemCount() > 0) announce_and_quit();
    });
    poll.start(1);
    status = QApplication::exec();
  }
  quillora::util::install_event_hook({});
  return status;
}
