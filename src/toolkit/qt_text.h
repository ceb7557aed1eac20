// Texts at the Qt boundary: both sides are UTF-16, so the units are copied unchanged.
#pragma once

#include <QString>

#include "runtime/text.h"

inline QString ToQString(TextView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline Text FromQString(const QString& text) {
    return Text(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

// Buttons, check boxes and frame titles read "&" as a keyboard mnemonic; the program's texts (and
// the process names it shows) mean it literally.
inline QString ToQTitle(TextView text) { return ToQString(text).replace(QLatin1Char('&'), QStringLiteral("&&")); }

inline Text FromQTitle(const QString& title) {
    return FromQString(QString(title).replace(QStringLiteral("&&"), QStringLiteral("&")));
}
