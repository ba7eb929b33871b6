#include "app/core/controls.hpp"

namespace quillora::app {

std::string_view layout_name(Control control) {
  switch (control) {
    case Control::plugin_list: return "超级列表框1";
    case Control::first_page_button: return "按钮6";
    case Control::last_page_button: return "按钮7";
    case Control::prev_page_button: return "按钮8";
    case Control::next_page_button: return "按钮9";
    case Control::sign_in_button: return "按钮1";
    case Control::register_button: return "按钮2";
    case Control::web_edition_button: return "按钮3";
    case Control::user_group_button: return "按钮4";
    case Control::author_button: return "按钮5";
    case Control::account_edit: return "编辑框1";
    case Control::password_edit: return "编辑框2";
    case Control::status_label: return "透明标签4";
    case Control::task_label: return "透明标签1";
    case Control::progress_label: return "透明标签5";
    case Control::progress_bar: return "进度条1";
  }
  return {};
}

}  // namespace quillora::app
