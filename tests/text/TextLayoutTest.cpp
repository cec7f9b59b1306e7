// The body text flow and the page frame on the recording surface: Letter paper (12240 x 15840
// twips, no unprintable border), characters 120 twips wide and lines 240 twips high at 10 pt.
#include "core/EventRecorder.h"

#include "jobs/ThreadForms.h"
#include "platform/fake/RecordingSurface.h"

#include <corvane/Corvane.h>

#include <gtest/gtest.h>

using namespace corvane;
using corvane::fake::RecordingPlatform;
using corvane::fake::RecordingSurface;
using corvane::testing::EventRecorder;

namespace {

class TextLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        platform.configure = [this](RecordingSurface &s) {
            if (configure)
                configure(s);
        };
        doc.subscribe(&events);
        // Events go into the surface's log, so their order against EndDoc shows.
        events.onProgress = [this](Variant &page) {
            surface().log.push_back("Event PrintProgress " + toUtf8(page.toString()));
        };
    }
    void TearDown() override { resetThreadSurface(); }

    RecordingSurface &surface() { return static_cast<RecordingSurface &>(threadSurface(platform)); }

    // Prints DocText and gives the text lines of the log.
    std::vector<std::string> print(const UString &text)
    {
        doc.setDocText(text);
        result = doc.PrintDoc();
        return surface().lines("Text");
    }

    static std::string text(float x, float y, const std::string &s, const std::string &font = "Arial 10 ---")
    {
        return "Text " + fake::twips(x) + " " + fake::twips(y) + " " + font + " \"" + s + "\"";
    }

    std::function<void(RecordingSurface &)> configure;
    RecordingPlatform platform;
    Corvane doc{&platform};
    EventRecorder events;
    Variant result;
};

} // namespace

TEST_F(TextLayoutTest, FrameGeometryWithTheDefaultMargins)
{
    doc.setPrintBorder(true);
    doc.setDocHeader(u"H");
    doc.setLineBelowHeader(true);
    doc.setDocFooter(u"F");
    doc.setPrintPageNumber(true);
    doc.setIncludeDateTime(true);
    doc.setLineAboveFooter(true);
    print(u"");
    const std::vector<std::string> expected{
        "Orientation 1",
        "PaperSize 1",
        "PaperBin 7",
        "PrintQuality 3",
        "Copies 1",
        "DrawWidth 1",
        "Event PrintProgress 1",
        "Box 720.00 1440.00 11520.00 14400.00 w1",
        text(6060, 600, "H"),
        "Line 1490.00 890.00 10750.00 890.00 w1",
        text(1440, 15120, "F"),
        text(10680, 15120, "1"),
        text(1440, 15360, "12/8/2026   14:05"),
        "Line 1490.00 14950.00 10750.00 14950.00 w1",
        "DrawWidth 1",
        "EndDoc",
    };
    EXPECT_EQ(surface().log, expected);
    EXPECT_EQ(events.events, (std::vector<std::string>{"PrintProgress 1", "PrintComplete"}));
    EXPECT_TRUE(result.isEmpty());
}

TEST_F(TextLayoutTest, NothingButTheFrameForAnEmptyDocument)
{
    print(u"");
    EXPECT_EQ(surface().log,
              (std::vector<std::string>{"Orientation 1", "PaperSize 1", "PaperBin 7", "PrintQuality 3", "Copies 1",
                                        "DrawWidth 1", "Event PrintProgress 1", "DrawWidth 1", "EndDoc"}));
    EXPECT_EQ(surface().CurrentX(), 0); // the job ended
    EXPECT_EQ(events.events.back(), "PrintComplete");
}

TEST_F(TextLayoutTest, HeaderTallerThanTheTopMarginIsClampedToTheTop)
{
    doc.setDocHeader(u"Big");
    doc.setDocHeaderFont(u"Arial,100,1,0,0");
    doc.setLineBelowHeader(true);
    print(u"");
    // 300 wide a letter at 100 pt: centred at (12240 - 3600) / 2.
    EXPECT_EQ(surface().lines("Text")[0], text(4320, 0, "Big", "Arial 100 B--"));
    // The line sits 50 below the header's bottom, measured in the header font.
    EXPECT_EQ(surface().lines("Line")[0], "Line 1490.00 1970.00 10750.00 1970.00 w1");
}

