#include "store/startup.hpp"

#include "app/core/host_robot.hpp"
#include "store/account.hpp"
#include "store/catalogue.hpp"

namespace quillora::store {

bool on_window_created(StoreContext& ctx) {
  if (!app::detect_host_robot(ctx.state, ctx.window)) return false;
  ctx.state.current_page = 1;
  // The first page loads on its worker while the login check and the page count hold the window,
  // and while the window paints for the first time; nothing in it waits for either answer.
  start_page_load(ctx);
  restore_saved_account(ctx);
  query_page_count(ctx);
  return true;
}

}  // namespace quillora::store
