#pragma once
// The edge between the program's GBK texts and Qt's strings.
#include <QString>
#include <string>

#include "util/gbk.hpp"

namespace quillora::ui {

inline QString from_gbk(const std::string& gbk) { return QString::fromStdString(util::gbk_to_utf8(gbk)); }
inline std::string to_gbk(const QString& text) { return util::utf8_to_gbk(text.toStdString()); }
inline QString from_utf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace quillora::ui
