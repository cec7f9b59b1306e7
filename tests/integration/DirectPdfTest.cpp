// Jobs of plain text written straight as PDF text, against the same jobs drawn through Qt's
// text engine: the same pages, words in the same places, and the same picture when rendered.
// Text that needs shaping, or characters the planned fonts lack, go through Qt's engine.
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtPrinterSurface.h"

#include <corvane/Corvane.h>

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QRawFont>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace corvane;
using namespace corvane::testing;

namespace {

class DirectPdf : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        resetThreadSurface();
        doc.subscribe(&events);
        doc.setDocTitle(u"Direct Ärger Œuvre — “quoted” title");
        doc.setDocTitleFont(u"Arial,16,1,0,0");
        doc.setDocHeader(u"Header Ŧext ΑΒΓ абв");
        doc.setDocHeaderFont(u"Times New Roman,11,0,1,1");
        doc.setDocFooter(u"Footer Text €");
        doc.setDocFooterFont(u"Courier New,9,0,0,0");
        doc.setPrintBorder(true);
        doc.setLineBelowHeader(true);
        doc.setLineAboveFooter(true);
        doc.setPrintPageNumber(true);
        doc.setIncludeDateTime(true);
        UString body;
        for (int i = 1; i <= 130; ++i)
            body += u"Line" + decimal(i) + u" of\tthe body text, Ångström ç ñ ß ŀ ő ž\n";
        doc.setDocText(body);
    }
    void TearDown() override
    {
        qunsetenv("CORVANE_QT_TEXT_ONLY");
        resetThreadSurface();
    }

    // Prints the document once; the PDF written, and whether the surface wrote it directly.
    QString print(const QString &name, bool qtOnly, bool *direct = nullptr)
    {
        if (qtOnly)
            qputenv("CORVANE_QT_TEXT_ONLY", "1");
        else
            qunsetenv("CORVANE_QT_TEXT_ONLY");
        resetThreadSurface();
        const QString folder = freshPdfFolder(name);
        struct Probe : EventSink {
            bool *direct = nullptr;
            void PrintProgress(Variant &) override
            {
                if (direct)
                    *direct = static_cast<qt::QtPrinterSurface &>(threadSurface(qt::qtPlatform())).writesTextDirectly();
            }
        } probe;
        probe.direct = direct;
        doc.subscribe(&probe);
        const Variant result = doc.PrintDoc(u"Corvane PDF");
        doc.unsubscribe(&probe);
        EXPECT_TRUE(result.isEmpty()) << toUtf8(result.toString());
        const QStringList pdfs = pdfFiles(folder);
        return pdfs.size() == 1 ? pdfs.front() : QString();
    }

    // The page rendered in grey at 40 dots per inch, and what poppler said on the way.
    static QImage render(const QString &pdf, int page, QString *complaints)
    {
        const QString base = QFileInfo(pdf).absolutePath() + QStringLiteral("/render");
        const auto r = run(QStringLiteral("pdftoppm"), {QStringLiteral("-gray"), QStringLiteral("-r"), QStringLiteral("40"),
                                                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                         QString::number(page), QStringLiteral("-singlefile"), pdf, base});
        *complaints = r.err;
        return QImage(base + QStringLiteral(".pgm"));
    }

    QTemporaryDir dir;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
};

} // namespace

TEST_F(DirectPdf, SamePagesWordsAndPictureAsQtsTextEngine)
{
    bool direct = false, viaQt = true;
    const QString fast = print(QStringLiteral("direct"), false, &direct);
    const QString slow = print(QStringLiteral("qt"), true, &viaQt);
    ASSERT_FALSE(fast.isEmpty());
    ASSERT_FALSE(slow.isEmpty());
    EXPECT_TRUE(direct);
    EXPECT_FALSE(viaQt);
    EXPECT_EQ(pdfInfo(fast, QStringLiteral("Pages")), pdfInfo(slow, QStringLiteral("Pages")));
    EXPECT_EQ(pdfInfo(fast, QStringLiteral("Page size")), pdfInfo(slow, QStringLiteral("Page size")));
    EXPECT_EQ(pdfText(fast), pdfText(slow));

    // Every word in the same place, within a fraction of a point (the engines' advances differ
    // by their rounding and by kerning, which plain text does not use).
    const QList<Word> a = pdfWords(fast), b = pdfWords(slow);
    ASSERT_EQ(a.size(), b.size());
    double worst = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].text, b[i].text);
        worst = std::max({worst, std::abs(a[i].xMin - b[i].xMin), std::abs(a[i].yMin - b[i].yMin),
                          std::abs(a[i].xMax - b[i].xMax)});
    }
    EXPECT_LT(worst, 1.5);

    // The fonts are embedded subsets with a map back to Unicode: the three families and faces.
    const QString fonts = run(QStringLiteral("pdffonts"), {fast}).out;
    for (const char *face : {"LiberationSans-Bold", "LiberationSerif-Italic", "LiberationMono-Regular", "LiberationSans-Regular"})
        EXPECT_TRUE(fonts.contains(QLatin1String(face))) << face << "\n" << fonts.toStdString();
    for (const QString &line : fonts.split(QLatin1Char('\n')).mid(2, -1)) {
        if (!line.trimmed().isEmpty()) {
            EXPECT_TRUE(line.contains(QRegularExpression(QStringLiteral("yes\\s+yes\\s+yes")))) << line.toStdString();
        }
    }

    // Rendered, the pages look the same: glyphs built from parts (Ä, Å) included.
    for (const int page : {1, 3}) {
        QString complaintsFast, complaintsSlow;
        const QImage x = render(fast, page, &complaintsFast), y = render(slow, page, &complaintsSlow);
        EXPECT_TRUE(complaintsFast.isEmpty()) << complaintsFast.toStdString();
        ASSERT_FALSE(x.isNull());
        ASSERT_EQ(x.size(), y.size());
        long inkX = 0, inkY = 0, differ = 0;
        for (int row = 0; row < x.height(); ++row) {
            for (int col = 0; col < x.width(); ++col) {
                const int gx = qGray(x.pixel(col, row)), gy = qGray(y.pixel(col, row));
                inkX += gx < 128;
                inkY += gy < 128;
                differ += std::abs(gx - gy) > 96;
            }
        }
        EXPECT_GT(inkX, 2000);
        EXPECT_NEAR(double(inkX), double(inkY), inkY * 0.03);
        EXPECT_LT(differ, inkY / 50) << "page " << page;
    }
}

