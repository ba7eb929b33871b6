#pragma once
// Recognises the host robot by its executable in the program directory.
#include <optional>
#include <span>
#include <string_view>

#include "app/core/app_state.hpp"
#include "app/core/window.hpp"

namespace quillora::app {

struct HostRobot {
  std::string_view marker;      // executable name (UTF-8), matched without regard to ASCII case
  int robot_id;
  std::string_view title;       // window caption (UTF-8)
  std::string_view plugin_dir;  // directory under the program directory; empty: the default one
};

std::span<const HostRobot> host_robot_table();

// Creates the settings directories, sets caption, robot_id and plugin_dir. Returns the matching row,
// or nullopt after showing "将本插件放入机器人目录下..." when no host robot is beside the program.
std::optional<HostRobot> detect_host_robot(AppState& state, Window& window);

}  // namespace quillora::app
