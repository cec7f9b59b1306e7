// Each thread that prints has a printer and hidden forms of its own, made on first use and kept
// for the thread's life.
#pragma once

#include "Export.h"

namespace corvane {

// Drops the calling thread's printer and hidden forms: a program calls it before its
// application object goes, and tests call it to start afresh.
CORVANE_EXPORT void resetThreadSurface();

} // namespace corvane
