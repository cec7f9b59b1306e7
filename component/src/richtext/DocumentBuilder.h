// What a format reader tells the document it builds: runs of text with their character
// format, paragraph ends with their paragraph format, breaks, table cells and rows, pictures.
// The RTF reader emits to it; the rich-text control's builder makes its document from it.
#pragma once

#include <corvane/UString.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct CharFormat {
    UString fontName;          // empty: the document's default
    double pointSize = 12;
    bool bold = false, italic = false, underline = false, strike = false;
    bool hidden = false;       // hidden text: never shown or printed
    int verticalAlign = 0;     // 1 superscript, -1 subscript
    std::optional<uint32_t> color, background; // 0xRRGGBB
    bool operator==(const CharFormat &) const = default;
};

struct TabStop {
    enum class Kind { Left, Center, Right, Decimal };
    int32_t position = 0; // twips from the left indent
    Kind kind = Kind::Left;
    bool operator==(const TabStop &) const = default;
};

struct ParaFormat {
    enum class Align { Left, Center, Right, Justify };
    Align align = Align::Left;
    int32_t leftIndent = 0, rightIndent = 0, firstIndent = 0; // twips
    int32_t spaceBefore = 0, spaceAfter = 0;                   // twips
    int32_t lineSpacing = 0;   // twips; 0 automatic, negative exact
    bool lineSpacingMultiple = false;
    std::vector<TabStop> tabs;
    bool operator==(const ParaFormat &) const = default;
};

class DocumentBuilder {
public:
    virtual ~DocumentBuilder() = default;
    virtual void text(std::u16string_view text, const CharFormat &format) = 0;
    virtual void lineBreak(const CharFormat &format) = 0;
    virtual void paragraphEnd(const ParaFormat &format, const CharFormat &mark) = 0;
    virtual void pageBreak() = 0;
    // The end of the input: the paragraph still open (text after the last paragraph end, or
    // none) takes this format.
    virtual void documentEnd(const ParaFormat &format) = 0;
    // A table row with cells ending at these positions (twips from the left) starts; the
    // paragraphs that follow until cellEnd belong to its first cell, and so on.
    virtual void tableRowStart(const std::vector<int32_t> &cellEdges) = 0;
    virtual void tableCellEnd(const ParaFormat &format, const CharFormat &mark) = 0;
    virtual void tableRowEnd() = 0;
    // An image: "png" or "jpeg" bytes, or "other" for a kind not read (a metafile, a device-
    // independent bitmap), shown at this size in twips (0: its own size).
    virtual void picture(const std::string &type, const std::string &bytes, int32_t width,
                         int32_t height) = 0;
    // The distance of the default tab stops, in twips (720 when the document names none).
    virtual void defaultTab(int32_t twips) { (void)twips; }
};

} // namespace corvane
