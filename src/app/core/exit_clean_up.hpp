#pragma once
// The release of the program-wide state at exit. The window program holds one ExitCleanUp for its
// whole run, so the clean-up happens once whichever way the run ends: the window closing, no host
// robot, the end of a stopped download.
#include <atomic>

#include "app/core/app_state.hpp"

namespace quillora::app {

// Forgets the account and the plugin directory and stops the downloader (which closes its file).
void exit_clean_up(AppState& state);

class ExitCleanUp {
 public:
  explicit ExitCleanUp(AppState& state) : state_(state) {}
  ~ExitCleanUp() { run(); }
  ExitCleanUp(const ExitCleanUp&) = delete;
  ExitCleanUp& operator=(const ExitCleanUp&) = delete;

  // Runs exit_clean_up the first time; returns false (and does nothing) on every later call.
  bool run();

 private:
  AppState& state_;
  std::atomic<bool> done_{false};
};

}  // namespace quillora::app
