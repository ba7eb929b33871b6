#include "app/core/window.hpp"

#include "util/gbk.hpp"

namespace quillora::app {

void Window::message_box(const std::string& text) {
  using namespace util::literals;
  static const std::string default_caption = "信息："_gbk;
  message_box(text, default_caption);
}

void Window::append_rows(std::span<const Row> rows) {
  for (const Row& row : rows) {
    const int index = append_row();
    for (int column = 0; column < plugin_column_count; ++column) {
      const std::string& text = row[static_cast<std::size_t>(column)];
      if (!text.empty()) set_cell(index, column, text);
    }
  }
}

}  // namespace quillora::app
