// The browser host on QtWebEngine (the libcorvane-web.so module).
#pragma once

#include "web/BrowserHost.h"

#include <memory>

namespace corvane::qt {

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

} // namespace corvane::qt
