// The shell on CUPS and the desktop's opener, and the count of HTML pages still printing.
#pragma once

#include "ports/Shell.h"

#include <corvane/HtmlPrints.h>

#include <QString>

#include <memory>

namespace corvane::qt {

// The shell: "print" hands a PDF to the named printer (the built-in printer's folder or a CUPS
// destination; for no name the CUPS default, or the folder when there is none); "open" opens an
// address with the desktop's opener.
class QtShell final : public Shell {
public:
    int32_t execute(std::u16string_view verb, const UString &file, int32_t windowStyle, const UString &printer) override;
};

QtShell &qtShell();

// Hands a PDF file to a printer as the shell's print route does, named title on a CUPS queue (the
// file's name when empty); a shell code, and in why (when given) what went wrong.
int32_t printPdfOn(const QString &path, const QString &printer, const QString &title, QString *why);

// The PDF with its document information titled `title` (an update appended to it); as it was
// when its cross-reference table is not one the update understands.
QByteArray titledPdf(const QByteArray &pdf, const QString &title);

// Pages whose print never came back (their scripts keep the engine busy), in the whole
// process. The engine stops the process when such a page is destroyed, so they are kept to the
// end.
void htmlPageLeftPrinting();
int htmlPagesLeftPrinting();

} // namespace corvane::qt
