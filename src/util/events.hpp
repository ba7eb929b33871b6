#pragma once
// One hook through which low-level code lets the window process its pending events during long
// work on the window's thread. The window program installs it at start-up; everywhere else (the
// CLI, tests that do not install it, any thread other than the one that installed it) it is a no-op.
#include <functional>

namespace quillora::util {

// Installs the hook and records the calling thread as the window's thread. An empty function removes it.
void install_event_hook(std::function<void()> hook);

// Runs the hook when called on the thread that installed it.
void process_pending_events();

}  // namespace quillora::util
