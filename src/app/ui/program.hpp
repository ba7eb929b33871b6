#pragma once
#include "app/core/options.hpp"

namespace quillora::ui {

// The window program on an existing QApplication: state, window, created event, event loop and the
// clean-up at exit. Returns the program's exit status.
int run_window_program(const app::Options& options);

}  // namespace quillora::ui