TEST_F(TextLayoutTest, SeparatorLinesAreMeasuredInTheFontCurrentAtThatPoint)
{
    doc.setDocFooter(u"Foot");
    doc.setDocFooterFont(u"Arial,20,0,0,1");
    doc.setLineAboveFooter(true);
    doc.setLineBelowHeader(true); // no header: the font the surface had (Arial 10)
    print(u"");
    const auto lines = surface().lines("Line");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Line 1490.00 890.00 10750.00 890.00 w1");
    // h = 480 in the footer font: 15840 - (1440 - 480) / 2 - 480 - 50.
    EXPECT_EQ(lines[1], "Line 1490.00 14830.00 10750.00 14830.00 w1");

    resetThreadSurface();
    doc.setIncludeDateTime(true); // now h is measured in Arial 10: 15840 - 600 - 240 - 50
    doc.setPrintPageNumber(true);
    print(u"");
    EXPECT_EQ(surface().lines("Line")[1], "Line 1490.00 14950.00 10750.00 14950.00 w1");
    // Page number and date keep the footer font's underline.
    const auto texts = surface().lines("Text");
    EXPECT_EQ(texts[1], text(10680, 15120, "1", "Arial 10 --U"));
    EXPECT_EQ(texts[2], text(1440, 15360, "12/8/2026   14:05", "Arial 10 --U"));
}

TEST_F(TextLayoutTest, TitleOnOneLineUpToTheAvailableWidth)
{
    doc.setDocTitle(UString(78, u'T')); // exactly W = 12240 - 2880 wide
    doc.setDocTitleFont(u"Arial,10,1,0,0");
    const auto texts = print(u"Body");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], text(1440, 1440, std::string(78, 'T'), "Arial 10 B--"));
    EXPECT_EQ(texts[1], text(1440, 2180, "Body")); // 240 + 1440 + 500
}

TEST_F(TextLayoutTest, WrappedTitleCutsAfterTheWordPastWMinus3000)
{
    UString title;
    for (int i = 0; i < 20; ++i)
        title += i ? u" abcd" : u"abcd";
    doc.setDocTitle(title);
    const auto texts = print(u"Body");
    std::string first, second;
    for (int i = 0; i < 11; ++i)
        first += "abcd ";
    for (int i = 0; i < 9; ++i)
        second += "abcd ";
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], text(2820, 1440, first)); // 55 characters > 53 (6360 twips)
    EXPECT_EQ(texts[1], text(3420, 1780, second));
    EXPECT_EQ(texts[2], text(1440, 2520, "Body"));
}

TEST_F(TextLayoutTest, WrappedTitleWithATrailingBlankPrintsALoneBlankLine)
{
    UString title;
    for (int i = 0; i < 22; ++i)
        title += u"abcd ";
    doc.setDocTitle(title); // 22 words and an empty last one; the 22nd closes a line
    const auto texts = print(u"");
    ASSERT_EQ(texts.size(), 3u);
    std::string line;
    for (int i = 0; i < 11; ++i)
        line += "abcd ";
    EXPECT_EQ(texts[1], text(2820, 1780, line));
    EXPECT_EQ(texts[2], text(6060, 2120, " "));
    EXPECT_FLOAT_EQ(surface().CurrentY(), 0); // the job ended; the body would start at 2860
}

TEST_F(TextLayoutTest, TitleWordsEachOnALineWhenWMinus3000IsNotPositive)
{
    doc.setMarginLeft(5000);
    doc.setMarginRight(5000);
    doc.setDocTitle(u"alpha bravo charlie delta"); // 3000 twips, wider than W = 2240
    const auto texts = print(u"");
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], text(5760, 1440, "alpha "));
    EXPECT_EQ(texts[1], text(5760, 1780, "bravo "));
    EXPECT_EQ(texts[2], text(5640, 2120, "charlie "));
    EXPECT_EQ(texts[3], text(5760, 2460, "delta "));
}

