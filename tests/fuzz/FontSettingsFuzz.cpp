// libFuzzer target: ParseFontSettings on any text, which must give either the default record
// or one whose fields came from exactly five comma-separated fields.
#include <corvane/FontSettings.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::u16string text(reinterpret_cast<const char16_t *>(data), size / 2);
    const corvane::FontSpec font = corvane::ParseFontSettings(text);
    size_t commas = 0;
    for (const char16_t c : text)
        commas += c == u',';
    if (commas != 4 && !(font == corvane::FontSpec{}))
        __builtin_trap(); // a string without exactly five fields is never used in part
    if (!(font == corvane::FontSpec{}) && text.compare(0, font.Name.size(), font.Name) != 0)
        __builtin_trap(); // the name is the first field, unchanged
    return 0;
}
