// PrintDoc: files, routes, paper settings and the error paths, on the recording surface.
#include "core/EventRecorder.h"

#include "jobs/ThreadForms.h"
#include "platform/fake/RecordingSurface.h"

#include <corvane/Corvane.h>
#include <corvane/Errors.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace corvane;
using corvane::fake::RecordingPlatform;
using corvane::fake::RecordingSurface;
using corvane::testing::EventRecorder;

namespace fs = std::filesystem;

namespace {

class PrintDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        dir = fs::temp_directory_path() / ("corvane-printdoc-" + std::to_string(getpid()));
        fs::create_directories(dir);
        doc.subscribe(&events);
    }
    void TearDown() override
    {
        resetThreadSurface();
        fs::remove_all(dir);
    }

    UString file(const std::string &name, const std::string &bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return fromUtf8((dir / name).string());
    }

    RecordingSurface &surface() { return static_cast<RecordingSurface &>(threadSurface(platform)); }

    fs::path dir;
    RecordingPlatform platform;
    Corvane doc{&platform};
    EventRecorder events;
};

} // namespace

TEST_F(PrintDocTest, AMissingFileIsReportedBeforeAnythingIsPrinted)
{
    for (const char *name : {"missing.txt", "missing.pdf", "missing.htm", "."}) {
        events.events.clear();
        doc.setFileName(fromUtf8((dir / name).string()));
        EXPECT_EQ(doc.PrintDoc(), Variant::string(u"-1|File Not Found!")) << name;
        EXPECT_EQ(events.events, std::vector<std::string>{"PrintError -1 File Not Found!"});
    }
    EXPECT_EQ(doc.PendingErrNumber(), Variant::integer(-1));
    file(".hidden.txt", "x");
    doc.setFileName(fromUtf8((dir / ".hidden.txt").string()));
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"-1|File Not Found!"));
    EXPECT_TRUE(surface().log.empty());
}

TEST_F(PrintDocTest, AHandlerThatChangesTheMissingFileArgumentsChangesTheResult)
{
    events.onError = [](Variant &number, Variant &description) {
        number = Variant::longValue(42);
        description = Variant::string(u"Gone");
    };
    doc.setFileName(u"/nonexistent/file.txt");
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"42|Gone"));
    EXPECT_EQ(doc.PendingErrDescription(), Variant::string(u"Gone"));

    // On the error-handler path the result comes from the error itself.
    doc.setFileName({});
    doc.PrintDoc(); // creates the surface
    surface().failures.emplace("EndDoc", RuntimeError(err::PrinterError));
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"482|Printer error"));
}

TEST_F(PrintDocTest, WildcardsMatchAsInADirectoryListing)
{
    file("report-2026.txt", "Wild");
    doc.setFileName(fromUtf8((dir / "report-*.txt").string()));
    const Variant result = doc.PrintDoc();
    // The file exists, but a name with wildcards cannot be opened.
    EXPECT_EQ(result, Variant::string(u"52|Bad file name or number"));
    doc.setFileName(fromUtf8((dir / "nothing-?.txt").string()));
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"-1|File Not Found!"));
#ifdef _WIN32
    // A long path's prefix is no wildcard.
    doc.setFileName(u"\\\\?\\" + file("long.txt", "Long"));
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_EQ(doc.DocText(), u"Long");
#endif
}

TEST_F(PrintDocTest, TheWholeFileBecomesTheBodyAndTheOtherTextsStay)
{
    doc.setDocTitle(u"Kept");
    doc.setDocHeader(u"Head");
    doc.setFileName(file("body.txt", "one\r\ntwo"));
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_EQ(doc.DocText(), u"one\r\ntwo");
    EXPECT_EQ(doc.DocTitle(), u"Kept");
    EXPECT_EQ(doc.DocHeader(), u"Head");
    EXPECT_EQ(events.events.back(), "PrintComplete");
}

TEST_F(PrintDocTest, AllDataFromFileTakesThreeLinesThenTheRest)
{
    doc.setAllDataFromFile(true);
    doc.setFileName(file("crlf.txt", "Title\r\nHeader\r\nFooter\r\nBody line 1\r\nBody line 2\r\n"));
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_EQ(doc.DocTitle(), u"Title");
    EXPECT_EQ(doc.DocHeader(), u"Header");
    EXPECT_EQ(doc.DocFooter(), u"Footer");
    EXPECT_EQ(doc.DocText(), u"Body line 1\r\nBody line 2\r\n");

    // Line feeds alone lose nothing of the body.
    doc.setFileName(file("lf.txt", "T\nH\nF\nthe whole body\nto its end"));
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_EQ(doc.DocTitle(), u"T");
    EXPECT_EQ(doc.DocText(), u"the whole body\nto its end");

    events.events.clear();
    doc.setFileName(file("short.txt", "Only\r\ntwo lines"));
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"62|Input past end of file"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 62 Input past end of file"});
    EXPECT_EQ(doc.DocTitle(), u"T"); // nothing half-set
}

