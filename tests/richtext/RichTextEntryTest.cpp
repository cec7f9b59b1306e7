// The rich-text page renderer and the RTF and plain-text entry points, on the recording
// surface and a fake control that "draws" a fixed number of characters a page.
#include "core/EventRecorder.h"

#include "jobs/ThreadForms.h"
#include "platform/fake/RecordingSurface.h"
#include "richtext/RichTextRenderer.h"

#include <corvane/Corvane.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace corvane;
using corvane::fake::FakeRichText;
using corvane::fake::RecordingPlatform;
using corvane::fake::RecordingSurface;
using corvane::testing::EventRecorder;

namespace {

class RichTextEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        platform.configure = [](RecordingSurface &s) {
            s.sheetWidth = 11906; // A4
            s.sheetHeight = 16838;
        };
        platform.configureRichText = [this](FakeRichText &control) { control.charsPerPage = charsPerPage; };
        doc.subscribe(&events);
    }
    void TearDown() override { resetThreadSurface(); }

    RecordingSurface &surface() { return static_cast<RecordingSurface &>(threadSurface(platform)); }
    std::vector<std::string> formatRanges() { return surface().lines("FormatRange"); }

    int32_t charsPerPage = 1000;
    RecordingPlatform platform;
    Corvane doc{&platform};
    EventRecorder events;
};

} // namespace

TEST_F(RichTextEntry, AnEmptyDocumentPrintsOnePage)
{
    EXPECT_TRUE(doc.PrintRTFData(u"").isEmpty());
    EXPECT_EQ(formatRanges().size(), 1u);
    EXPECT_TRUE(surface().lines("NewPage").empty());
    EXPECT_EQ(surface().jobsEnded, 1);
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
}

TEST_F(RichTextEntry, TextThatFillsExactlyOnePageGivesOnePage)
{
    charsPerPage = 10;
    doc.PrintText(u"0123456789");
    EXPECT_EQ(formatRanges().size(), 1u);
    resetThreadSurface();
    doc.PrintText(u"0123456789A");
    EXPECT_EQ(formatRanges().size(), 2u);
    EXPECT_EQ(surface().lines("NewPage"), std::vector<std::string>{"NewPage 2"});
    // Each page carries the blank that opened it, at its top left.
    EXPECT_EQ(surface().lines("Text").size(), 2u);
}

TEST_F(RichTextEntry, DefaultsAndTheDrawingRectangle)
{
    doc.setMarginLeft(500); // the object's properties do not reach these methods
    doc.setPaperSize(spPaperLetter);
    doc.PrintRTFData(u"{\\rtf1 x}");
    const std::vector<std::string> settings(surface().log.begin(), surface().log.begin() + 5);
    EXPECT_EQ(settings,
              (std::vector<std::string>{"Orientation 1", "PaperSize 9", "PaperBin 7", "PrintQuality 3", "Copies 1"}));
    EXPECT_EQ(formatRanges()[0], "FormatRange 0 1440 1440 10466 15398 page 11906 16838");

    // The worked example: physical offsets of 240 twips on both axes.
    resetThreadSurface();
    platform.configure = [](RecordingSurface &s) {
        s.sheetWidth = 11906;
        s.sheetHeight = 16838;
        s.offsetX = s.offsetY = 240;
    };
    doc.PrintRTFData(u"{\\rtf1 x}");
    EXPECT_EQ(formatRanges()[0], "FormatRange 0 1200 1200 10226 15158 page 11426 16358");
    EXPECT_EQ(drawingRectangle(LayoutParameters{}, 240, 240, 11906, 16838), (TwipsRect{1200, 1200, 10226, 15158}));
}

TEST_F(RichTextEntry, APaperSettingThePrinterRefusesIsSkipped)
{
    platform.configure = [](RecordingSurface &s) {
        s.failures.emplace("setPaperBin", RuntimeError(err::InvalidPropertyValue));
    };
    LayoutParameters layout;
    layout.PrnPaperBin = spPaperBinCassette;
    layout.PrnPaperOrientation = 70000; // does not fit 16 bits
    EXPECT_TRUE(doc.PrintRTFData(u"x", layout).isEmpty());
    EXPECT_EQ(surface().log[0], "PaperSize 9");
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
}