TEST_F(TextLayoutTest, OneWordTitleWiderThanThePageMayStartLeftOfIt)
{
    doc.setDocTitle(UString(110, u'W'));
    const auto texts = print(u"");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], text(-540, 1440, std::string(110, 'W') + " ")); // (12240 - 13320) / 2
}

TEST_F(TextLayoutTest, TitleOnlyOnTheFirstPage)
{
    configure = [](RecordingSurface &s) { s.sheetHeight = 1440 + 1440 + 240; };
    doc.setDocTitle(u"T");
    const auto texts = print(u"a\nb\nc");
    EXPECT_EQ(texts[0], text(6060, 1440, "T"));
    EXPECT_EQ(texts[1], text(1440, 2180, "a"));
    // b's line (2420) is below the limit (1680): page 2 starts at (ML, MT) without title.
    EXPECT_EQ(texts[2], text(1440, 1440, "b"));
    EXPECT_EQ(texts[3], text(1440, 1680, "c"));
    EXPECT_EQ(texts.size(), 4u);
}

TEST_F(TextLayoutTest, AWordEndingExactlyAtTheRightLimitStays)
{
    const auto texts = print(UString(78, u'x') + u" y");
    EXPECT_EQ(texts[0], text(1440, 1440, std::string(78, 'x')));
    // The blank runs past the limit; the next word breaks the line.
    EXPECT_EQ(texts[1], text(10800, 1440, " "));
    EXPECT_EQ(texts[2], text(1440, 1680, "y"));
}

TEST_F(TextLayoutTest, AWordWiderThanTheLineBreaksEvenAnEmptyLine)
{
    const auto texts = print(UString(79, u'x'));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], text(1440, 1680, std::string(79, 'x')));
}

TEST_F(TextLayoutTest, WordsFillLinesAndSpacesStayAtTheWrapPoint)
{
    UString body;
    for (int i = 0; i < 8; ++i)
        body += u"wwwwwwwww "; // 1200 twips a word and its blank
    const auto texts = print(body + u"\n   indented");
    // Seven words fit (up to 9840); the eighth would end at 10920 > 10800.
    EXPECT_EQ(texts[13], text(9720, 1440, " "));
    EXPECT_EQ(texts[14], text(1440, 1680, "wwwwwwwww"));
    EXPECT_EQ(texts[16], text(1440, 1920, " ")); // leading blanks after a line feed print
    EXPECT_EQ(texts[19], text(1800, 1920, "indented"));
}

TEST_F(TextLayoutTest, TabsMoveToStopsOfTenDigitWidths)
{
    configure = [](RecordingSurface &s) { s.charWidths[u'i'] = 0.36f; };
    const auto texts = print(u"\ta\n000000000i\tb\n0000000000\tc\n0\t\td");
    EXPECT_EQ(texts[0], text(2640, 1440, "a")); // ML + 10w
    EXPECT_EQ(texts[2], text(3840, 1680, "b")); // from ML + 9.6w: column 10, so ML + 20w
    EXPECT_EQ(texts[4], text(3840, 1920, "c")); // from ML + 10w: a whole stop on
    EXPECT_EQ(texts[6], text(3840, 2160, "d")); // two tabs
}

TEST_F(TextLayoutTest, LineSpacingAddsAfterEveryLine)
{
    const std::pair<int32_t, float> cases[] = {
        {1, 1440 + 480}, {2, 1440 + 480 + 240}, {3, 1440 + 480 + 480}, {7, 1440 + 480}};
    for (const auto &[spacing, y] : cases) {
        resetThreadSurface();
        doc.setLineSpacing(spacing);
        const auto texts = print(u"a\n\nb");
        EXPECT_EQ(texts.back(), text(1440, y, "b")) << "LineSpacing " << spacing;
    }
}

