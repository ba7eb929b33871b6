#include "app/ui/termination_signals.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <atomic>

namespace quillora::ui {
namespace {

std::atomic<int> signal_pipe{-1};

extern "C" void on_termination_signal(int) {
  const int fd = signal_pipe.load();
  if (fd < 0) return;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(fd, &byte, 1);  // a full pipe already holds a request
}

}  // namespace

TerminationSignals::TerminationSignals() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;  // then the default handling stays
  signal_pipe = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [fd = pipe_[0]] {
    char bytes[64];
    while (::read(fd, bytes, sizeof bytes) > 0) {
    }
    // The main window decides as for the user's close: during a download it stops it first.
    QApplication::closeAllWindows();
  });
  struct sigaction action {};
  action.sa_handler = on_termination_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previous_int_);
  sigaction(SIGTERM, &action, &previous_term_);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  sigaction(SIGINT, &previous_int_, nullptr);
  sigaction(SIGTERM, &previous_term_, nullptr);
  signal_pipe = -1;
  notifier_.reset();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

}  // namespace quillora::ui
