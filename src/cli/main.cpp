#include "cli/commands.hpp"

int main(int argc, char** argv) { return quillora::cli::run_cli(argc, argv); }
