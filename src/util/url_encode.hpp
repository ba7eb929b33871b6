#pragma once
#include <string>
#include <string_view>

namespace quillora::util {

// Percent-encodes every byte as %XX (upper case). keep_unreserved leaves "-", ".", digits and ASCII
// letters as they are; to_utf8 encodes the UTF-8 form of the GBK text instead of its GBK bytes.
std::string url_encode(std::string_view text, bool keep_unreserved, bool to_utf8);

}  // namespace quillora::util
