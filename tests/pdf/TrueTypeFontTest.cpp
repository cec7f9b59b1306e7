// The TrueType reader and subsetter, on DejaVu Sans (long loca) and on the small font of
// FontBytes.h (short loca).
#include "FontBytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <set>

using namespace fontbytes;

namespace {

// The tables of a font file, by its directory. Fails the test unless the directory is sound:
// the search fields agree with the count, the tags ascend, every table starts on four bytes
// after the one before, lies inside the file, is padded with zeros to four bytes, and has the
// checksum (sum of big-endian words) its entry says.
Tables directory(const std::string &file)
{
    Tables out;
    const uint16_t count = get16(file, 4);
    uint16_t power = 1, log2 = 0;
    for (; power * 2 <= count; power *= 2)
        ++log2;
    EXPECT_EQ(get32(file, 0), 0x00010000u);
    EXPECT_EQ(get16(file, 6), power * 16);
    EXPECT_EQ(get16(file, 8), log2);
    EXPECT_EQ(get16(file, 10), count * 16 - power * 16);
    size_t end = 12 + 16u * count;
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = 12 + 16u * i;
        const std::string tag = file.substr(entry, 4);
        const uint32_t offset = get32(file, entry + 8), length = get32(file, entry + 12);
        EXPECT_TRUE(out.empty() || out.rbegin()->first < tag) << tag;
        EXPECT_EQ(offset % 4, 0u) << tag;
        EXPECT_GE(offset, end) << tag;
        EXPECT_LE(offset + size_t(length), file.size()) << tag;
        const std::string data = out[tag] = file.substr(offset, length);
        uint32_t sum = 0;
        for (size_t at = 0; at < data.size(); at += 4)
            sum += get32(data, at);
        EXPECT_EQ(get32(file, entry + 4), sum) << tag;
        end = offset + length;
        for (; end % 4 && end <= file.size(); ++end)
            EXPECT_EQ(end < file.size() ? file[end] : 1, 0) << tag << " is not padded";
    }
    return out;
}

Tables dejaVuSans()
{
    std::ifstream in("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", std::ios::binary);
    const std::string file(std::istreambuf_iterator<char>(in), {});
    Tables out;
    for (uint16_t i = 0, count = get16(file, 4); i < count; ++i)
        out[file.substr(12 + 16u * i, 4)] = file.substr(get32(file, 20 + 16u * i), get32(file, 24 + 16u * i));
    return out;
}

// Glyph g's bytes through loca and glyf; empty when loca gives no range inside glyf.
std::string glyph(const Tables &t, uint32_t g)
{
    const bool longLoca = get16(t.at("head"), 50) == 1;
    const auto at = [&](uint32_t i) { return longLoca ? get32(t.at("loca"), i * 4) : get16(t.at("loca"), i * 2) * 2u; };
    const uint32_t start = at(g), end = at(g + 1);
    return end > start && end <= t.at("glyf").size() ? t.at("glyf").substr(start, end - start) : std::string();
}

std::vector<bool> asked(std::initializer_list<int> glyphs, size_t size = kGlyphs)
{
    std::vector<bool> used(size, false);
    for (const int g : glyphs)
        used[size_t(g)] = true;
    return used;
}

