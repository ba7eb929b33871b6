#pragma once
// The ten columns of a catalogue row. Columns 7 to 9 have width 0: they hold text but are hidden.
#include <array>
#include <string_view>

namespace quillora::app {

enum PluginColumn : int {
  col_name = 0,
  col_author = 1,
  col_type = 2,
  col_platform = 3,
  col_charge = 4,
  col_downloads = 5,
  col_updated = 6,
  col_plugin_id = 7,
  col_detail = 8,
  col_author_uid = 9,
};
inline constexpr int plugin_column_count = 10;

struct PluginColumnInfo {
  std::string_view title;   // UTF-8
  int width;                // pixels
  std::string_view member;  // member of the plugin object in a catalogue reply
};

inline constexpr std::array<PluginColumnInfo, plugin_column_count> plugin_columns{{
    {"插件名", 150, "plugin_name"},
    {"作者", 80, "nick_name"},
    {"插件类型", 80, "type_name"},
    {"机器人平台", 80, "robot_name"},
    {"收费类型", 80, "charge"},
    {"下载次数", 80, "down_count"},
    {"更新时间", 120, "update_time"},
    {"插件id", 0, "plugin_id"},
    {"详情", 0, "detail"},
    {"uid", 0, "uid"},
}};

}  // namespace quillora::app
