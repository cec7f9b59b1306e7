#include "RichTextRenderer.h"

#include "core/Steps.h"

#include <corvane/Variant.h>

#include <cmath>

namespace corvane {

namespace {

// A whole number of twips from a single-precision or wider value, rounded half to even;
// RuntimeError 6 outside the 32-bit range.
int32_t toLong(double value)
{
    const double rounded = roundHalfEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        throw RuntimeError(err::Overflow);
    return static_cast<int32_t>(rounded);
}

int32_t subtract(int32_t a, int32_t b)
{
    const int64_t difference = int64_t(a) - b;
    if (difference < INT32_MIN || difference > INT32_MAX)
        throw RuntimeError(err::Overflow);
    return static_cast<int32_t>(difference);
}

} // namespace

TwipsRect drawingRectangle(const LayoutParameters &layout, int32_t offsetX, int32_t offsetY, float sheetWidth,
                           float sheetHeight)
{
    TwipsRect rect;
    skipOnError([&] { rect.left = subtract(layout.DocMarginLeft, offsetX); });
    skipOnError([&] { rect.top = subtract(layout.DocMarginTop, offsetY); });
    skipOnError([&] { rect.right = toLong(double(sheetWidth) - layout.DocMarginRight - offsetX); });
    skipOnError([&] { rect.bottom = toLong(double(sheetHeight) - layout.DocMarginBottom - offsetY); });
    return rect;
}

void renderRichText(RichTextControl &control, PageCanvas &surface, const LayoutParameters &layout)
{
    skipOnError([&] { control.planJob(surface); });

    // One blank opens the job, so that the device exists.
    try {
        surface.Print(u" ", false);
    } catch (...) {
        surface.KillDoc();
        throw;
    }
    if (surface.hDC() == 0)
        throw RuntimeError(err::PrinterError);

    try {
        skipOnError([&] { surface.setScaleMode(1); });
        int32_t offsetX = 0, offsetY = 0;
        skipOnError([&] { offsetX = toLong(surface.ScaleX(static_cast<float>(surface.physicalOffsetX()), 3, 1)); });
        skipOnError([&] { offsetY = toLong(surface.ScaleY(static_cast<float>(surface.physicalOffsetY()), 3, 1)); });
        const TwipsRect rect = drawingRectangle(layout, offsetX, offsetY, surface.Width(), surface.Height());
        TwipsRect page;
        skipOnError([&] {
            page.right = toLong(surface.ScaleWidth());
            page.bottom = toLong(surface.ScaleHeight());
        });

        int32_t length = control.textLength();
        int32_t first = 0;
        for (;;) {
            const int32_t next = control.formatRange(surface, first, rect, page);
            // Laying out may lengthen the document (a paragraph divided where a page's
            // footnotes take its foot): its end is asked for again before the job ends.
            if (next >= length)
                length = control.textLength();
            if (next >= length)
                break;
            // A pass that draws nothing would repeat for ever.
            if (next <= first)
                throw RuntimeError(err::PrinterError, u"Printer error: the document does not fit the page");
            first = next;
            surface.NewPage();
            surface.Print(u" ", false);
        }
        surface.EndDoc();
    } catch (...) {
        surface.KillDoc();
        skipOnError([&] { control.freeFormatting(); });
        throw;
    }
    skipOnError([&] { control.freeFormatting(); });
}

} // namespace corvane
