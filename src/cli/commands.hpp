#pragma once
// quillora-cli: the store's commands for hosts without a display, over the window program's logic.

namespace quillora::cli {

enum ExitStatus : int {
  exit_ok = 0,
  exit_failed = 1,   // the store refused, the login check failed or the transfer failed
  exit_usage = 2,    // bad command line or missing input
  exit_no_host = 3,  // no host robot beside the program
  exit_interrupted = 130,
};

int run_cli(int argc, char** argv);

}  // namespace quillora::cli
