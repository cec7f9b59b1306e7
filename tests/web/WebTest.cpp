// HTML printing over the browser host and PDF printing over the shell, on fakes.
#include "core/EventRecorder.h"

#include "core/Apartment.h"
#include "jobs/ThreadForms.h"
#include "platform/fake/RecordingSurface.h"

#include <corvane/Corvane.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>
#include <unistd.h>

using namespace corvane;
using corvane::fake::RecordingPlatform;
using corvane::testing::EventRecorder;
namespace fs = std::filesystem;

namespace {

class WebTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        dir = fs::temp_directory_path() / ("corvane-web-" + std::to_string(getpid()));
        fs::create_directories(dir);
        platform.folder = fromUtf8(dir.string());
        doc.subscribe(&events);
    }
    void TearDown() override
    {
        resetThreadSurface();
        fs::remove_all(dir);
    }

    // The thread's browser (created for the test when no request has made it yet).
    fake::FakeBrowserHost &host()
    {
        threadBrowser(platform);
        return *platform.lastBrowser;
    }

    fs::path dir;
    RecordingPlatform platform;
    Corvane doc{&platform};
    EventRecorder events;
};

} // namespace

TEST_F(WebTest, EmptyRequestsDoNothing)
{
    EXPECT_TRUE(doc.PrintHTMLDocument(u"").isEmpty());
    EXPECT_TRUE(doc.PrintHTMLDocFromSource(u"").isEmpty());
    EXPECT_FALSE(threadBrowserLoaded());
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebTest, OnlyTheTopLevelDocumentPrintsOnce)
{
    EXPECT_TRUE(doc.PrintHTMLDocument(u"https://www.example.com/frames.html").isEmpty());
    EXPECT_EQ(host().calls, std::vector<std::string>{"Navigate https://www.example.com/frames.html"});
    EXPECT_EQ(pendingHtmlRequests(), 1);
    // Frames complete first, then the top-level document.
    host().documentComplete(u"https://www.example.com/left.html", false);
    host().documentComplete(u"https://www.example.com/right.html", false);
    EXPECT_EQ(host().calls.size(), 1u);
    host().documentComplete(u"https://www.example.com/frames.html", true);
    EXPECT_EQ(host().calls.back(), "Print Corvane PDF");
    host().documentComplete(u"https://www.example.com/frames.html", true); // a second report
    EXPECT_EQ(host().calls.size(), 2u);
    host().endPrint();
    EXPECT_EQ(pendingHtmlRequests(), 0);
    EXPECT_TRUE(events.events.empty()); // a printed page raises no event
}

