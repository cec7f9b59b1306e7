// Rich text between RTF and Qt's text documents, as the component reads and writes it: for a
// program that edits rich text in a Qt widget and prints it as RTF.
#pragma once

#include "Export.h"

#include <QByteArray>

class QTextDocument;

namespace corvane::qt {

// The document as RTF: text, character formats (font, size, bold, italic, underline, strike,
// colours, super- and subscript), paragraph formats (alignment, indents, spacing) and tables.
CORVANE_EXPORT QByteArray writeRtf(const QTextDocument &document);

// Reads RTF (or, when it is not RTF, plain text) into a document.
CORVANE_EXPORT void readDocument(QTextDocument &document, const QByteArray &bytes);

} // namespace corvane::qt
