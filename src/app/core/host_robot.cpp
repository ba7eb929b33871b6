#include "app/core/host_robot.hpp"

#include <array>
#include <string>

#include "app/core/program_dirs.hpp"
#include "util/gbk.hpp"

namespace quillora::app {
namespace {

// Tested in this order; the first host found wins. Both Lumo editions report robot id 2.
constexpr std::array<HostRobot, 8> host_robots{{
    {"brisko.exe", 3, "Brisko机器人 - Quillora Ver：1.6", ""},
    {"vexa.exe", 1, "Vexa机器人 - Quillora Ver：1.6", "Plugin"},
    {"lumop.exe", 2, "Lumopro机器人 - Quillora Ver：1.6", "app"},
    {"lumoa.exe", 2, "Lumoair机器人 - Quillora Ver：1.6", "app"},
    {"ostrel.exe", 5, "Ostrel机器人 - Quillora Ver：1.6", "plugin"},
    {"Zinvo.exe", 4, "Zinvo微信机器人 - Quillora Ver：1.6", "app"},
    {"DunmereQQ机器人.exe", 7, "Dunmere机器人 - Quillora Ver：1.6", "机器人插件"},
    {"Kestra.exe", 8, "Kestra机器人 - Quillora Ver：1.6", "plugin"},
}};

constexpr std::string_view default_title = "Pelora - Quillora Ver：1.6";
constexpr std::string_view no_host_message = "将本插件放入机器人目录下，可直接下载指定机器人的插件哦。";

// The host made its plugin directory on a file system that ignores case; when it already exists under
// another spelling ("plugin" for "Plugin"), downloads must go into that one, not into a twin.
std::filesystem::path host_plugin_dir(const std::filesystem::path& program_dir, std::string_view name) {
  if (auto existing = find_entry_ignoring_case(program_dir, name, /*directories_only=*/true))
    return *existing;
  return program_dir / std::string(name);
}

}  // namespace

std::span<const HostRobot> host_robot_table() { return host_robots; }

std::optional<HostRobot> detect_host_robot(AppState& state, Window& window) {
  const std::filesystem::path& program_dir = state.program_dir;
  if (!app::is_directory(settings_dir(program_dir))) ensure_directory(settings_dir(program_dir));
  if (!app::is_directory(default_plugin_dir(program_dir))) ensure_directory(default_plugin_dir(program_dir));
  state.plugin_dir = default_plugin_dir(program_dir);
  window.set_caption(util::utf8_to_gbk(default_title));
  state.robot_id = 0;

  for (const HostRobot& robot : host_robots) {
    if (!find_entry_ignoring_case(program_dir, robot.marker)) continue;
    window.set_caption(util::utf8_to_gbk(robot.title));
    state.robot_id = robot.robot_id;
    if (!robot.plugin_dir.empty()) state.plugin_dir = host_plugin_dir(program_dir, robot.plugin_dir);
    return robot;
  }
  window.message_box(util::utf8_to_gbk(no_host_message));
  return std::nullopt;
}

}  // namespace quillora::app
