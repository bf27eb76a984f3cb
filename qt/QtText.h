// Text between Qt and the core: the core works in UTF-8 std::string.
#pragma once

#include <QString>

#include <string>

namespace zalohy {

inline QString u8(const char* text) { return QString::fromUtf8(text); }
inline QString u8(const std::string& text) { return QString::fromStdString(text); }
inline std::string toUtf8(const QString& text) { return text.toStdString(); }

}  // namespace zalohy
