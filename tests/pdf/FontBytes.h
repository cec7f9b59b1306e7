// A small TrueType font built byte by byte for the pdf tests, and the big-endian helpers to make
// and read one; written without the reader under test, so the two do not share a mistake.
#pragma once

#include "pdf/TrueTypeFont.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fontbytes {

using Tables = std::map<std::string, std::string>;

inline uint32_t get(const std::string &s, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | (at + i < s.size() ? uint8_t(s[at + i]) : 0);
    return v;
}
inline uint16_t get16(const std::string &s, size_t at) { return static_cast<uint16_t>(get(s, at, 2)); }
inline uint32_t get32(const std::string &s, size_t at) { return get(s, at, 4); }
inline void set16(std::string &s, size_t at, int v) { s[at] = char((v >> 8) & 0xFF), s[at + 1] = char(v & 0xFF); }
inline void add16(std::string &s, int v) { s.append(2, '\0'), set16(s, s.size() - 2, v); }
inline void add32(std::string &s, uint32_t v) { add16(s, int(v >> 16)), add16(s, int(v & 0xFFFF)); }

inline std::shared_ptr<const corvane::pdf::TrueTypeFont> load(const Tables &tables, std::string name = "Tiny Sans")
{
    return corvane::pdf::TrueTypeFont::load(
        [&](const char *tag) { return tables.count(tag) ? tables.at(tag) : std::string(); }, std::move(name));
}

// A simple glyph (one contour) of `size` bytes, its outline bytes all `fill`.
inline std::string simpleGlyph(size_t size, char fill)
{
    std::string g;
    add16(g, 1);
    g.append(8, '\0');
    return g.append(size - 10, fill);
}

// A component of a composite glyph: flags, glyph number, then the arguments and the transform
// the flags announce, every 16-bit value of them 10, so that a reader stepping over them
// wrongly reads glyph 10, or flags without "more components".
enum : int { Words = 0x0001, Scale = 0x0008, More = 0x0020, XYScale = 0x0040, TwoByTwo = 0x0080 };
inline std::string component(int flags, int glyph)
{
    std::string c;
    add16(c, flags);
    add16(c, glyph);
    const int values = ((flags & Words) ? 2 : 1)
                     + ((flags & Scale)      ? 1
                        : (flags & XYScale)  ? 2
                        : (flags & TwoByTwo) ? 4
                                             : 0);
    for (int i = 0; i < values; ++i)
        add16(c, 10);
    return c;
}
inline std::string compositeGlyph(const std::vector<std::string> &components)
{
    std::string g(10, '\0');
    set16(g, 0, -1); // -1 contours
    for (const std::string &c : components)
        g += c;
    return g;
}

// 2048 units to the em, 13 glyphs, short loca, 11 long metrics:
//   0, 1 (H), 3 (i), 4 (an accent), 7, 8, 10: simple glyphs of 22 to 41 bytes
//   2 (space): no outline
//   5: 1 (word arguments), 4 (a scale), 7 (x and y scales), 8 (a two-by-two transform), 3
//   6: itself;  9: 5;  11: glyph 300 (past the end), then 10;  12: 3, then "more" with none left
// Advances 1229 1540 651 569 1024 1540 100 200 300 1540 777; 11 and 12 take 777.
// head's box -100 -300 2000 1900, hhea's ascender 1800 and descender -400.
constexpr int kGlyphs = 13;
inline Tables tinyFont()
{
    Tables t;
    std::string &head = t["head"] = std::string(54, '\0');
    set16(head, 0, 1);
    set16(head, 8, 0x1234); // checkSumAdjustment
    set16(head, 18, 2048);
    const int box[] = {-100, -300, 2000, 1900};
    for (size_t i = 0; i < 4; ++i)
        set16(head, 36 + 2 * i, box[i]);
    std::string &hhea = t["hhea"] = std::string(36, '\0');
    set16(hhea, 4, 1800);
    set16(hhea, 6, -400);
    set16(hhea, 34, 11);
    add32(t["maxp"], 0x00005000);
    add16(t["maxp"], kGlyphs);
    for (const int advance : {1229, 1540, 651, 569, 1024, 1540, 100, 200, 300, 1540, 777})
        add32(t["hmtx"], uint32_t(advance) << 16 | 7);
    add32(t["hmtx"], 7 << 16 | 7); // the last two glyphs' side bearings

    const std::vector<std::string> glyphs{
        simpleGlyph(22, 'a'),
        simpleGlyph(27, 'b'),
        "",
        simpleGlyph(30, 'c'),
        simpleGlyph(31, 'd'),
        compositeGlyph({component(Words | More, 1), component(Scale | More, 4), component(XYScale | More, 7),
                        component(TwoByTwo | More, 8), component(0, 3)}),
        compositeGlyph({component(0, 6)}),
        simpleGlyph(41, 'e'),
        simpleGlyph(23, 'f'),
        compositeGlyph({component(Words, 5)}),
        simpleGlyph(25, 'g'),
        compositeGlyph({component(More, 300), component(0, 10)}),
        compositeGlyph({component(More, 3)})};
    for (const std::string &g : glyphs) {
        add16(t["loca"], int(t["glyf"].size() / 2));
        t["glyf"] += g + std::string(g.size() % 2, '\0'); // short offsets count words
    }
    add16(t["loca"], int(t["glyf"].size() / 2));

    t["cvt "] = std::string("\x00\x10\xFF\xF0\x01\x00", 6);
    t["fpgm"] = "\xB0\x01\x2C";
    t["prep"] = "\xB8\x01\xFF\x85\xB0\x04";
    t["name"] = "a table the subset leaves out";
    return t;
}

} // namespace fontbytes