// Checks `program`, the subset of `original` that keeps the glyphs `kept`: a sound directory
// holding the tables a PDF font program needs; hhea, hmtx, maxp and the hinting tables as they
// were; head as it was but for long offsets and a zero checksum adjustment; a long loca with
// an entry for every glyph, so that each keeps its number; the kept glyphs' bytes as they
// were, padded to four bytes, and every other glyph empty.
void expectSubset(const Tables &original, const std::string &program, const std::set<int> &kept)
{
    const Tables got = directory(program);
    std::set<std::string> tags;
    for (const auto &[tag, data] : got) {
        tags.insert(tag);
        if (tag != "head" && tag != "loca" && tag != "glyf") {
            EXPECT_EQ(data, original.at(tag)) << tag;
        }
    }
    ASSERT_EQ(tags, (std::set<std::string>{"cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"}));
    std::string head = original.at("head");
    head.replace(8, 4, std::string(4, '\0'));
    set16(head, 50, 1);
    EXPECT_EQ(got.at("head"), head);

    const uint16_t count = get16(original.at("maxp"), 4);
    ASSERT_EQ(got.at("loca").size(), (size_t(count) + 1) * 4);
    for (uint32_t g = 0; g < count; ++g) {
        std::string expected = kept.count(int(g)) ? glyph(original, g) : "";
        expected.resize((expected.size() + 3) / 4 * 4, '\0');
        EXPECT_EQ(get32(got.at("loca"), g * 4) % 4, 0u) << g;
        ASSERT_LE(get32(got.at("loca"), g * 4), get32(got.at("loca"), g * 4 + 4)) << g;
        EXPECT_EQ(glyph(got, g), expected) << "glyph " << g;
    }
    EXPECT_EQ(get32(got.at("loca"), count * 4u), got.at("glyf").size());
}

} // namespace

// Expected values from fontTools 4.38 reading the file (head, hhea, hmtx, post; its OS/2 is
// version 1, without a cap height), scaled by 1000/2048 by hand.
TEST(TrueTypeFont, ReadsTheMetricsAndDescriptorOfDejaVuSans)
{
    const auto font = load(dejaVuSans(), "DejaVuSans");
    ASSERT_TRUE(font) << "fonts-dejavu-core is needed";
    EXPECT_EQ(font->postscriptName(), "DejaVuSans");
    EXPECT_EQ(font->unitsPerEm(), 2048);
    EXPECT_EQ(font->glyphCount(), 6253);
    // space, A, W, i; 6238 long metrics, so 6240 and the last glyph take 6237's advance, and a
    // number past the end the last glyph's.
    const std::pair<uint16_t, int> advances[] = {{3, 651},     {36, 1401},   {58, 2025},   {76, 569},
                                                 {6237, 1508}, {6240, 1508}, {6252, 1508}, {60000, 1508}};
    for (const auto &[g, advance] : advances)
        EXPECT_EQ(font->advance(g), advance) << g;
    EXPECT_EQ(font->underlinePosition(), -40);
    EXPECT_EQ(font->underlineThickness(), 90);
    const auto &d = font->descriptor();
    EXPECT_DOUBLE_EQ(d.ascent, 928.22265625);   // 1901
    EXPECT_DOUBLE_EQ(d.descent, -235.83984375); // -483
    EXPECT_DOUBLE_EQ(d.capHeight, 928.22265625);
    EXPECT_DOUBLE_EQ(d.bbox[0], -1020.5078125); // -2090 -948 3673 2524
    EXPECT_DOUBLE_EQ(d.bbox[1], -462.890625);
    EXPECT_DOUBLE_EQ(d.bbox[2], 1793.45703125);
    EXPECT_DOUBLE_EQ(d.bbox[3], 1232.421875);
    EXPECT_DOUBLE_EQ(d.italicAngle, 0);
    EXPECT_NEAR(d.stemV, 94.4444444, 1e-6); // weight 400: 50 + 400 x 400 / 900 / 4
    EXPECT_EQ(d.flags, 32);
}

// Space (3, no outline), A (36), Aacute (131: A and Acute 5923) and DŽ (390: Zcaron 319, itself
// Z 61 and Caron 5927, and D 39), as fontTools 4.38 lists their components. Their data, each
// padded to four bytes, come to 1040 bytes: 68, 0, 252, 128, 192, 24, 24, 24, 156, 172.
TEST(TrueTypeFont, SubsetOfDejaVuSansKeepsTheGlyphsAskedWhatTheyAreMadeOfAndGlyphZero)
{
    const Tables tables = dejaVuSans();
    const auto font = load(tables, "DejaVuSans");
    ASSERT_TRUE(font);
    const std::string program = font->subset(asked({3, 36, 131, 390}, font->glyphCount()));
    expectSubset(tables, program, {0, 3, 36, 39, 61, 131, 319, 390, 5923, 5927});
    EXPECT_EQ(directory(program).at("glyf").size(), 1040u);
}

