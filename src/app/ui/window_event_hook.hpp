#pragma once
// While alive, long work on the window's thread (a decode, a request made there) lets the window
// repaint and take posted calls through the util event hook. User input waits until the work is
// done: a click taken in the middle would run a second handler inside the first, half done.
#include <QCoreApplication>
#include <QEventLoop>

#include "util/events.hpp"

namespace quillora::ui {

class WindowEventHook {
 public:
  WindowEventHook() {
    util::install_event_hook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  }
  ~WindowEventHook() { util::install_event_hook({}); }
  WindowEventHook(const WindowEventHook&) = delete;
  WindowEventHook& operator=(const WindowEventHook&) = delete;
};

}  // namespace quillora::ui
