#pragma once
// Downloading the selected plugin into the host robot's plugin directory.
#include <cstdint>
#include <string>

#include "app/core/app_state.hpp"
#include "app/core/window.hpp"
#include "store/store_context.hpp"

namespace quillora::store {

// The menu item "下载": refuses while a download task is under way, else downloads the selected row.
void request_download(StoreContext& ctx);
// Returns true when the plugin file is complete in the plugin directory.
bool download_task(StoreContext& ctx, const std::string& plugin_id);
// Window thread: a transfer stopped because the window was closed ends the program.
void finish_stopped_download(app::AppState& state, app::Window& window);
// The timer's tick: the progress line while a transfer runs.
void show_download_status(StoreContext& ctx);
// The progress line: percent, the kilobytes gained since last_downloaded, total and done sizes.
std::string download_status_line(std::int64_t percent, std::int64_t downloaded, std::int64_t total,
                                 std::int64_t last_downloaded);
// True when the window may close now.
bool confirm_close(StoreContext& ctx);

}  // namespace quillora::store