TEST_F(WebTest, TheEmptyHttpAddressIsCancelledAndNeverPrints)
{
    doc.PrintHTMLDocument(u"http:///");
    EXPECT_TRUE(host().calls.empty()); // cancelled before it is loaded
    EXPECT_EQ(pendingHtmlRequests(), 0);
    EXPECT_TRUE(host().beforeNavigate(u"http:///", true));
    EXPECT_FALSE(host().beforeNavigate(u"HTTP:///", true));
    EXPECT_FALSE(host().beforeNavigate(u"http://example.com/", true));
    EXPECT_FALSE(host().beforeNavigate(u"about:blank", false));
    // A completion report with an empty or that address ends the request without a print.
    doc.PrintHTMLDocument(u"https://example.com/a.html");
    host().documentComplete(u"", true);
    doc.PrintHTMLDocument(u"https://example.com/b.html");
    host().documentComplete(u"http:///", true);
    EXPECT_EQ(host().calls,
              (std::vector<std::string>{"Navigate https://example.com/a.html", "Navigate https://example.com/b.html"}));
    EXPECT_EQ(pendingHtmlRequests(), 0);
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebTest, RequestsWaitTheirTurnAndEachEndsOnTheObjectThatAsked)
{
    std::vector<HtmlOutcome> outcomes;
    int requested = 0;
    setHtmlOutcomeObserver([&](const HtmlOutcome &outcome) {
        if (outcome.kind == HtmlOutcome::Kind::Requested)
            ++requested;
        else
            outcomes.push_back(outcome);
    });
    struct Unwatch {
        ~Unwatch() { setHtmlOutcomeObserver(nullptr); }
    } unwatch;

    EventRecorder otherEvents;
    auto other = std::make_unique<Corvane>(&platform);
    other->subscribe(&otherEvents);
    doc.PrintHTMLDocument(u"https://example.com/1.html");
    other->PrintHTMLDocument(u"https://example.com/2.html");
    doc.PrintHTMLDocument(u"https://example.com/3.html");
    other->PrintHTMLDocument(u"https://example.com/4.html");
    // Only the first loads; the others wait for it.
    EXPECT_EQ(host().calls, std::vector<std::string>{"Navigate https://example.com/1.html"});
    EXPECT_EQ(pendingHtmlRequests(), 4);
    EXPECT_EQ(requested, 4);

    // 1 prints; 2 starts only when the print is handed over.
    host().documentComplete(u"https://example.com/1.html", true);
    EXPECT_EQ(host().calls.size(), 2u);
    host().endPrint();
    EXPECT_EQ(host().calls.back(), "Navigate https://example.com/2.html");

    // 2 fails to load: its object hears it, with the address; 3 starts.
    host().loadFailed(u"https://example.com/2.html", 404, u"https://example.com/2.html: HTTP status 404");
    EXPECT_EQ(otherEvents.events, std::vector<std::string>{"PrintError 404 https://example.com/2.html: HTTP status 404"});
    EXPECT_TRUE(events.events.empty());
    EXPECT_EQ(host().calls.back(), "Navigate https://example.com/3.html");

    // 3 loads but cannot be delivered: its own object hears it.
    host().documentComplete(u"https://example.com/3.html", true);
    host().endPrint(76, u"Path not found: no folder");
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 76 Path not found: no folder"});
    EXPECT_EQ(host().calls.back(), "Navigate https://example.com/4.html");

    // 4's object is gone before 4 fails: nobody hears it, and nothing breaks.
    other.reset();
    host().loadFailed(u"https://example.com/4.html", -105, u"not resolved");
    EXPECT_EQ(otherEvents.events.size(), 1u);
    EXPECT_EQ(pendingHtmlRequests(), 0);

    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].kind, HtmlOutcome::Kind::Printed);
    EXPECT_EQ(outcomes[1].kind, HtmlOutcome::Kind::Failed);
    EXPECT_EQ(outcomes[1].number, 404);
    EXPECT_EQ(outcomes[2].address, u"https://example.com/3.html");
    EXPECT_EQ(outcomes[2].number, 76);
    EXPECT_EQ(outcomes[3].number, -105);

    // Late reports of ended requests change nothing.
    host().documentComplete(u"https://example.com/4.html", true);
    host().endPrint();
    EXPECT_EQ(outcomes.size(), 4u);
}

TEST_F(WebTest, AFailureHandlerMayAskForTheNextPage)
{
    events.onError = [&](Variant &, Variant &) {
        if (events.events.size() < 3)
            doc.PrintHTMLDocument(u"https://example.com/again.html");
    };
    doc.PrintHTMLDocument(u"https://example.com/first.html");
    host().loadFailed(u"https://example.com/first.html", -7, u"timed out");
    EXPECT_EQ(host().calls.back(), "Navigate https://example.com/again.html");
    host().loadFailed(u"https://example.com/again.html", -7, u"timed out");
    host().loadFailed(u"https://example.com/again.html", -7, u"timed out");
    EXPECT_EQ(events.events.size(), 3u);
    EXPECT_EQ(pendingHtmlRequests(), 0);
}

TEST_F(WebTest, PagesPrintOnThePrinterOfTheirRequest)
{
    platform.configure = [](fake::RecordingSurface &surface) { surface.printers = {u"Corvane PDF", u"Office"}; };
    resetThreadSurface();
    doc.SetPrinter(u"office");
    doc.PrintHTMLDocument(u"https://example.com/a.html");
    doc.SetPrinter(u"Corvane PDF"); // after the request: the page keeps its printer
    host().documentComplete(u"https://example.com/a.html", true);
    EXPECT_EQ(host().calls.back(), "Print Office");
    host().endPrint();

    std::ofstream(dir / "doc.pdf") << "%PDF-1.4";
    doc.SetPrinter(u"Office");
    doc.PrintPDFFile(fromUtf8((dir / "doc.pdf").string()));
    EXPECT_EQ(platform.fakeShell.calls.back(), "print " + (dir / "doc.pdf").string() + " 0 Office");
}

