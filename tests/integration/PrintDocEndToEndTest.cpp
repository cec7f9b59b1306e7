// PrintDoc through the real Qt surface, read back with poppler.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

class PrintDocEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        doc.subscribe(&events);
        doc.setDocTitle(u"Quarterly Report");
        doc.setDocTitleFont(u"Arial,16,1,0,0");
        doc.setDocHeader(u"Header Text");
        doc.setDocFooter(u"Footer Text");
        doc.setPrintBorder(true);
        doc.setLineBelowHeader(true);
        doc.setLineAboveFooter(true);
        doc.setPrintPageNumber(true);
        doc.setIncludeDateTime(true);
        UString body;
        for (int i = 1; i <= 150; ++i)
            body += u"Line" + decimal(i) + u" of\tthe body text\n";
        doc.setDocText(body);
    }
    void TearDown() override { resetThreadSurface(); }

    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
};

const Word *find(const QList<Word> &words, const QString &text, int page)
{
    for (const Word &w : words) {
        if (w.text == text && w.page == page)
            return &w;
    }
    return nullptr;
}

} // namespace

TEST_F(PrintDocEndToEnd, ThreePagesWithEveryDecorationWhereTheyBelong)
{
    const QString folder = freshPdfFolder(QStringLiteral("e2e"));
    doc.setPaperSize(spPaperA4);
    ASSERT_TRUE(doc.PrintDoc(u"Corvane PDF").isEmpty());
    EXPECT_EQ(events.events,
              (std::vector<std::string>{"PrintProgress 1", "PrintProgress 2", "PrintProgress 3", "PrintComplete"}));
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfInfo(pdfs[0], QStringLiteral("Pages")), QStringLiteral("3"));
    EXPECT_TRUE(pdfInfo(pdfs[0], QStringLiteral("Page size")).contains(QStringLiteral("(A4)")));

    const QList<Word> words = pdfWords(pdfs[0]);
    const double pageWidth = 11906 / 20.0, pageHeight = 16838 / 20.0;
    const double left = 72, right = pageWidth - 72;

    // Title centred on the printable width, on page 1 only.
    const Word *quarterly = find(words, QStringLiteral("Quarterly"), 1);
    const Word *report = find(words, QStringLiteral("Report"), 1);
    ASSERT_TRUE(quarterly && report);
    EXPECT_NEAR((quarterly->xMin + report->xMax) / 2, pageWidth / 2, 1.5);
    EXPECT_NEAR(quarterly->yMin, 72, 3);
    EXPECT_EQ(find(words, QStringLiteral("Quarterly"), 2), nullptr);

    for (int page = 1; page <= 3; ++page) {
        // Header centred in the top margin.
        const Word *header = find(words, QStringLiteral("Header"), page);
        const Word *text = find(words, QStringLiteral("Text"), page);
        ASSERT_TRUE(header && text) << page;
        EXPECT_NEAR((header->yMin + header->yMax) / 2, 36, 3) << page;
        EXPECT_NEAR((header->xMin + text->xMax) / 2, pageWidth / 2, 1.5) << page;
        // Page number ending at the right margin, on the footer's line.
        const Word *number = find(words, QString::number(page), page);
        ASSERT_TRUE(number) << page;
        EXPECT_NEAR(number->xMax, right, 1.0) << page;
        EXPECT_NEAR(number->yMin, pageHeight - 36, 3) << page;
        const Word *footer = find(words, QStringLiteral("Footer"), page);
        ASSERT_TRUE(footer);
        EXPECT_NEAR(footer->xMin, left, 0.5);
    }
    // Body words stay inside the margins, first lines at the left margin.
    int bodyWords = 0;
    for (const Word &w : words) {
        if (!w.text.startsWith(QStringLiteral("Line")))
            continue;
        ++bodyWords;
        EXPECT_NEAR(w.xMin, left, 0.5) << w.text.toStdString();
        EXPECT_GT(w.yMin, 72 - 1);
    }
    EXPECT_EQ(bodyWords, 150);
    EXPECT_TRUE(pdfText(pdfs[0], 3, 3).contains(QStringLiteral("Line150")));
}

TEST_F(PrintDocEndToEnd, PaperSizeAndOrientationFromTheProperties)
{
    const QString folder = freshPdfFolder(QStringLiteral("e2e-paper"));
    doc.setDocText(u"short");
    doc.PrintDoc(); // Letter, the default
    doc.setPaperOrientation(spOrientationLandscape);
    doc.setPaperSize(spPaperA4);
    doc.PrintDoc();
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 2);
    QStringList sizes{pdfInfo(pdfs[0], QStringLiteral("Page size")), pdfInfo(pdfs[1], QStringLiteral("Page size"))};
    sizes.sort();
    EXPECT_TRUE(sizes[0].startsWith(QStringLiteral("612 x 792"))) << sizes[0].toStdString();
    EXPECT_TRUE(sizes[1].startsWith(QStringLiteral("842 x 595"))) << sizes[1].toStdString();
}

TEST_F(PrintDocEndToEnd, TheSameDocumentThroughACupsPrinter)
{
    REQUIRE_CUPS();
    const QString printer = QStringLiteral("EndToEnd");
    addFilePrinter(printer);
    QFile::remove(printerOutput(printer));
    resetThreadSurface();
    doc.setPaperSize(spPaperA4);
    ASSERT_TRUE(doc.PrintDoc(u"endtoend").isEmpty());
    EXPECT_EQ(events.events.back(), "PrintComplete");
    ASSERT_TRUE(waitForPrinterOutput(printer));
    EXPECT_EQ(pdfInfo(printerOutput(printer), QStringLiteral("Pages")), QStringLiteral("3"));
    const QString text = pdfText(printerOutput(printer));
    EXPECT_TRUE(text.contains(QStringLiteral("Quarterly Report")));
    EXPECT_TRUE(text.contains(QStringLiteral("Line150")));
}

TEST_F(PrintDocEndToEnd, ASpoolerThatRefusesTheJobIsReportedNotCompleted)
{
    REQUIRE_CUPS();
    const QString printer = QStringLiteral("Refusing");
    addFilePrinter(printer);
    run(QStringLiteral("cupsreject"), {printer});
    resetThreadSurface();
    const Variant result = doc.PrintDoc(u"Refusing");
    EXPECT_TRUE(isCupsRefusal(toUtf8(result.toString()), "Refusing", "not accepting jobs")) << toUtf8(result.toString());
    EXPECT_TRUE(isCupsRefusal(events.events.back(), "Refusing", "not accepting jobs")) << events.events.back();
    removePrinter(printer);
}
