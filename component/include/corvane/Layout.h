// The layout of one rich-text or plain-text call: margins and paper settings.
#pragma once

#include "Enums.h"

#include <cstdint>

namespace corvane {

// The nine optional layout parameters of PrintRTFData, PrintRTFFile, PrintText and
// PrintTextFile; they apply to one call only.
struct LayoutParameters {
    int32_t DocMarginLeft = 1440;
    int32_t DocMarginTop = 1440;
    int32_t DocMarginRight = 1440;
    int32_t DocMarginBottom = 1440;
    int32_t PrnPaperOrientation = spOrientationPortrait;
    int32_t PrnPaperSize = spPaperA4;
    int32_t PrnPaperBin = spPaperBinAuto;
    int32_t PrnPrintQuality = spQualityMedium;
    int16_t PrnCopies = 1;
};

} // namespace corvane
