// The lenient Base64 decoder over arbitrary saved-settings text; encoding the bytes back must decode
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "util/base64.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillora::util;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  base64_decode(text, true);
  const std::string bytes = base64_decode(text);
  if (base64_decode(base64_encode(bytes)) != bytes) std::abort();
  return 0;
}
