// The browser host on QtWebEngine (the libcorvane-web.so module).
#pragma once

#include "ports/BrowserHost.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace corvane::qt {

// What the module needs of the library that loads it, handed to its entry point: the module
// uses nothing else of the library but its public API.
struct BrowserModuleServices {
    // A page whose print never came back is kept to the end of the process.
    void (*pageLeftPrinting)();
    // Hands a PDF to a printer as the shell's print route does; a shell code, and in why what
    // went wrong; a CUPS job is named title.
    int32_t (*printPdfOn)(const QString &path, const QString &printer, const QString &title, QString *why);
    // Opens a regular file for reading without blocking; RuntimeError 53, 70 or 75 otherwise.
    int (*openRegularFile)(const QString &path);
    // The PDF with its document information titled `title`, by an update at its end; the PDF
    // as it was when it is not one that can be updated so.
    QByteArray (*titledPdf)(const QByteArray &pdf, const QString &title);
};

// The module's entry point: a new browser host.
using CreateBrowserHost = BrowserHost *(*)(const BrowserModuleServices *services);

// Loads each address in a hidden web page of its own, which it keeps until the next address
// (so nothing of one caller's page, its scripts or timers, reaches the next), and prints it
// through printToPdf and the shell's print route. It lives on the application's thread.
class QtBrowserHost final : public BrowserHost {
public:
    QtBrowserHost();
    ~QtBrowserHost() override;
    void Navigate(const UString &address, bool onlyItself) override;
    void printPage(const UString &printer, Claim claim, Done done) override;

    struct Page;

private:
    QObject m_pages; // owns every page, the current one and those let go but not yet deleted
    QPointer<Page> m_page;
    // Reports of pages kept after the host (their print never came back) check it first.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

} // namespace corvane::qt
