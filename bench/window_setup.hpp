#pragma once
// What the window bench programs set up the way the window program does: the window event hook,
// and the state and store endpoints taken from the arguments PROGRAM_DIR HTTP_URL CA_FILE.
// Declared before the window, so that the hook goes only after the window has.
#include "app/core/app_state.hpp"
#include "app/ui/window_event_hook.hpp"
#include "store/store_endpoints.hpp"

namespace quillora::bench {

struct WindowSetup {
  explicit WindowSetup(char** argv) {
    state.program_dir = argv[1];
    endpoints.http_base = argv[2];
    endpoints.ca_file = argv[3];
  }

  const ui::WindowEventHook hook;
  app::AppState state;
  store::StoreEndpoints endpoints;
};

}  // namespace quillora::bench