TEST_F(TextLayoutTest, ALineWhoseTopIsAtTheLimitStaysOnThePage)
{
    configure = [](RecordingSurface &s) { s.sheetHeight = 1440 + 1440 + 3 * 240; };
    doc.setPrintPageNumber(true);
    const auto texts = print(u"a\nb\nc\nd\ne");
    EXPECT_EQ(texts[4], text(1440, 2160, "d")); // top exactly at ScaleHeight - MarginBottom
    const std::vector<std::string> pages{surface().lines("NewPage")};
    EXPECT_EQ(pages, std::vector<std::string>{"NewPage 2"});
    EXPECT_EQ(texts.back(), text(1440, 1440, "e"));
    EXPECT_EQ(events.events, (std::vector<std::string>{"PrintProgress 1", "PrintProgress 2", "PrintComplete"}));
    // Every PrintProgress of the job comes before EndDoc.
    const auto &log = surface().log;
    const auto endDoc = std::find(log.begin(), log.end(), "EndDoc");
    const auto progress2 = std::find(log.begin(), log.end(), "Event PrintProgress 2");
    EXPECT_LT(progress2, endDoc);
}

TEST_F(TextLayoutTest, CarriageReturnsAndControlCharactersSeparateWithoutEffect)
{
    const auto texts = print(u"a\r\nb\rc\fd\x01"
                             u"e");
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], text(1440, 1440, "a"));
    EXPECT_EQ(texts[1], text(1440, 1680, "b"));
    EXPECT_EQ(texts[2], text(1560, 1680, "c"));
    EXPECT_EQ(texts[3], text(1680, 1680, "d"));
    EXPECT_EQ(texts[4], text(1800, 1680, "e"));
    EXPECT_TRUE(surface().lines("NewPage").empty());
}

TEST_F(TextLayoutTest, SeparatorsAloneStillAdvanceLinesAndPages)
{
    configure = [](RecordingSurface &s) { s.sheetHeight = 1440 + 1440 + 240; };
    print(u"\n\n\n\n\n");
    EXPECT_EQ(surface().lines("NewPage").size(), 2u);
    EXPECT_TRUE(surface().lines("Text").empty());
}

TEST_F(TextLayoutTest, AMarginChangedByAProgressHandlerCountsFromTheNextTest)
{
    configure = [](RecordingSurface &s) { s.sheetHeight = 1440 + 1440 + 240; };
    events.onProgress = [this](Variant &page) {
        if (page.toLong() == 2)
            doc.setMarginLeft(2000);
    };
    const auto texts = print(u"a\nb\nc");
    EXPECT_EQ(texts[2], text(2000, 1440, "c"));
}

TEST_F(TextLayoutTest, ATextChangedByAProgressHandlerDoesNotReachTheRunningJob)
{
    events.onProgress = [this](Variant &) { doc.setDocText(u"replaced"); };
    const auto texts = print(u"original words");
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], text(1440, 1440, "original"));
    EXPECT_EQ(doc.DocText(), u"replaced");
}

TEST_F(TextLayoutTest, TheJobsPlanHoldsEveryTextAndFaceItDraws)
{
    // A surface may write a planned job in a way that knows only the planned characters and
    // faces: nothing may be drawn outside the plan.
    doc.setDocTitle(u"Tïtle wide enough to wrap Tïtle wide enough to wrap Tïtle wide enough to wrap");
    doc.setDocTitleFont(u"Georgia,14,1,1,0");
    doc.setDocHeader(u"Hëader");
    doc.setDocHeaderFont(u"Tahoma,9,0,1,1");
    doc.setDocFooter(u"Fööter");
    doc.setDocFooterFont(u"Courier New,8,1,0,0");
    doc.setDocTextFont(u"Verdana,11,0,0,0");
    doc.setPrintPageNumber(true);
    doc.setIncludeDateTime(true);
    doc.setLineAboveFooter(true);
    doc.setLineBelowHeader(true);
    platform.date = u"8.12.2026";
    platform.time = u"14:05";
    UString body;
    for (int i = 0; i < 700; ++i)
        body += u"wörd\tµ " + decimal(i) + u"\n";
    print(body);
    EXPECT_TRUE(result.isEmpty());
    EXPECT_GT(surface().lines("Event").size(), 10u); // two-digit page numbers
    EXPECT_TRUE(surface().unplanned.empty()) << surface().unplanned.front();
    EXPECT_FALSE(surface().planned); // the plan ends with the job
}