TEST_F(WebTest, ARelativeFileNameIsTakenFromTheCurrentFolder)
{
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    doc.PrintHTMLDocument(u"report.html");
    doc.setFileName(u"./routed.htm");
    std::ofstream(dir / "routed.htm") << "<p>x</p>";
    doc.PrintDoc();
    fs::current_path(before);
    host().documentComplete(u"x", true);
    host().endPrint();
    EXPECT_EQ(host().calls, (std::vector<std::string>{"Navigate " + (dir / "report.html").string(), "Print Corvane PDF",
                                                      "Navigate " + (dir / "routed.htm").string()}));
#if !defined(_WIN32) // Windows removes no folder that is a current folder
    // With the current folder gone a relative name names nothing.
    const fs::path gone = dir / "gone";
    fs::create_directories(gone);
    fs::current_path(gone);
    fs::remove(gone);
    events.events.clear();
    const Variant result = doc.PrintHTMLDocument(u"a.html");
    fs::current_path(before);
    EXPECT_EQ(result, Variant::string(u"76|Path not found: a.html (the current folder is gone)"));
    EXPECT_EQ(events.events,
              std::vector<std::string>{"PrintError 76 Path not found: a.html (the current folder is gone)"});
#endif

    // Addresses with a scheme stand as they are.
    for (const char16_t *address : {u"about:blank", u"data:text/html,<p>x</p>", u"file:///tmp/x.html"}) {
        host().calls.clear();
        Corvane fresh(&platform);
        host().loadFailed(u"", -1, u"-");
        fresh.PrintHTMLDocument(address);
        EXPECT_EQ(host().calls, std::vector<std::string>{"Navigate " + toUtf8(address)});
    }
}

