// The store's message decoder and the reply field readers over hostile reply texts.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "store/reply.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillora::store;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  decode_message(text);
  unescape_fallback(text);
  hex_value(text);
  decode_message(reply_field(text, ReplyField::content));
  decode_message(reply_field(text, ReplyField::url));
  reply_ok(text);
  read_page_count(text);
  return 0;
}
