// The hidden rich-text control on Qt: a QTextDocument laid out in twips (a 1440-dpi layout
// device), filled by the RTF reader or as plain text, paginated at the drawing rectangle's
// size and drawn page by page on the printer surface's painter.
#pragma once

#include <corvane/RtfDocuments.h>

#include "richtext/DocumentBuilder.h"
#include "ports/RichTextControl.h"

#include <QBuffer>
#include <QByteArray>
#include <QPdfWriter>
#include <QTextCursor>
#include <QHash>
#include <QImage>
#include <QTextDocument>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QTextTable;

namespace corvane::qt {

// The character format property that keeps the face a document names when another font stands
// in for it, so that the document is written back with its own names.
constexpr int kDocumentFaceProperty = QTextFormat::UserProperty + 1;
// The block format property that keeps a paragraph's tab stops as its document names them
// ("r1440 c2880 720"): the layout's are measured from where the line starts.
constexpr int kDocumentTabsProperty = QTextFormat::UserProperty + 2;
// The block format property that lists the layout's tab stops with leaders ("96:. 180:-").
constexpr int kTabLeadersProperty = QTextFormat::UserProperty + 3;

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
    void pageBreak() override;
    void documentEnd(const ParaFormat &format) override;
    void tableRowStart(const TableRow &row) override;
    void tableCellEnd(const ParaFormat &format, const CharFormat &mark) override;
    void tableRowEnd() override;
    void defaultTab(int32_t twips) override;
    void picture(const std::string &type, const std::string &bytes, int32_t width,
                 int32_t height) override;

private:
    void applyBlockFormat(const ParaFormat &format);
    void metafile(const std::string &type, const QByteArray &data, int32_t width, int32_t height);
    void insertImage(const QImage &image, double wide, double high); // its size in twips
    void enterCell();
    void endTable();

    // The table being built: the row last started (as the document gives it), the row before
    // it in the same table, and where each column's downward merge started (-1: none).
    TableRow m_rowDef, m_rowAbove;
    bool m_hasRowAbove = false;
    std::vector<int> m_downStart;
    int m_headerRows = 0;
    int32_t m_defaultTab = 720; // twips between the default tab stops
    QTextTable *m_tableAbove = nullptr; // the table right above the paragraph being built

    QTextDocument &m_document;
    QTextCursor m_cursor;
    bool m_pageBreakNext = false;
    QTextTable *m_table = nullptr;
    bool m_tableContinues = false; // the last row ended and nothing came after it
    bool m_inRow = false;
    int m_row = 0, m_cell = 0, m_cursorCell = 0;
    int m_images = 0;
    QHash<QByteArray, QImage> m_metafiles; // the metafiles drawn, by kind, size and content
    qint64 m_metafileTime = 0;             // milliseconds spent drawing them
    // The last character format converted: runs mostly come in the format of the run before.
    const QTextCharFormat &converted(const CharFormat &format);
    std::optional<CharFormat> m_lastFormat;
    QTextCharFormat m_lastConverted;
};



class QtRichTextControl final : public RichTextControl {
public:
    QtRichTextControl();
    ~QtRichTextControl() override;

    void setTextRTF(const UString &rtf) override;
    void setText(const UString &text) override;
    void loadFile(const UString &path) override;
    UString Text() override;
    void setSelStart(int32_t start) override;
    void setSelLength(int32_t length) override;
    void setSelFontName(const UString &name) override;
    void setSelFontSize(int32_t points) override;
    void setSelBold(bool on) override;
    void setSelItalic(bool on) override;
    void setSelUnderline(bool on) override;
    void planJob(PageCanvas &surface) override;
    int32_t formatRange(PageCanvas &surface, int32_t first, const TwipsRect &rect,
                        const TwipsRect &page) override;
    void freeFormatting() override;

    QTextDocument &document() { return *m_document; }

private:
    void reset();
    void mergeSelection(const QTextCharFormat &format);
    void fitPictures(double width, double height); // in twips
    // In twips; leftRoom is the sheet left of the text area, where a table may reach.
    void paginate(double width, double height, double leftRoom = 0);
    void fitTables(double width, double leftRoom);
    void drawLeaders(QPainter &painter, int first, double pageTop, double pageBottom);

    QBuffer m_deviceBuffer;
    std::unique_ptr<QPdfWriter> m_layoutDevice;
    std::unique_ptr<QTextDocument> m_document;
    int m_selStart = 0, m_selLength = 0;

    // Pagination kept between passes: the first position of every page that has one.
    bool m_paginated = false;
    double m_pageWidth = 0, m_pageHeight = 0;
    struct PageStart {
        int page;
        int position;
    };
    std::vector<PageStart> m_pages;
    std::map<int, std::vector<int>> m_split; // page -> numbers of the paragraphs split over it
};

} // namespace corvane::qt
