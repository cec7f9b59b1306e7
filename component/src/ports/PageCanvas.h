// The page canvas: the drawing object of the current printer's open job, in twips from the top
// left of the printable area. The layout code draws and measures on it; the rich-text control
// draws through its drawing context. Every operation may raise RuntimeError.
#pragma once

#include <corvane/UString.h>

#include <cstdint>
#include <vector>

namespace corvane {

// The platform's own means of drawing on the open job (defined by the platform that has one),
// for a control that draws with them rather than through the canvas's operations.
struct DrawingContext;

// What a job of plain text is about to print: every text it will draw and every font face
// (name, bold, italic) it will draw in.
struct TextPlan {
    struct Face {
        UString name;
        bool bold = false, italic = false;
    };
    std::vector<std::u16string_view> texts;
    std::vector<Face> faces;
};

class PageCanvas {
public:
    virtual ~PageCanvas() = default;

    // Told before a job of plain text opens, a surface may choose a faster way to write it; the
    // plan holds until the job ends or is abandoned. Surfaces without one ignore it.
    virtual void planText(const TextPlan &) {}

    // Where the next Print writes: the top edge of the text.
    virtual float CurrentX() const = 0;
    virtual float CurrentY() const = 0;
    virtual void setCurrentX(float x) = 0;
    virtual void setCurrentY(float y) = 0;

    // Writes text in the current font, opening the job if none is open. Continuing form
    // (endLine false): CurrentX moves behind the text, CurrentY stays. Ending form: then CurrentX
    // is 0 and CurrentY one line of the current font lower. Print(u"", true) is the bare form.
    virtual void Print(std::u16string_view text, bool endLine) = 0;

    virtual float TextWidth(std::u16string_view text) = 0;
    virtual float TextHeight(std::u16string_view text) = 0;

    virtual float ScaleWidth() const = 0; // printable area
    virtual float ScaleHeight() const = 0;
    virtual float Width() const = 0; // whole sheet
    virtual float Height() const = 0;
    virtual void setScaleMode(int16_t mode) = 0; // 1 selects twips (the only mode kept)
    // Converts between device pixels (3) and twips (1).
    virtual float ScaleX(float value, int16_t fromMode, int16_t toMode) const = 0;
    virtual float ScaleY(float value, int16_t fromMode, int16_t toMode) const = 0;

    // Font of later Print, TextWidth and TextHeight.
    virtual void setFontName(std::u16string_view name) = 0;
    virtual void setFontSize(float points) = 0;
    virtual void setFontBold(bool on) = 0;
    virtual void setFontItalic(bool on) = 0;
    virtual void setFontUnderline(bool on) = 0;

    // Pen width of Line, in device pixels.
    virtual int16_t DrawWidth() const = 0;
    virtual void setDrawWidth(int16_t width) = 0;
    // Line (x1, y1)-(x2, y2), B: a rectangle outline between two corners.
    virtual void LineBox(float x1, float y1, float x2, float y2) = 0;
    // Line -(x2, y2): from the current position; the position moves to the end point.
    virtual void LineTo(float x2, float y2) = 0;

    virtual void NewPage() = 0;
    // The open page is printed landscape-wise: its sheet turned a quarter, width and height
    // exchanged, for what is drawn through the drawing context (false: as the sheet is).
    virtual void turnPage(bool turned) { (void)turned; }
    // Ends the job and hands it to the spooler (nothing happens when no job is open).
    virtual void EndDoc() = 0;
    // Abandons the open job: nothing of it reaches the spooler or the PDF folder.
    virtual void KillDoc() = 0;
    virtual int16_t Page() const = 0;
    // The name the next job goes by at the spooler (its title, or its file's name); empty for
    // none, when the spooler's listing shows a name of the platform's own.
    virtual void setDocumentName(std::u16string_view name) { (void)name; }

    // Device context: non-zero once the job is open.
    virtual intptr_t hDC() const = 0;
    // The unprintable border at the left and top of the sheet, in device pixels (raises an
    // error while no job is open, as a device query on no device does).
    virtual int32_t physicalOffsetX() const = 0;
    virtual int32_t physicalOffsetY() const = 0;

    // The drawing context of the open job; null while none is open or where the platform has
    // none.
    virtual DrawingContext *drawingContext() { return nullptr; }
};

} // namespace corvane
