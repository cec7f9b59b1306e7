// Jobs of plain text and of rich text written straight as PDF, against the same jobs drawn
// through Qt's PDF engine: the same pages, words in the same places, and the same picture when
// rendered. Text that needs shaping, characters the planned fonts lack, fonts of PostScript
// outlines and made-up bold faces are written straight too.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtPrinterSurface.h"

#include <corvane/Corvane.h>

#include <QBuffer>
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
        return printWith(name, qtOnly, direct, [this] { return doc.PrintDoc(u"Corvane PDF"); });
    }

    template <typename Job> QString printWith(const QString &name, bool qtOnly, bool *direct, Job job)
    {
        if (qtOnly)
            qputenv("CORVANE_QT_TEXT_ONLY", "1");
        else
            qunsetenv("CORVANE_QT_TEXT_ONLY");
        resetThreadSurface();
        const QString folder = freshPdfFolder(name);
        const Variant result = job();
        EXPECT_TRUE(result.isEmpty()) << toUtf8(result.toString());
        const QStringList pdfs = pdfFiles(folder);
        const QString pdf = pdfs.size() == 1 ? pdfs.front() : QString();
        // Qt's PDF engine names itself as the producer.
        if (direct)
            *direct = !pdf.isEmpty() && pdfInfo(pdf, QStringLiteral("Producer")) == QStringLiteral("Corvane");
        return pdf;
    }

    // The same pages and text, and every word in the same place within a fraction of a point
    // (the engines' advances differ by their rounding; neither kerns).
    static void expectSameWords(const QString &fast, const QString &slow, double limit)
    {
        EXPECT_EQ(pdfInfo(fast, QStringLiteral("Pages")), pdfInfo(slow, QStringLiteral("Pages")));
        EXPECT_EQ(pdfInfo(fast, QStringLiteral("Page size")), pdfInfo(slow, QStringLiteral("Page size")));
        EXPECT_EQ(pdfText(fast), pdfText(slow));
        const QList<Word> a = pdfWords(fast), b = pdfWords(slow);
        EXPECT_EQ(a.size(), b.size());
        double worst = 0;
        QString where;
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i) {
            EXPECT_EQ(a[i].text, b[i].text);
            const double off = std::max(
                {std::abs(a[i].xMin - b[i].xMin), std::abs(a[i].yMin - b[i].yMin), std::abs(a[i].xMax - b[i].xMax)});
            if (off > worst) {
                worst = off;
                where = QStringLiteral("\"%1\" on page %2 at %3,%4 (against %5,%6)")
                            .arg(a[i].text)
                            .arg(a[i].page)
                            .arg(a[i].xMin)
                            .arg(a[i].yMin)
                            .arg(b[i].xMin)
                            .arg(b[i].yMin);
            }
        }
        EXPECT_LT(worst, limit) << where.toStdString();
    }

    // Rendered, the pages look the same: as much ink, in the same places.
    static void expectSamePictures(const QString &fast, const QString &slow, std::initializer_list<int> pages)
    {
        for (const int page : pages) {
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

    QString writeFile(const QString &name, const std::string &bytes)
    {
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray::fromStdString(bytes));
        return path;
    }

    // The page rendered in grey at 40 dots per inch, and what poppler said on the way.
    static QImage render(const QString &pdf, int page, QString *complaints)
    {
        const QString base = QFileInfo(pdf).absolutePath() + QStringLiteral("/render");
        const auto r = run(QStringLiteral("pdftoppm"),
                           {QStringLiteral("-gray"), QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-f"),
                            QString::number(page), QStringLiteral("-l"), QString::number(page),
                            QStringLiteral("-singlefile"), pdf, base});
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
    expectSameWords(fast, slow, 1.5);

    // The fonts are embedded subsets with a map back to Unicode: the three families and faces.
    const QString fonts = run(QStringLiteral("pdffonts"), {fast}).out;
    for (const char *face :
         {"LiberationSans-Bold", "LiberationSerif-Italic", "LiberationMono-Regular", "LiberationSans-Regular"})
        EXPECT_TRUE(fonts.contains(QLatin1String(face))) << face << "\n" << fonts.toStdString();
    for (const QString &line : fonts.split(QLatin1Char('\n')).mid(2, -1)) {
        if (!line.trimmed().isEmpty()) {
            EXPECT_TRUE(line.contains(QRegularExpression(QStringLiteral("yes\\s+yes\\s+yes")))) << line.toStdString();
        }
    }

    expectSamePictures(fast, slow, {1, 3});
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
    // One copy is 4 pages: 37 body lines below the title on the first page of A4 turned, 41 on
    // the others, for 130 lines. Every line once in each of the 3 copies.
    const int pages = pdfInfo(pdf, QStringLiteral("Pages")).toInt();
    EXPECT_EQ(pages, 12);
    EXPECT_EQ(pdfText(pdf, 1, pages / 3), pdfText(pdf, pages / 3 + 1, 2 * pages / 3));
    int lines = 0;
    for (const Word &word : pdfWords(pdf))
        lines += word.text.startsWith(QStringLiteral("Line"));
    EXPECT_EQ(lines, 3 * 130);
    EXPECT_TRUE(pdfInfo(pdf, QStringLiteral("Page size")).startsWith(QStringLiteral("842 x 595")))
        << pdfInfo(pdf, QStringLiteral("Page size")).toStdString();
}

TEST_F(DirectPdf, TextThatNeedsShapingOrAnotherFontIsWrittenStraight)
{
    // Arabic letters join; a combining accent sits on its letter; Chinese comes from another face.
    for (const UString &text : {UString(u"Arabic مرحبا بالعالم"), UString(u"Combining e\u0301 accent"),
                                UString(u"Chinese 中文 text")}) {
        doc.setDocText(text);
        bool direct = false;
        const QString pdf = print(QStringLiteral("shaping"), false, &direct);
        ASSERT_FALSE(pdf.isEmpty());
        EXPECT_TRUE(direct) << toUtf8(text);
        EXPECT_EQ(events.events.back(), "PrintComplete");
    }
}

TEST_F(DirectPdf, PostScriptOutlinesAndMadeUpBoldsAreWrittenStraight)
{
    // A family whose fonts have PostScript outlines, and a TrueType family without a bold face:
    // looked for among the installed fonts.
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
    if (postscriptFamily.isEmpty() || noBoldFamily.isEmpty())
        GTEST_SKIP() << "no such fonts installed";
    doc.setDocTitle(u"");
    doc.setDocHeader(u"");
    doc.setDocFooter(u"");
    doc.setPrintBorder(false);
    doc.setPrintPageNumber(false);
    doc.setIncludeDateTime(false);
    doc.setDocText(u"Plain words in a row, Plain words in a row");
    // The PostScript face is embedded whole, as OpenType.
    doc.setDocTextFont(postscriptFamily.toStdU16String() + u",12,0,0,0");
    bool direct = false;
    QString pdf = print(QStringLiteral("postscript"), false, &direct);
    EXPECT_TRUE(direct);
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Plain words in a row"))) << postscriptFamily.toStdString();
    EXPECT_TRUE(run(QStringLiteral("pdffonts"), {pdf}).out.contains(QRegularExpression(
        QStringLiteral("CID Type 0C \\(OT\\)\\s+Identity-H\\s+yes"))));
    // The bold the family lacks is made up, by outlining its glyphs: more ink than the regular.
    QString complaints;
    const auto ink = [&](int bold) {
        doc.setDocTextFont(noBoldFamily.toStdU16String() + u",24," + decimal(bold) + u",0,0");
        pdf = print(QStringLiteral("bold"), false, &direct);
        EXPECT_TRUE(direct) << noBoldFamily.toStdString();
        EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Plain words"))) << noBoldFamily.toStdString();
        const QImage page = render(pdf, 1, &complaints);
        EXPECT_TRUE(complaints.isEmpty()) << complaints.toStdString();
        qint64 sum = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                sum += 255 - qGray(page.pixel(x, y));
        return sum;
    };
    const qint64 regular = ink(0), bold = ink(1);
    EXPECT_GT(bold, regular * 5 / 4) << noBoldFamily.toStdString();
}

namespace {

// A styled document of several pages: justified paragraphs with every kind of character
// formatting (super- and subscripts too), tabs, line breaks and special characters, bordered
// tables and a picture; `extra` goes in the second paragraph.
std::string styledRtf(const std::string &extra = "\\pard E = mc{\\super 2} and H{\\sub 2}O\\par\n")
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(QColor(20, 120, 200));
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 32; ++y)
            image.setPixelColor(x, y, QColor(230, 180, 20));
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");

    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}"
                      "{\\f2\\fmodern Courier New;}}{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue160;"
                      "\\red255\\green255\\blue0;\\red200\\green220\\blue255;}\n";
    for (int i = 1; i <= 45; ++i) {
        const std::string n = std::to_string(i);
        rtf += "\\pard\\qj\\sa120\\fs22 Paragraph " + n
             + " is justified, and long enough to wrap over several lines: {\\b bold words} and {\\i italic "
               "ones}, {\\ul underlined}, {\\strike struck}, {\\cf1 red text}, {\\highlight3 highlighted}, {\\cb4 "
               "shaded}, {\\f1 a serif face} and {\\f2 a fixed one}, {\\fs30 larger} and {\\fs16 smaller}, an "
               "em dash \\emdash  and \\lquote quotes\\rquote , non\\~breaking spaces, a\\tab tab and a\\line new "
               "line. \\'c4rger, \\'e5ngstr\\'f6m, \\'80 12.\\par\n";
        if (i == 2)
            rtf += extra;
        if (i % 9 == 0) {
            rtf += "\\pard\\ql\\fs20\\trowd\\cellx2500\\cellx5000\\cellx7500\\intbl{\\b Item " + n
                 + "}\\cell Price\\cell "
                   "{\\cf2 Note}\\cell\\row\n\\trowd\\cellx2500\\cellx5000\\cellx7500\\intbl Paper\\cell 4.99\\cell "
                   "A longer note that wraps within its cell\\cell\\row\n";
        }
        if (i == 20) {
            rtf += "\\pard\\qc{\\pict\\pngblip\\picw64\\pich32\\picwgoal1920\\pichgoal960 "
                 + png.data().toHex().toStdString() + "}\\par\n";
        }
    }
    return rtf + "}";
}

} // namespace

