// The browser control WB of the hidden browser FrmWB: loads an address and prints the loaded page
// without a dialog. It reports before each navigation (which may be cancelled), when the
// top-level document has finished loading, and when a load ended without a document.
#pragma once

#include <corvane/UString.h>

#include <functional>

namespace corvane {

class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    // Starts loading. Local files are read only within the page's own reach: the file itself
    // when onlyItself is set (a page written from source), else the folder of a local page and
    // everything below it; a remote page reads no local file at all.
    virtual void Navigate(const UString &address, bool onlyItself) = 0;
    // Prints the loaded page without a dialog on the named printer. claim is asked right before
    // the page is handed over: false (the page was cancelled) hands nothing over. done is called
    // once, later or at once: 0 when the page was handed over, else an error number and its
    // description.
    using Done = std::function<void(int32_t number, const UString &description)>;
    using Claim = std::function<bool()>;
    virtual void printPage(const UString &printer, Claim claim, Done done) = 0;

    // BeforeNavigate2: the address about to be loaded; returning true cancels it.
    std::function<bool(const UString &url, bool topLevel)> beforeNavigate;
    // DocumentComplete: a document (the top-level one or a frame's) finished loading.
    std::function<void(const UString &url, bool topLevel)> documentComplete;
    // The top-level load ended without a document: number 0 when it was cancelled, else the
    // error's number and a description naming the address.
    std::function<void(const UString &url, int32_t number, const UString &description)> loadFailed;
};

} // namespace corvane
