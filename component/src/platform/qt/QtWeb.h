// The browser host on QtWebEngine and the shell on CUPS and the desktop's opener.
#pragma once

#include "web/BrowserHost.h"
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

// A hidden web page that loads addresses and prints through printToPdf and the shell's print
// route. It lives on the application's thread.
class QtBrowserHost final : public BrowserHost {
public:
    QtBrowserHost();
    ~QtBrowserHost() override;
    void Navigate(const UString &address) override;
    void printPage() override;

    struct Page;

private:
    std::unique_ptr<Page> m_page;
};

// HTML pages requested and not yet printed (or given up), in the whole process.
int pendingHtmlPrints();
// Lets the application's events run until every requested page has printed or the time is up;
// false on time-out.
bool waitForHtmlPrints(int milliseconds);

} // namespace corvane::qt
