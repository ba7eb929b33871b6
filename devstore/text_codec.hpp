#pragma once
// Charset conversions for the store's replies (ICU converters). The store keeps its texts in UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace quillora::devstore {

// UTF-8 text converted to the named charset ("gbk", "big5", "utf-8", ...); nullopt for an unknown
// charset name or text that does not convert.
std::optional<std::string> from_utf8(std::string_view utf8, const char* charset);

// UTF-8 text as UTF-16 code units; invalid sequences become U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);

// Percent-decoding of a form value; "+" is a blank there, as browsers and PHP have it.
std::string form_decode(std::string_view text);

}  // namespace quillora::devstore
