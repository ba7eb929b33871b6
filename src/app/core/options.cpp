#include "app/core/options.hpp"

#include <string_view>

namespace quillora::app {
namespace {

struct ValueOption {
  std::string_view name;
  std::string Options::*field;
};

constexpr ValueOption value_options[] = {
    {"--program-dir", &Options::program_dir},
    {"--store-url", &Options::store_url},
    {"--store-tls-url", &Options::store_tls_url},
    {"--ca-file", &Options::ca_file},
};

}  // namespace

Options parse_options(int argc, char** argv) {
  Options options;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      options.rest.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    const auto eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    const ValueOption* option = nullptr;
    for (const auto& candidate : value_options) {
      if (candidate.name == name) option = &candidate;
    }
    if (option == nullptr) {
      options.error = "unknown option: " + std::string(arg);
      return options;
    }
    if (eq != std::string_view::npos) {
      options.*(option->field) = std::string(arg.substr(eq + 1));
    } else if (i + 1 < argc) {
      options.*(option->field) = argv[++i];
    } else {
      options.error = "option " + std::string(name) + " needs a value";
      return options;
    }
  }
  return options;
}

std::string options_help() {
  return "Options:\n"
         "  --program-dir DIR    the host robot's directory (default: the program's own directory)\n"
         "  --store-url URL      the store's http address, e.g. http://127.0.0.1:8080\n"
         "  --store-tls-url URL  the store's https address\n"
         "  --ca-file FILE       an extra CA certificate bundle that the store's certificate chains to\n"
         "  --help               print this text and exit\n";
}

}  // namespace quillora::app
