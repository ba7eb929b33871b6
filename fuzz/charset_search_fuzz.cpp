// The HTTP engine's charset search: the META pattern over the first 1024 bytes of a hostile page,
// its matches replaced, then the page decoded from whatever charset name it declared.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/gbk.hpp"
#include "util/regex_matcher.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillora::util;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const std::string_view text = body.substr(0, body.find('\0'));
  RegexMatcher matcher;
  if (!matcher.search(R"(<meta.+?charset=[^\w]?([-\w]+))", text.substr(0, 1024))) return 0;
  int position = 0;
  matcher.match_text(1, &position);
  const std::string charset = matcher.submatch_text(1, 1, &position);
  // The bytes after the searched part, when there are any, as a replacement text of their own.
  matcher.replace(text.size() > 1024 ? text.substr(1024, 64) : std::string_view("$1$&$`$'$$$99$"));
  if (!charset.empty()) charset_to_gbk(body, charset);
  return 0;
}
