#pragma once
// One program run against the local store, without a display: a program directory with its
// settings directory, the program state and a recording window.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/core/app_state.hpp"
#include "app/core/program_dirs.hpp"
#include "store/store_context.hpp"
#include "support/recording_window.hpp"

namespace quillora::test {

inline std::string read_bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  out << bytes;
}

struct BrowseSession {
  BrowseSession(const std::filesystem::path& program_dir, const store::StoreEndpoints& store_endpoints,
                int robot_id = 1)
      : endpoints(store_endpoints) {
    state.program_dir = program_dir;
    std::filesystem::create_directories(app::settings_dir(program_dir));
    state.robot_id = robot_id;
    state.current_page = 1;
  }
  std::filesystem::path settings_file() const { return app::settings_file_path(state.program_dir); }

  app::AppState state;
  store::StoreEndpoints endpoints;
  RecordingWindow window;  // after the state: its workers end before the state goes
  store::StoreContext ctx{state, window, endpoints};
};

}  // namespace quillora::test
