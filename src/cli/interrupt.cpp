#include "cli/interrupt.hpp"

#include <csignal>

#include <atomic>

namespace quillora::cli {
namespace {

volatile std::sig_atomic_t interrupt_seen = 0;
std::atomic<net::RangedDownloader*> interrupted_downloader{nullptr};
static_assert(std::atomic<net::RangedDownloader*>::is_always_lock_free);

extern "C" void on_interrupt(int) {
  interrupt_seen = 1;
  if (net::RangedDownloader* downloader = interrupted_downloader.load()) downloader->stop();
}

}  // namespace

void install_interrupt_handler(net::RangedDownloader& downloader) {
  interrupted_downloader = &downloader;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  // Once only: a second Ctrl-C ends the program at once, for a stop that takes too long.
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool interrupted() { return interrupt_seen != 0; }

}  // namespace quillora::cli
