// The fonts a program's own Qt application lets the component use.
#pragma once

#include "Export.h"

namespace corvane::qt {

// Leaves Type 1 font files out of the fonts the process's text engine sees, as current word
// processors do. The built-in PDF printer embeds TrueType and OpenType faces; text the engine set
// in a Type 1 face sends its job through Qt's own PDF engine, whose text layer is poorer (the URW
// faces installed as Type 1 come as OpenType too). A program with its own Qt application calls it
// before making the application; the component does it for the application it makes. Once a
// process, and to any effect only before the fonts are first listed.
CORVANE_EXPORT void useEmbeddableFontsOnly();

} // namespace corvane::qt
