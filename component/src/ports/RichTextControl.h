// The hidden rich-text control RTF1 on FrmRTF: holds one document, lays it out and draws it
// page by page on the printer surface. Character positions count the document's characters
// from 0; Text() has one character for every position.
#pragma once

#include <corvane/UString.h>

#include <cstdint>

namespace corvane {

class PageCanvas;

struct TwipsRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const TwipsRect &) const = default;
};

class RichTextControl {
public:
    virtual ~RichTextControl() = default;

    // Replaces the content with an RTF document (text that is not RTF is taken as plain text).
    virtual void setTextRTF(const UString &rtf) = 0;
    // Replaces the content with plain text.
    virtual void setText(const UString &text) = 0;
    // Loads a file: RTF when it holds RTF, otherwise its plain text. Raises the run-time's file
    // errors.
    virtual void loadFile(const UString &path) = 0;
    virtual UString Text() = 0;
    // The number of positions, Text()'s length, without making the text.
    virtual int32_t textLength() { return static_cast<int32_t>(Text().size()); }

    virtual void setSelStart(int32_t start) = 0;
    virtual void setSelLength(int32_t length) = 0;
    virtual void setSelFontName(const UString &name) = 0;
    virtual void setSelFontSize(int32_t points) = 0;
    virtual void setSelBold(bool on) = 0;
    virtual void setSelItalic(bool on) = 0;
    virtual void setSelUnderline(bool on) = 0;

    // Tells the surface, before the job opens, the text and faces the document will draw (see
    // PageCanvas::planText), when it knows them.
    virtual void planJob(PageCanvas &) {}

    // Lays out and draws on the surface's current page, into rect (twips, relative to the
    // printable area; page is the printable area), as much of the document from position
    // first as fits; returns the position of the first character that did not fit.
    virtual int32_t formatRange(PageCanvas &surface, int32_t first, const TwipsRect &rect, const TwipsRect &page) = 0;
    // Frees the formatting kept between formatRange calls.
    virtual void freeFormatting() = 0;
};

} // namespace corvane
