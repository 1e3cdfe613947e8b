#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/text_codec.h"

// Texts cross between core (GBK) and Qt (UTF-16) only here.
namespace tovakin::gui {

inline QString fromGbk(std::string_view gbk) {
    return QString::fromStdString(platform::gbkToUtf8(gbk));
}
inline std::string toGbk(const QString& text) {
    return platform::utf8ToGbk(text.toStdString());
}
inline QString fromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace tovakin::gui