TEST_F(WebTest, SourceGoesThroughANewTemporaryFileKeptWhileItsRequestLasts)
{
    EXPECT_TRUE(doc.PrintHTMLDocFromSource(u"<p>\u00e9</p>").isEmpty());
    const std::string path = toUtf8(doc.FileName());
    EXPECT_TRUE(std::regex_match(fs::path(path).filename().string(), std::regex(R"(\$[1-9][0-9]{5}\$\.htm)"))) << path;
    EXPECT_EQ(fs::path(path).parent_path(), dir);
    {
        // Closed again before the file is to be deleted: Windows deletes no open file.
        std::ifstream in(path, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, "<p>\xC3\xA9</p>\r\n");
    }
    EXPECT_EQ(host().calls, std::vector<std::string>{"Navigate " + path + " itself"});

    // A new object leaves the file of a page still loading alone.
    {
        Corvane next(&platform);
    }
    EXPECT_TRUE(fs::exists(path));
    host().documentComplete(doc.FileName(), true);
    host().endPrint();
    EXPECT_TRUE(fs::exists(path)); // kept after printing

    // PrintDoc with that FileName prints it again through the browser.
    doc.PrintDoc();
    EXPECT_EQ(host().calls.back(), "Navigate " + path);
    host().documentComplete(doc.FileName(), true);
    host().endPrint();

    // Once no request needs it, the next object deletes it.
    Corvane next(&platform);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(WebTest, ATemporaryFileThatCannotBeCreatedIsReportedWithItsName)
{
    platform.folder = fromUtf8((dir / "missing").string());
    const Variant result = doc.PrintHTMLDocFromSource(u"<p>x</p>");
    EXPECT_EQ(result, Variant::string(u"76|Path not found"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 76 Path not found"});
    // FileName names the file it tried to create, in that folder.
    const fs::path tried(toUtf8(doc.FileName()));
    EXPECT_EQ(tried.parent_path(), dir / "missing");
    EXPECT_TRUE(std::regex_match(tried.filename().string(), std::regex(R"(\$[1-9][0-9]{5}\$\.htm)"))) << tried;
    EXPECT_EQ(pendingHtmlRequests(), 0);
}

TEST_F(WebTest, ManyTemporaryFilesNeverOverwriteOneAnother)
{
    std::set<std::string> names;
    for (int i = 0; i < 200; ++i) {
        doc.PrintHTMLDocFromSource(u"<p>" + decimal(i) + u"</p>");
        names.insert(toUtf8(doc.FileName()));
    }
    EXPECT_EQ(names.size(), 200u);
    int files = 0;
    for (const auto &entry : fs::directory_iterator(dir))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 200);
    EXPECT_EQ(pendingHtmlRequests(), 200);
    // Each is loaded in turn, in the order asked.
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(host().calls.back().rfind("Navigate ", 0), 0u) << i;
        host().documentComplete(u"page", true);
        host().endPrint();
    }
    EXPECT_EQ(pendingHtmlRequests(), 0);

    // A name that is taken is refused and its file left as it was.
    const fs::path taken = dir / "$123456$.htm";
    std::ofstream(taken) << "kept";
    EXPECT_EQ(platform.createTemporaryFile(fromUtf8(taken.string()), "new"), nullptr);
    std::ifstream in(taken);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept");
}

TEST_F(WebTest, PdfFilesGoToTheShellWithItsCodes)
{
    std::ofstream(dir / "doc.pdf") << "%PDF-1.4";
    const UString pdf = fromUtf8((dir / "doc.pdf").string());
    const std::pair<int32_t, std::string> cases[] = {
        {42, "PrintComplete"},
        {33, "PrintComplete"},
        {32, "PrintError 32 Error printing PDF file!"},
        {31, "PrintError 31 No application is associated with PDF file printing!"},
        {2, "PrintError 2 Error printing PDF file!"},
    };
    for (const auto &[code, event] : cases) {
        platform.fakeShell.code = code;
        events.events.clear();
        EXPECT_TRUE(doc.PrintPDFFile(pdf).isEmpty());
        EXPECT_EQ(events.events, std::vector<std::string>{event}) << code;
    }
    EXPECT_EQ(platform.fakeShell.calls.back(), "print " + toUtf8(pdf) + " 0 Corvane PDF");

    // A missing file never reaches the shell; a wildcard that matches hands the pattern over.
    platform.fakeShell.calls.clear();
    events.events.clear();
    EXPECT_TRUE(doc.PrintPDFFile(fromUtf8((dir / "none.pdf").string())).isEmpty());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError -1 File Not Found!"});
    EXPECT_TRUE(platform.fakeShell.calls.empty());
    doc.PrintPDFFile(fromUtf8((dir / "d?c.pdf").string()));
    EXPECT_EQ(platform.fakeShell.calls,
              std::vector<std::string>{"print " + (dir / "d?c.pdf").string() + " 0 Corvane PDF"});
}

TEST_F(WebTest, AboutShowsTheDialog)
{
    doc.About();
    EXPECT_EQ(platform.aboutShown, 1);
}

namespace {
// A platform whose browser lives on another thread: work for it waits in a queue until the
// browser's thread (the test) runs it.
class BrowserElsewhere final : public Platform {
public:
    RecordingPlatform &inner;
    std::mutex mutex;
    std::deque<std::function<void()>> work;
    explicit BrowserElsewhere(RecordingPlatform &platform)
        : inner(platform)
    {
    }
    std::unique_ptr<PrinterSurface> createPrinterSurface() override { return inner.createPrinterSurface(); }
    std::unique_ptr<RichTextControl> createRichTextControl() override { return inner.createRichTextControl(); }
    std::unique_ptr<BrowserHost> createBrowserHost() override { return inner.createBrowserHost(); }
    void onBrowserThread(std::function<void()> w) override
    {
        std::lock_guard lock(mutex);
        work.push_back(std::move(w));
    }
    void runBrowserWork()
    {
        std::deque<std::function<void()>> now;
        {
            std::lock_guard lock(mutex);
            now.swap(work);
        }
        for (auto &w : now)
            w();
    }
    Shell &shell() override { return inner.shell(); }
    void showAbout() override {}
    void processEvents() override {}
    UString libraryFolder() override { return inner.libraryFolder(); }
    UString shortDate() override { return {}; }
    UString shortTime() override { return {}; }
};

// Runs body on a thread of its own and returns when it has.
template <typename Body> void onAnotherThread(Body body)
{
    std::thread thread(body);
    thread.join();
}
} // namespace

TEST_F(WebTest, AnObjectIsUsedOnItsOwnThreadOnly)
{
    // From another thread every member is refused, and nothing changes.
    std::vector<int32_t> refused;
    onAnotherThread([&] {
        const auto expectRefused = [&](auto call) {
            try {
                call();
            } catch (const RuntimeError &error) {
                refused.push_back(error.number());
                EXPECT_EQ(error.description(),
                          u"The application called an interface that was marshalled for a different thread");
            }
        };
        expectRefused([&] { doc.setDocText(u"from elsewhere"); });
        expectRefused([&] { (void)doc.MarginLeft(); });
        expectRefused([&] { doc.PrintDoc(); });
        expectRefused([&] { doc.PrintHTMLDocFromSource(u"<p>x</p>"); });
        expectRefused([&] { doc.SetPrinter(u"Corvane PDF"); });
        expectRefused([&] { doc.GetPrinters(); });
    });
    EXPECT_EQ(refused, std::vector<int32_t>(6, static_cast<int32_t>(0x8001010E)));
    EXPECT_EQ(doc.DocText(), u"");
    EXPECT_FALSE(threadBrowserLoaded());
    EXPECT_TRUE(events.events.empty());
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(WebTest, OutcomesOfPagesComeBackToTheThreadThatAsked)
{
    // The object lives on a thread of its own; the browser on this one.
    BrowserElsewhere elsewhere(platform);
    std::mutex mutex;
    std::condition_variable changed;
    int step = 0; // 1: asked; 2: the browser has failed the pages; 3: delivered
    std::vector<std::string> seen;
    std::thread::id raisedOn, asker;
    int pendingBefore = -1, pendingAfter = -1;
    std::thread worker([&] {
        asker = std::this_thread::get_id();
        Corvane own(&elsewhere);
        EventRecorder recorder;
        recorder.onError = [&](Variant &, Variant &) { raisedOn = std::this_thread::get_id(); };
        own.subscribe(&recorder);
        EXPECT_TRUE(own.PrintHTMLDocument(u"https://example.com/a.html").isEmpty());
        EXPECT_TRUE(own.PrintHTMLDocument(u"https://example.com/b.html").isEmpty());
        std::unique_lock lock(mutex);
        step = 1;
        changed.notify_all();
        changed.wait(lock, [&] { return step == 2; });
        pendingBefore = Apartment::current()->pendingPages();
        // Nothing is raised until this thread lets its messages through.
        EXPECT_TRUE(recorder.events.empty());
        lock.unlock();
        EXPECT_GT(Apartment::current()->deliver(), 0);
        pendingAfter = Apartment::current()->pendingPages();
        seen = recorder.events;
        lock.lock();
        step = 3;
        changed.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return step == 1; });
    }
    elsewhere.runBrowserWork();
    fake::FakeBrowserHost &browser = *platform.lastBrowser;
    browser.loadFailed(u"https://example.com/a.html", 404, u"a: 404");
    browser.loadFailed(u"https://example.com/b.html", -105, u"b: not resolved");
    {
        std::unique_lock lock(mutex);
        step = 2;
        changed.notify_all();
        changed.wait(lock, [&] { return step == 3; });
    }
    worker.join();
    EXPECT_EQ(pendingBefore, 0); // both have ended; their events wait for the thread
    EXPECT_EQ(pendingAfter, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"PrintError 404 a: 404", "PrintError -105 b: not resolved"}));
    EXPECT_EQ(raisedOn, asker);
    EXPECT_TRUE(events.events.empty()); // this thread's object heard nothing
}

