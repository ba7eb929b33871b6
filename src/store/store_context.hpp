#pragma once
// What every store operation is handed: the program state, the window and the store's address.
#include "app/core/app_state.hpp"
#include "app/core/window.hpp"
#include "store/store_endpoints.hpp"

namespace quillora::store {

struct StoreContext {
  app::AppState& state;
  app::Window& window;
  const StoreEndpoints& endpoints;
};

}  // namespace quillora::store