TEST(TrueTypeFont, ReadsTheSmallFontsMetricsAndDescriptor)
{
    Tables tables = tinyFont();
    const auto plain = load(tables);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->unitsPerEm(), 2048);
    EXPECT_EQ(plain->glyphCount(), 13);
    const int advances[] = {1229, 1540, 651, 569, 1024, 1540, 100, 200, 300, 1540, 777, 777, 777};
    for (uint16_t g = 0; g < 13; ++g)
        EXPECT_EQ(plain->advance(g), advances[g]) << g;
    EXPECT_EQ(plain->advance(100), 777);
    // No post: an underline 1/14 em thick, 1/10 em below the baseline. No OS/2: the cap height
    // is the ascent, the weight 400.
    EXPECT_EQ(plain->underlineThickness(), 146);
    EXPECT_EQ(plain->underlinePosition(), -204);
    EXPECT_DOUBLE_EQ(plain->descriptor().ascent, 878.90625); // 1800 x 1000 / 2048
    EXPECT_DOUBLE_EQ(plain->descriptor().descent, -195.3125);
    EXPECT_DOUBLE_EQ(plain->descriptor().capHeight, 878.90625);
    EXPECT_DOUBLE_EQ(plain->descriptor().bbox[0], -48.828125);
    EXPECT_DOUBLE_EQ(plain->descriptor().bbox[3], 927.734375);
    EXPECT_EQ(plain->descriptor().flags, 32);

    // post: italic angle -12.5 (0xFFF3.8000), underline at -150, 100 thick, fixed pitch.
    std::string &post = tables["post"] = std::string(32, '\0');
    for (const auto &[at, v] : std::map<size_t, int>{{4, 0xFFF3}, {6, 0x8000}, {8, -150}, {10, 100}, {14, 1}})
        set16(post, at, v);
    // OS/2 version 2: weight 700, cap height 1434.
    std::string &os2 = tables["OS/2"] = std::string(96, '\0');
    for (const auto &[at, v] : std::map<size_t, int>{{0, 2}, {4, 700}, {88, 1434}})
        set16(os2, at, v);
    const auto styled = load(tables);
    ASSERT_TRUE(styled);
    EXPECT_EQ(styled->underlinePosition(), -150);
    EXPECT_EQ(styled->underlineThickness(), 100);
    EXPECT_DOUBLE_EQ(styled->descriptor().italicAngle, -12.5);
    EXPECT_DOUBLE_EQ(styled->descriptor().capHeight, 700.1953125);
    EXPECT_NEAR(styled->descriptor().stemV, 186.1111111, 1e-6); // 50 + 700 x 700 / 900 / 4
    EXPECT_EQ(styled->descriptor().flags, 32 | 1 | 64);         // nonsymbolic, fixed pitch, italic

    // OS/2 version 1 has no cap height, even in a table long enough for one.
    set16(os2, 0, 1);
    const auto version1 = load(tables);
    ASSERT_TRUE(version1);
    EXPECT_DOUBLE_EQ(version1->descriptor().capHeight, 878.90625);
}

// Glyph 5's components carry every kind of arguments and transform, each followed by one more
// component, so stepping over one wrongly keeps glyph 10 or loses the components after.
TEST(TrueTypeFont, SubsetFollowsCompositeGlyphsThroughEveryKindOfComponent)
{
    const Tables tables = tinyFont();
    const auto font = load(tables);
    ASSERT_TRUE(font);
    expectSubset(tables, font->subset(asked({})), {0});
    expectSubset(tables, font->subset(asked({2, 3})), {0, 2, 3});
    expectSubset(tables, font->subset(asked({5})), {0, 1, 3, 4, 5, 7, 8});
    expectSubset(tables, font->subset(asked({9})), {0, 1, 3, 4, 5, 7, 8, 9});
    // A glyph number past the font's end is no glyph at all.
    expectSubset(tables, font->subset(asked({1, 10, 40}, 41)), {0, 1, 10});
}