TEST_F(PrintDocTest, LegacyBytesAreReadAsWindows1252)
{
    doc.setFileName(file("legacy.txt", "caf\xE9 \x80 5"));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocText(), u"caf\u00E9 \u20AC 5");
    doc.setFileName(file("utf8.txt", "\xEF\xBB\xBF"
                                     "caf\xC3\xA9"));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocText(), u"caf\u00E9");
}

TEST_F(PrintDocTest, Utf16FilesAreReadByTheirByteOrderMark)
{
    // "Привет мир" as a Notepad "Unicode" file (little-endian) and as a big-endian one.
    const std::string little = std::string("\xFF\xFE\x1F\x04\x40\x04\x38\x04\x32\x04\x35\x04\x42\x04 \0", 16)
                             + std::string("\x3C\x04\x38\x04\x40\x04", 6);
    doc.setFileName(file("le.txt", little));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocText(), u"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440");
    doc.setFileName(file("be.txt", std::string("\xFE\xFF\x04\x1F\x04\x40\0 \xD8\x3D\xDE\x00", 12)));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocText(), u"\u041F\u0440 \U0001F600");

    // The lines of a UTF-16 file, CR LF, are the title, header and footer.
    doc.setAllDataFromFile(true);
    doc.setFileName(file("lines.txt", std::string("\xFF\xFET\0\r\0\n\0H\0\r\0\n\0F\0\r\0\n\0B\0o\0d\0y\0", 28)));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocTitle(), u"T");
    EXPECT_EQ(doc.DocHeader(), u"H");
    EXPECT_EQ(doc.DocFooter(), u"F");
    EXPECT_EQ(doc.DocText(), u"Body");
    doc.setAllDataFromFile(false);

    // A byte left over at the end and a surrogate without its partner each become U+FFFD; the
    // rest is read as it stands.
    doc.setFileName(file("odd.txt", std::string("\xFF\xFEO\0k\0\x41", 7)));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocText(), u"Ok\uFFFD");
    doc.setFileName(file("lone.txt", std::string("\xFE\xFF\xD8\x3D\0a\xDE\x00\0b\xD8\x00", 12)));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocText(), u"\uFFFDa\uFFFDb\uFFFD");
    doc.setFileName(file("mark.txt", "\xFF\xFE"));
    doc.PrintDoc();
    EXPECT_EQ(doc.DocText(), u"");
}

TEST_F(PrintDocTest, TheRouteFollowsTheEndingInAnyLetterCase)
{
    // Rich text and PDF print at once; HTML goes to the browser, which reports nothing.
    const std::pair<const char *, const char *> routes[] = {{"a.RTF", "PrintComplete"},
                                                            {"a.Htm", "Navigate"},
                                                            {"a.hTML", "Navigate"},
                                                            {"a.MHT", "Navigate"},
                                                            {"a.Pdf", "PrintComplete"}};
    for (const auto &[name, route] : routes) {
        events.events.clear();
        const UString path = file(name, "x");
        doc.setFileName(path);
        EXPECT_TRUE(doc.PrintDoc().isEmpty()) << name;
        if (std::string(route) == "Navigate") {
            EXPECT_TRUE(events.events.empty()) << name;
            EXPECT_EQ(platform.lastBrowser->calls.back(), "Navigate " + toUtf8(path));
            platform.lastBrowser->documentComplete(path, true);
            platform.lastBrowser->endPrint();
        } else {
            EXPECT_EQ(events.events, std::vector<std::string>{route}) << name;
        }
    }
    EXPECT_EQ(platform.fakeShell.calls.size(), 1u);
    // Plain text: other endings, no ending, "html" without its point, and short names.
    for (const char *name : {"b.txt", "README", "xhtml", "ab"}) {
        events.events.clear();
        doc.setFileName(file(name, "plain"));
        EXPECT_TRUE(doc.PrintDoc().isEmpty()) << name;
        EXPECT_EQ(events.events.back(), "PrintComplete") << name;
        EXPECT_EQ(doc.DocText(), u"plain");
    }
}

