#include "app/core/exit_clean_up.hpp"

namespace quillora::app {

void exit_clean_up(AppState& state) {
  state.uid.clear();
  state.token.clear();
  state.plugin_dir.clear();
  state.downloader.stop();
}

bool ExitCleanUp::run() {
  if (done_.exchange(true)) return false;
  exit_clean_up(state_);
  return true;
}

}  // namespace quillora::app
