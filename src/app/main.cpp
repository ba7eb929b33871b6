#include <QApplication>
#include <cstdio>
#include <string>

#include "app/core/options.hpp"
#include "app/ui/program.hpp"

int main(int argc, char** argv) {
  const auto options = quillora::app::parse_options(argc, argv);
  if (options.help) {
    std::fputs(("Usage: quillora [options]\n" + quillora::app::options_help()).c_str(), stdout);
    return 0;
  }
  std::string error = options.error;
  if (error.empty() && !options.rest.empty()) error = "unexpected argument: " + options.rest.front();
  if (!error.empty()) {
    std::fputs(("quillora: " + error + "\n" + quillora::app::options_help()).c_str(), stderr);
    return 2;
  }
  QApplication application(argc, argv);
  return quillora::ui::run_window_program(options);
}
