// The shell on CUPS and the desktop's opener, and the count of HTML pages still printing.
#pragma once

#include "web/Shell.h"

#include <QString>

#include <memory>

namespace corvane::qt {

// The shell: "print" hands a PDF to the default printer (a CUPS destination, or the built-in
// printer's folder when there is none); "open" opens an address with the desktop's opener.
class QtShell final : public Shell {
public:
    int32_t execute(std::u16string_view verb, const UString &file, int32_t windowStyle) override;
};

QtShell &qtShell();

// Hands a PDF file to the default printer (the shell's print route); a shell code.
int32_t printPdfOnDefaultPrinter(const QString &path);

// Counts HTML pages requested (+1) and printed or given up (-1).
void htmlPrintsChanged(int delta);

// HTML pages requested and not yet printed (or given up), in the whole process.
int pendingHtmlPrints();
// Lets the application's events run until every requested page has printed or the time is up;
// false on time-out.
bool waitForHtmlPrints(int milliseconds);

} // namespace corvane::qt
