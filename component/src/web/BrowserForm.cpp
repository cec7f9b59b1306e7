#include "BrowserForm.h"

#include <corvane/Errors.h>

#include <atomic>
#include <mutex>

namespace corvane {

namespace {

std::atomic<int> g_pending{0};
std::mutex g_observerMutex;
std::function<void(const HtmlOutcome &)> g_observer;

} // namespace

void reportHtmlOutcome(const HtmlOutcome &outcome)
{
    std::function<void(const HtmlOutcome &)> observer;
    {
        std::lock_guard lock(g_observerMutex);
        observer = g_observer;
    }
    if (observer)
        observer(outcome);
}

namespace {
// An outcome for the thread that asked, raised there.
void reportAtHome(const HtmlRequest &request, const HtmlOutcome &outcome)
{
    runAt(request.home, [outcome] { reportHtmlOutcome(outcome); });
}
} // namespace

void setHtmlOutcomeObserver(std::function<void(const HtmlOutcome &)> observer)
{
    std::lock_guard lock(g_observerMutex);
    g_observer = std::move(observer);
}

int pendingHtmlRequests() { return g_pending; }

WebBrowserForm::WebBrowserForm(std::unique_ptr<BrowserHost> host)
    : m_host(std::move(host))
{
    m_host->beforeNavigate = [](const UString &url, bool) { return BeforeNavigate2(url); };
    m_host->documentComplete = [this](const UString &url, bool topLevel) { DocumentComplete(url, topLevel); };
    m_host->loadFailed = [this](const UString &, int32_t number, const UString &description) {
        loadFailed(number, description);
    };
}

WebBrowserForm::~WebBrowserForm()
{
    m_host->beforeNavigate = nullptr;
    m_host->documentComplete = nullptr;
    m_host->loadFailed = nullptr;
    std::deque<HtmlRequest> left = std::move(m_waiting);
    if (m_current)
        left.push_front(std::move(*m_current));
    m_current.reset();
    for (const HtmlRequest &request : left) {
        --g_pending;
        if (request.ticket && !request.ticket->end())
            continue; // cancelled by the thread that asked, which said so
        const UString why = u"Printer error: the page " + request.address
                          + u" was not printed: the browser was closed first";
        reportAtHome(request, {HtmlOutcome::Kind::Failed, request.address, err::PrinterError, why});
        if (request.failed) {
            try {
                request.failed(err::PrinterError, why);
            } catch (...) {
            }
        }
        if (request.home && request.ticket)
            request.home->pageEnded();
    }
}

void WebBrowserForm::request(HtmlRequest request)
{
    ++g_pending;
    m_waiting.push_back(std::move(request));
    startNext();
}

void WebBrowserForm::startNext()
{
    while (m_stage == Stage::Idle && !m_current && !m_waiting.empty()) {
        m_current = std::move(m_waiting.front());
        m_waiting.pop_front();
        ++m_generation;
        // A page its thread stopped waiting for is never loaded.
        if (m_current->ticket && m_current->ticket->state() == PageTicket::State::Cancelled) {
            finish(HtmlOutcome::Kind::Cancelled, 0, {});
            continue;
        }
        // BeforeNavigate2 comes first: a cancelled address is never loaded.
        bool cancel = false;
        try {
            cancel = m_host->beforeNavigate && m_host->beforeNavigate(m_current->address, true);
        } catch (...) {
        }
        if (cancel) {
            finish(HtmlOutcome::Kind::Cancelled, 0, {});
            continue;
        }
        m_stage = Stage::Loading;
        try {
            m_host->Navigate(m_current->address, m_current->onlyItself);
        } catch (...) {
            const RuntimeError error = currentRuntimeError();
            if (m_stage == Stage::Loading)
                finish(HtmlOutcome::Kind::Failed, error.number(), error.description());
        }
    }
}

void WebBrowserForm::finish(HtmlOutcome::Kind kind, int32_t number, const UString &description)
{
    if (!m_current)
        return;
    HtmlRequest ended = std::move(*m_current);
    m_current.reset();
    m_stage = Stage::Idle;
    ++m_generation;
    ended.fileHold.reset();
    --g_pending;
    // A page cancelled by the thread that asked has had its outcome there already.
    if (ended.ticket && !ended.ticket->end())
        return;
    reportAtHome(ended, {kind, ended.address, number, description});
    if (kind == HtmlOutcome::Kind::Failed && ended.failed) {
        try {
            ended.failed(number, description);
        } catch (...) {
        }
    }
    if (ended.home && ended.ticket)
        ended.home->pageEnded();
}

void WebBrowserForm::loadFailed(int32_t number, const UString &description)
{
    if (m_stage != Stage::Loading)
        return;
    finish(number == 0 ? HtmlOutcome::Kind::Cancelled : HtmlOutcome::Kind::Failed, number, description);
    startNext();
}

bool WebBrowserForm::BeforeNavigate2(const UString &url) { return url == u"http:///"; }

void WebBrowserForm::DocumentComplete(const UString &url, bool topLevel)
{
    // Only the top-level document of the request loading prints, once.
    if (!topLevel || m_stage != Stage::Loading)
        return;
    if (url.empty() || url == u"http:///"
        || (m_current->ticket && m_current->ticket->state() == PageTicket::State::Cancelled)) {
        finish(HtmlOutcome::Kind::Cancelled, 0, {});
        startNext();
        return;
    }
    m_stage = Stage::Printing;
    const unsigned long generation = m_generation;
    const UString address = m_current->address;
    try {
        // The page is handed over only while its thread still waits for it.
        const std::shared_ptr<PageTicket> ticket = m_current->ticket;
        const auto claim = [ticket] { return !ticket || ticket->claim(); };
        m_host->printPage(m_current->printer, claim,
                          [this, generation, address](int32_t number, const UString &description) {
                              if (generation != m_generation || m_stage != Stage::Printing)
                                  return;
                              if (number == 0)
                                  finish(HtmlOutcome::Kind::Printed, 0, {});
                              else
                                  finish(HtmlOutcome::Kind::Failed, number, description);
                              startNext();
                          });
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        if (generation == m_generation && m_stage == Stage::Printing) {
            finish(HtmlOutcome::Kind::Failed, error.number(), error.description());
            startNext();
        }
    }
}

} // namespace corvane
