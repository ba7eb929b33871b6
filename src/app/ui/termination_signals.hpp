#pragma once
// SIGINT and SIGTERM (Ctrl-C in the terminal, a session ending) close the windows the way the user
// would, so that a running download stops cleanly and the clean-up at exit still runs. The handler
// only writes a byte into a pipe; the window's thread reads it from its event loop.
#include <QSocketNotifier>
#include <csignal>
#include <memory>

namespace quillora::ui {

class TerminationSignals {
 public:
  TerminationSignals();  // installs the handlers; the previous ones come back on destruction
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
};

}  // namespace quillora::ui
