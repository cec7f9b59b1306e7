// The Qt printer surface through the real PDF and CUPS paths, read back with poppler.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtPrinterSurface.h"

#include <corvane/Corvane.h>
#include <corvane/Errors.h>

#include <QFileInfo>

using namespace corvane;
using namespace corvane::testing;

namespace {

class QtSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override { resetThreadSurface(); }
    void TearDown() override { resetThreadSurface(); }

    PrinterSurface &surface() { return threadSurface(qt::qtPlatform()); }

    void selectPrinter(const QString &name)
    {
        Corvane c(&qt::qtPlatform());
        c.SetPrinter(name.toStdU16String());
        ASSERT_EQ(surface().currentDeviceName(), name.toStdU16String());
    }

    void writeAt(float x, float y, std::u16string_view text)
    {
        surface().setCurrentX(x);
        surface().setCurrentY(y);
        surface().Print(text, false);
    }
};

} // namespace

TEST_F(QtSurfaceTest, MeasuresArialInTwips)
{
    PrinterSurface &s = surface();
    s.setFontName(u"Arial");
    s.setFontSize(10);
    EXPECT_NEAR(s.TextWidth(u"Hello"), 455.7, 2.0);
    EXPECT_NEAR(s.TextHeight(u"Hello"), 223.5, 2.0);
    EXPECT_FLOAT_EQ(s.TextHeight(u""), s.TextHeight(u"x"));
    EXPECT_FLOAT_EQ(s.TextHeight(u"a\nb"), 2 * s.TextHeight(u"a"));
    s.setFontBold(true);
    EXPECT_GT(s.TextWidth(u"Hello"), 455.7);
    EXPECT_FLOAT_EQ(s.ScaleX(1200, 3, 1), 1440);
}

TEST_F(QtSurfaceTest, TextLandsWhereItWasWritten)
{
    const QString folder = freshPdfFolder(QStringLiteral("place"));
    PrinterSurface &s = surface();
    s.setPaperSize(9);
    EXPECT_EQ(s.hDC(), 0);
    s.setFontName(u"Arial");
    s.setFontSize(12);
    writeAt(1440, 2880, u"Alpha");
    EXPECT_NE(s.hDC(), 0);
    writeAt(7200, 720, u"Omega");
    s.setCurrentX(1440);
    s.setCurrentY(5000);
    s.LineTo(5000, 5000);
    s.EndDoc();
    EXPECT_EQ(s.hDC(), 0);

    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_TRUE(pdfInfo(pdfs[0], QStringLiteral("Page size")).contains(QStringLiteral("(A4)")));
    const auto words = pdfWords(pdfs[0]);
    ASSERT_EQ(words.size(), 2);
    const Word &alpha = words[0].text == QStringLiteral("Alpha") ? words[0] : words[1];
    const Word &omega = words[0].text == QStringLiteral("Alpha") ? words[1] : words[0];
    // Twips / 20 = points. The top of the text box sits at CurrentY, within the font's ascent
    // as poppler measures it.
    EXPECT_EQ(alpha.text, QStringLiteral("Alpha"));
    EXPECT_NEAR(alpha.xMin, 72, 1.0);
    EXPECT_NEAR(alpha.yMin, 144, 2.0);
    EXPECT_EQ(omega.text, QStringLiteral("Omega"));
    EXPECT_NEAR(omega.xMin, 360, 1.0);
    EXPECT_NEAR(omega.yMin, 36, 2.0);
}

TEST_F(QtSurfaceTest, PaperSizeAndOrientationReachThePdf)
{
    const QString folder = freshPdfFolder(QStringLiteral("paper"));
    PrinterSurface &s = surface();
    s.setPaperSize(5); // Legal
    s.setOrientation(2);
    EXPECT_FLOAT_EQ(s.Width(), 14 * 1440);
    EXPECT_FLOAT_EQ(s.Height(), 8.5f * 1440);
    EXPECT_FLOAT_EQ(s.ScaleWidth(), s.Width()); // the built-in printer prints to the edge
    s.Print(u"Landscape", false);
    s.EndDoc();
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const QString size = pdfInfo(pdfs[0], QStringLiteral("Page size"));
    EXPECT_TRUE(size.startsWith(QStringLiteral("1008 x 612"))) << size.toStdString();

    // Settings outside the enumerations are refused and leave the setting as it was.
    for (auto set : {&PrinterSurface::setOrientation, &PrinterSurface::setPaperSize, &PrinterSurface::setPrintQuality,
                     &PrinterSurface::setPaperBin}) {
        try {
            (s.*set)(0);
            ADD_FAILURE() << "0 accepted";
        } catch (const RuntimeError &e) {
            EXPECT_EQ(e.number(), err::InvalidPropertyValue);
        }
    }
    EXPECT_FLOAT_EQ(s.Width(), 14 * 1440);
}

