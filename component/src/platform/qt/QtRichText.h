// The hidden rich-text control on Qt: a QTextDocument laid out in twips (a 1440-dpi layout
// device), filled by the RTF reader (through QtDocumentBuilder) or as plain text, paginated at
// the drawing rectangle's size and drawn page by page on the printer surface's painter.
#pragma once

#include "QtRichTextBuilder.h"
#include "ports/RichTextControl.h"

#include <QBuffer>
#include <QByteArray>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace corvane::qt {

class QtRichTextControl final : public RichTextControl {
public:
    QtRichTextControl();
    ~QtRichTextControl() override;

    void setTextRTF(const UString &rtf) override;
    void setText(const UString &text) override;
    void loadFile(const UString &path) override;
    UString Text() override;
    int32_t textLength() override;
    void setSelStart(int32_t start) override;
    void setSelLength(int32_t length) override;
    void setSelFontName(const UString &name) override;
    void setSelFontSize(int32_t points) override;
    void setSelBold(bool on) override;
    void setSelItalic(bool on) override;
    void setSelUnderline(bool on) override;
    void planJob(PageCanvas &surface) override;
    int32_t formatRange(PageCanvas &surface, int32_t first, const TwipsRect &rect, const TwipsRect &page) override;
    void freeFormatting() override;

    QTextDocument &document() { return *m_document; }

private:
    void reset();
    void mergeSelection(const QTextCharFormat &format);
    void fitPictures(double width, double height); // in twips
    // The width, in twips, of the text in the section `format` marks on pages `width` wide: its
    // column's.
    double sheetWidth(const QTextFormat &format, double width) const;
    // The width, in twips, a paragraph's lines have on pages `width` wide: its column's, or its
    // cell's.
    double roomFor(const QTextBlock &block, double width) const;
    // In twips; leftRoom is the sheet left of the text area, where a table may reach.
    // Turned pages (landscape on a portrait sheet) are `turn` twips wider and shorter.
    void paginate(double width, double height, double leftRoom = 0, double turn = 0);
    // Ends the job when a word is too long to lay out in reasonable time.
    void refuseEndlessWords() const;
    static void markShapedText(QTextDocument &document);
    void fitLineHeights(QTextDocument &document) const;
    void fitTables(double width, double leftRoom);
    // One page of the layout, where its sheet (the drawing rectangle) and column put it; first
    // is the sheet's first position.
    void drawPage(QPainter &painter, int page, const TwipsRect &rect, const TwipsRect &sheet, double width,
                  double height, int first);
    void drawLeaders(QPainter &painter, int first, double pageTop, double pageBottom);
    // Footnotes: laid out at the width of the text, and the text's lines moved to the next page
    // where a page's notes take the room they stood in. Lengths in layout units.
    void layOutNotes(double width);
    void makeRoomForNotes(double width, double height);
    int anchorPage(int anchor, double height) const;
    // Returns the block that now starts a page, and its page-break policy before.
    std::pair<QTextBlock, QTextFormat::PageBreakFlags> breakBefore(const QTextBlock &block, int line);
    // The notes of the layout's pages drawn on one sheet, at its foot.
    void drawNotes(QPainter &painter, const std::vector<int> &pages, const TwipsRect &rect, double width, double height);
    // Where each of the layout's pages is printed: the sheet and the column on it. The layout
    // is one strip of pages of the text's height; text in columns is laid out a column wide,
    // each of its pages one column, the next page the next column until the sheet's columns
    // are full. For the layout's first `pages` pages.
    struct Slot {
        int sheet = 0, column = 0, count = 1;
        double gap = 0, columnWidth = 0; // in layout units
        bool rule = false;
        bool turned = false; // on a sheet turned landscape-wise
        double top = 0;      // where its column starts on the sheet, below the text above it
        double bottom = 0;   // how far down from there its text reaches
    };
    // (need: the room the notes placed so far take at each sheet's foot, by sheet.)
    std::vector<Slot> columnSlots(double width, double height, int pages,
                                  const std::map<int, double> *need = nullptr) const;
    // Narrows the paragraphs set in columns to a column's width, and those of pages not turned
    // to theirs (in twips).
    void narrowToColumns(double width, double turn);
    // The header and footer of the page at index in m_pages.
    void drawPageParts(QPainter &painter, size_t index, const TwipsRect &rect, const TwipsRect &sheet, double width);
    std::array<QTextDocument *, 8> pageParts() const; // headers then footers: every page, left, right, first
    std::unique_ptr<QTextDocument> pagePart(QTextDocument *part, int number, double width) const;
    // How far, in twips, the headers reach below the text's top and the footers above its foot;
    // `top` and `bottom` are the text's distances from the paper's edges.
    struct PartsReach {
        double top = 0, bottom = 0;
    };
    PartsReach pagePartsReach(double width, double top, double bottom, double paper);
    static double partDistance(double asked, double high, double paper);
    void drawDoubleUnderlines(QPainter &painter, int first, double pageTop, double pageBottom);
    void placeShapes(double width, double leftRoom); // in twips

    QBuffer m_deviceBuffer;
    std::unique_ptr<QPdfWriter> m_layoutDevice;
    std::unique_ptr<QTextDocument> m_document;
    int m_selStart = 0, m_selLength = 0;

    // Pagination kept between passes: the first position of every page that has one.
    bool m_paginated = false;
    double m_pageWidth = 0, m_pageHeight = 0, m_turn = 0;                  // twips
    double m_turnLength = 0;                                               // m_turn in layout units
    std::optional<std::pair<double, std::array<double, 8>>> m_partHeights; // width, each part's height
    bool m_squeezed = false;            // the text's room narrowed for headers and footers
    int m_landscapeOnly = -1;           // whether every section is landscape; -1 not yet known
    std::map<int, double> m_sheetNotes; // the room notes take at each sheet's foot, by sheet
    struct PageStart {
        std::vector<int> pages; // the layout's pages printed on the sheet, column by column
        int position;
    };
    std::vector<PageStart> m_pages;
    std::map<int, std::vector<int>> m_split; // page -> numbers of the paragraphs split over it
    std::vector<Slot> m_slots;               // of the layout's pages, when the text has columns
    struct Note {
        int anchor;          // the position after the note's mark
        QTextDocument *text; // a child of the document
        double height = 0;   // in layout units
        int page = -1;       // of the layout
    };
    std::vector<Note> m_notes;
};

} // namespace corvane::qt