TEST_F(DirectPdf, RichTextSamePagesWordsAndPictureAsQtsEngine)
{
    const QString file = writeFile(QStringLiteral("styled.rtf"), styledRtf());
    const auto job = [&] { return doc.PrintRTFFile(file.toStdU16String()); };
    bool direct = false, viaQt = true;
    const QString fast = printWith(QStringLiteral("rich-direct"), false, &direct, job);
    const QString slow = printWith(QStringLiteral("rich-qt"), true, &viaQt, job);
    ASSERT_FALSE(fast.isEmpty());
    ASSERT_FALSE(slow.isEmpty());
    EXPECT_TRUE(direct);
    EXPECT_FALSE(viaQt);
    EXPECT_GE(pdfInfo(fast, QStringLiteral("Pages")).toInt(), 3);
    // Justified lines widen their spaces as the layout did: words stay within a tenth of a point.
    expectSameWords(fast, slow, 0.1);
    EXPECT_EQ(events.events.back(), "PrintComplete");

    // The picture is embedded once, at its size.
    const QString images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), fast}).out;
    EXPECT_EQ(images.trimmed().split(QLatin1Char('\n')).size(), 3) << images.toStdString();
    EXPECT_TRUE(images.contains(QRegularExpression(QStringLiteral("\\s64\\s+32\\s+rgb")))) << images.toStdString();
    expectSamePictures(fast, slow, {1, 2, 3});
}

