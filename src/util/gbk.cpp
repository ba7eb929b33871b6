#include "util/gbk.hpp"

#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <memory>

namespace quillora::util {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Opens a converter whose unmappable characters become '?' on the way out. Null when ICU does not
// know the name.
Converter open_converter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter.get(), "?", 1, &status);
  return converter;
}

// One converter per thread: opening one costs far more than a short conversion, and a converter
// keeps state, so it must not be shared between threads.
UConverter* gbk_converter() {
  thread_local Converter converter = open_converter("windows-936-2000");
  return converter.get();
}

std::u16string decode(UConverter* converter, std::string_view bytes) {
  std::u16string out;
  if (bytes.empty() || converter == nullptr) return out;
  // Two UTF-16 units per byte covers the charsets met in practice; the retry covers the rest.
  out.resize(bytes.size() * 2 + 2);
  ucnv_resetToUnicode(converter);
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    ucnv_resetToUnicode(converter);
    length = ucnv_toUChars(converter, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                           static_cast<int32_t>(bytes.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string encode(UConverter* converter, std::u16string_view text) {
  std::string out;
  if (text.empty() || converter == nullptr) return out;
  out.resize(text.size() * 2 + 2);
  ucnv_resetFromUnicode(converter);
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                   static_cast<int32_t>(text.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.resize(static_cast<std::size_t>(length) + 1);
    status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(converter);
    length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), text.data(),
                             static_cast<int32_t>(text.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::u16string nfc(std::u16string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* normalizer = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status)) return std::u16string(text);
  const auto size = static_cast<int32_t>(text.size());
  if (unorm2_isNormalized(normalizer, text.data(), size, &status) && U_SUCCESS(status)) {
    return std::u16string(text);
  }
  status = U_ZERO_ERROR;
  std::u16string out(text.size() * 3 + 1, u'\0');
  int32_t length =
      unorm2_normalize(normalizer, text.data(), size, out.data(), static_cast<int32_t>(out.size()), &status);
  if (U_FAILURE(status)) return std::u16string(text);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) { return decode(gbk_converter(), gbk); }

std::string utf16_to_gbk(std::u16string_view utf16) { return encode(gbk_converter(), utf16); }

std::string text_to_wide(std::string_view gbk, bool drop_terminator) {
  const std::u16string wide = gbk_to_utf16(gbk);
  std::string out;
  out.reserve(wide.size() * 2 + 2);
  for (char16_t unit : wide) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  if (!gbk.empty() && !drop_terminator) out.append(2, '\0');
  return out;
}

std::string wide_to_text(std::string_view utf16le) {
  std::u16string wide;
  wide.reserve(utf16le.size() / 2);
  for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(utf16le[i]) |
                                            (static_cast<unsigned char>(utf16le[i + 1]) << 8));
    if (unit == 0) break;
    wide.push_back(unit);
  }
  return utf16_to_gbk(nfc(wide));
}

std::string utf16_to_utf8(std::u16string_view wide) {
  if (wide.empty()) return {};
  std::string out(wide.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, wide.data(),
                     static_cast<int32_t>(wide.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string gbk_to_utf8(std::string_view gbk) { return utf16_to_utf8(gbk_to_utf16(gbk)); }

std::string utf8_to_gbk(std::string_view utf8) {
  if (utf8.empty()) return {};
  thread_local Converter utf8_converter = open_converter("UTF-8");
  UConverter* gbk = gbk_converter();
  if (!utf8_converter || gbk == nullptr) return {};
  // Straight from UTF-8 to GBK: ICU has a direct path for this pair, and a GBK text is never longer
  // than its UTF-8 form (invalid bytes and characters outside GBK each become one '?').
  std::string out(utf8.size() + 8, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    char* target = out.data();
    const char* source = utf8.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(gbk, utf8_converter.get(), &target, out.data() + out.size(), &source,
                   utf8.data() + utf8.size(), nullptr, nullptr, nullptr, nullptr, true, true, &status);
    if (U_SUCCESS(status)) {
      out.resize(static_cast<std::size_t>(target - out.data()));
      return out;
    }
    if (status != U_BUFFER_OVERFLOW_ERROR) return {};
    out.assign(utf8.size() * 2 + 8, '\0');
  }
  return {};
}

std::string charset_to_gbk(std::string_view bytes, std::string_view charset) {
  // A name with a zero byte would be cut short by ICU and name a different charset.
  if (charset.empty() || charset.find('\0') != std::string_view::npos) return std::string(bytes);
  const std::string name(charset);
  Converter converter = open_converter(name.c_str());
  if (!converter) return std::string(bytes);
  return utf16_to_gbk(decode(converter.get(), bytes));
}

namespace literals {
std::string operator""_gbk(const char* utf8, std::size_t size) { return utf8_to_gbk({utf8, size}); }
}  // namespace literals

}  // namespace quillora::util