TEST_F(DirectPdf, CopiesAndLandscapeOnTheBuiltInPrinter)
{
    doc.setCopies(3);
    doc.setPaperOrientation(spOrientationLandscape);
    doc.setPaperSize(spPaperA4);
    bool direct = false;
    const QString pdf = print(QStringLiteral("copies"), false, &direct);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_TRUE(direct);
    const int pages = pdfInfo(pdf, QStringLiteral("Pages")).toInt();
    EXPECT_EQ(pages % 3, 0);
    EXPECT_EQ(pdfText(pdf, 1, pages / 3), pdfText(pdf, pages / 3 + 1, 2 * pages / 3));
    EXPECT_TRUE(pdfInfo(pdf, QStringLiteral("Page size")).startsWith(QStringLiteral("842 x 595"))) << pdfInfo(pdf, QStringLiteral("Page size")).toStdString();
}

TEST_F(DirectPdf, TextThatNeedsShapingOrAnotherFontGoesThroughQt)
{
    // Arabic letters join; a combining accent sits on its letter.
    for (const UString &text : {UString(u"Arabic مرحبا بالعالم"), UString(u"Combining e\u0301 accent")}) {
        doc.setDocText(text);
        bool direct = true;
        const QString pdf = print(QStringLiteral("shaping"), false, &direct);
        ASSERT_FALSE(pdf.isEmpty());
        EXPECT_FALSE(direct) << toUtf8(text);
    }
    // A character no planned font has: Qt's engine finds it another font.
    doc.setDocText(u"Chinese 中文 text");
    bool direct = true;
    const QString pdf = print(QStringLiteral("fallback"), false, &direct);
    EXPECT_FALSE(direct);
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Chinese")));
    EXPECT_EQ(events.events.back(), "PrintComplete");

    // The next plain job is direct again.
    doc.setDocText(u"Plain again");
    print(QStringLiteral("again"), false, &direct);
    EXPECT_TRUE(direct);
}

TEST_F(DirectPdf, FacesThatCannotBeEmbeddedAsTheyAreGoThroughQt)
{
    // A family whose fonts have PostScript outlines, and a TrueType family without a bold face
    // (the engine would make one up): looked for among the installed fonts.
    QString postscriptFamily, noBoldFamily;
    for (const QString &family : QFontDatabase::families()) {
        QFont font(family);
        font.setPixelSize(100);
        const QRawFont raw = QRawFont::fromFont(font);
        if (!raw.isValid() || raw.familyName() != family || !raw.supportsCharacter(QLatin1Char('a')))
            continue;
        if (postscriptFamily.isEmpty() && raw.fontTable("glyf").isEmpty() && !raw.fontTable("CFF ").isEmpty())
            postscriptFamily = family;
        bool hasBold = false;
        for (const QString &style : QFontDatabase::styles(family))
            hasBold |= QFontDatabase::weight(family, style) >= QFont::DemiBold;
        if (noBoldFamily.isEmpty() && !hasBold && !raw.fontTable("glyf").isEmpty())
            noBoldFamily = family;
    }
    if (postscriptFamily.isEmpty() && noBoldFamily.isEmpty())
        GTEST_SKIP() << "no such fonts installed";
    doc.setDocText(u"Plain words");
    for (const auto &[family, bold] : {std::pair{postscriptFamily, 0}, std::pair{noBoldFamily, 1}}) {
        if (family.isEmpty())
            continue;
        doc.setDocTextFont(family.toStdU16String() + u",12," + decimal(bold) + u",0,0");
        bool direct = true;
        const QString pdf = print(QStringLiteral("faces"), false, &direct);
        EXPECT_FALSE(direct) << family.toStdString();
        EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Plain words"))) << family.toStdString();
    }
}
