// The browser host on QtWebEngine (the libcorvane-web.so module).
#pragma once

#include "ports/BrowserHost.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace corvane::qt {

// Loads each address in a hidden web page of its own, which it keeps until the next address
// (so nothing of one caller's page, its scripts or timers, reaches the next), and prints it
// through printToPdf and the shell's print route. It lives on the application's thread.
class QtBrowserHost final : public BrowserHost {
public:
    QtBrowserHost();
    ~QtBrowserHost() override;
    void Navigate(const UString &address, bool onlyItself) override;
    void printPage(const UString &printer, Done done) override;

    struct Page;

private:
    QObject m_pages; // owns every page, the current one and those let go but not yet deleted
    QPointer<Page> m_page;
    // Reports of pages kept after the host (their print never came back) check it first.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

} // namespace corvane::qt
