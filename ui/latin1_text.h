#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace ui {

// Every text of the program is ISO8859_1 bytes; Qt wants QString. These are
// the only crossings, so an accented byte never passes through UTF-8.
inline QString ToQString(std::string_view latin1) {
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
}

inline std::string ToLatin1(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace ui
