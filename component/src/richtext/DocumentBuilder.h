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
    UString fontName; // empty: the document's default
    double pointSize = 12;
    bool bold = false, italic = false, underline = false, strike = false;
    enum class Underline : uint8_t { Single, Double, Words };
    Underline underlineStyle = Underline::Single; // how an underline is drawn
    bool caps = false, smallCaps = false;         // letters shown as capitals, or small ones
    int32_t spacing = 0;                          // twips added after each character
    bool hidden = false;                          // hidden text: never shown or printed
    int verticalAlign = 0;                        // 1 superscript, -1 subscript
    std::optional<uint32_t> color, background;    // 0xRRGGBB
    bool operator==(const CharFormat &) const = default;
};

struct TabStop {
    enum class Kind { Left, Center, Right, Decimal };
    int32_t position = 0; // twips from the left margin
    Kind kind = Kind::Left;
    char16_t leader = 0; // the character that fills the space before the stop, or none
    bool operator==(const TabStop &) const = default;
};

struct ParaFormat {
    enum class Align { Left, Center, Right, Justify };
    Align align = Align::Left;
    int32_t leftIndent = 0, rightIndent = 0, firstIndent = 0; // twips
    int32_t spaceBefore = 0, spaceAfter = 0;                  // twips
    int32_t lineSpacing = 0;                                  // twips; 0 automatic, negative exact
    bool lineSpacingMultiple = false;
    std::vector<TabStop> tabs;
    bool pageBreakBefore = false;    // the paragraph starts a page
    std::optional<uint32_t> shading; // the paragraph's background, 0xRRGGBB
    std::optional<bool> rightToLeft; // its direction; none: its text's
    bool operator==(const ParaFormat &) const = default;
};

// A line on one side of a table cell.
struct Border {
    enum class Style { None, Single, Double, Dotted, Dashed };
    Style style = Style::None;
    int32_t width = 0;             // twips, of each line of a double border
    std::optional<uint32_t> color; // 0xRRGGBB; none: black
    bool operator==(const Border &) const = default;
};

struct TableCell {
    int32_t right = 0; // twips from the left margin, as \cellx gives it
    Border top, left, bottom, rightBorder;
    std::optional<uint32_t> shading; // the cell's background, 0xRRGGBB
    enum class Merge { None, First, Continued };
    Merge across = Merge::None;          // with the cells beside it in the row
    Merge down = Merge::None;            // with the cells above and below it
    int32_t padLeft = -1, padRight = -1; // twips between the cell's edges and its text; -1 the row's
    int32_t padTop = -1, padBottom = -1;
    bool operator==(const TableCell &) const = default;
};

struct TableRow {
    std::vector<TableCell> cells;
    int32_t left = 0;                    // the row's left edge (\trleft), twips from the left margin
    int32_t gap = -1;                    // half the space between cells' text (\trgaph); -1 not given
    int32_t padLeft = -1, padRight = -1; // the cells' padding (\trpaddl, \trpaddr); -1 not given
    int32_t padTop = -1, padBottom = -1; // (\trpaddt, \trpaddb)
    bool header = false;                 // repeated at the top of each page the table continues on
    bool keep = false;                   // not broken across pages
    bool operator==(const TableRow &) const = default;
};

// How the pages are framed: where headers and footers stand, and which of them a page takes.
struct PageFrame {
    int32_t headerY = 720, footerY = 720; // twips from the sheet's top to the header, and from its
                                          // bottom to the footer's last line
    bool titlePage = false;               // the first page takes the first-page header and footer
    bool facing = false;                  // even pages take the left ones, odd pages the right ones
    bool operator==(const PageFrame &) const = default;
};

// How a section sets its text: in columns side by side, the space between them, and whether a
// line is drawn in that space; and whether its pages are landscape (none: the document does not
// say).
struct SectionFormat {
    int32_t columns = 1;
    int32_t columnGap = 720; // twips
    bool columnRule = false;
    std::optional<bool> landscape;
    bool operator==(const SectionFormat &) const = default;
};

// A header or a footer, and the pages that take it.
enum class PagePart { Header, HeaderLeft, HeaderRight, HeaderFirst, Footer, FooterLeft, FooterRight, FooterFirst };

// A picture or a text box that stands beside the text of the paragraph it is anchored in,
// where the document places it.
struct Shape {
    int32_t left = 0, top = 0, right = 0, bottom = 0; // twips
    enum class From { Margin, Page, Column };
    From from = From::Column; // what left and right are measured from
    enum class Align { Position, Left, Center, Right };
    Align align = Align::Position; // Position: where left and right say
    bool operator==(const Shape &) const = default;
};

class DocumentBuilder {
public:
    virtual ~DocumentBuilder() = default;
    virtual void text(std::u16string_view text, const CharFormat &format) = 0;
    virtual void lineBreak(const CharFormat &format) = 0;
    virtual void paragraphEnd(const ParaFormat &format, const CharFormat &mark) = 0;
    // A page break; `paragraph` is the format of the paragraph it is in, which the text before
    // it in that paragraph keeps.
    virtual void pageBreak(const ParaFormat &paragraph) = 0;
    // The text goes on at the top of the next column (of the next page after the last one).
    virtual void columnBreak(const ParaFormat &paragraph) { pageBreak(paragraph); }
    // The paragraphs from here on are set as this section says (told where a section's text
    // starts, when its format differs from the one before).
    virtual void sectionFormat(const SectionFormat &format) { (void)format; }
    // The end of the input: the paragraph still open (text after the last paragraph end, or
    // none) takes this format.
    virtual void documentEnd(const ParaFormat &format) = 0;
    // A table row starts; the paragraphs that follow until cellEnd belong to its first cell,
    // and so on.
    virtual void tableRowStart(const TableRow &row) = 0;
    virtual void tableCellEnd(const ParaFormat &format, const CharFormat &mark) = 0;
    virtual void tableRowEnd() = 0;
    // An image: "png", "jpeg" or "bmp" bytes, "wmf" (a metafile from its header on, without
    // the placeable header) or "emf", or "other" for a kind not read (Macintosh and OS/2
    // pictures), shown at this size in twips (0: its own size).
    virtual void picture(const std::string &type, const std::string &bytes, int32_t width, int32_t height) = 0;
    // A shape: what comes until shapeEnd (a picture, or the paragraphs of a text box) is its
    // content, set beside the paragraph being built.
    virtual void shapeStart(const Shape &shape) { (void)shape; }
    virtual void shapeEnd() {}
    // The distance of the default tab stops, in twips (720 when the document names none).
    virtual void defaultTab(int32_t twips) { (void)twips; }
    // A note's text follows, up to noteEnd (whose format is that of its last paragraph, still
    // open): a footnote, printed at the foot of the page where the text before it is, or an
    // endnote, printed after the document's text.
    virtual void noteStart(bool endnote) { (void)endnote; }
    virtual void noteEnd(const ParaFormat &format) { (void)format; }
    // The text of a header or footer follows, up to pagePartEnd.
    virtual void pagePartStart(PagePart part) { (void)part; }
    virtual void pagePartEnd(const ParaFormat &format) { (void)format; }
    // The number of the page it is printed on (or, total, the number of pages).
    virtual void pageNumber(bool total, const CharFormat &format) { (void)total, (void)format; }
    // Where headers and footers go, told before documentEnd.
    virtual void pageFrame(const PageFrame &frame) { (void)frame; }
};

} // namespace corvane
