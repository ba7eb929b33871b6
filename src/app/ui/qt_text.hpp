#pragma once
// The edge between the program's GBK texts and Qt's strings.
#include <QString>
#include <string>

#include "util/gbk.hpp"

namespace quillora::ui {

inline QString from_gbk(const std::string& gbk) {
  const std::u16string wide = util::gbk_to_utf16(gbk);
  return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}
inline std::string to_gbk(const QString& text) {
  return util::utf16_to_gbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                static_cast<std::size_t>(text.size())));
}
inline QString from_utf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace quillora::ui
