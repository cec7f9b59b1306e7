#include "EventRecorder.h"

#include "jobs/ThreadForms.h"
#include "platform/fake/RecordingSurface.h"

#include <corvane/Corvane.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace corvane;
using corvane::fake::RecordingPlatform;
using corvane::testing::EventRecorder;

namespace {

class CorvaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        platform.configure = [](fake::RecordingSurface &s) {
            s.printers = {u"Office Laser", u"Label Writer", u"Corvane PDF"};
            s.current = 2;
        };
    }
    void TearDown() override { resetThreadSurface(); }

    RecordingPlatform platform;
};

} // namespace

TEST_F(CorvaneTest, NewObjectHasEveryDefault)
{
    Corvane c(&platform);
    for (const UString *font : {&c.DocTitleFont(), &c.DocTextFont(), &c.DocHeaderFont(), &c.DocFooterFont()})
        EXPECT_EQ(*font, u"Arial,10,0,0,0");
    EXPECT_FALSE(c.PrintBorder());
    EXPECT_FALSE(c.LineBelowHeader());
    EXPECT_FALSE(c.LineAboveFooter());
    EXPECT_EQ(c.DocTitle(), u"");
    EXPECT_EQ(c.DocText(), u"");
    EXPECT_EQ(c.DocHeader(), u"");
    EXPECT_EQ(c.DocFooter(), u"");
    EXPECT_EQ(c.FileName(), u"");
    EXPECT_EQ(c.MarginLeft(), 1440);
    EXPECT_EQ(c.MarginRight(), 1440);
    EXPECT_EQ(c.MarginTop(), 1440);
    EXPECT_EQ(c.MarginBottom(), 1440);
    EXPECT_EQ(c.Copies(), 1);
    EXPECT_FALSE(c.IncludeDateTime());
    EXPECT_FALSE(c.AllDataFromFile());
    EXPECT_EQ(c.LineSpacing(), spLineSpacingSingle);
    EXPECT_EQ(c.PaperOrientation(), spOrientationPortrait);
    EXPECT_EQ(c.BorderLineWidth(), 1);
    EXPECT_EQ(c.PaperSize(), 1); // Letter, not the A4 of the layout parameters
    EXPECT_EQ(c.PrintQuality(), spQualityMedium);
    EXPECT_EQ(c.PaperBin(), spPaperBinAuto);
    EXPECT_FALSE(c.PrintPageNumber());

    const LayoutParameters layout;
    EXPECT_EQ(layout.PrnPaperSize, spPaperA4);
    EXPECT_EQ(layout.DocMarginLeft + layout.DocMarginTop + layout.DocMarginRight + layout.DocMarginBottom, 4 * 1440);
}

TEST_F(CorvaneTest, MarginAndCopiesWritesOutsideTheirBoundsAreIgnored)
{
    Corvane c(&platform);
    struct Check {
        void (Corvane::*set)(int16_t);
        int16_t (Corvane::*get)() const;
        int16_t low, high;
    };
    const Check checks[] = {
        {&Corvane::setMarginLeft, &Corvane::MarginLeft, 100, 5000},
        {&Corvane::setMarginRight, &Corvane::MarginRight, 100, 5000},
        {&Corvane::setMarginTop, &Corvane::MarginTop, 200, 10000},
        {&Corvane::setMarginBottom, &Corvane::MarginBottom, 200, 10000},
        {&Corvane::setCopies, &Corvane::Copies, 1, 32767},
    };
    for (const Check &check : checks) {
        (c.*check.set)(check.low);
        EXPECT_EQ((c.*check.get)(), check.low);
        (c.*check.set)(check.high);
        EXPECT_EQ((c.*check.get)(), check.high);
        (c.*check.set)(static_cast<int16_t>(check.low - 1));
        EXPECT_EQ((c.*check.get)(), check.high) << "below the lower bound";
        if (check.high < 32767) {
            (c.*check.set)(static_cast<int16_t>(check.high + 1));
            EXPECT_EQ((c.*check.get)(), check.high) << "above the upper bound";
        }
        (c.*check.set)(-32768);
        EXPECT_EQ((c.*check.get)(), check.high);
    }
    // Enumerated and other properties store any value unchanged.
    c.setPaperOrientation(5);
    EXPECT_EQ(c.PaperOrientation(), 5);
    c.setLineSpacing(-7);
    EXPECT_EQ(c.LineSpacing(), -7);
    c.setBorderLineWidth(0);
    EXPECT_EQ(c.BorderLineWidth(), 0);
}

