#include "RichTextRenderer.h"

#include "core/PrinterSurface.h"

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

int16_t toInteger(int32_t value) { return Variant::longValue(value).toInteger(); }

// Runs one step; a step that fails is passed over.
template <typename Step>
void step(Step &&run)
{
    try {
        run();
    } catch (const RuntimeError &) {
    }
}

} // namespace

TwipsRect drawingRectangle(const LayoutParameters &layout, int32_t offsetX, int32_t offsetY,
                           float sheetWidth, float sheetHeight)
{
    TwipsRect rect;
    step([&] { rect.left = subtract(layout.DocMarginLeft, offsetX); });
    step([&] { rect.top = subtract(layout.DocMarginTop, offsetY); });
    step([&] { rect.right = toLong(double(sheetWidth) - layout.DocMarginRight - offsetX); });
    step([&] { rect.bottom = toLong(double(sheetHeight) - layout.DocMarginBottom - offsetY); });
    return rect;
}

std::optional<RuntimeError> renderRichText(RichTextControl &control, PrinterSurface &surface,
                                           const LayoutParameters &layout)
{
    // Paper settings, each on its own, before the job opens.
    step([&] { surface.setOrientation(toInteger(layout.PrnPaperOrientation)); });
    step([&] { surface.setPaperSize(toInteger(layout.PrnPaperSize)); });
    step([&] { surface.setPaperBin(toInteger(layout.PrnPaperBin)); });
    step([&] { surface.setPrintQuality(toInteger(layout.PrnPrintQuality)); });
    step([&] { surface.setCopies(layout.PrnCopies); });
    step([&] { control.planJob(surface); });

    // One blank opens the job, so that the device exists.
    try {
        surface.Print(u" ", false);
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        surface.KillDoc();
        return error;
    }
    if (surface.hDC() == 0)
        return RuntimeError(err::PrinterError);

    try {
        step([&] { surface.setScaleMode(1); });
        int32_t offsetX = 0, offsetY = 0;
        step([&] { offsetX = toLong(surface.ScaleX(static_cast<float>(surface.physicalOffsetX()), 3, 1)); });
        step([&] { offsetY = toLong(surface.ScaleY(static_cast<float>(surface.physicalOffsetY()), 3, 1)); });
        const TwipsRect rect = drawingRectangle(layout, offsetX, offsetY, surface.Width(), surface.Height());
        TwipsRect page;
        step([&] {
            page.right = toLong(surface.ScaleWidth());
            page.bottom = toLong(surface.ScaleHeight());
        });

        const auto length = static_cast<int32_t>(control.Text().size());
        int32_t first = 0;
        for (;;) {
            const int32_t next = control.formatRange(surface, first, rect, page);
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
        const RuntimeError error = currentRuntimeError();
        surface.KillDoc();
        step([&] { control.freeFormatting(); });
        return error;
    }
    step([&] { control.freeFormatting(); });
    return std::nullopt;
}

} // namespace corvane
