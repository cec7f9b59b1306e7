// The hidden browser FrmWB with its control WB: loads an address and prints the loaded page
// without a dialog. It reports before each navigation (which may be cancelled) and when a
// document has finished loading, to the handlers set on it.
#pragma once

#include <corvane/UString.h>

#include <functional>
#include <memory>

namespace corvane {

class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    // Starts loading; a load in progress is abandoned for the new one.
    virtual void Navigate(const UString &address) = 0;
    // Prints the loaded page without a dialog, on the browser's own printer.
    virtual void printPage() = 0;

    // BeforeNavigate2: the address about to be loaded; returning true cancels it.
    std::function<bool(const UString &url, bool topLevel)> beforeNavigate;
    // DocumentComplete: a document (the top-level one or a frame's) finished loading.
    std::function<void(const UString &url, bool topLevel)> documentComplete;
};

// The logic of FrmWB's two handlers, on any browser host.
class WebBrowserForm {
public:
    explicit WebBrowserForm(std::unique_ptr<BrowserHost> host);
    BrowserHost &host() { return *m_host; }

    static bool BeforeNavigate2(const UString &url);                 // true: cancel
    void DocumentComplete(const UString &url, bool topLevel);

private:
    std::unique_ptr<BrowserHost> m_host;
};

} // namespace corvane
