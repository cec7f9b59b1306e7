// The hidden browser FrmWB with its control WB: loads an address and prints the loaded page
// without a dialog. It reports before each navigation (which may be cancelled), when the
// top-level document has finished loading, and when a load ended without a document.
//
// The form prints the pages asked of it one after another, in the order asked: a request made
// while another is loading or printing waits for it. Each request ends in exactly one outcome,
// printed or failed (or cancelled, for the empty address "http:///"); a failure is raised as
// PrintError on the object that asked, while that object lives.
#pragma once

#include <corvane/UString.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    // Starts loading. Local files are read only within the page's own reach: the file itself
    // when onlyItself is set (a page written from source), else the folder of a local page and
    // everything below it; a remote page reads no local file at all.
    virtual void Navigate(const UString &address, bool onlyItself) = 0;
    // Prints the loaded page without a dialog on the named printer. done is called once, later
    // or at once: 0 when the page was handed over, else an error number and its description.
    using Done = std::function<void(int32_t number, const UString &description)>;
    virtual void printPage(const UString &printer, Done done) = 0;

    // BeforeNavigate2: the address about to be loaded; returning true cancels it.
    std::function<bool(const UString &url, bool topLevel)> beforeNavigate;
    // DocumentComplete: a document (the top-level one or a frame's) finished loading.
    std::function<void(const UString &url, bool topLevel)> documentComplete;
    // The top-level load ended without a document: number 0 when it was cancelled, else the
    // error's number and a description naming the address.
    std::function<void(const UString &url, int32_t number, const UString &description)> loadFailed;
};

// One page to print.
struct HtmlRequest {
    UString address;          // as given to Navigate
    bool onlyItself = false;  // a page written from source: it reads no other local file
    UString printer;          // where the page goes: the asking thread's printer when asked
    // Raises PrintError on the object that asked, if it still lives.
    std::function<void(int32_t number, const UString &description)> failed;
    // Keeps the page's temporary file from being taken for a leftover until the request ends.
    std::shared_ptr<void> fileHold;
};

// A request made (Requested) and how it ended, for whoever watches the process's requests (the
// command-line tools).
struct HtmlOutcome {
    enum class Kind { Requested, Printed, Failed, Cancelled };
    Kind kind;
    UString address;
    int32_t number = 0;
    UString description;
};

// The watcher of every request's outcome in the process (empty for none); it is called on the
// thread whose form the request was made on.
void setHtmlOutcomeObserver(std::function<void(const HtmlOutcome &)> observer);
// Requests made in the whole process and not yet ended.
int pendingHtmlRequests();

// The logic of FrmWB's handlers and its queue, on any browser host.
class WebBrowserForm {
public:
    explicit WebBrowserForm(std::unique_ptr<BrowserHost> host);
    // Requests still waiting end as failed, without an event: the thread that asked is ending.
    ~WebBrowserForm();
    WebBrowserForm(const WebBrowserForm &) = delete;
    WebBrowserForm &operator=(const WebBrowserForm &) = delete;

    BrowserHost &host() { return *m_host; }

    // Queues a page; it is loaded once every page asked before it has printed or failed.
    void request(HtmlRequest request);

    static bool BeforeNavigate2(const UString &url);                 // true: cancel
    void DocumentComplete(const UString &url, bool topLevel);

private:
    enum class Stage { Idle, Loading, Printing };
    void startNext();
    void finish(HtmlOutcome::Kind kind, int32_t number, const UString &description);
    void loadFailed(int32_t number, const UString &description);

    std::unique_ptr<BrowserHost> m_host;
    std::deque<HtmlRequest> m_waiting;
    std::optional<HtmlRequest> m_current;
    Stage m_stage = Stage::Idle;
    unsigned long m_generation = 0; // tells a late report of an ended request from the current one
};

} // namespace corvane