TEST_F(CorvaneTest, GetPrintersListsTheCollectionInOrder)
{
    Corvane c(&platform);
    Variant count;
    const Variant names = c.GetPrinters(&count);
    EXPECT_EQ(count, Variant::integer(3));
    ASSERT_EQ(names.elements().size(), 3u);
    EXPECT_EQ(names.elements()[0], Variant::string(u"Office Laser"));
    EXPECT_EQ(names.elements()[1], Variant::string(u"Label Writer"));
    EXPECT_EQ(c.GetPrinters().elements().size(), 3u); // count omitted
}

TEST_F(CorvaneTest, GetPrintersWithNoPrinterGivesOneEmptyElement)
{
    platform.configure = [](fake::RecordingSurface &s) { s.printers.clear(); };
    Corvane c(&platform);
    Variant count = Variant::string(u"old");
    const Variant names = c.GetPrinters(&count);
    EXPECT_EQ(count, Variant::integer(0));
    ASSERT_EQ(names.elements().size(), 1u);
    EXPECT_TRUE(names.elements()[0].isEmpty());
}

TEST_F(CorvaneTest, GetPrintersCountsANameThatCannotBeRead)
{
    Corvane c(&platform);
    c.GetPrinters(); // create the surface
    platform.last->failures.emplace("DeviceName", RuntimeError(err::PrinterError));
    Variant count;
    const Variant names = c.GetPrinters(&count);
    EXPECT_EQ(count, Variant::integer(3));
    EXPECT_TRUE(names.elements()[2].isEmpty());
}

TEST_F(CorvaneTest, SetPrinterMatchesWholeNamesIgnoringCase)
{
    Corvane c(&platform);
    EXPECT_TRUE(c.SetPrinter(u"office laser").isEmpty());
    EXPECT_EQ(platform.last->current, 0);
    c.SetPrinter(u"Label");       // part of a name: no match
    c.SetPrinter(u"Nonexistent"); // no match, no report
    c.SetPrinter(u"");
    EXPECT_EQ(platform.last->current, 0);
    c.SetPrinter(u"LABEL WRITER");
    EXPECT_EQ(platform.last->current, 1);
}

TEST_F(CorvaneTest, PrinterSelectionBelongsToTheThread)
{
    Corvane first(&platform);
    first.SetPrinter(u"Label Writer");
    Corvane second(&platform);
    EXPECT_EQ(threadSurface(platform).currentDeviceName(), u"Label Writer");

    // Another thread starts from its own default printer and its choice stays there.
    UString otherThreadPrinter;
    std::thread other([&] {
        Corvane third(&platform);
        third.SetPrinter(u"Office Laser");
        otherThreadPrinter = threadSurface(platform).currentDeviceName();
        resetThreadSurface();
    });
    other.join();
    EXPECT_EQ(otherThreadPrinter, u"Office Laser");
    EXPECT_EQ(threadSurface(platform).currentDeviceName(), u"Label Writer");
}

TEST_F(CorvaneTest, EventArgumentsAreWritableBySubscribers)
{
    Corvane c(&platform);
    EventRecorder first, second;
    first.onError = [](Variant &number, Variant &description) {
        number = Variant::longValue(7);
        description = Variant::string(u"changed");
    };
    c.subscribe(&first);
    c.subscribe(&second);
    const Variant result = c.PrintTextFile(u"/nonexistent/x.txt");
    ASSERT_EQ(second.events.size(), 1u);
    EXPECT_EQ(second.events[0], "PrintError 7 changed"); // the next subscriber sees the change
    // The result comes from the error, not from what the handler wrote.
    EXPECT_EQ(result, Variant::string(u"-1|File Not Found!"));
    c.unsubscribe(&second);
    c.PrintPDFFile(u"/nonexistent/x.pdf");
    EXPECT_EQ(second.events.size(), 1u);
    EXPECT_EQ(first.events.size(), 2u);
}

TEST_F(CorvaneTest, CreationDeletesLeftoverTemporaryHtmlFiles)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("corvane-tmp-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const char *removed[] = {"$123456$.htm", "$$.htm", "$abc def$.HTM"};
    const char *kept[] = {"123456$.htm", "$123456$.html", "$123456.htm", "x$1$.htm"};
    for (const char *name : removed)
        std::ofstream(dir / name) << "x";
    for (const char *name : kept)
        std::ofstream(dir / name) << "x";
    fs::create_directory(dir / "$folder$.htm");

    platform.folder = fromUtf8(dir.string());
    Corvane c(&platform);
    for (const char *name : removed)
        EXPECT_FALSE(fs::exists(dir / name)) << name;
    for (const char *name : kept)
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_TRUE(fs::exists(dir / "$folder$.htm"));

    // A missing folder is no error.
    platform.folder = fromUtf8((dir / "missing").string());
    Corvane d(&platform);
    fs::remove_all(dir);
}
