// Text in every script on Windows: shaped by Uniscribe (items of one script and direction, their
// glyphs and advances, in visual order), each character in a face that has it. A character the
// chosen face lacks is drawn in the first installed face that has it: a few common faces first,
// then any other installed one, found once per process. What a face covers is read from its own
// character map, so that characters beyond the Basic Multilingual Plane count too.
#pragma once

#include <windows.h>

#include <usp10.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::win32 {

// A face's map from characters to glyphs (its best Unicode subtable, formats 4 and 12).
class CharacterMap {
public:
    // The map of the font selected into `dc`; null when it has none that can be read (a font
    // that is not TrueType or OpenType).
    static std::shared_ptr<const CharacterMap> read(HDC dc);
    // The glyph of a character, 0 when the face has none.
    uint16_t glyph(char32_t c) const;
    // A symbol font's map (its letters draw symbols): it is taken to have every character.
    bool symbol() const { return m_symbol; }

private:
    std::string m_table; // the subtable
    int m_format = 0;
    bool m_symbol = false;
};

// Characters that show nothing of their own (controls, joiners, direction marks, variation
// selectors): no face is looked for to show them.
bool showsNothing(char32_t c);

// What a text is drawn as: its parts of one face and one item, in visual order, each shaped.
// A part's glyphs are left to right, each with the characters of its cluster.
struct ShapedPart {
    size_t face = 0;  // index into the faces the text was shaped with
    size_t begin = 0; // UTF-16 units of the text
    size_t end = 0;
    bool rightToLeft = false;
    std::vector<WORD> glyphs;
    std::vector<int> advances;      // by glyph, in the face's device units
    std::vector<GOFFSET> offsets;   // by glyph: du to the right, dv up
    std::vector<uint32_t> from, to; // by glyph: its cluster's characters, units of the text
    int width = 0;
};

// The faces a text is shaped with: the chosen one (index 0) and those it falls back to.
class ShapingFaces {
public:
    virtual ~ShapingFaces() = default;
    // Selects face `index` into the device context shaping uses and gives its script cache.
    virtual SCRIPT_CACHE *select(size_t index) = 0;
    // The character map of face `index` (null when it has none).
    virtual const CharacterMap *map(size_t index) = 0;
    // The index of the face of `family` (same size and style as the chosen one), added when
    // new; none when it cannot be used.
    virtual size_t face(const std::wstring &family) = 0;
    static constexpr size_t none = size_t(-1);
};

// Shapes `text` on `dc` with `faces`, left to right as the layout sets lines, and gives each
// part, in visual order, to `part` (which may keep what it needs of it). Returns the width, in
// device units.
int64_t shapeText(HDC dc, std::u16string_view text, ShapingFaces &faces,
                  const std::function<void(const ShapedPart &)> &part);

} // namespace corvane::win32
