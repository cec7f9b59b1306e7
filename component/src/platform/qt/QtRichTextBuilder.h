// The document builder on Qt: what the RTF reader emits (text runs, paragraphs, tables, pictures)
// made into a QTextDocument, with the faces a document names printed in fonts this system has.
// Its tables and pictures are in QtRichTextTables.cpp and QtRichTextPictures.cpp.
#pragma once

#include <corvane/RtfDocuments.h>

#include "richtext/DocumentBuilder.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTextTable;

namespace corvane::qt {

// The character format property that keeps the face a document names when another font stands
// in for it, so that the document is written back with its own names.
constexpr int kDocumentFaceProperty = QTextFormat::UserProperty + 1;
// The block format property that keeps a paragraph's tab stops as its document names them
// ("r1440 c2880 720"): the layout's are measured from where the line starts.
constexpr int kDocumentTabsProperty = QTextFormat::UserProperty + 2;
// The block format property that lists the layout's tab stops with their leaders ("96:. 180:"
// for a stop with dots and one without).
constexpr int kTabLeadersProperty = QTextFormat::UserProperty + 3;
// The character format property of a page number in a header or footer: 1 the page's number,
// 2 the number of pages.
constexpr int kPageNumberProperty = QTextFormat::UserProperty + 4;

// A document's footnotes, headers and footers are documents of their own, children of its
// QTextDocument under these names; a footnote's "anchor" property is the position in the text
// where its page is decided. The document's "headerY", "footerY", "titlePage" and "facing"
// properties place headers and footers; its "endnotes" property is the position where the
// endnotes start, on pages without headers or footers.
inline constexpr char kFootnoteName[] = "footnote";
inline constexpr char kPagePartName[] = "pagepart"; // its "part" property: a PagePart
// The character format property of text underlined twice: the layout draws the first line.
constexpr int kDoubleUnderlineProperty = QTextFormat::UserProperty + 6;
// The document's property that says some of its text is underlined twice.
constexpr const char *kDoubleUnderlinesProperty = "corvaneDoubleUnderlines";
// The frame format property of a shape's frame: where its document places it, in twips
// ("left top right bottom from align", as Shape holds them), for pagination to float it.
constexpr int kShapeProperty = QTextFormat::UserProperty + 5;
// The block format property of a paragraph of a section in columns or on landscape pages:
// "columns gap rule landscape", the gap in twips, rule 1 when a line stands between the
// columns, landscape 1 when its pages are.
constexpr int kSectionProperty = QTextFormat::UserProperty + 7;
// The block format property of a paragraph that starts a page, not only a column.
constexpr int kPageStartProperty = QTextFormat::UserProperty + 8;
// The block format property that keeps a paragraph's own right indent (in the text engine's
// units) while pagination narrows it to its column.
constexpr int kOwnRightMarginProperty = QTextFormat::UserProperty + 9;
// The block format property of a paragraph that starts a section in other columns which
// continues the page: its columns stand below the text above them, when they fit there.
constexpr int kBandStartProperty = QTextFormat::UserProperty + 10;
// The block format property that keeps a paragraph's line spacing as a multiple of its fonts'
// (100 for single spacing) while the layout's line distance stands in for it.
constexpr int kLineSpacingProperty = QTextFormat::UserProperty + 11;
// The document's property that says some of its text is set in columns or on landscape pages.
constexpr const char *kSectionsDocumentProperty = "corvaneSections";
// The document's property that says some sections' columns continue a page.
constexpr const char *kBandsDocumentProperty = "corvaneBands";
// The document's property that says some of its pages are landscape.
constexpr const char *kLandscapeDocumentProperty = "corvaneLandscape";

// The font that prints a face a document names: the face itself when it is installed, else a
// font made to its measures (Carlito for Calibri, say), else the name as it stands.
QString documentFace(const QString &name);

// Builds a QTextDocument from what a reader emits.
class QtDocumentBuilder final : public DocumentBuilder {
public:
    explicit QtDocumentBuilder(QTextDocument &document);
    ~QtDocumentBuilder() override;