TEST_F(WebTest, APageCancelledByItsThreadNeverPrintsAndOnePrintingIsNeverCancelled)
{
    // Three pages: the first is being handed over when the wait runs out, the second loading,
    // the third waiting its turn.
    doc.PrintHTMLDocument(u"https://example.com/1.html");
    doc.PrintHTMLDocument(u"https://example.com/2.html");
    doc.PrintHTMLDocument(u"https://example.com/3.html");
    host().documentComplete(u"https://example.com/1.html", true);
    EXPECT_EQ(Apartment::current()->pendingPages(), 3);
    // The asking thread gives up: all but the one being printed are cancelled, at once.
    host().endPrint(); // 1 is handed over...
    const auto cancelled = Apartment::current()->cancelPages();
    ASSERT_EQ(cancelled.size(), 2u);
    for (const auto &ticket : cancelled)
        ticket->cancelled(u"the wait ran out");
    EXPECT_EQ(events.events, (std::vector<std::string>{
                                 "PrintError 75 Path/File access error: the page https://example.com/2.html was not "
                                 "printed: the wait ran out",
                                 "PrintError 75 Path/File access error: the page https://example.com/3.html was not "
                                 "printed: the wait ran out"}));
    EXPECT_EQ(Apartment::current()->pendingPages(), 0);
    // 2 finishes loading later: it is not printed, and nothing more is raised; 3 is never loaded.
    host().documentComplete(u"https://example.com/2.html", true);
    EXPECT_EQ(host().calls, (std::vector<std::string>{"Navigate https://example.com/1.html", "Print Corvane PDF",
                                                      "Navigate https://example.com/2.html"}));
    EXPECT_EQ(host().handedOver, 1);
    EXPECT_EQ(events.events.size(), 2u);
    EXPECT_EQ(pendingHtmlRequests(), 0);

    // A page cancelled while its print is being made is not handed over.
    events.events.clear();
    doc.PrintHTMLDocument(u"https://example.com/4.html");
    host().documentComplete(u"https://example.com/4.html", true);
    for (const auto &ticket : Apartment::current()->cancelPages())
        ticket->cancelled(u"the wait ran out");
    host().endPrint();
    EXPECT_EQ(host().handedOver, 1);
    EXPECT_EQ(events.events.size(), 1u);
    EXPECT_EQ(Apartment::current()->pendingPages(), 0);
}

