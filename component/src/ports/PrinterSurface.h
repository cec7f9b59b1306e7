// The thread's printer: its catalogue (which printer, with which settings) and the canvas of
// its open job, in one object because a device setting applies to the job the canvas opens.
#pragma once

#include "PageCanvas.h"
#include "PrinterCatalogue.h"

namespace corvane {

class PrinterSurface : public PrinterCatalogue, public PageCanvas {};

} // namespace corvane
