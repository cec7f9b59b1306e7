#include <corvane/Errors.h>
#include <corvane/FontSettings.h>
#include <corvane/Variant.h>

#include <vector>

namespace corvane {

FontSpec ParseFontSettings(std::u16string_view settings)
{
    if (settings.empty())
        return {};

    std::vector<std::u16string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = settings.find(u',', start);
        fields.push_back(settings.substr(start, comma - start));
        if (comma == std::u16string_view::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() != 5)
        return {};

    // A field that fails its conversion discards the whole record.
    try {
        FontSpec font;
        font.Name = UString(fields[0]);
        font.Size = Variant::string(UString(fields[1])).toLong();
        font.Bold = Variant::string(UString(fields[2])).toBoolean();
        font.Italic = Variant::string(UString(fields[3])).toBoolean();
        font.Underline = Variant::string(UString(fields[4])).toBoolean();
        return font;
    } catch (const RuntimeError &) {
        return {};
    }
}

} // namespace corvane
