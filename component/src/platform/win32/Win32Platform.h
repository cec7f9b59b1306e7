// The platform of the Windows build: printers of the spooler drawn on through GDI, the built-in
// printer "Corvane PDF" written by the component's own PDF writer in the fonts GDI finds, and the
// shell. Rich text, HTML and the About dialog are not there yet: they raise a run-time error
// that says so.
#pragma once

#include "ports/Platform.h"

namespace corvane::win32 {

// The one Windows platform of the process, made on first use and installed then as the core's
// default platform.
Platform &platform();

} // namespace corvane::win32
