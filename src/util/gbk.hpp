#pragma once
// Conversions between the program's texts (GBK, Windows code page 936) and the encodings of the
// world around it. Backed by ICU's "windows-936-2000" converter; characters that GBK lacks become '?'.
#include <string>
#include <string_view>

namespace quillora::util {

// GBK text -> UTF-16LE bytes with a terminating zero unit (none for an empty text, none when
// drop_terminator is set).
std::string text_to_wide(std::string_view gbk, bool drop_terminator = false);
// UTF-16LE bytes -> GBK text; an odd last byte is ignored, the text ends at the first zero unit,
// decomposed sequences are composed first.
std::string wide_to_text(std::string_view utf16le);

std::u16string gbk_to_utf16(std::string_view gbk);
std::string utf16_to_gbk(std::u16string_view utf16);
std::string gbk_to_utf8(std::string_view gbk);
// Unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(std::u16string_view utf16);
std::string utf8_to_gbk(std::string_view utf8);

// Decodes bytes in any charset ICU knows by name into GBK. An unknown charset gives the bytes back
// unchanged.
std::string charset_to_gbk(std::string_view bytes, std::string_view charset);

namespace literals {
// "登录成功！"_gbk: the program's own texts are written in UTF-8 source and used as GBK.
std::string operator""_gbk(const char* utf8, std::size_t size);
}  // namespace literals

}  // namespace quillora::util
