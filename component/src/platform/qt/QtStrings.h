// Strings between Qt and the rest of the component. QString and UString both hold UTF-16, so
// either way the code units are copied as they are.
#pragma once

#include <corvane/UString.h>

#include <QString>

#include <string_view>

namespace corvane::qt {

inline QString qs(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline UString us(const QString &text)
{
    return UString(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<size_t>(text.size()));
}

} // namespace corvane::qt