TEST_F(TextLayoutTest, ALineThatWouldEndPastThePrintableAreaStartsTheNextPage)
{
    // Lines 240 high from a top margin of 1460: the 60th starts at 15620, above the bottom limit
    // (15840 - 200), but would end at 15860, past the sheet.
    doc.setMarginTop(1460);
    doc.setMarginBottom(200);
    UString body;
    for (int i = 1; i <= 61; ++i)
        body += u"L" + decimal(i) + u"\n";
    const auto texts = print(body);
    ASSERT_EQ(texts.size(), 61u);
    EXPECT_EQ(texts[58], text(1440, 15380, "L59"));
    EXPECT_EQ(texts[59], text(1440, 1460, "L60"));
    EXPECT_EQ(texts[60], text(1440, 1700, "L61"));
    EXPECT_EQ(surface().lines("NewPage"), std::vector<std::string>{"NewPage 2"});
}

TEST_F(TextLayoutTest, HugeWordsEachGoOnAPageOfTheirOwnFromTheTopMargin)
{
    // At 450 points a letter is 5400 wide and a line 10800 high: a word and a blank fill the
    // line, and the next line would end past the sheet. Each word is on its own page, whole.
    doc.setDocTextFont(u"Arial,450,0,0,0");
    const auto texts = print(u"a b c d");
    const std::string font = "Arial 450 ---";
    const std::string blank = text(6840, 1440, " ", font); // stays behind its word
    EXPECT_EQ(texts, (std::vector<std::string>{text(1440, 1440, "a", font), blank, text(1440, 1440, "b", font), blank,
                                               text(1440, 1440, "c", font), blank, text(1440, 1440, "d", font)}));
    EXPECT_EQ(surface().lines("NewPage").size(), 3u);
    EXPECT_EQ(events.events.back(), "PrintComplete");
}

TEST_F(TextLayoutTest, ALineTallerThanTheSpaceBelowTheTopMarginEndsAtTheBottomOfTheSheet)
{
    // 700 points: a line 16800 high, more than the whole sheet (15840). It ends at the bottom of
    // the sheet, so starts 960 above it, one word a page.
    doc.setDocTextFont(u"Arial,700,0,0,0");
    const auto texts = print(u"a b");
    const std::string font = "Arial 700 ---";
    EXPECT_EQ(texts, (std::vector<std::string>{text(1440, -960, "a", font), text(9840, -960, " ", font),
                                               text(1440, -960, "b", font)}));
    EXPECT_EQ(surface().lines("NewPage"), std::vector<std::string>{"NewPage 2"});
}

TEST_F(TextLayoutTest, ABodyLineThatDoesNotFitBelowTheTitleGoesToTheSecondPage)
{
    // The title (240 high at the top margin) leaves the body at 2180; a 600-point line (14400)
    // would end at 16580, past the sheet. On the second page it starts at the top margin and
    // ends exactly at the bottom of the sheet.
    doc.setDocTitle(u"T");
    doc.setDocTextFont(u"Arial,600,0,0,0");
    const auto texts = print(u"a");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], text(6060, 1440, "T"));
    EXPECT_EQ(texts[1], text(1440, 1440, "a", "Arial 600 ---"));
    EXPECT_EQ(events.events, (std::vector<std::string>{"PrintProgress 1", "PrintProgress 2", "PrintComplete"}));
}

