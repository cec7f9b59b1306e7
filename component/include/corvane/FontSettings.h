// The font settings string "Name,Size,Bold,Italic,Underline" and its parsed record.
#pragma once

#include "Export.h"

#include "UString.h"

namespace corvane {

struct FontSpec {
    UString Name = u"Arial";
    int32_t Size = 10;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;

    bool operator==(const FontSpec &) const = default;
};

// All or nothing: exactly five comma-separated fields, each converting, or the default record
// (Arial 10, no bold, italic or underline). Never fails.
CORVANE_EXPORT FontSpec ParseFontSettings(std::u16string_view settings);

} // namespace corvane
