#include "TrueTypeFont.h"

#include <algorithm>
#include <map>

namespace corvane::pdf {

namespace {

uint16_t u16(const std::string &t, size_t at)
{
    return at + 2 <= t.size() ? static_cast<uint16_t>((uint8_t(t[at]) << 8) | uint8_t(t[at + 1])) : 0;
}
int16_t s16(const std::string &t, size_t at) { return static_cast<int16_t>(u16(t, at)); }
uint32_t u32(const std::string &t, size_t at) { return (uint32_t(u16(t, at)) << 16) | u16(t, at + 2); }

void put16(std::string &t, uint16_t v)
{
    t.push_back(char(v >> 8));
    t.push_back(char(v & 0xFF));
}
void put32(std::string &t, uint32_t v)
{
    put16(t, uint16_t(v >> 16));
    put16(t, uint16_t(v & 0xFFFF));
}
void set16(std::string &t, size_t at, uint16_t v)
{
    t[at] = char(v >> 8);
    t[at + 1] = char(v & 0xFF);
}

uint32_t checksum(const std::string &t)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < t.size(); i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < t.size() ? uint8_t(t[i + k]) : 0);
        sum += word;
    }
    return sum;
}

// A font file of these tables, sorted by tag as the directory must be.
std::string sfnt(uint32_t version, const std::map<std::string, std::string> &tables)
{
    std::string font;
    const uint16_t count = static_cast<uint16_t>(tables.size());
    uint16_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    put32(font, version);
    put16(font, count);
    put16(font, static_cast<uint16_t>(power * 16));
    put16(font, log2);
    put16(font, static_cast<uint16_t>(count * 16 - power * 16));
    uint32_t at = 12 + 16u * count;
    std::string body;
    for (const auto &[tag, data] : tables) {
        font.append(tag);
        put32(font, checksum(data));
        put32(font, at + static_cast<uint32_t>(body.size()));
        put32(font, static_cast<uint32_t>(data.size()));
        body.append(data);
        while (body.size() % 4)
            body.push_back('\0');
    }
    return font + body;
}

// CFF outlines are written whole: up to this size a document carries them.
constexpr size_t kLargestWholeFont = 4 * 1024 * 1024;

} // namespace