TEST_F(TextLayoutTest, APrintStartedFromAProgressHandlerIsRefusedAndTheJobGoesOnWhole)
{
    configure = [](RecordingSurface &s) { s.sheetHeight = 1440 + 1440 + 240; };
    Corvane other{&platform};
    EventRecorder otherEvents;
    other.subscribe(&otherEvents);
    other.setDocText(u"intruder");
    std::vector<Variant> results;
    events.onProgress = [&](Variant &page) {
        surface().log.push_back("Event PrintProgress " + toUtf8(page.toString()));
        if (page.toLong() == 2) {
            results.push_back(other.PrintDoc());
            results.push_back(other.PrintText(u"intruder"));
            results.push_back(other.PrintRTFData(u"{\\rtf1 intruder}"));
        }
    };
    const auto texts = print(u"a\nb\nc");
    EXPECT_EQ(texts, (std::vector<std::string>{text(1440, 1440, "a"), text(1440, 1680, "b"), text(1440, 1440, "c")}));
    EXPECT_EQ(surface().jobsEnded, 1);
    EXPECT_EQ(events.events.back(), "PrintComplete");
    const std::string refused = "Invalid procedure call or argument: a print job of this thread is still open "
                                "(a print method was called from one of its event handlers)";
    ASSERT_EQ(results.size(), 3u);
    for (const Variant &r : results)
        EXPECT_EQ(toUtf8(r.toString()), "5|" + refused);
    EXPECT_EQ(otherEvents.events, std::vector<std::string>(3, "PrintError 5 " + refused));
}

TEST_F(TextLayoutTest, APrintStartedFromTheCompletionHandlerRunsAsAJobOfItsOwn)
{
    Corvane other{&platform};
    EventRecorder otherEvents;
    other.subscribe(&otherEvents);
    other.setDocText(u"second");
    bool once = false;
    struct OnComplete : EventSink {
        std::function<void()> run;
        void PrintComplete() override { run(); }
    } sink;
    sink.run = [&] {
        if (!once) {
            once = true;
            EXPECT_TRUE(other.PrintDoc().isEmpty());
        }
    };
    doc.subscribe(&sink);
    print(u"first");
    EXPECT_EQ(surface().jobsEnded, 2);
    EXPECT_EQ(otherEvents.events, (std::vector<std::string>{"PrintProgress 1", "PrintComplete"}));
}

TEST_F(TextLayoutTest, APrinterChosenFromAHandlerIsChosenWhenTheJobEnds)
{
    // The open job stays on the printer it began on; the choice holds for the next job.
    configure = [](RecordingSurface &s) {
        s.sheetHeight = 1440 + 1440 + 240;
        s.printers = {u"Corvane PDF", u"Office"};
    };
    int currentDuringJob = -1;
    events.onProgress = [&](Variant &page) {
        if (page.toLong() == 1)
            doc.SetPrinter(u"office");
        else
            currentDuringJob = surface().current;
    };
    print(u"a\nb\nc");
    EXPECT_EQ(currentDuringJob, 0);
    EXPECT_EQ(surface().current, 1);
    EXPECT_EQ(surface().jobsEnded, 1);
}

TEST_F(TextLayoutTest, EveryPrintMethodIsRefusedWhileTheJobIsOpenAndNoneTouchesIt)
{
    // PDF and HTML printing go to the shell and the browser, not to the surface: they are
    // refused all the same, so that an event handler never adds a job in the middle of another.
    const std::string file = std::string(::testing::TempDir()) + "/refused.pdf";
    std::FILE *f = std::fopen(file.c_str(), "wb");
    std::fputs("%PDF-1.4\n", f);
    std::fclose(f);
    Corvane other{&platform};
    EventRecorder otherEvents;
    other.subscribe(&otherEvents);
    std::vector<Variant> results;
    events.onProgress = [&](Variant &) {
        results.push_back(other.PrintPDFFile(fromUtf8(file)));
        results.push_back(other.PrintHTMLDocument(u"https://127.0.0.1/"));
        results.push_back(other.PrintHTMLDocFromSource(u"<p>x</p>"));
    };
    print(u"a");
    EXPECT_TRUE(platform.fakeShell.calls.empty());
    EXPECT_FALSE(threadBrowserLoaded());
    ASSERT_EQ(otherEvents.events.size(), 3u);
    for (const std::string &e : otherEvents.events)
        EXPECT_TRUE(e.starts_with("PrintError 5 Invalid procedure call or argument: a print job")) << e;
    EXPECT_TRUE(results[0].isEmpty()); // PrintPDFFile reports by events only
    EXPECT_TRUE(toUtf8(results[1].toString()).starts_with("5|"));
    EXPECT_EQ(events.events.back(), "PrintComplete");
    std::remove(file.c_str());
}
