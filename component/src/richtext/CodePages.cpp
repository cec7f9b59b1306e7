#include "CodePages.h"

#include "ByteConverter.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace corvane {

namespace {

// Whether a byte starts a two-byte character in a double-byte code page; 0 for a single-byte
// code page.
bool isLeadByte(int codePage, unsigned char b)
{
    switch (codePage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950: return b >= 0x81 && b <= 0xFE;
    case 1361: return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) || (b >= 0xE0 && b <= 0xF9);
    default: return false;
    }
}

bool isDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

// How many bytes the character a byte starts has in a code page: 2 for a lead byte of a
// double-byte page, 2 to 4 for the first byte of a UTF-8 sequence, else 1.
size_t sequenceLength(int codePage, unsigned char b)
{
    if (codePage == 65001)
        return b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 1;
    return isLeadByte(codePage, b) ? 2 : 1;
}

// The Windows code page whose converter reads a Macintosh one: the Japanese, Chinese and
// Korean Macintosh pages are the Windows ones but for a few characters of their own.
int readAs(int codePage)
{
    switch (codePage) {
    case 10001: return 932;
    case 10002: return 950;
    case 10003: return 949;
    case 10008: return 936;
    default: return codePage;
    }
}

// The Symbol font's characters that have their own code points; its other bytes read as
// themselves.
char16_t symbolCharacter(unsigned char b)
{
    static constexpr char16_t greekUpper[26] = {0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399,
                                                0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1,
                                                0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396};
    static constexpr char16_t greekLower[26] = {0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9,
                                                0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1,
                                                0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6};
    if (b >= 'A' && b <= 'Z')
        return greekUpper[b - 'A'];
    if (b >= 'a' && b <= 'z')
        return greekLower[b - 'a'];
    switch (b) {
    case 0x22: return 0x2200;
    case 0x24: return 0x2203;
    case 0x27: return 0x220B;
    case 0x2A: return 0x2217;
    case 0x2D: return 0x2212;
    case 0x40: return 0x2245;
    case 0x5C: return 0x2234;
    case 0x5E: return 0x22A5;
    case 0xA1: return 0x03D2;
    case 0xA2: return 0x2032;
    case 0xA3: return 0x2264;
    case 0xA4: return 0x2044;
    case 0xA5: return 0x221E;
    case 0xA6: return 0x0192;
    case 0xA7: return 0x2663;
    case 0xA8: return 0x2666;
    case 0xA9: return 0x2665;
    case 0xAA: return 0x2660;
    case 0xAB: return 0x2194;
    case 0xAC: return 0x2190;
    case 0xAD: return 0x2191;
    case 0xAE: return 0x2192;
    case 0xAF: return 0x2193;
    case 0xB0: return 0x00B0;
    case 0xB1: return 0x00B1;
    case 0xB2: return 0x2033;
    case 0xB3: return 0x2265;
    case 0xB4: return 0x00D7;
    case 0xB5: return 0x221D;
    case 0xB6: return 0x2202;
    case 0xB7: return 0x2022;
    case 0xB8: return 0x00F7;
    case 0xB9: return 0x2260;
    case 0xBA: return 0x2261;
    case 0xBB: return 0x2248;
    case 0xBC: return 0x2026;
    case 0xC0: return 0x2135;
    case 0xC1: return 0x2111;
    case 0xC2: return 0x211C;
    case 0xC3: return 0x2118;
    case 0xC4: return 0x2297;
    case 0xC5: return 0x2295;
    case 0xC6: return 0x2205;
    case 0xC7: return 0x2229;
    case 0xC8: return 0x222A;
    case 0xC9: return 0x2283;
    case 0xCA: return 0x2287;
    case 0xCB: return 0x2284;
    case 0xCC: return 0x2282;
    case 0xCD: return 0x2286;
    case 0xCE: return 0x2208;
    case 0xCF: return 0x2209;
    case 0xD0: return 0x2220;
    case 0xD1: return 0x2207;
    case 0xD2: return 0x00AE;
    case 0xD3: return 0x00A9;
    case 0xD4: return 0x2122;
    case 0xD5: return 0x220F;
    case 0xD6: return 0x221A;
    case 0xD7: return 0x22C5;
    case 0xD8: return 0x00AC;
    case 0xD9: return 0x2227;
    case 0xDA: return 0x2228;
    case 0xDB: return 0x21D4;
    case 0xDC: return 0x21D0;
    case 0xDD: return 0x21D1;
    case 0xDE: return 0x21D2;
    case 0xDF: return 0x21D3;
    case 0xE0: return 0x25CA;
    case 0xE1: return 0x2329;
    case 0xE5: return 0x2211;
    case 0xF1: return 0x232A;
    case 0xF2: return 0x222B;
    default: return b;
    }
}