TEST_F(QtSurfaceTest, PdfPrinterWritesCopiesCollatedAndNeverOverwrites)
{
    const QString folder = freshPdfFolder(QStringLiteral("copies"));
    PrinterSurface &s = surface();
    s.setCopies(3);
    writeAt(1440, 1440, u"first");
    s.NewPage();
    EXPECT_EQ(s.Page(), 2);
    writeAt(1440, 1440, u"second");
    s.EndDoc();
    s.setCopies(1);
    writeAt(1440, 1440, u"another");
    s.EndDoc();

    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 2);
    QString copies = pdfs[0], single = pdfs[1];
    if (pdfInfo(copies, QStringLiteral("Pages")) != QStringLiteral("6"))
        std::swap(copies, single);
    EXPECT_EQ(pdfInfo(copies, QStringLiteral("Pages")), QStringLiteral("6"));
    EXPECT_TRUE(pdfText(copies, 3, 3).contains(QStringLiteral("first")));
    EXPECT_TRUE(pdfText(copies, 6, 6).contains(QStringLiteral("second")));
    EXPECT_EQ(pdfInfo(single, QStringLiteral("Pages")), QStringLiteral("1"));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".part")).isEmpty());
}

TEST_F(QtSurfaceTest, AFailedOrAbandonedJobLeavesNothingAndTheNextOneSucceeds)
{
    const QString folder = freshPdfFolder(QStringLiteral("fault"));
    PrinterSurface &s = surface();
    s.Print(u"abandoned", false);
    s.KillDoc();
    EXPECT_TRUE(pdfFiles(folder).isEmpty());

    // The job opens on the first output: that is where a missing folder shows.
    QDir(folder).removeRecursively();
    try {
        s.Print(u"lost", false);
        s.EndDoc();
        ADD_FAILURE() << "a missing folder was accepted";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::PathNotFound);
    }
    EXPECT_EQ(s.hDC(), 0);
    QDir().mkpath(folder);
    s.Print(u"recovered", false);
    s.EndDoc();
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_TRUE(pdfText(pdfs[0]).contains(QStringLiteral("recovered")));
    EXPECT_FALSE(pdfText(pdfs[0]).contains(QStringLiteral("lost")));
}

TEST_F(QtSurfaceTest, FontSizesOutsideWhatAFontCanBeAreRefused)
{
    PrinterSurface &s = surface();
    for (float size : {0.0f, -5.0f, 100000.0f}) {
        try {
            s.setFontSize(size);
            ADD_FAILURE() << size << " accepted";
        } catch (const RuntimeError &e) {
            EXPECT_EQ(e.number(), err::InvalidPropertyValue);
        }
    }
    s.setFontName(u"No Such Font Face");
    EXPECT_GT(s.TextWidth(u"still measured"), 0);
}

TEST_F(QtSurfaceTest, PrintersAreTheCupsDestinationsThenTheBuiltInPrinter)
{
    REQUIRE_CUPS();
    addFilePrinter(QStringLiteral("OfficeLaser"));
    addFilePrinter(QStringLiteral("LabelWriter"));
    resetThreadSurface();

    // CUPS's own order, as lpstat gives it, just before and just after the listing: a test
    // running beside this one may add or delete a queue of its own meanwhile.
    const auto lpstat = [] {
        QStringList cups;
        for (const QString &line :
             run(QStringLiteral("lpstat"), {QStringLiteral("-e")}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            cups << line.trimmed();
        return cups;
    };
    const QStringList before = lpstat();
    Corvane c(&qt::qtPlatform());
    Variant count;
    const Variant names = c.GetPrinters(&count);
    const QStringList cups = lpstat();
    QStringList listed;
    for (const Variant &name : names.elements())
        listed << QString::fromStdU16String(name.toString());
    EXPECT_EQ(count.toLong(), listed.size());
    EXPECT_EQ(listed.last(), QStringLiteral("Corvane PDF"));
    if (listed.mid(0, listed.size() - 1) != before) {
        EXPECT_EQ(listed.mid(0, listed.size() - 1), cups);
    }
    EXPECT_TRUE(cups.contains(QStringLiteral("OfficeLaser")));
    EXPECT_TRUE(cups.contains(QStringLiteral("LabelWriter")));
}

TEST_F(QtSurfaceTest, AJobReachesACupsPrinterSelectedThroughAnotherObject)
{
    REQUIRE_CUPS();
    const QString printer = QStringLiteral("SurfaceJob");
    addFilePrinter(printer);
    QFile::remove(printerOutput(printer));
    resetThreadSurface();
    {
        Corvane chooser(&qt::qtPlatform());
        chooser.SetPrinter(u"surfacejob");
    }
    Corvane printerUser(&qt::qtPlatform());
    PrinterSurface &s = surface();
    EXPECT_EQ(s.currentDeviceName(), u"SurfaceJob");
    EXPECT_GT(s.Width(), s.ScaleWidth()); // the driver's unprintable border
    writeAt(1440, 1440, u"Through CUPS");
    s.EndDoc();
    ASSERT_TRUE(waitForPrinterOutput(printer));
    EXPECT_TRUE(pdfText(printerOutput(printer)).contains(QStringLiteral("Through CUPS")));
}

TEST_F(QtSurfaceTest, AJobTheSpoolerRefusesIsAPrinterError)
{
    REQUIRE_CUPS();
    const QString printer = QStringLiteral("Vanishing");
    addFilePrinter(printer);
    resetThreadSurface();
    selectPrinter(printer);
    writeAt(1440, 1440, u"nowhere");
    removePrinter(printer);
    try {
        surface().EndDoc();
        ADD_FAILURE() << "a deleted printer accepted the job";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), err::PrinterError);
    }
    EXPECT_EQ(surface().hDC(), 0);
}
