#include "app/core/window.hpp"

#include "util/gbk.hpp"

namespace quillora::app {

void Window::message_box(const std::string& text) {
  using namespace util::literals;
  static const std::string default_caption = "信息："_gbk;
  message_box(text, default_caption);
}

}  // namespace quillora::app
