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