TEST_F(DirectPdf, RichTextThatNeedsShapingIsWrittenStraightAndCopiesRepeatTheDocument)
{
    // Arabic letters join: written as the text engine shapes them, read back as the letters.
    const QString file = writeFile(QStringLiteral("arabic.rtf"),
                                   styledRtf("\\pard Arabic \\u1605?\\u1585?\\u1581?\\u1576?\\u1575? text\\par\n"));
    const auto job = [&] { return doc.PrintRTFFile(file.toStdU16String()); };
    bool direct = false;
    const QString arabic = printWith(QStringLiteral("arabic"), false, &direct, job);
    EXPECT_TRUE(direct);
    // Read in reading order, without the marks the reader sets around right-to-left text: the
    // letters, not their joined forms.
    const QString read = run(QStringLiteral("pdftotext"), {arabic, QStringLiteral("-")}).out.remove(QRegularExpression(QStringLiteral("[\u202A-\u202E]"))).simplified();
    // (The reader sets the space beside the right-to-left word inside its marks: the letters are
    // what is checked.)
    EXPECT_TRUE(read.contains(QStringLiteral("Arabic \u0645\u0631\u062D\u0628\u0627"))) << read.toStdString();

    // Justified lines of shaped runs (each run closed by a joiner, or holding a combining accent)
    // end at the right margin, as the layout justified them: every line but a paragraph's last.
    std::string runs = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\\pard\\qj ";
    for (int i = 0; i < 90; ++i)
        runs += (i % 2 ? "{\\b word" : "{run") + std::string(static_cast<size_t>(i % 5), 'x') + std::to_string(i) + "\\u8205?} ";
    runs += "\\par\\pard\\qj ";
    for (int i = 0; i < 90; ++i)
        runs += (i % 7 ? "plain" : "cafe\\u769?") + std::to_string(i) + " ";
    runs += "\\par}";
    const QString justified = printWith(QStringLiteral("justified"), false, &direct, [&] {
        return doc.PrintRTFFile(writeFile(QStringLiteral("justified.rtf"), runs).toStdU16String());
    });
    ASSERT_FALSE(justified.isEmpty());
    EXPECT_TRUE(direct);
    const double right = pdfInfo(justified, QStringLiteral("Page size")).section(QLatin1Char(' '), 0, 0).toDouble() - 72;
    struct Line {
        double baseline = 0, end = 0;
        bool last = false; // a paragraph's last
    };
    std::vector<Line> lines;
    for (const Word &w : pdfWords(justified)) {
        if (lines.empty() || std::abs(w.yMax - lines.back().baseline) > 1)
            lines.push_back({w.yMax, w.xMax, false});
        lines.back().end = std::max(lines.back().end, w.xMax);
        lines.back().last |= w.text.contains(QStringLiteral("89"));
    }
    ASSERT_GE(lines.size(), 8u);
    QStringList ends;
    for (const Line &line : lines)
        if (!line.last && std::abs(line.end - right) > 0.3)
            ends << QString::number(line.end);
    EXPECT_TRUE(ends.isEmpty()) << lines.size() << " lines; these end off the margin at " << right << ": "
                                << ends.join(' ').toStdString();

    // Two copies on the built-in printer, either way: the document twice over.
    LayoutParameters twice;
    twice.PrnCopies = 2;
    const QString plain = writeFile(QStringLiteral("plain.rtf"), styledRtf());
    for (const bool qtOnly : {false, true}) {
        const QString pdf = printWith(QStringLiteral("copies"), qtOnly, &direct,
                                      [&] { return doc.PrintRTFFile(plain.toStdU16String(), twice); });
        EXPECT_EQ(direct, !qtOnly);
        const int pages = pdfInfo(pdf, QStringLiteral("Pages")).toInt();
        EXPECT_EQ(pages % 2, 0);
        EXPECT_GE(pages, 6);
        EXPECT_EQ(pdfText(pdf, 1, pages / 2), pdfText(pdf, pages / 2 + 1, pages)) << "through Qt: " << qtOnly;
        // Each of the 45 paragraphs once in each copy, the first one opening each copy.
        int paragraphs = 0;
        QList<int> firstParagraph;
        const QList<Word> words = pdfWords(pdf);
        for (int i = 0; i + 1 < words.size(); ++i) {
            if (words[i].text == QStringLiteral("Paragraph")) {
                ++paragraphs;
                if (words[i + 1].text == QStringLiteral("1"))
                    firstParagraph << words[i].page;
            }
        }
        EXPECT_EQ(paragraphs, 2 * 45) << "through Qt: " << qtOnly;
        EXPECT_EQ(firstParagraph, (QList<int>{1, pages / 2 + 1})) << "through Qt: " << qtOnly;
    }
}
