#pragma once
// The command-line surface shared by the window program and the CLI.
#include <string>
#include <vector>

namespace quillora::app {

struct Options {
  std::string program_dir;    // --program-dir DIR (default: the executable's directory)
  std::string store_url;      // --store-url URL (http base of the store)
  std::string store_tls_url;  // --store-tls-url URL (https base)
  std::string ca_file;        // --ca-file FILE
  bool help = false;
  std::vector<std::string> rest;  // arguments that are not options (the CLI's command)
  std::string error;              // non-empty: a usage error to print
};

Options parse_options(int argc, char** argv);
std::string options_help();

}  // namespace quillora::app
