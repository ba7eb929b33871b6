#pragma once
// Downloading the selected plugin into the host robot's plugin directory.
#include <string>

#include "store/store_context.hpp"

namespace quillora::store {

void request_download(StoreContext& ctx);
// Returns true when the plugin file is complete in the plugin directory.
bool download_task(StoreContext& ctx, const std::string& plugin_id);
void show_download_status(StoreContext& ctx);
// True when the window may close now.
bool confirm_close(StoreContext& ctx);

}  // namespace quillora::store
