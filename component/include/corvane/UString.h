// UTF-16 strings of the core, as automation strings are: indexes count UTF-16 code units.
#pragma once

#include "Export.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

using UString = std::u16string;

// UTF-8 <-> UTF-16. Invalid UTF-8 bytes decode as U+FFFD; lone surrogates encode as U+FFFD.
CORVANE_EXPORT UString fromUtf8(std::string_view utf8);
CORVANE_EXPORT std::string toUtf8(std::u16string_view text);

// Windows-1252 bytes to UTF-16 (the legacy code page of text files that are not UTF-8).
CORVANE_EXPORT UString fromWindows1252(std::string_view bytes);
// True when the bytes are well-formed UTF-8.
CORVANE_EXPORT bool isValidUtf8(std::string_view bytes);

// Upper case of one code unit / a whole string (simple, locale-independent mapping:
// Latin-1, Latin Extended-A, Greek and Cyrillic).
CORVANE_EXPORT char16_t toUpper(char16_t c);
CORVANE_EXPORT UString toUpper(std::u16string_view text);
CORVANE_EXPORT bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);

// Decimal text of an integer, no separators ("-12").
CORVANE_EXPORT UString decimal(long long value);

} // namespace corvane