TEST(TrueTypeFont, DamagedGlyphsEndTheirSubsetCleanly)
{
    const Tables tables = tinyFont();
    const auto font = load(tables);
    ASSERT_TRUE(font);
    expectSubset(tables, font->subset(asked({6})), {0, 6});       // made of itself
    expectSubset(tables, font->subset(asked({11})), {0, 10, 11}); // glyph 300, then 10
    expectSubset(tables, font->subset(asked({12})), {0, 3, 12});  // "more" with none left

    // glyf cut 20 bytes into glyph 11, after its second component's number (10): 11 and 12 run
    // past its end, so they come out empty and what they are made of is not read.
    Tables cut = tables;
    cut["glyf"].resize(get16(cut["loca"], 11 * 2) * 2u + 20);
    const auto cutFont = load(cut);
    ASSERT_TRUE(cutFont);
    EXPECT_EQ(glyph(cut, 11), "");
    expectSubset(cut, cutFont->subset(asked({11, 12})), {0, 11, 12});

    // loca going back: glyph 1 ends before it starts and comes out empty; glyph 5, made of it,
    // keeps its other components.
    Tables back = tables;
    set16(back["loca"], 2 * 2, 2);
    const auto backFont = load(back);
    ASSERT_TRUE(backFont);
    EXPECT_EQ(glyph(back, 1), "");
    expectSubset(back, backFont->subset(asked({5})), {0, 1, 3, 4, 5, 7, 8});
}

TEST(TrueTypeFont, DamagedTablesGiveNoFontAndTheirLimitsStillLoad)
{
    const auto damaged = [](const std::function<void(Tables &)> &change) {
        Tables t = tinyFont();
        change(t);
        return load(t);
    };
    for (const char *tag : {"head", "hhea", "maxp", "hmtx", "loca", "glyf"})
        EXPECT_FALSE(damaged([&](Tables &t) { t.erase(tag); })) << "without " << tag;
    EXPECT_FALSE(damaged([](Tables &t) { t["head"].resize(53); }));
    EXPECT_FALSE(damaged([](Tables &t) { t["hhea"].resize(35); }));
    EXPECT_FALSE(damaged([](Tables &t) { t["maxp"].resize(5); }));
    EXPECT_FALSE(damaged([](Tables &t) { set16(t["head"], 18, 15); })); // unitsPerEm
    EXPECT_FALSE(damaged([](Tables &t) { set16(t["maxp"], 4, 0); }));   // no glyphs
    EXPECT_FALSE(damaged([](Tables &t) { set16(t["hhea"], 34, 0); }));  // no long metrics
    EXPECT_FALSE(damaged([](Tables &t) { set16(t["hhea"], 34, 13); })); // 13 x 4 > 48 bytes
    EXPECT_FALSE(damaged([](Tables &t) { t["hmtx"].resize(43); }));     // 11 long metrics
    EXPECT_FALSE(damaged([](Tables &t) { t["loca"].resize(27); }));     // 14 short offsets
    EXPECT_FALSE(damaged([](Tables &t) { set16(t["head"], 50, 1); }));  // 14 long offsets

    const auto small = damaged([](Tables &t) { set16(t["head"], 18, 16); });
    ASSERT_TRUE(small);
    EXPECT_DOUBLE_EQ(small->descriptor().ascent, 112500); // 1800 x 1000 / 16
    // The long metrics without the last glyphs' side bearings.
    const auto shortHmtx = damaged([](Tables &t) { t["hmtx"].resize(44); });
    ASSERT_TRUE(shortHmtx);
    EXPECT_EQ(shortHmtx->advance(12), 777);
}