TEST_F(WebTest, AnObjectKeepsOnlyItsLatestTemporaryFile)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i) {
        doc.PrintHTMLDocFromSource(u"<p>customer " + decimal(i) + u"</p>");
        paths.push_back(toUtf8(doc.FileName()));
        host().documentComplete(doc.FileName(), true);
        host().endPrint();
    }
    // Each new file took the place of the one before; the last stays, as FileName names it.
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(fs::exists(paths[i])) << i;
    EXPECT_TRUE(fs::exists(paths[4]));
    // A file whose page is still pending is kept until it is not.
    doc.PrintHTMLDocFromSource(u"<p>pending</p>");
    const std::string pending = toUtf8(doc.FileName());
    doc.PrintHTMLDocFromSource(u"<p>next</p>");
    EXPECT_TRUE(fs::exists(pending));
    EXPECT_FALSE(fs::exists(paths[4]));
}

TEST_F(WebTest, ATemporaryFilePrintedAgainStaysWhileThatPageIsPending)
{
    // PrintDoc with FileName still naming the page's file prints it again; a new page from
    // source meanwhile leaves the file for that request, and takes it once it has printed.
    doc.PrintHTMLDocFromSource(u"<p>first</p>");
    const std::string first = toUtf8(doc.FileName());
    host().documentComplete(doc.FileName(), true);
    host().endPrint();
    doc.PrintDoc();
    doc.PrintHTMLDocFromSource(u"<p>second</p>");
    EXPECT_TRUE(fs::exists(first));
    host().documentComplete(fromUtf8(first), true);
    host().endPrint();
    EXPECT_EQ(host().handedOver, 2);
    doc.PrintHTMLDocFromSource(u"<p>third</p>");
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(events.events.empty());
}
