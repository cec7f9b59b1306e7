// A TrueType or OpenType font read from its tables: the metrics and descriptor values a PDF font
// needs, and the font program: TrueType outlines cut down to the glyphs a document uses, or an
// OpenType font of PostScript (CFF) outlines whole. Plain C++.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvane::pdf {

// A TrueType font (glyf outlines) as its tables, with what the writer and a layout need of it.
class TrueTypeFont {
public:
    // Reads the tables it needs through `table` (a four-letter tag gives the table's bytes, or
    // nothing). Null when the font has neither TrueType nor CFF outlines, its tables are
    // unusable, or its CFF outlines are larger than a document should carry whole.
    static std::shared_ptr<const TrueTypeFont> load(const std::function<std::string(const char *tag)> &table,
                                                    std::string postscriptName);

    const std::string &postscriptName() const { return m_name; }
    uint16_t unitsPerEm() const { return m_unitsPerEm; }
    uint16_t glyphCount() const { return m_glyphCount; }
    // Advance width of a glyph, in font units.
    uint16_t advance(uint16_t glyph) const
    {
        return m_advances.empty() ? 0 : m_advances[glyph < m_advances.size() ? glyph : m_advances.size() - 1];
    }
    int16_t underlinePosition() const { return m_underlinePosition; }
    int16_t underlineThickness() const { return m_underlineThickness; }

    // The font program holding only `glyphs` (and the glyphs they are built from, and glyph
    // 0); every glyph keeps its number. A font of CFF outlines comes whole, as OpenType.
    std::string subset(const std::vector<bool> &glyphs) const;
    // Whether the outlines are CFF (PostScript) ones, written whole.
    bool postscriptOutlines() const { return m_cff; }

    // Font descriptor values, in PDF glyph space (1/1000 em).
    struct Descriptor {
        double ascent, descent, capHeight, italicAngle, stemV;
        double bbox[4];
        int flags;
    };
    const Descriptor &descriptor() const { return m_descriptor; }

private:
    std::string m_name;
    std::unordered_map<std::string, std::string> m_tables;
    uint16_t m_unitsPerEm = 1000;
    uint16_t m_glyphCount = 0;
    bool m_longLoca = false;
    bool m_cff = false;
    std::vector<uint16_t> m_advances;
    int16_t m_underlinePosition = 0, m_underlineThickness = 0;
    Descriptor m_descriptor{};
};

} // namespace corvane::pdf