std::shared_ptr<const TrueTypeFont> TrueTypeFont::load(const std::function<std::string(const char *)> &table,
                                                       std::string postscriptName)
{
    auto font = std::make_shared<TrueTypeFont>();
    for (const char *tag : {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cvt ", "fpgm", "prep", "post", "OS/2"}) {
        std::string data = table(tag);
        if (!data.empty())
            font->m_tables.emplace(tag, std::move(data));
    }
    if (!font->m_tables.count("glyf")) {
        // PostScript outlines: the OpenType font is written whole, with its character map.
        std::string cff = table("CFF ");
        if (cff.empty() || cff.size() > kLargestWholeFont)
            return nullptr;
        font->m_tables.emplace("CFF ", std::move(cff));
        for (const char *tag : {"cmap", "name"})
            if (std::string data = table(tag); !data.empty())
                font->m_tables.emplace(tag, std::move(data));
        font->m_cff = true;
    }
    for (const char *required : {"head", "hhea", "maxp", "hmtx"})
        if (!font->m_tables.count(required))
            return nullptr;
    const std::string &head = font->m_tables["head"];
    const std::string &hhea = font->m_tables["hhea"];
    const std::string &maxp = font->m_tables["maxp"];
    const std::string &hmtx = font->m_tables["hmtx"];
    if (head.size() < 54 || hhea.size() < 36 || maxp.size() < 6)
        return nullptr;
    font->m_name = std::move(postscriptName);
    font->m_unitsPerEm = u16(head, 18);
    if (font->m_unitsPerEm < 16)
        return nullptr;
    font->m_longLoca = s16(head, 50) == 1;
    font->m_glyphCount = u16(maxp, 4);
    const uint16_t metrics = u16(hhea, 34);
    if (metrics == 0 || hmtx.size() < size_t(metrics) * 4 || font->m_glyphCount == 0)
        return nullptr;
    const size_t locaNeeded = (size_t(font->m_glyphCount) + 1) * (font->m_longLoca ? 4 : 2);
    if (!font->m_cff && font->m_tables["loca"].size() < locaNeeded)
        return nullptr;
    font->m_advances.resize(font->m_glyphCount);
    for (uint16_t g = 0; g < font->m_glyphCount; ++g)
        font->m_advances[g] = u16(hmtx, size_t(std::min<uint16_t>(g, metrics - 1)) * 4);

    const double scale = 1000.0 / font->m_unitsPerEm;
    Descriptor &d = font->m_descriptor;
    d.ascent = s16(hhea, 4) * scale;
    d.descent = s16(hhea, 6) * scale;
    d.bbox[0] = s16(head, 36) * scale;
    d.bbox[1] = s16(head, 38) * scale;
    d.bbox[2] = s16(head, 40) * scale;
    d.bbox[3] = s16(head, 42) * scale;
    d.capHeight = d.ascent;
    bool fixedPitch = false;
    if (auto post = font->m_tables.find("post"); post != font->m_tables.end() && post->second.size() >= 16) {
        d.italicAngle = s16(post->second, 4) + u16(post->second, 6) / 65536.0;
        font->m_underlinePosition = s16(post->second, 8);
        font->m_underlineThickness = s16(post->second, 10);
        fixedPitch = u32(post->second, 12) != 0;
    }
    int weightClass = 400;
    if (auto os2 = font->m_tables.find("OS/2"); os2 != font->m_tables.end() && os2->second.size() >= 78) {
        weightClass = u16(os2->second, 4);
        if (u16(os2->second, 0) >= 2 && os2->second.size() >= 90)
            d.capHeight = s16(os2->second, 88) * scale;
    }
    d.stemV = 50 + weightClass * weightClass / 900.0 * 0.25;
    d.flags = 32 /* nonsymbolic */ | (fixedPitch ? 1 : 0) | (d.italicAngle != 0 ? 64 : 0);
    if (font->m_underlineThickness <= 0)
        font->m_underlineThickness = static_cast<int16_t>(font->m_unitsPerEm / 14);
    if (font->m_underlinePosition == 0)
        font->m_underlinePosition = static_cast<int16_t>(-font->m_unitsPerEm / 10);
    return font;
}

std::string TrueTypeFont::subset(const std::vector<bool> &used) const
{
    if (m_cff) {
        std::map<std::string, std::string> tables(m_tables.begin(), m_tables.end());
        tables["head"].replace(8, 4, std::string(4, '\0')); // checkSumAdjustment, left at zero
        return sfnt(0x4F54544F /* OTTO */, tables);
    }
    const std::string &loca = m_tables.at("loca");
    const std::string &glyf = m_tables.at("glyf");
    const auto offset = [&](uint32_t g) -> uint32_t {
        return m_longLoca ? u32(loca, size_t(g) * 4) : uint32_t(u16(loca, size_t(g) * 2)) * 2;
    };

    // The glyphs kept: those asked for, glyph 0, and the parts of composite glyphs.
    std::vector<bool> keep(m_glyphCount, false);
    std::vector<uint16_t> pending;
    const auto want = [&](uint32_t g) {
        if (g < m_glyphCount && !keep[g]) {
            keep[g] = true;
            pending.push_back(static_cast<uint16_t>(g));
        }
    };
    want(0);
    for (size_t g = 0; g < used.size(); ++g)
        if (used[g])
            want(static_cast<uint32_t>(g));
    while (!pending.empty()) {
        const uint16_t g = pending.back();
        pending.pop_back();
        const uint32_t start = offset(g), end = offset(g + 1u);
        if (end <= start || end > glyf.size() || end - start < 10 || s16(glyf, start) >= 0)
            continue;
        size_t at = start + 10;
        for (int guard = 0; guard < 64 && at + 4 <= end; ++guard) {
            const uint16_t flags = u16(glyf, at);
            want(u16(glyf, at + 2));
            at += 4 + ((flags & 0x0001) ? 4 : 2);
            if (flags & 0x0008)
                at += 2;
            else if (flags & 0x0040)
                at += 4;
            else if (flags & 0x0080)
                at += 8;
            if (!(flags & 0x0020))
                break;
        }
    }

    std::string newGlyf, newLoca;
    for (uint32_t g = 0; g < m_glyphCount; ++g) {
        put32(newLoca, static_cast<uint32_t>(newGlyf.size()));
        const uint32_t start = offset(g), end = offset(g + 1);
        if (keep[g] && end > start && end <= glyf.size()) {
            newGlyf.append(glyf, start, end - start);
            while (newGlyf.size() % 4)
                newGlyf.push_back('\0');
        }
    }
    put32(newLoca, static_cast<uint32_t>(newGlyf.size()));

    std::map<std::string, std::string> tables; // sorted by tag, as the directory must be
    for (const char *tag : {"head", "hhea", "maxp", "hmtx", "cvt ", "fpgm", "prep"})
        if (auto t = m_tables.find(tag); t != m_tables.end())
            tables[tag] = t->second;
    tables["glyf"] = std::move(newGlyf);
    tables["loca"] = std::move(newLoca);
    std::string &head = tables["head"];
    set16(head, 50, 1);                       // long offsets
    head.replace(8, 4, std::string(4, '\0')); // checkSumAdjustment, left at zero

    return sfnt(0x00010000, tables);
}

} // namespace corvane::pdf
