// JsonDocument over hostile replies: the first line is a path, the rest the reply text. Reads the
// page the way the catalogue loader does, then the path through every read operation.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "util/json_document.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t line_end = input.find('\n');
  const std::string_view path =
      line_end == std::string_view::npos ? std::string_view() : input.substr(0, line_end);
  const std::string_view text = line_end == std::string_view::npos ? input : input.substr(line_end + 1);

  quillora::util::JsonDocument page;
  page.parse(text);
  const int count = page.count();
  static constexpr std::string_view kMembers[] = {"plugin_name", "nick_name",  "type_name",   "robot_name",
                                                  "charge",      "down_count", "update_time", "plugin_id",
                                                  "detail",      "uid"};
  for (int i = 0; i < count && i < 64; ++i) {
    const quillora::util::JsonDocument item = page.element_object(i);
    for (const std::string_view member : kMembers) item.get_json(member);
  }
  page.get_json(path);
  page.get_text(path);
  page.get_text(path, true);
  page.get_number(path);
  page.count(path);
  page.kind_of(path);
  page.has_member(path);
  page.get_object(path).to_text();
  page.element_text(0, path, true);
  std::vector<std::string> names;
  page.member_names(names, path);
  page.to_text();
  // One write through the same path, which rebuilds and re-parses the document.
  page.set_text(path, text.substr(0, 64));
  page.push(text.substr(0, 64), path, true);
  page.to_text();
  return 0;
}
