#include "store/startup.hpp"

#include "app/core/host_robot.hpp"
#include "store/account.hpp"
#include "store/catalogue.hpp"

namespace quillora::store {

bool on_window_created(StoreContext& ctx) {
  if (!app::detect_host_robot(ctx.state, ctx.window)) return false;
  ctx.state.current_page = 1;
  restore_saved_account(ctx);
  query_page_count(ctx);
  start_page_load(ctx);
  return true;
}

}  // namespace quillora::store
