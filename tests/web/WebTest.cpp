// HTML printing over the browser host and PDF printing over the shell, on fakes.
#include "core/EventRecorder.h"

#include "platform/fake/RecordingSurface.h"

#include <corvane/Corvane.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
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

    fake::FakeBrowserHost &host() { return *platform.lastBrowser; }

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
    // Frames complete first, then the top-level document; empty and "http:///" never print.
    host().documentComplete(u"https://www.example.com/left.html", false);
    host().documentComplete(u"https://www.example.com/right.html", false);
    host().documentComplete(u"", true);
    host().documentComplete(u"http:///", true);
    EXPECT_EQ(host().calls.size(), 1u);
    host().documentComplete(u"https://www.example.com/frames.html", true);
    EXPECT_EQ(host().calls.back(), "Print");
    EXPECT_TRUE(events.events.empty()); // HTML printing raises no event
}

TEST_F(WebTest, OnlyTheExactEmptyHttpAddressIsCancelled)
{
    doc.PrintHTMLDocument(u"x.htm");
    EXPECT_TRUE(host().beforeNavigate(u"http:///", true));
    EXPECT_FALSE(host().beforeNavigate(u"HTTP:///", true));
    EXPECT_FALSE(host().beforeNavigate(u"http://example.com/", true));
    EXPECT_FALSE(host().beforeNavigate(u"about:blank", false));
}

TEST_F(WebTest, ARequestReplacesOneStillLoadingAndObjectsOfAThreadShareTheHost)
{
    doc.PrintHTMLDocument(u"first.htm");
    Corvane other(&platform);
    other.PrintHTMLDocument(u"second.htm");
    EXPECT_EQ(host().calls, (std::vector<std::string>{"Navigate first.htm", "Navigate second.htm"}));
    host().documentComplete(u"second.htm", true);
    EXPECT_EQ(std::count(host().calls.begin(), host().calls.end(), "Print"), 1);
}

TEST_F(WebTest, SourceGoesThroughANewTemporaryFile)
{
    EXPECT_TRUE(doc.PrintHTMLDocFromSource(u"<p>\u00e9</p>").isEmpty());
    const std::string path = toUtf8(doc.FileName());
    EXPECT_TRUE(std::regex_match(fs::path(path).filename().string(), std::regex(R"(\$[1-9][0-9]{5}\$\.htm)"))) << path;
    EXPECT_EQ(fs::path(path).parent_path(), dir);
    std::ifstream in(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "<p>\xC3\xA9</p>\r\n");
    EXPECT_EQ(host().calls, std::vector<std::string>{"Navigate " + path});
    host().documentComplete(doc.FileName(), true);
    EXPECT_TRUE(fs::exists(path)); // kept until the next object is created

    // PrintDoc with that FileName prints it again through the browser.
    doc.PrintDoc();
    EXPECT_EQ(host().calls.back(), "Navigate " + path);

    Corvane next(&platform);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(WebTest, ATemporaryFileThatCannotBeCreatedIsReported)
{
    platform.folder = fromUtf8((dir / "missing").string());
    const Variant result = doc.PrintHTMLDocFromSource(u"<p>x</p>");
    EXPECT_EQ(result, Variant::string(u"76|Path not found"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 76 Path not found"});
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
    EXPECT_EQ(platform.fakeShell.calls.back(), "print " + toUtf8(pdf) + " 0");

    // A missing file never reaches the shell; a wildcard that matches hands the pattern over.
    platform.fakeShell.calls.clear();
    events.events.clear();
    EXPECT_TRUE(doc.PrintPDFFile(fromUtf8((dir / "none.pdf").string())).isEmpty());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError -1 File Not Found!"});
    EXPECT_TRUE(platform.fakeShell.calls.empty());
    doc.PrintPDFFile(fromUtf8((dir / "d?c.pdf").string()));
    EXPECT_EQ(platform.fakeShell.calls, std::vector<std::string>{"print " + (dir / "d?c.pdf").string() + " 0"});
}

TEST_F(WebTest, AboutShowsTheDialog)
{
    doc.About();
    EXPECT_EQ(platform.aboutShown, 1);
}