TEST_F(PrintDocTest, PrinterNameSelectsIgnoringCaseAndPaperSettingsAreSkippedOneByOne)
{
    platform.configure = [](RecordingSurface &s) {
        s.printers = {u"Office Laser", u"Corvane PDF"};
        s.current = 1;
        s.failures.emplace("setPaperBin", RuntimeError(err::InvalidPropertyValue));
    };
    doc.setPaperOrientation(2);
    doc.setPaperSize(70000); // does not fit 16 bits: skipped
    doc.setPrintQuality(4);
    doc.setCopies(3);
    EXPECT_TRUE(doc.PrintDoc(u"OFFICE laser").isEmpty());
    const std::vector<std::string> head(surface().log.begin(), surface().log.begin() + 4);
    EXPECT_EQ(head, (std::vector<std::string>{"Select \"Office Laser\"", "Orientation 2", "PrintQuality 4", "Copies 3"}));
    EXPECT_EQ(events.events.back(), "PrintComplete");
    doc.PrintDoc(u"Nobody");
    EXPECT_EQ(surface().current, 0);
}

TEST_F(PrintDocTest, AFailedJobIsAbandonedAndThePenWidthRestored)
{
    doc.PrintDoc();
    RecordingSurface &s = surface();
    s.setDrawWidth(4);
    s.log.clear();
    s.failures.emplace("EndDoc", RuntimeError(err::PrinterError));
    doc.setBorderLineWidth(2);
    doc.setDocText(u"words");
    events.events.clear();
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"482|Printer error"));
    EXPECT_EQ(events.events, (std::vector<std::string>{"PrintProgress 1", "PrintError 482 Printer error"}));
    EXPECT_EQ(s.jobsKilled, 1);
    EXPECT_FALSE(s.jobOpen());
    EXPECT_EQ(s.DrawWidth(), 4);

    // A failure in the middle of the layout: the same.
    s.failures.clear();
    s.failures.emplace("LineBox", RuntimeError(err::InvalidPropertyValue));
    doc.setPrintBorder(true);
    events.events.clear();
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"380|Invalid property value"));
    EXPECT_EQ(s.log.end()[-2], "KillDoc");
    EXPECT_EQ(s.log.back(), "DrawWidth 4");
}

TEST_F(PrintDocTest, ATabThatLeavesThe16BitRangeIsAnOverflow)
{
    platform.configure = [](RecordingSurface &s) { s.charWidths[u'0'] = 0.000001f; };
    doc.setDocText(u"x\t");
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"6|Overflow"));
    resetThreadSurface();
    platform.configure = [](RecordingSurface &s) { s.charWidths[u'0'] = 0; };
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"11|Division by zero"));
}

TEST_F(PrintDocTest, ADocumentTooBigForMemoryIsAnErrorAndNothingIsDelivered)
{
    // An allocation that fails in the middle of the job (the surface's third page here) is
    // run-time error 7; the job is abandoned, not left open or handed over.
    doc.PrintDoc();
    RecordingSurface &s = surface();
    s.onOperation = [](const std::string &name) {
        static int pages = 0;
        if (name == "NewPage" && ++pages == 2)
            throw std::bad_alloc();
    };
    UString body;
    for (int i = 0; i < 200; ++i)
        body += u"line\n";
    doc.setDocText(body);
    events.events.clear();
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"7|Out of memory"));
    EXPECT_EQ(events.events.back(), "PrintError 7 Out of memory");
    EXPECT_EQ(s.jobsKilled, 1);
    EXPECT_FALSE(s.jobOpen());
    s.onOperation = nullptr;
}

// A handler that raises an error while the outcome of a file refused is reported: its error is
// reported as well, and PrintDoc's result is that error, as for a failure inside the job.
TEST_F(PrintDocTest, AnErrorRaisedByTheHandlerOfARefusedFileIsReportedToo)
{
    events.onError = [](Variant &number, Variant &) {
        if (number == Variant::integer(-1))
            throw RuntimeError(err::DivisionByZero);
    };
    doc.setFileName(fromUtf8((dir / "missing.txt").string()));
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"11|Division by zero"));
    EXPECT_EQ(events.events,
              (std::vector<std::string>{"PrintError -1 File Not Found!", "PrintError 11 Division by zero"}));

    events.events.clear();
    EXPECT_EQ(doc.PrintPDFFile(fromUtf8((dir / "missing.pdf").string())), Variant());
    EXPECT_EQ(events.events,
              (std::vector<std::string>{"PrintError -1 File Not Found!", "PrintError 11 Division by zero"}));
}