    void text(std::u16string_view text, const CharFormat &format) override;
    void lineBreak(const CharFormat &format) override;
    void paragraphEnd(const ParaFormat &format, const CharFormat &mark) override;
    void pageBreak(const ParaFormat &paragraph) override;
    void columnBreak(const ParaFormat &paragraph) override;
    void sectionFormat(const SectionFormat &format) override;
    void documentEnd(const ParaFormat &format) override;
    void tableRowStart(const TableRow &row) override;
    void tableCellEnd(const ParaFormat &format, const CharFormat &mark) override;
    void tableRowEnd() override;
    void defaultTab(int32_t twips) override;
    void picture(const std::string &type, const std::string &bytes, int32_t width, int32_t height) override;
    void noteStart(bool endnote) override;
    void noteEnd(const ParaFormat &format) override;
    void pagePartStart(PagePart part) override;
    void pagePartEnd(const ParaFormat &format) override;
    void pageNumber(bool total, const CharFormat &format) override;
    void pageFrame(const PageFrame &frame) override;
    void shapeStart(const Shape &shape) override;
    void shapeEnd() override;

private:
    QTextDocument *partDocument(const char *name);
    void endPart(const ParaFormat &format);
    void applyBlockFormat(const ParaFormat &format);
    // Marks a paragraph or table with the section's columns and turn, when it has either.
    void setSection(QTextFormat &format) const;
    void metafile(const std::string &type, const QByteArray &data, int32_t width, int32_t height);
    // An image put into the document at its size in twips, under the name it returns; a name
    // already there shown again.
    // A picture decoded from a JPEG file keeps the file, for PDFs to hold as it is.
    QString insertImage(const QImage &image, double wide, double high, const QByteArray &jpeg = {});
    void insertImageNamed(const QString &name, double wide, double high);
    void holdPicture(qint64 bytes); // counts a decoded picture into the budget, or ends the job
    void enterCell();
    void insertText(const QString &text, const CharFormat &format);
    void endTable();

    // The table being built: the row last started (as the document gives it), the row before
    // it in the same table, and where each column's downward merge started (-1: none).
    TableRow m_rowDef, m_rowAbove;
    bool m_hasRowAbove = false;
    std::vector<int> m_downStart;
    int m_headerRows = 0;
    int32_t m_defaultTab = 720;         // twips between the default tab stops
    QTextTable *m_tableAbove = nullptr; // the table right above the paragraph being built

    QTextDocument &m_document;
    QTextCursor m_cursor;
    // The note, header or footer being built, and the endnotes, printed after the text.
    std::unique_ptr<QtDocumentBuilder> m_part;
    QTextDocument *m_partDocument = nullptr;
    bool m_partIsEndnote = false;
    std::vector<QTextDocument *> m_endnotes;
    bool m_pageBreakNext = false;
    bool m_pageStartNext = false; // the break before the next paragraph starts a page
    bool m_bandStartNext = false; // the next paragraph starts columns below the text above
    SectionFormat m_section;
    QTextTable *m_table = nullptr;
    bool m_tableContinues = false; // the last row ended and nothing came after it
    bool m_inRow = false;
    bool m_rowWrapped = false; // the row has more cells than columns, and went on below
    int m_row = 0, m_cell = 0, m_cursorCell = 0;
    int m_images = 0;
    QTextFrame *m_shapeFrame = nullptr; // the shape being filled
    int m_shapeNesting = 0;             // shapes inside it, whose content goes into it
    QTextBlock m_shapeAnchor;           // the empty paragraph before the first shape of the paragraph being built
    int m_besideShape = 0;              // where the paragraph goes on after its shape, within its text
    QHash<QByteArray, QString> m_pictureNames; // the pictures decoded, by kind, pixels and content
    qint64 m_heldPictureBytes = 0;             // what they take
    qint64 m_metafileTime = 0;                 // milliseconds spent drawing them
    // The last character format converted: runs mostly come in the format of the run before.
    const QTextCharFormat &converted(const CharFormat &format);
    std::optional<CharFormat> m_lastFormat;
    QTextCharFormat m_lastConverted;
};

// A length the text engine takes in 96-dpi units and scales to the layout's resolution itself:
// a paragraph's spacing and line heights, tab stops, and a table's widths, padding and borders.
inline qreal scaledTwips(int32_t value) { return std::clamp(value, -(1 << 20), 1 << 20) / 15.0; }


} // namespace corvane::qt
