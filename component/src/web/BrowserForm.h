// The hidden browser FrmWB: its handlers and its queue, on any browser host. It lives on the
// browser's thread; requests from other threads are posted to it, and their outcomes posted
// back to the thread that asked.
//
// The form prints the pages asked of it one after another, in the order asked: a request made
// while another is loading or printing waits for it. Each request ends in exactly one outcome,
// printed or failed (or cancelled, for the empty address "http:///"); a failure is raised as
// PrintError on the object that asked, while that object lives.
#pragma once

#include "core/Apartment.h"
#include "ports/BrowserHost.h"

#include <corvane/HtmlPrints.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

// One page to print.
struct HtmlRequest {
    UString address;         // as given to Navigate
    bool onlyItself = false; // a page written from source: it reads no other local file
    UString printer;         // where the page goes: the asking thread's printer when asked
    // Raises PrintError on the object that asked, if it still lives.
    std::function<void(int32_t number, const UString &description)> failed;
    // Keeps the page's temporary file from being taken for a leftover until the request ends.
    std::shared_ptr<void> fileHold;
    // The thread that asked: outcomes are raised there. None: where the request ends.
    std::shared_ptr<Apartment> home;
    // Shared with the thread that asked, which may cancel the page while it has not printed.
    std::shared_ptr<PageTicket> ticket;
};

// Tells the watcher of the process's requests (setHtmlOutcomeObserver) of an outcome.
void reportHtmlOutcome(const HtmlOutcome &outcome);

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

    static bool BeforeNavigate2(const UString &url); // true: cancel
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