// The bullets and marks of the Wingdings font that lists use; its other bytes read as
// themselves.
char32_t wingdingsCharacter(unsigned char b)
{
    switch (b) {
    case 0x4A: return 0x263A;  // the faces: smiling,
    case 0x4B: return 0x1F610; // neutral
    case 0x4C: return 0x2639;  // and frowning
    case 0x6C: return 0x25CF;
    case 0x6D: return 0x274D;
    case 0x6E: return 0x25A0;
    case 0x6F: return 0x25A1;
    case 0x70: return 0x25FB;
    case 0x71: return 0x2751;
    case 0x72: return 0x2752;
    case 0x73: return 0x2B27;
    case 0x74: return 0x29EB;
    case 0x75: return 0x25C6;
    case 0x76: return 0x2756;
    case 0x77: return 0x2B25;
    case 0x9F: return 0x2022;
    case 0xA1: return 0x25CB;
    case 0xA7: return 0x25AA;
    case 0xA8: return 0x25FB;
    case 0xD8: return 0x27A2;
    case 0xE0: return 0x2794;
    case 0xE8: return 0x2794;
    case 0xEF: return 0x21E6;
    case 0xF0: return 0x21E8;
    case 0xFB: return 0x2717;
    case 0xFC: return 0x2713;
    case 0xFD: return 0x2612;
    case 0xFE: return 0x2611;
    default: return b;
    }
}

} // namespace

struct CodePageDecoder::Converter {
    std::unique_ptr<ByteConverter> bytes;
    bool multiByte = false;                       // characters of more than one byte: double-byte pages, UTF-8
    char32_t (*symbols)(unsigned char) = nullptr; // a symbol font's own encoding
    std::array<char16_t, 128> upper{};            // single-byte pages: the upper half, decoded once
    int convert(const unsigned char *input, size_t length, char16_t out[2])
    {
        return bytes->convert(input, length, out);
    }
};

CodePageDecoder::CodePageDecoder() = default;
CodePageDecoder::~CodePageDecoder() = default;

CodePageDecoder::Converter *CodePageDecoder::converter(int codePage)
{
    if (codePage == m_lastCodePage)
        return m_last;
    auto found = m_converters.find(codePage);
    if (found == m_converters.end()) {
        auto made = std::make_unique<Converter>();
        if (codePage == kSymbolCodePage) {
            made->symbols = [](unsigned char b) -> char32_t { return symbolCharacter(b); };
        } else if (codePage == kWingdingsCodePage) {
            made->symbols = wingdingsCharacter;
        } else if (codePage <= 0) {
            made.reset();
        } else {
            made->bytes = ByteConverter::open(codePage);
            if (!made->bytes) {
                made.reset(); // not known
            } else {
                made->multiByte = isDoubleByte(codePage) || codePage == 65001;
                for (int b = 0x80; b < 0x100; ++b) {
                    const unsigned char byte = static_cast<unsigned char>(b);
                    char16_t out[2];
                    // A byte a page leaves undefined reads as itself.
                    made->upper[b - 0x80] = made->convert(&byte, 1, out) == 1 ? out[0] : static_cast<char16_t>(b);
                }
            }
        }
        found = m_converters.emplace(codePage, std::move(made)).first;
    }
    m_lastCodePage = codePage;
    m_last = found->second.get();
    return m_last;
}

bool CodePageDecoder::known(int codePage) { return converter(readAs(codePage)) != nullptr; }

