// Prints the whole content of the rich-text control onto printer pages within margins.
#pragma once

#include "ports/PageCanvas.h"
#include "ports/RichTextControl.h"

#include <corvane/Errors.h>
#include <corvane/Layout.h>

namespace corvane {

// Opens the job, draws page after page and ends the job. Failures of single steps are passed
// over; a job that fails as a whole (no device, a pass that makes no progress, the spooler
// refusing it at EndDoc) is abandoned and its error raised. The paper settings are the
// caller's, made before.
void renderRichText(RichTextControl &control, PageCanvas &surface, const LayoutParameters &layout);

// The drawing rectangle for margins from the sheet's edges, less the unprintable border.
TwipsRect drawingRectangle(const LayoutParameters &layout, int32_t offsetX, int32_t offsetY, float sheetWidth,
                           float sheetHeight);

} // namespace corvane