TEST_F(RichTextEntry, AJobThatFailsIsReportedNotCompleted)
{
    // The spooler refuses the job at its end.
    platform.configure = [](RecordingSurface &s) { s.failures.emplace("EndDoc", RuntimeError(err::PrinterError)); };
    EXPECT_EQ(doc.PrintRTFData(u"x"), Variant::string(u"482|Printer error"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 482 Printer error"});
    EXPECT_TRUE(threadRichTextLoaded()); // kept after a failed job

    // A pass that makes no progress ends the job instead of repeating for ever.
    resetThreadSurface();
    platform.configure = nullptr;
    charsPerPage = 0;
    events.events.clear();
    const Variant result = doc.PrintText(u"never fits");
    EXPECT_EQ(result.toString().substr(0, 4), u"482|");
    EXPECT_EQ(surface().jobsKilled, 1);
    EXPECT_EQ(surface().jobsEnded, 0);
    EXPECT_EQ(events.events.size(), 1u);
}

TEST_F(RichTextEntry, TheFormIsFreshForEverySuccessfulJob)
{
    const int before = FakeRichText::created;
    doc.PrintRTFData(u"a");
    EXPECT_FALSE(threadRichTextLoaded());
    doc.PrintRTFData(u"b");
    EXPECT_EQ(FakeRichText::created, before + 2);

    // A missing file creates no form.
    events.events.clear();
    EXPECT_EQ(doc.PrintRTFFile(u"/nonexistent/x.rtf"), Variant::string(u"-1|File Not Found!"));
    EXPECT_EQ(FakeRichText::created, before + 2);
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError -1 File Not Found!"});
}

TEST_F(RichTextEntry, PrintTextWithAnEmptyStringDoesNothing)
{
    EXPECT_TRUE(doc.PrintText(u"").isEmpty());
    EXPECT_TRUE(events.events.empty());
    EXPECT_FALSE(threadRichTextLoaded());
}

TEST_F(RichTextEntry, FontSettingsApplyToTheWholeText)
{
    FakeRichText *control = nullptr;
    platform.configureRichText = [&](FakeRichText &c) { control = &c; };
    resetThreadSurface();
    doc.setDocTextFont(u"Courier New,9,0,0,0");
    // Keep the form: the job fails at its end.
    platform.configure = [](RecordingSurface &s) { s.failures.emplace("EndDoc", RuntimeError(err::PrinterError)); };
    doc.PrintText(u"Hello", u"Tahoma,16,1,0,0");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->calls,
              (std::vector<std::string>{"setText", "SelStart 0", "SelLength 5", "SelFontName Tahoma", "SelFontSize 16",
                                        "SelBold 1", "SelItalic 0", "SelUnderline 0", "freeFormatting"}));
    EXPECT_EQ(doc.CurrentFont(), (FontSpec{u"Tahoma", 16, true, false, false}));
    EXPECT_EQ(doc.DocTextFont(), u"Courier New,9,0,0,0");
}

TEST_F(RichTextEntry, AHandlerCannotChangeTheMissingFileResult)
{
    events.onError = [](Variant &number, Variant &) { number = Variant::longValue(5); };
    EXPECT_EQ(doc.PrintTextFile(u"/nonexistent/file.txt"), Variant::string(u"-1|File Not Found!"));
    EXPECT_EQ(doc.PrintRTFFile(u"/nonexistent/file.rtf"), Variant::string(u"-1|File Not Found!"));
}

TEST_F(RichTextEntry, PrintDocRoutesRtfFilesWithTheObjectsSettings)
{
    const auto dir = std::filesystem::temp_directory_path() / ("corvane-rtfroute-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "doc.RTF") << "{\\rtf1 hello}";
    doc.setFileName(fromUtf8((dir / "doc.RTF").string()));
    doc.setMarginLeft(720);
    doc.setPaperOrientation(spOrientationLandscape);
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_EQ(surface().log[0], "Orientation 2");
    EXPECT_EQ(surface().log[1], "PaperSize 1"); // the object's Letter
    EXPECT_EQ(formatRanges()[0].substr(0, 18), "FormatRange 0 720 ");
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});

#if !defined(_WIN32) // Windows permissions cannot take reading away: read-only at most
    // A file the control cannot load is reported, not printed as an empty page.
    std::filesystem::permissions(dir / "doc.RTF", std::filesystem::perms::none);
    events.events.clear();
    if (getuid() != 0) {
        EXPECT_EQ(doc.PrintDoc(), Variant::string(u"53|File not found"));
        EXPECT_EQ(events.events.size(), 1u);
    }
#endif
    std::filesystem::remove_all(dir);
}

TEST_F(RichTextEntry, ADocumentTooBigForMemoryIsAnErrorAndNothingIsDelivered)
{
    charsPerPage = 10;
    doc.PrintRTFData(u"first");
    surface().onOperation = [](const std::string &name) {
        if (name == "NewPage")
            throw std::bad_alloc();
    };
    events.events.clear();
    EXPECT_EQ(doc.PrintText(u"a text of more than ten characters"), Variant::string(u"7|Out of memory"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 7 Out of memory"});
    EXPECT_EQ(surface().jobsEnded, 1); // the first job only
    EXPECT_FALSE(surface().jobOpen());
    surface().onOperation = nullptr;
}