int CodePageDecoder::decodeSingle(Converter &page, unsigned char byte, char16_t out[3])
{
    if (page.symbols) {
        const char32_t c = page.symbols(byte);
        if (c < 0x10000) {
            out[0] = static_cast<char16_t>(c);
            return 1;
        }
        out[0] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        out[1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        return 2;
    }
    out[0] = byte < 0x80 ? byte : page.upper[byte - 0x80];
    return 1;
}

int CodePageDecoder::decode(int codePage, unsigned char byte, char16_t out[3])
{
    codePage = readAs(codePage);
    Converter *page = converter(codePage);
    if (!page) {
        codePage = 1252;
        page = converter(1252);
    }
    int count = 0;
    if (!m_pending.empty()) {
        // The next byte of a character begun: a double-byte page takes any trail byte its
        // converter reads, UTF-8 only 0x80-0xBF.
        Converter *pendingPage = converter(m_pendingCodePage);
        const bool fits = pendingPage && codePage == m_pendingCodePage
                       && (m_pendingCodePage != 65001 || (byte >= 0x80 && byte <= 0xBF));
        if (fits) {
            m_pending.push_back(static_cast<char>(byte));
            if (m_pending.size() < m_needed)
                return 0;
            const std::string sequence = std::move(m_pending);
            m_pending.clear();
            const int units = pendingPage->convert(reinterpret_cast<const unsigned char *>(sequence.data()),
                                                   sequence.size(), out);
            if (units > 0)
                return units;
            if (m_pendingCodePage == 65001) {
                out[0] = u'\uFFFD';
                return 1;
            }
        } else {
            m_pending.clear();
        }
        // Not a character: what was begun is lost, the byte is read anew.
        out[0] = u'\uFFFD';
        count = 1;
    }
    if (page->multiByte) {
        const size_t length = sequenceLength(codePage, byte);
        if (length > 1) {
            m_pending.assign(1, static_cast<char>(byte));
            m_pendingCodePage = codePage;
            m_needed = length;
            return count;
        }
        if (byte >= 0x80) {
            // A single byte of a double-byte page (half-width katakana, say); in UTF-8, no
            // character.
            char16_t single[2];
            out[count] = codePage != 65001 && page->convert(&byte, 1, single) == 1 ? single[0] : u'\uFFFD';
            return count + 1;
        }
    }
    return count + decodeSingle(*page, byte, out + count);
}

bool CodePageDecoder::dropLead(char16_t &out)
{
    if (m_pending.empty())
        return false;
    m_pending.clear();
    out = u'\uFFFD';
    return true;
}

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0: return 1252; // ANSI
    case 2: return kSymbolCodePage;
    case 77: return 10000; // Mac Roman
    case 78: return 10001; // Mac Japanese
    case 79: return 10003; // Mac Korean
    case 80: return 10008; // Mac Simplified Chinese
    case 81: return 10002; // Mac Traditional Chinese
    case 85: return 10006; // Mac Greek
    case 86: return 10081; // Mac Turkish
    case 88: return 10029; // Mac Central European
    case 89: return 10007; // Mac Cyrillic
    case 128: return 932;  // Japanese (Shift JIS)
    case 129: return 949;  // Korean (Wansung)
    case 130: return 1361; // Korean (Johab)
    case 134: return 936;  // Simplified Chinese (GBK)
    case 136: return 950;  // Traditional Chinese (Big5)
    case 161: return 1253; // Greek
    case 162: return 1254; // Turkish
    case 163: return 1258; // Vietnamese
    case 177: return 1255; // Hebrew
    case 178: return 1256; // Arabic
    case 186: return 1257; // Baltic
    case 204: return 1251; // Cyrillic
    case 222: return 874;  // Thai
    case 238: return 1250; // Eastern European
    case 255: return 437;  // OEM
    default: return 0;     // the document's code page
    }
}

int symbolFontCodePage(std::u16string_view font)
{
    // The name in any case, compared without making a copy of it.
    const auto named = [font](std::string_view name) {
        return font.size() == name.size()
            && std::equal(font.begin(), font.end(), name.begin(),
                          [](char16_t letter, char lower) { return letter < 0x80 && std::tolower(letter) == lower; });
    };
    return named("symbol") ? kSymbolCodePage : named("wingdings") ? kWingdingsCodePage : 0;
}

char32_t symbolFontCharacter(std::u16string_view font, char16_t c)
{
    if (c < 0x20 || (c > 0xFF && (c < 0xF020 || c > 0xF0FF)))
        return c;
    const auto byte = static_cast<unsigned char>(c & 0xFF);
    switch (symbolFontCodePage(font)) {
    case kSymbolCodePage: return symbolCharacter(byte);
    case kWingdingsCodePage: return wingdingsCharacter(byte);
    default: return c;
    }
}

} // namespace corvane
