// Start-up to the first page shown, as one process: the Quillora window the way the window program
// brings it up (libcurl loading on its own thread, state, window, created event with its first page
// load, login check and page count) until the list holds rows. Prints "shown" on standard output at
// that moment and ends; the caller times exec to that line (against minimal_qt_window).
// Usage: startup_gui PROGRAM_DIR HTTP_URL CA_FILE
#include <QApplication>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <thread>

#include "app/ui/main_window.hpp"
#include "net/web_request.hpp"
#include "store/startup.hpp"
#include "window_setup.hpp"

namespace {

void announce_and_quit() {
  std::fputs("shown\n", stdout);
  std::fflush(stdout);
  QCoreApplication::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s PROGRAM_DIR HTTP_URL CA_FILE\n", argv[0]);
    return 2;
  }
  const std::jthread load_transport([] { quillora::net::init_transport(); });
  quillora::bench::WindowSetup setup(argv);
  quillora::ui::MainWindow window(setup.state, setup.endpoints);
  window.show();
  if (!quillora::store::on_window_created(window.context())) return 1;
  auto* list = window.findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
  if (list == nullptr) return 1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [list] {
    if (list->topLevelItemCount() > 0) announce_and_quit();
  });
  poll.start(1);
  return QApplication::exec();
}
