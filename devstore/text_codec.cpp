#include "text_codec.hpp"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <memory>

namespace quillora::devstore {
namespace {
struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::u16string utf8_to_utf16(std::string_view utf8) {
  std::u16string out(utf8.size() + 1, u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

std::optional<std::string> from_utf8(std::string_view utf8, const char* charset) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(charset, &status));
  if (U_FAILURE(status)) return std::nullopt;
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::u16string wide = utf8_to_utf16(utf8);
  std::string out(wide.size() * 4 + 16, '\0');
  status = U_ZERO_ERROR;
  int32_t length = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()), wide.data(),
                                   static_cast<int32_t>(wide.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string form_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 &&
               hex_digit(text[i + 2]) >= 0) {
      out += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillora::devstore
