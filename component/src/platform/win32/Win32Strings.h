// UTF-16 strings between the core and the wide Windows calls: wchar_t is 16 bits on Windows.
#pragma once

#include <corvane/UString.h>

#include <string>
#include <string_view>

namespace corvane::win32 {

inline std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

inline UString us(std::wstring_view text) { return UString(text.begin(), text.end()); }

// The built-in printer, always listed after the spooler's printers.
inline constexpr char16_t kPdfPrinterName[] = u"Corvane PDF";

} // namespace corvane::win32
