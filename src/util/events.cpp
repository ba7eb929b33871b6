#include "util/events.hpp"

#include <mutex>
#include <thread>

namespace quillora::util {
namespace {
std::mutex hook_mutex;
std::function<void()> hook;
std::thread::id hook_thread;
}  // namespace

void install_event_hook(std::function<void()> new_hook) {
  std::lock_guard lock(hook_mutex);
  hook = std::move(new_hook);
  hook_thread = std::this_thread::get_id();
}

void process_pending_events() {
  std::function<void()> run;
  {
    std::lock_guard lock(hook_mutex);
    if (!hook || hook_thread != std::this_thread::get_id()) return;
    run = hook;
  }
  run();
}

}  // namespace quillora::util
