// The RTF reader: reads a document and emits it to a document builder. It never fails: text
// that is not RTF is not its business (the caller decides), and malformed RTF (unbalanced
// braces, truncated hex, absurd numbers, deep nesting) gives what could be read.
#pragma once

#include "DocumentBuilder.h"

#include <string_view>

namespace corvane {

// True when the bytes start like an RTF document ("{\rtf", blanks allowed before).
bool looksLikeRtf(std::string_view bytes);

// Reads RTF bytes (7-bit text with \'hh escapes and \uN; other bytes in the document's code
// page) into the builder.
void readRtf(std::string_view rtf, DocumentBuilder &builder);

} // namespace corvane
