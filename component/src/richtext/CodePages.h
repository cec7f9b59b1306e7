// The code pages RTF text is written in: single-byte Windows and Mac pages, the double-byte
// Asian ones (a lead byte and a trail byte per character) and the Symbol font's encoding.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace corvane {

// The code page of text in a symbol font (\fcharset2): its bytes stand for the font's symbols.
constexpr int kSymbolCodePage = 42;
// The code page of text in the Wingdings font, whose bullets have code points of their own.
constexpr int kWingdingsCodePage = 43;

// The code page of an RTF \fcharset value, or 0 for "the document's".
int codePageOfCharset(int charset);

// Turns bytes in code pages into UTF-16 with the C library's converter. A decoder holds the
// lead byte of a double-byte character until its trail byte comes; one decoder per reader.
class CodePageDecoder {
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder &) = delete;
    CodePageDecoder &operator=(const CodePageDecoder &) = delete;

    // Whether text in this code page can be decoded.
    bool known(int codePage);
    // One byte in a code page (an unknown one reads as 1252): the code units it completes go to
    // out, and their number is returned; 0 for a lead byte, which waits for its trail. A byte
    // that cannot follow a waiting lead byte is read on its own after the lead byte's U+FFFD.
    int decode(int codePage, unsigned char byte, char16_t out[3]);
    // A lead byte still waiting when something else than a byte comes: U+FFFD, and true; false
    // when none waits.
    bool dropLead(char16_t &out);
    bool leadWaiting() const { return !m_pending.empty(); }

private:
    struct Converter;
    Converter *converter(int codePage);
    int decodeSingle(Converter &page, unsigned char byte, char16_t out[3]);

    std::map<int, std::unique_ptr<Converter>> m_converters;
    int m_lastCodePage = -1;
    Converter *m_last = nullptr;
    // The bytes of a character begun (a lead byte, the start of a UTF-8 sequence), its code
    // page and how many bytes it has.
    std::string m_pending;
    int m_pendingCodePage = 0;
    size_t m_needed = 0;
};

// kSymbolCodePage or kWingdingsCodePage for a font named Symbol or Wingdings (in any case), else 0.
int symbolFontCodePage(std::u16string_view font);

// A character of text set in a font named `font`: in Symbol or Wingdings, the symbol its byte (or
// its private code point U+F020..U+F0FF) stands for; otherwise the character itself.
char32_t symbolFontCharacter(std::u16string_view font, char16_t c);

} // namespace corvane
