#include "app/ui/program.hpp"

#include <QApplication>
#include <filesystem>
#include <thread>

#include "app/core/app_state.hpp"
#include "app/core/exit_clean_up.hpp"
#include "app/core/program_dirs.hpp"
#include "app/ui/main_window.hpp"
#include "app/ui/termination_signals.hpp"
#include "app/ui/window_event_hook.hpp"
#include "net/web_request.hpp"
#include "store/startup.hpp"
#include "store/store_endpoints.hpp"

namespace quillora::ui {

int run_window_program(const app::Options& options) {
  // libcurl and the libraries it brings load on a thread of their own while the window is built and
  // painted; the start-up's requests find them ready instead of loading them first.
  const std::jthread load_transport([] { net::init_transport(); });
  const WindowEventHook hook;
  app::AppState state;
  app::ExitCleanUp clean_up(state);
  state.program_dir =
      options.program_dir.empty() ? app::executable_dir() : std::filesystem::path(options.program_dir);
  const auto endpoints = store::StoreEndpoints::from_options(options);

  MainWindow window(state, endpoints);
  // Only a running loop may be told to exit: Qt remembers an exit asked for outside exec() and would
  // make every later local loop (a message box, a wait for a request) return at once.
  bool looping = false;
  QObject::connect(&window, &MainWindow::closed, [&] {
    // Whatever the store still owes (a page, a blocking request) must not hold the ending program.
    net::abandon_requests();
    if (looping) QCoreApplication::exit(window.exit_status());
  });
  const TerminationSignals signals_close_the_window;
  window.show();
  if (!store::on_window_created(window.context())) return 0;  // no host robot beside the program
  if (window.was_closed()) return window.exit_status();
  looping = true;
  const int status = QApplication::exec();
  looping = false;
  return window.end_requested() ? window.exit_status() : status;
}

}  // namespace quillora::ui
