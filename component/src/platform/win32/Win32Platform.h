// The Windows platform of the COM server: the process's one Platform, made on first use.
#pragma once

#include "ports/Platform.h"

namespace corvane::win32 {

Platform &platform();

} // namespace corvane::win32
