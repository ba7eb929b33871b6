#pragma once
// The controls that the logic reads or writes, by role. layout_name() is the one place that maps a
// role to the control's layout name, which is also its Qt objectName.
#include <string_view>

namespace quillora::app {

enum class Control {
  plugin_list,         // 超级列表框1
  first_page_button,   // 按钮6 "首页"
  last_page_button,    // 按钮7 "尾页"
  prev_page_button,    // 按钮8 "上一页"
  next_page_button,    // 按钮9 "下一页"
  sign_in_button,      // 按钮1 "登录"
  register_button,     // 按钮2 "注册"
  web_edition_button,  // 按钮3 "网页版Quillora"
  user_group_button,   // 按钮4 "加入用户群"
  author_button,       // 按钮5 "我是插件作者"
  account_edit,        // 编辑框1
  password_edit,       // 编辑框2
  status_label,        // 透明标签4
  task_label,          // 透明标签1
  progress_label,      // 透明标签5
  progress_bar,        // 进度条1
};

// UTF-8 layout name, e.g. "按钮6".
std::string_view layout_name(Control control);

}  // namespace quillora::app
