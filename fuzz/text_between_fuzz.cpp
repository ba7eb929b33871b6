// Marker searches over arbitrary GBK bytes: the text, both markers and the options come from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillora::util;
  FuzzedDataProvider input(data, size);
  const std::string left = input.ConsumeRandomLengthString(16);
  const std::string right = input.ConsumeRandomLengthString(16);
  const std::size_t start = input.ConsumeIntegralInRange<std::size_t>(0, 70000);
  const bool ignore_case = input.ConsumeBool();
  const std::string text = input.ConsumeRemainingBytesAsString();
  const std::string between = text_between(text, left, right, start, ignore_case);
  if (between.size() > text.size()) std::abort();
  if (const std::size_t at = find_text(text, left, start, ignore_case);
      at != 0 && at + left.size() - 1 > text.size()) {
    std::abort();
  }
  replace_all(text, left, right);
  split_text(text, left);
  trim_blanks(text);
  read_integer(text);
  return 0;
}
