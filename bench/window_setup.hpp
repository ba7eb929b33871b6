#pragma once
// What the window bench programs set up the way the window program does: the hook that lets long
// work on the window's thread process Qt's events, and the state and store endpoints taken from
// the arguments PROGRAM_DIR HTTP_URL CA_FILE. Declared before the window, so that the hook goes
// only after the window has.
#include <QCoreApplication>

#include "app/core/app_state.hpp"
#include "store/store_endpoints.hpp"
#include "util/events.hpp"

namespace quillora::bench {

struct WindowSetup {
  explicit WindowSetup(char** argv) {
    util::install_event_hook([] { QCoreApplication::processEvents(); });
    state.program_dir = argv[1];
    endpoints.http_base = argv[2];
    endpoints.ca_file = argv[3];
  }
  ~WindowSetup() { util::install_event_hook({}); }
  WindowSetup(const WindowSetup&) = delete;
  WindowSetup& operator=(const WindowSetup&) = delete;

  app::AppState state;
  store::StoreEndpoints endpoints;
};

}  // namespace quillora::bench
