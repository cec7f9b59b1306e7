// The desktop's opener, for a program's links.
#pragma once

#include "Export.h"
#include "UString.h"

#include <cstdint>

namespace corvane::qt {

// Opens an address with the desktop's opener, in a normal window; a shell code (above 32 when
// it was handed over).
CORVANE_EXPORT int32_t openAddress(const UString &address);

} // namespace corvane::qt
