#pragma once
// The fixed layout of the main window: every control with its container, place, size and caption.
// Places are relative to the container, as the controls' parents hold them.
#include <span>
#include <string_view>

namespace quillora::ui {

enum class ControlKind { group_box, list, button, label, edit, password_edit, progress_bar };

struct LayoutControl {
  std::string_view name;  // layout name, also the Qt objectName (UTF-8)
  ControlKind kind;
  std::string_view parent;  // layout name of the container; empty: the window's client area
  int x, y, width, height;
  std::string_view caption;  // initial text (UTF-8)
};

inline constexpr std::string_view window_name = "窗口";
inline constexpr std::string_view initial_window_caption = "Quillora v1.0";
inline constexpr int window_x = 50, window_y = 50, window_width = 981, window_height = 505;

inline constexpr std::string_view timer_name = "时钟1";
inline constexpr int timer_interval_ms = 500;

inline constexpr std::string_view menu_name = "操作";
inline constexpr std::string_view menu_items[] = {"下载", "查看更新历史", "查看该作者其他插件",
                                                  "帮它打榜/置顶"};

// In creation order: a container comes before what it holds, and later controls lie on top.
std::span<const LayoutControl> window_layout();

}  // namespace quillora::ui
