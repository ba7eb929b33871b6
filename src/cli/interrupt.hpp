#pragma once
// Ctrl-C during a download: the handler asks the downloader to stop and leaves a flag that the
// terminal window's loop turns into the window's close rule.
#include "net/ranged_downloader.hpp"

namespace quillora::cli {

// Installs the SIGINT handler for one Ctrl-C; downloader is stopped by it (its stop only sets an
// atomic flag). A second Ctrl-C ends the program the default way.
void install_interrupt_handler(net::RangedDownloader& downloader);
bool interrupted();

}  // namespace quillora::cli
