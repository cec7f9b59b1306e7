// The rich-text control on Qt: RTF written and read back, page-by-page drawing read back from
// real PDFs, and the entry points end to end.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtRichText.h"

#include <corvane/Corvane.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextTable>
#include <QTemporaryDir>

using namespace corvane;
using namespace corvane::testing;

namespace {

QTextDocument *readBack(const QByteArray &rtf, QObject *parent)
{
    auto *document = new QTextDocument(parent);
    qt::readDocument(*document, rtf);
    return document;
}

class RichTextQt : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        doc.subscribe(&events);
    }
    void TearDown() override { resetThreadSurface(); }

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

    // A long document of numbered words in mixed sizes, paragraphs long enough to cross pages.
    static QByteArray longRtf(int paragraphs)
    {
        QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}\n";
        int word = 0;
        for (int p = 0; p < paragraphs; ++p) {
            static const char *styles[] = {"", "\\b ", "\\i\\fs32 ", "\\f1\\fs18 ", "\\fs40 "};
            rtf += QByteArray("{") + styles[p % 5];
            for (int w = 0; w < 40 + (p % 3) * 60; ++w)
                rtf += "W" + QByteArray::number(++word).rightJustified(5, '0') + " ";
            rtf += "}\\par\n";
        }
        return rtf + "}";
    }

    // Prints RTF to the built-in printer: the words of the one PDF it made, by their text, and
    // that PDF in `pdf` (empty, with a failure, when it made not exactly one).
    QMap<QString, Word> printWords(const QString &folder, const QByteArray &rtf, QString *pdf)
    {
        EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
        const QStringList pdfs = pdfFiles(folder);
        EXPECT_EQ(pdfs.size(), 1);
        if (pdfs.size() != 1)
            return {};
        *pdf = pdfs[0];
        return byText(pdfWords(pdfs[0]));
    }

    static QMap<QString, Word> byText(const QList<Word> &words)
    {
        QMap<QString, Word> at;
        for (const Word &w : words)
            at.insert(w.text, w);
        return at;
    }

    // Prints RTF on a new CUPS file queue of that name: what the queue wrote, or empty (with a
    // failure) when nothing came.
    QString printOnQueue(const QString &printer, const QByteArray &rtf)
    {
        addFilePrinter(printer);
        QFile::remove(printerOutput(printer));
        resetThreadSurface();
        doc.SetPrinter(printer.toStdU16String());
        events.events.clear();
        doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String());
        EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
        const bool written = waitForPrinterOutput(printer);
        EXPECT_TRUE(written) << printer.toStdString();
        return written ? printerOutput(printer) : QString();
    }

    QTemporaryDir dir;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
};

} // namespace

TEST_F(RichTextQt, WrittenAndReadBackKeepsTextAndFormats)
{
    QObject owner;
    const QByteArray source = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1 Courier New;}}{\colortbl;\red200\green0\blue0;}
\pard\qc\sb240\sa120\li360 {\b\fs36 Heading}\par
\pard\li720\fi-360 {\i italic} {\ul under} {\strike struck} {\f1\fs20 mono} {\cf1 red} x{\super 2} caf\'e9 \u1046? tab\tab end\par
\pard\qr right\line second line\par
\trowd\cellx2000\cellx4000\intbl A1\cell B1\cell\row
\pard after})";
    QTextDocument *original = readBack(source, &owner);
    const QByteArray written = qt::writeRtf(*original);
    QTextDocument *copy = readBack(written, &owner);
    EXPECT_EQ(copy->toPlainText(), original->toPlainText()) << written.toStdString();

    // Character and paragraph formats, fragment by fragment.
    QTextBlock a = original->begin(), b = copy->begin();
    for (; a.isValid() && b.isValid(); a = a.next(), b = b.next()) {
        EXPECT_EQ(a.blockFormat().alignment(), b.blockFormat().alignment()) << a.text().toStdString();
        EXPECT_NEAR(a.blockFormat().leftMargin(), b.blockFormat().leftMargin(), 0.1);
        EXPECT_NEAR(a.blockFormat().textIndent(), b.blockFormat().textIndent(), 0.1);
        EXPECT_NEAR(a.blockFormat().topMargin(), b.blockFormat().topMargin(), 0.1);
        auto fa = a.begin(), fb = b.begin();
        for (; !fa.atEnd() && !fb.atEnd(); ++fa, ++fb) {
            const QTextCharFormat x = fa.fragment().charFormat(), y = fb.fragment().charFormat();
            const std::string where = fa.fragment().text().toStdString();
            EXPECT_EQ(fa.fragment().text(), fb.fragment().text());
            EXPECT_EQ(x.fontWeight(), y.fontWeight()) << where;
            EXPECT_EQ(x.fontItalic(), y.fontItalic()) << where;
            EXPECT_EQ(x.fontUnderline(), y.fontUnderline()) << where;
            EXPECT_EQ(x.fontStrikeOut(), y.fontStrikeOut()) << where;
            EXPECT_EQ(x.verticalAlignment(), y.verticalAlignment()) << where;
            EXPECT_EQ(x.fontPointSize(), y.fontPointSize()) << where;
            EXPECT_EQ(x.fontFamilies(), y.fontFamilies()) << where;
            EXPECT_EQ(x.foreground().color(), y.foreground().color()) << where;
        }
        EXPECT_TRUE(fa.atEnd() && fb.atEnd()) << a.text().toStdString();
    }
    EXPECT_FALSE(a.isValid() || b.isValid());
    EXPECT_NE(qobject_cast<QTextTable *>(copy->rootFrame()->childFrames().value(0)), nullptr);
}

TEST_F(RichTextQt, EveryWordOfAMultiPageDocumentAppearsExactlyOnce)
{
    const QString folder = freshPdfFolder(QStringLiteral("rtf-once"));
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(longRtf(60)).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const int pages = pdfInfo(pdfs[0], QStringLiteral("Pages")).toInt();
    EXPECT_GE(pages, 4);
    const QString text = pdfText(pdfs[0]);
    QMap<QString, int> seen;
    const QRegularExpression word(QStringLiteral("W\\d{5}"));
    for (auto it = word.globalMatch(text); it.hasNext();)
        ++seen[it.next().captured()];
    int expected = 0;
    for (int p = 0; p < 60; ++p)
        expected += 40 + (p % 3) * 60;
    EXPECT_EQ(seen.size(), expected);
    for (auto it = seen.begin(); it != seen.end(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    // Text stays within the margins on every page.
    for (const Word &w : pdfWords(pdfs[0])) {
        EXPECT_GE(w.xMin, 72 - 1);
        EXPECT_LE(w.xMax, 595.3 - 72 + 1);
        EXPECT_GE(w.yMin, 72 - 1);
        EXPECT_LE(w.yMax, 841.9 - 72 + 3);
    }
}

TEST_F(RichTextQt, AnEmptyDocumentIsOnePage)
{
    const QString folder = freshPdfFolder(QStringLiteral("rtf-empty"));
    doc.PrintRTFData(u"");
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfInfo(pdfs[0], QStringLiteral("Pages")), QStringLiteral("1"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
}

TEST_F(RichTextQt, PrintRTFFileOfAStyledDocumentToPdfAndThroughCups)
{
    const QString folder = freshPdfFolder(QStringLiteral("rtf-file"));
    const QString path = writeFile(QStringLiteral("styled.rtf"), longRtf(9));
    EXPECT_TRUE(doc.PrintRTFFile(path.toStdU16String()).isEmpty());
    QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const int pages = pdfInfo(pdfs[0], QStringLiteral("Pages")).toInt();
    EXPECT_EQ(pages, 3);
    EXPECT_TRUE(pdfText(pdfs[0], 3, 3).contains(QStringLiteral("W00900"))); // the last word

    if (cupsDir().isEmpty())
        return;
    const QString printer = QStringLiteral("RichText");
    addFilePrinter(printer);
    QFile::remove(printerOutput(printer));
    resetThreadSurface();
    doc.SetPrinter(u"RichText");
    events.events.clear();
    EXPECT_TRUE(doc.PrintRTFFile(path.toStdU16String()).isEmpty());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
    ASSERT_TRUE(waitForPrinterOutput(printer));
    EXPECT_EQ(pdfInfo(printerOutput(printer), QStringLiteral("Pages")).toInt(), pages);
    EXPECT_TRUE(pdfText(printerOutput(printer)).contains(QStringLiteral("W00001")));
}

TEST_F(RichTextQt, PrintTextWithFontSettingsShowsThatFontsSize)
{
    const QString folder = freshPdfFolder(QStringLiteral("rtf-font"));
    EXPECT_TRUE(doc.PrintText(u"Sixteen points bold", u"Tahoma,16,1,0,0").isEmpty());
    EXPECT_TRUE(doc.PrintText(u"Ten points").isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 2);
    double big = 0, small = 0;
    for (const QString &pdf : pdfs) {
        for (const Word &w : pdfWords(pdf)) {
            if (w.text == QStringLiteral("Sixteen"))
                big = w.yMax - w.yMin;
            if (w.text == QStringLiteral("Ten"))
                small = w.yMax - w.yMin;
        }
    }
    EXPECT_NEAR(big / small, 1.6, 0.1);
    EXPECT_NEAR(big, 16 * 1.15, 2.5); // a line of 16-point text
    QString fonts;
    for (const QString &pdf : pdfs)
        fonts += run(QStringLiteral("pdffonts"), {pdf}).out;
    EXPECT_TRUE(fonts.contains(QStringLiteral("Bold"))) << fonts.toStdString();
}

TEST_F(RichTextQt, PlainTextFilesPrintAsTheirText)
{
    const QString folder = freshPdfFolder(QStringLiteral("rtf-plain"));
    const QString path = writeFile(QStringLiteral("notes.txt"), "{not rtf}\r\nsecond line caf\xE9\n");
    EXPECT_TRUE(doc.PrintTextFile(path.toStdU16String(), u"Courier New,12,0,0,0").isEmpty());
    const QString text = pdfText(pdfFiles(folder).value(0));
    EXPECT_TRUE(text.contains(QStringLiteral("{not rtf}")));
    EXPECT_TRUE(text.contains(QStringLiteral("second line caf\u00e9")));
}

TEST_F(RichTextQt, IndentsTabsAndCellsLandWhereTheDocumentSaysInTwips)
{
    // A4 with the default one-inch margins: the text area starts 72 pt from the left edge and
    // ends 72 pt from the right (595.3 pt wide).
    const QString folder = freshPdfFolder(QStringLiteral("rtf-measures"));
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 "
        "\\pard\\li1440 Indented\\par "
        "\\pard\\li1440\\fi720 FirstLine\\par "
        "\\pard\\li2880\\fi-1440 Hanging\\par "
        "\\pard\\qr\\ri2880 RightSide\\par "
        "\\pard A\\tab DefaultTab\\par "
        "\\pard\\tx2880 B\\tab AtTwoInches\\par "
        "\\pard\\tqr\\tx5760 R\\tab RightTabbed\\par "
        "\\pard\\tqc\\tx4320 C\\tab Centred\\par "
        // Stops are measured from the margin, not from an indent; a hanging indent has one at
        // its left indent.
        "\\pard\\li1000 \\tab FromMargin\\par "
        "\\pard\\li720\\fi-360 1.\\tab Hung\\par "
        "\\pard\\li360\\tx1800 \\tab Named\\par "
        "\\trowd\\cellx2880\\cellx5760 \\pard\\intbl LeftCell\\cell RightCell\\cell\\row "
        "\\pard Shown {\\v Hidden }After\\par "
        "\\pard\\sl-480 Top\\par \\pard\\sl-480\\sb1440 Spaced\\par \\pard\\sl-480\\sa720 Before\\par \\pard\\sl-480 Next\\par}";
    QString pdf;
    QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    const auto left = [&](const char *word) { return at.value(QString::fromLatin1(word)).xMin; };
    EXPECT_NEAR(left("Indented"), 72 + 72, 1.0);
    EXPECT_NEAR(left("FirstLine"), 72 + 72 + 36, 1.0);
    EXPECT_NEAR(left("Hanging"), 72 + 144 - 72, 1.0);
    EXPECT_NEAR(at.value(QStringLiteral("RightSide")).xMax, 595.3 - 72 - 144, 1.0);
    EXPECT_NEAR(left("DefaultTab"), 72 + 36, 1.0); // default stops every 720 twips
    EXPECT_NEAR(left("AtTwoInches"), 72 + 144, 1.0);
    EXPECT_NEAR(at.value(QStringLiteral("RightTabbed")).xMax, 72 + 288, 1.0);
    EXPECT_NEAR(left("FromMargin"), 72 + 72, 1.0); // the default stop at 1440 twips
    EXPECT_NEAR(left("Hung"), 72 + 36, 1.0);
    EXPECT_NEAR(left("Named"), 72 + 90, 1.0);
    EXPECT_NEAR((at.value(QStringLiteral("Centred")).xMin + at.value(QStringLiteral("Centred")).xMax) / 2, 72 + 216, 1.0);
    // Cells start at their edges, the text inside past the cell's padding and its border.
    EXPECT_GE(left("LeftCell"), 72.0);
    EXPECT_LE(left("LeftCell"), 72.0 + 6);
    EXPECT_GE(left("RightCell"), 72.0 + 144);
    EXPECT_LE(left("RightCell"), 72.0 + 144 + 6);
    // Exact lines of 24 pt, 72 pt of space before a paragraph, 36 pt after one.
    const auto top = [&](const char *word) { return at.value(QString::fromLatin1(word)).yMin; };
    EXPECT_NEAR(top("Spaced") - top("Top"), 24 + 72, 1.0);
    EXPECT_NEAR(top("Next") - top("Before"), 24 + 36, 1.0);
    // Hidden text is not printed.
    EXPECT_FALSE(at.contains(QStringLiteral("Hidden")));
    EXPECT_TRUE(at.contains(QStringLiteral("Shown")) && at.contains(QStringLiteral("After")));
    QFile::remove(pdf);

    // \deftab names the distance of the default stops.
    doc.PrintRTFData(u"{\\rtf1\\ansi\\deftab1440\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 C\\tab Deftab\\par}");
    ASSERT_EQ(pdfFiles(folder).size(), 1);
    at.clear();
    for (const Word &w : pdfWords(pdfFiles(folder)[0]))
        at.insert(w.text, w);
    EXPECT_NEAR(at.value(QStringLiteral("Deftab")).xMin, 72 + 72, 1.0);
    QFile::remove(pdfFiles(folder)[0]);

    // The space above the first paragraph: an address an inch below the top margin.
    doc.PrintRTFData(
        u"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24\\pard\\sb1440 Address\\par\\pard Street\\par}");
    ASSERT_EQ(pdfFiles(folder).size(), 1);
    at.clear();
    for (const Word &w : pdfWords(pdfFiles(folder)[0]))
        at.insert(w.text, w);
    EXPECT_NEAR(at.value(QStringLiteral("Address")).yMin, 72 + 72, 1.0);
    EXPECT_NEAR(at.value(QStringLiteral("Street")).yMin, 72 + 72 + 13.8, 1.0);
    QFile::remove(pdfFiles(folder)[0]);
    // A right-to-left paragraph's words go from right to left; its alignment names a side of the
    // page.
    doc.PrintRTFData(u"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\\pard\\rtlpar\\ql Read "
                     u"\\u1512?\\u1493?\\u1495? end\\par\\pard\\rtlpar\\qr Right\\par}");
    ASSERT_EQ(pdfFiles(folder).size(), 1);
    at.clear();
    for (const Word &w : pdfWords(pdfFiles(folder)[0]))
        at.insert(w.text, w);
    EXPECT_NEAR(at.value(QStringLiteral("end")).xMin, 72, 0.5);
    const Word hebrew = at.value(QStringLiteral(u"\u05D7\u05D5\u05E8"));
    EXPECT_LT(at.value(QStringLiteral("end")).xMax, hebrew.xMin);
    EXPECT_LT(hebrew.xMax, at.value(QStringLiteral("Read")).xMin);
    EXPECT_NEAR(at.value(QStringLiteral("Right")).xMax, 595.3 - 72, 0.5);
    QFile::remove(pdfFiles(folder)[0]);
    // ... and where a footnote takes room at the page's foot.
    doc.PrintRTFData(u"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24\\pard\\sb1440 Address\\par\\pard "
                     u"Street{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} Noted\\par}\\par}");
    ASSERT_EQ(pdfFiles(folder).size(), 1);
    at.clear();
    for (const Word &w : pdfWords(pdfFiles(folder)[0]))
        at.insert(w.text, w);
    EXPECT_NEAR(at.value(QStringLiteral("Address")).yMin, 72 + 72, 1.0);
    EXPECT_TRUE(at.contains(QStringLiteral("Noted")));
    EXPECT_EQ(events.events,
              (std::vector<std::string>{"PrintComplete", "PrintComplete", "PrintComplete", "PrintComplete",
                                        "PrintComplete"}));
}

TEST_F(RichTextQt, FacesOfOfficeDocumentsPrintInFontsOfTheirMeasuresAndAsianTextInItsCharacters)
{
    // Faces seldom installed here print in the fonts made to their measures; Japanese and
    // Chinese in double-byte code pages print as their characters, in a font that has them.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-faces"));
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0 Calibri;}{\\f1 Cambria;}{\\f2 Verdana;}{\\f3 Consolas;}"
        "{\\f4 Courier New;}{\\f5\\fcharset128 MS Mincho;}{\\f6\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}{\\f7\\fcharset2 Symbol;}}"
        "\\f0 Carlito\\par\\f1 Caladea\\par\\f2 Dejavu\\par\\f3 Mono\\par\\f4 Liberation\\par"
        "\\f5 \\'82\\'a0\\'93\\'fa\\par\\f6 \\'c4\\'e3\\'ba\\'c3\\par\\f7 abg\\'b7\\par}";
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const ProcessResult fonts = run(QStringLiteral("pdffonts"), {pdfs[0]});
    for (const char *face : {"Carlito", "Caladea-Regular", "DejaVuSans", "DejaVuSansMono", "LiberationMono", "WenQuanYi"})
        EXPECT_TRUE(fonts.out.contains(QLatin1String(face))) << face << " not in\n" << fonts.out.toStdString();
    const QString text = pdfText(pdfs[0]).simplified();
    EXPECT_EQ(text, QStringLiteral(u"Carlito Caladea Dejavu Mono Liberation あ日 你好 αβγ•"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});

    // Letters no italic face has print upright in a face that has them (Arabic), and a symbol
    // that only the URW faces have prints in one: both have ink where they stand.
    QString italic;
    const QMap<QString, Word> at = printWords(
        freshPdfFolder(QStringLiteral("rtf-faces-italic")),
        "{\\rtf1{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs48\\i x \\u1605?\\u1585?\\u1581?\\u1576?\\u1575? y \\u8644?\\par}",
        &italic);
    ASSERT_FALSE(italic.isEmpty());
    const QImage page = pdfPage(italic, 1, 72);
    ASSERT_FALSE(page.isNull());
    ASSERT_TRUE(at.contains(QStringLiteral("x")) && at.contains(QStringLiteral("y")) && at.contains(QStringLiteral(u"⇄")));
    const auto ink = [&](double left, double top, double right, double bottom) {
        int dark = 0;
        for (int x = static_cast<int>(left) + 1; x < static_cast<int>(right); ++x)
            for (int y = static_cast<int>(top); y < static_cast<int>(bottom); ++y)
                dark += qGray(page.pixel(x, y)) < 128 ? 1 : 0;
        return dark;
    };
    const Word x = at.value(QStringLiteral("x")), y = at.value(QStringLiteral("y")),
               arrows = at.value(QStringLiteral(u"⇄"));
    EXPECT_GT(ink(x.xMax, x.yMin, y.xMin, x.yMax), 100); // the Arabic word between x and y
    EXPECT_GT(ink(arrows.xMin, arrows.yMin, arrows.xMax, arrows.yMax), 20);
    // Type 1 faces are left out: the symbol's face is one the built-in printer writes itself.
    EXPECT_EQ(pdfInfo(italic, QStringLiteral("Producer")), QStringLiteral("Corvane"));

    // Characters no installed font has (code points not yet assigned) print as boxes, not as the
    // font's empty box, and read as themselves.
    QString none;
    const QMap<QString, Word> boxes = printWords(freshPdfFolder(QStringLiteral("rtf-faces-none")),
                                                 "{\\rtf1{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs48 \\u12256?\\u12257?\\par}",
                                                 &none);
    ASSERT_TRUE(boxes.contains(QStringLiteral(u"\u2FE0\u2FE1"))) << boxes.keys().join(' ').toStdString();
    const QImage boxed = pdfPage(none, 1, 72);
    ASSERT_FALSE(boxed.isNull());
    const Word two = boxes.value(QStringLiteral(u"\u2FE0\u2FE1"));
    int dark = 0;
    for (int px = static_cast<int>(two.xMin); px < static_cast<int>(two.xMax) + 1; ++px)
        for (int py = static_cast<int>(two.yMin); py < static_cast<int>(two.yMax) + 1; ++py)
            dark += qGray(boxed.pixel(px, py)) < 128 ? 1 : 0;
    EXPECT_GT(dark, 40); // two boxes' outlines

    // A letter with a mark its font lacks is set with the mark in a font that has both: the
    // arrow stands over the v, not after it (x and v are 12 points wide each at 24 points).
    QString vector;
    const QMap<QString, Word> marked = printWords(freshPdfFolder(QStringLiteral("rtf-faces-mark")),
                                                  "{\\rtf1{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs48 xv\\u8407?x\\par}",
                                                  &vector);
    ASSERT_TRUE(marked.contains(QStringLiteral(u"xv\u20D7x"))) << marked.keys().join(' ').toStdString();
    const Word xvx = marked.value(QStringLiteral(u"xv\u20D7x"));
    EXPECT_LT(xvx.xMax - xvx.xMin, 40.0);
}

TEST_F(RichTextQt, TablesDrawTheBordersAndShadingTheirDocumentNamesAndNothingElse)
{
    // A4, one-inch margins: cell edges at 2 and 4 inches from the margin are 216 and 360 pt from
    // the sheet's left edge. Read back at 144 dpi, two pixels to the point.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-table-lines"));
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green255\\blue0;}\\f0\\fs24 "
        "\\pard\\sa480 Above\\par "
        // A red box of 1 pt round the first cell; the second green with no line.
        "\\trowd\\trgaph60\\clbrdrt\\brdrs\\brdrw20\\brdrcf1\\clbrdrl\\brdrs\\brdrw20\\brdrcf1"
        "\\clbrdrb\\brdrs\\brdrw20\\brdrcf1\\clbrdrr\\brdrs\\brdrw20\\brdrcf1\\cellx2880\\clcbpat2\\cellx5760"
        "\\pard\\intbl RedBox\\cell Green\\cell\\row "
        "\\pard\\sb480\\sa480 Between\\par "
        // No border words: no lines at all; then the same with \\brdrnone named.
        "\\trowd\\cellx2880\\cellx5760\\pard\\intbl NoLines\\cell AtAll\\cell\\row "
        "\\pard\\sb480\\sa480 Again\\par "
        "\\trowd\\clbrdrt\\brdrnone\\clbrdrl\\brdrnone\\clbrdrb\\brdrnone\\clbrdrr\\brdrnone\\cellx2880\\cellx5760"
        "\\pard\\intbl NoneNamed\\cell Here\\cell\\row "
        "\\pard\\sb480\\sa480 Merging\\par "
        // Two cells merged into one: its text runs past the first cell's edge on one line.
        "\\trowd\\clmgf\\cellx2880\\clmrg\\cellx5760\\pard\\intbl Spanning words over both merged cells\\cell\\cell\\row "
        "\\pard\\sb480\\sa480 Shifted\\par "
        // A row starting an inch into the text area, its text a gap of 108 twips further in.
        "\\trowd\\trleft1440\\trgaph108\\cellx4320\\pard\\intbl Inset\\cell\\row "
        "\\pard After\\par}";
    QString pdf;
    QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    const QImage page = pdfPage(pdf, 1, 144);
    ASSERT_FALSE(page.isNull());
    const auto pixel = [&](double x, double y) { return QColor(page.pixel(int(x * 2), int(y * 2))); };
    const auto isRed = [](QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
    const auto isWhite = [](QColor c) { return c.red() > 245 && c.green() > 245 && c.blue() > 245; };

    // The red box: left and right lines beside the text, top and bottom lines above and below it.
    const Word red = at.value(QStringLiteral("RedBox"));
    const double middle = (red.yMin + red.yMax) / 2;
    EXPECT_TRUE(isRed(pixel(72.5, middle))) << "left line";
    EXPECT_TRUE(isRed(pixel(216.5, middle))) << "right line, on the cells' edge";
    EXPECT_FALSE(isRed(pixel(218, middle)));
    const auto redBetween = [&](double from, double to) {
        for (double y = from; y < to; y += 0.5)
            if (isRed(pixel(144, y)))
                return true;
        return false;
    };
    EXPECT_TRUE(redBetween(red.yMin - 12, red.yMin)) << "top line";
    EXPECT_TRUE(redBetween(red.yMax, red.yMax + 12)) << "bottom line";
    // The green cell is green where it has no text, and has no line on its right.
    const Word green = at.value(QStringLiteral("Green"));
    const QColor fill = pixel(340, (green.yMin + green.yMax) / 2);
    EXPECT_TRUE(fill.green() > 240 && fill.red() < 20 && fill.blue() < 20) << fill.name().toStdString();
    EXPECT_TRUE(isWhite(pixel(361, (green.yMin + green.yMax) / 2)));
    // Text stands its padding of 60 twips in from its cell's edge, whatever lines are there.
    EXPECT_NEAR(green.xMin, 216 + 3, 0.5);
    EXPECT_NEAR(red.xMin, 72 + 3, 0.5);

    // The paragraph after the table keeps its space before (24 pt) below the table's last line.
    EXPECT_GT(at.value(QStringLiteral("Between")).yMin - red.yMax, 24.0);

    // Rows without lines: white all round their text, from the margin to past the last cell.
    for (const char *word : {"NoLines", "NoneNamed"}) {
        const Word w = at.value(QString::fromLatin1(word));
        ASSERT_GT(w.xMax, 0) << word;
        for (double y : {w.yMin - 4, (w.yMin + w.yMax) / 2, w.yMax + 4})
            for (double x = 60; x < 380; x += 0.5) {
                const bool onText = y > w.yMin && y < w.yMax && x > w.xMin - 2 && x < w.xMax + 2;
                const Word other = at.value(QString::fromLatin1(std::string(word) == "NoLines" ? "AtAll" : "Here"));
                const bool onOther = y > other.yMin && y < other.yMax && x > other.xMin - 2 && x < other.xMax + 2;
                if (!onText && !onOther) {
                    ASSERT_TRUE(isWhite(pixel(x, y))) << word << " at " << x << "," << y;
                }
            }
    }

    // The merged cell holds its words on one line, past the first cell's edge.
    const Word spanning = at.value(QStringLiteral("Spanning")), cells = at.value(QStringLiteral("cells"));
    EXPECT_NEAR(cells.yMin, spanning.yMin, 0.5);
    EXPECT_GT(cells.xMax, 216.0);
    // The shifted row: its cell text an inch and 108 twips in from the margin.
    EXPECT_NEAR(at.value(QStringLiteral("Inset")).xMin, 72 + 72 + 5.4, 1.0);
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
}

TEST_F(RichTextQt, NotesHeadersFootersAndSectionsPrintWhereTheirEditorPutsThem)
{
    // A4 with one-inch margins: the text from 72 pt to 769.9 pt down. Lines of exactly 24 pt:
    // 29 to a page, or 27 when a note of three 12-pt lines (and the 8 pt above it) takes the
    // page's foot.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-pages"));
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\headery500\\footery400"
                     "{\\header\\pard\\qc\\f0\\fs20 Ledger page {\\field{\\*\\fldinst PAGE }{\\fldrslt 1}} of "
                     "{\\field{\\*\\fldinst NUMPAGES }{\\fldrslt 1}}\\par}{\\footer\\pard\\f0\\fs20 Footer words\\par}"
                     "\\f0\\fs24 ";
    for (int i = 1; i <= 30; ++i) {
        rtf += "\\pard\\sl-480 Line" + QByteArray::number(i).rightJustified(2, '0');
        if (i == 20)
            rtf += " Mark{\\super\\chftn{\\*\\footnote\\pard\\plain\\f0\\fs20\\sl-240 {\\super\\chftn} NoteLineA\\line "
                   "NoteLineB\\line NoteLineC}}";
        rtf += "\\par ";
    }
    rtf += "\\sect\\sectd\\sbknone\\pard Samepage\\par\\sect\\sectd\\pard Newsection Endmark{\\super\\chftn}"
           "{\\*\\footnote\\ftnalt\\pard\\plain\\f0\\fs20 {\\super\\chftn} Endnoteword}\\par}";
    QString pdf;
    const QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 4);
    const auto page = [&](const char *word) { return at.value(QString::fromLatin1(word)).page; };

    // The footnote: its mark in the text, its text at the foot of its page, below the last line
    // there; the lines it displaces begin the next page.
    // A mark: "1", raised, right after the word it follows.
    const QList<Word> words = pdfWords(pdf);
    const auto markAfter = [&](const QString &word) {
        for (qsizetype i = 0; i + 1 < words.size(); ++i)
            if (words[i].text == word)
                return words[i + 1].text == QStringLiteral("1") && std::abs(words[i + 1].xMin - words[i].xMax) < 1
                    && words[i + 1].yMin < words[i].yMin;
        return false;
    };
    EXPECT_TRUE(markAfter(QStringLiteral("Mark")));
    EXPECT_EQ(page("NoteLineA"), 1);
    EXPECT_EQ(page("NoteLineC"), 1);
    EXPECT_GT(at.value(QStringLiteral("NoteLineA")).yMin, 72 + 27 * 24.0);
    EXPECT_LE(at.value(QStringLiteral("NoteLineC")).yMax, 770.0);
    EXPECT_GT(at.value(QStringLiteral("NoteLineC")).yMin, 750.0);
    EXPECT_EQ(page("Line27"), 1);
    EXPECT_EQ(page("Line28"), 2);
    EXPECT_NEAR(at.value(QStringLiteral("Line28")).yMin, 79.9, 0.5); // where a page's first line is

    // Sections: one that continues stays on the page; the next starts a page. The endnote
    // follows the text on a page of its own.
    EXPECT_EQ(page("Samepage"), 2);
    EXPECT_EQ(page("Newsection"), 3);
    EXPECT_TRUE(markAfter(QStringLiteral("Endmark")));
    EXPECT_EQ(page("Endnoteword"), 4);

    // The header, with its page numbers, 25 pt from the top; the footer's last line 20 pt from
    // the bottom (841.9 pt); the page of endnotes has neither.
    EXPECT_EQ(pdfText(pdf, 4, 4).simplified(), QStringLiteral("1 Endnoteword"));
    for (int p = 1; p <= 3; ++p)
        EXPECT_TRUE(pdfText(pdf, p, p).simplified().startsWith(QStringLiteral("Ledger page %1 of 4 ").arg(p)))
            << pdfText(pdf, p, p).toStdString();
    for (const Word &w : words) {
        if (w.text == QStringLiteral("Ledger")) {
            EXPECT_GE(w.yMin, 25.0);
            EXPECT_LT(w.yMin, 30.0);
        } else if (w.text == QStringLiteral("Footer")) {
            EXPECT_LE(w.yMax, 821.9);
            EXPECT_GT(w.yMax, 815.0);
        }
    }
    EXPECT_EQ(pdfText(pdf).count(QStringLiteral("Footer words")), 3);

    // A header of six 14-pt lines 36 pt from the top reaches to 120 pt, a footer of five to
    // 735.9 pt from the foot's 805.9: the text stands between them, 25 lines of 24 pt a page.
    // One that leaves the text no room for a line is refused, nothing printed.
    QByteArray tall = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\headery720\\footery720{\\header\\pard\\f0\\fs20\\sl-280 ";
    for (int i = 1; i <= 6; ++i)
        tall += "Head" + QByteArray::number(i) + "\\par ";
    tall += "}{\\footer\\pard\\f0\\fs20\\sl-280 Foot1\\par Foot2\\par Foot3\\par Foot4\\par Foot5\\par}\\f0\\fs24 ";
    for (int i = 1; i <= 40; ++i)
        tall += "\\pard\\sl-480 Body" + QByteArray::number(i).rightJustified(2, '0') + "\\par ";
    const QString tallFolder = freshPdfFolder(QStringLiteral("rtf-tall-parts"));
    QString tallPdf;
    const QMap<QString, Word> between = printWords(tallFolder, tall + "}", &tallPdf);
    ASSERT_FALSE(tallPdf.isEmpty());
    EXPECT_EQ(pdfInfo(tallPdf, QStringLiteral("Pages")).toInt(), 2);
    EXPECT_LE(between.value(QStringLiteral("Head6")).yMax, between.value(QStringLiteral("Body01")).yMin);
    EXPECT_LT(between.value(QStringLiteral("Body01")).yMin, 130.0);
    EXPECT_EQ(between.value(QStringLiteral("Body25")).page, 1);
    EXPECT_LE(between.value(QStringLiteral("Body25")).yMax, between.value(QStringLiteral("Foot1")).yMin);
    EXPECT_EQ(between.value(QStringLiteral("Body26")).page, 2);
    // (Placed 750 pt down, the header leaves 6 pt, less than a line; placed beyond the paper, none.)
    for (const char *far : {"headery15000", "headery30000"})
        EXPECT_EQ(
            doc.PrintRTFData(QString::fromLatin1(QByteArray(tall).replace("headery720", far) + "}").toStdU16String()),
            Variant::string(u"482|Printer error: the headers and footers of this document leave no room for its text"))
            << far;
    EXPECT_EQ(pdfFiles(tallFolder).size(), 1);

    // On a printer with an unprintable border (this queue's A4 prints from 18, 36 to 577, 806 pt)
    // they keep their places on the paper.
    if (cupsDir().isEmpty())
        return;
    const QString queued = printOnQueue(QStringLiteral("Bordered"), rtf);
    ASSERT_FALSE(queued.isEmpty());
    int headers = 0, footers = 0;
    for (const Word &w : pdfWords(queued)) {
        if (w.text == QStringLiteral("Ledger")) {
            ++headers;
            EXPECT_GE(w.yMin, 25.0);
            EXPECT_LT(w.yMin, 30.0);
        } else if (w.text == QStringLiteral("Footer")) {
            ++footers;
            EXPECT_LE(w.yMax, 821.9);
            EXPECT_GT(w.yMax, 815.0);
        }
    }
    EXPECT_EQ(headers, 3);
    EXPECT_EQ(footers, 3);
}

TEST_F(RichTextQt, AParagraphDividedForItsPagesNotesLosesNoPage)
{
    // One paragraph over several pages with notes on each: it is divided where each page's
    // notes begin, which lengthens the document; the short last page still prints.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-divided"));
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 ";
    for (int w = 1; w <= 1500; ++w) {
        rtf += "W" + QByteArray::number(w).rightJustified(4, '0') + " ";
        if (w % 100 == 0)
            rtf += "{\\super\\chftn}{\\*\\footnote\\pard\\plain\\f0\\fs20 {\\super\\chftn} Note of the harbour}";
    }
    rtf += "\\par\\page Z\\par}";
    QString pdf;
    const QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    const int pages = pdfInfo(pdf, QStringLiteral("Pages")).toInt();
    EXPECT_GE(pages, 3);
    EXPECT_EQ(at.value(QStringLiteral("Z")).page, pages);
    EXPECT_EQ(pdfText(pdf, pages, pages).simplified(), QStringLiteral("Z"));
    const QStringList all = pdfText(pdf).simplified().split(QLatin1Char(' '));
    for (int w = 1; w <= 1500; ++w)
        EXPECT_EQ(all.count(QStringLiteral("W%1").arg(w, 4, 10, QLatin1Char('0'))), 1) << w;
    EXPECT_EQ(all.count(QStringLiteral("harbour")), 15);
}

TEST_F(RichTextQt, HeaderRowsOfATableRepeatOnEachPageItContinuesOn)
{
    const QString folder = freshPdfFolder(QStringLiteral("rtf-table-header"));
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 "
                     "\\trowd\\trhdr\\cellx2880\\cellx5760\\pard\\intbl Heading\\cell Column\\cell\\row ";
    // Long enough that the table is set in parts (of 2,000 rows): the part that goes on starts
    // a page, under a copy of the header.
    for (int i = 1; i <= 2100; ++i)
        rtf += "\\trowd\\cellx2880\\cellx5760\\pard\\intbl Row" + QByteArray::number(i) + "\\cell Value\\cell\\row ";
    rtf += "\\pard End\\par}";
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const int pages = pdfInfo(pdfs[0], QStringLiteral("Pages")).toInt();
    ASSERT_GE(pages, 36);
    // Each page starts with the header row; every row is printed once.
    for (int p = 1; p <= pages; ++p) {
        const QStringList words = pdfText(pdfs[0], p, p).simplified().split(QLatin1Char(' '));
        EXPECT_EQ(words.value(0), QStringLiteral("Heading")) << "page " << p;
        EXPECT_EQ(words.count(QStringLiteral("Heading")), 1) << "page " << p;
    }
    const QStringList all = pdfText(pdfs[0]).simplified().split(QLatin1Char(' '));
    for (int i = 1; i <= 2100; ++i)
        EXPECT_EQ(all.count(QStringLiteral("Row%1").arg(i)), 1) << i;
    EXPECT_EQ(all.count(QStringLiteral("Heading")), pages);
}

TEST_F(RichTextQt, LeadersFillTheSpaceBeforeTheirTabStops)
{
    // A right stop at 9000 twips (450 pt past the margin) with dots, a left stop at 4320 twips
    // with hyphens in a paragraph indented half an inch, and a stop without a leader.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-leaders"));
    // A table of contents' line: a left stop without a leader, then a right one with dots.
    EXPECT_TRUE(doc.PrintRTFData(u"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 "
                                 u"\\pard\\tqr\\tldot\\tx9000 Chapter\\tab 12\\par"
                                 u"\\pard\\li720\\tlhyph\\tx4320 Name\\tab Value\\par"
                                 u"\\pard\\tx2880 Plain\\tab none\\par"
                                 u"\\pard\\tx1000\\tqr\\tldot\\tx8000 1.1\\tab Introduction\\tab 5\\par}")
                    .isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const QList<Word> words = pdfWords(pdfs[0]);
    QStringList texts;
    for (const Word &w : words)
        texts << w.text;
    ASSERT_EQ(texts.size(), 12) << texts.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(texts[0], QStringLiteral("Chapter"));
    EXPECT_EQ(texts[1], QString(texts[1].size(), QLatin1Char('.')));
    EXPECT_GE(texts[1].size(), 90); // some 370 pt of dots
    EXPECT_EQ(texts[2], QStringLiteral("12"));
    EXPECT_NEAR(words[2].xMax, 72 + 450, 1.0);
    // The dots start where the text before them ends (Chapter is 42.7 pt wide) and end where
    // the text after them starts (12 is 13.3 pt wide).
    EXPECT_NEAR(words[1].xMin, 72 + 42.7, 0.2);
    EXPECT_NEAR(words[1].xMax, 72 + 450 - 13.3, 0.2);
    EXPECT_LT(words[1].xMax, words[2].xMin + 1.5);
    EXPECT_EQ(texts[4], QString(texts[4].size(), QLatin1Char('-')));
    EXPECT_NEAR(words[5].xMin, 72 + 216, 1.0); // "Value" at its stop
    EXPECT_LT(words[4].xMax, words[5].xMin + 1.5);
    EXPECT_EQ(texts.mid(6, 2), (QStringList{QStringLiteral("Plain"), QStringLiteral("none")}));
    EXPECT_NEAR(words[7].xMin, 72 + 144, 1.0);
    // The first tab of the contents line has no leader: its words stand alone at their stops.
    EXPECT_EQ(texts.mid(8, 2), (QStringList{QStringLiteral("1.1"), QStringLiteral("Introduction")}));
    EXPECT_NEAR(words[9].xMin, 72 + 50, 1.0);
    EXPECT_EQ(texts[10], QString(texts[10].size(), QLatin1Char('.')));
    EXPECT_NEAR(words[10].xMin, 72 + 50 + 62.7, 0.2); // Introduction is 62.7 pt wide, 5 6.7 pt
    EXPECT_NEAR(words[10].xMax, 72 + 400 - 6.7, 0.2);
    EXPECT_EQ(texts[11], QStringLiteral("5"));
    EXPECT_NEAR(words[11].xMax, 72 + 400, 1.0);
}

namespace {

// How many separate dark lines cross the column x of a page rendered at 288 dpi between
// heights top and bottom (points).
int darkLines(const QImage &page, double x, double top, double bottom)
{
    int lines = 0;
    bool dark = false;
    for (int y = int(top * 4); y <= int(bottom * 4); ++y) {
        const bool now = qGray(page.pixel(int(x * 4), y)) < 128;
        lines += now && !dark;
        dark = now;
    }
    return lines;
}

} // namespace

TEST_F(RichTextQt, CapitalsUnderlinesAndCharacterSpacingPrintAsTheirDocumentSays)
{
    // 12 pt Arial (Liberation Sans, of Arial's widths) on A4 with one-inch margins.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-character-formats"));
    QString pdf;
    const QMap<QString, Word> at = printWords(
        folder,
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 {\\caps caps words} {\\scaps Small} {\\uldb Double} "
        "{\\ul Single} {\\ulw Two words} {\\expndtw20 Wide} Plain\\par}",
        &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    // Capitals on paper and in the text; small capitals are capitals, the lower-case letters
    // at four fifths of the size: S at 12 pt and MALL at 9.6 pt (boxes 13.4 and 10.7 pt high)
    // are 33.1 pt wide.
    EXPECT_TRUE(at.contains(QStringLiteral("CAPS")) && at.contains(QStringLiteral("WORDS")));
    ASSERT_TRUE(at.contains(QStringLiteral("S")) && at.contains(QStringLiteral("MALL")))
        << at.keys().join(u' ').toStdString();
    EXPECT_NEAR(at[QStringLiteral("MALL")].xMax - at[QStringLiteral("S")].xMin, 33.1, 0.5);
    EXPECT_NEAR(at[QStringLiteral("S")].yMax - at[QStringLiteral("S")].yMin, 13.4, 0.2);
    EXPECT_NEAR(at[QStringLiteral("MALL")].yMax - at[QStringLiteral("MALL")].yMin, 10.7, 0.2);
    // A point after each of Wide's letters: 27.3 pt of letters and 3 pt between them.
    ASSERT_TRUE(at.contains(QStringLiteral("Wide")));
    EXPECT_NEAR(at[QStringLiteral("Wide")].xMax - at[QStringLiteral("Wide")].xMin, 30.3, 0.5);
    // Below the baseline (2.5 pt above the word's box's bottom): two lines under Double, one
    // under Single and under each underlined word, none under the space between them or under
    // Plain.
    const QImage page = pdfPage(pdf, 1, 288);
    ASSERT_FALSE(page.isNull());
    const auto under = [&](double x, const QString &word) {
        const Word &w = at[word];
        return darkLines(page, x, w.yMax - 2.2, w.yMax + 5);
    };
    const auto middle = [&](const char *word) {
        const Word &w = at[QString::fromLatin1(word)];
        return (w.xMin + w.xMax) / 2;
    };
    EXPECT_EQ(under(middle("Double"), QStringLiteral("Double")), 2);
    EXPECT_EQ(under(middle("Single"), QStringLiteral("Single")), 1);
    EXPECT_EQ(under(middle("Two"), QStringLiteral("Two")), 1);
    EXPECT_EQ(under(middle("words"), QStringLiteral("words")), 1);
    EXPECT_EQ(under((at[QStringLiteral("Two")].xMax + at[QStringLiteral("words")].xMin) / 2, QStringLiteral("Two")), 0);
    EXPECT_EQ(under(middle("Plain"), QStringLiteral("Plain")), 0);
}

TEST_F(RichTextQt, SectionsInColumnsFillEachColumnOfAPageInTurn)
{
    // A4 with one-inch margins: 451.3 pt across, 697.9 pt down, lines of exactly 24 pt (29 to a
    // column, 27 where a note of three 12-pt lines and the 6 pt above it takes the foot). Two
    // columns 36 pt apart are 207.65 pt wide, the second from 315.65 pt; three 18 pt apart
    // are 138.43 pt wide, from 72, 228.43 and 384.87 pt.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-columns"));
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\sectd\\cols2\\colsx720\\linebetcol\\f0\\fs24 ";
    for (int i = 1; i <= 70; ++i) {
        rtf += QByteArray("\\pard\\sl-480 ") + (i == 65 ? "\\column " : "") + "L"
             + QByteArray::number(i).rightJustified(2, '0');
        if (i == 10)
            rtf += " Mark{\\super\\chftn{\\*\\footnote\\pard\\plain\\f0\\fs20\\sl-240 {\\super\\chftn} NoteLineA\\line "
                   "NoteLineB\\line NoteLineC}}";
        rtf += "\\par ";
    }
    rtf += "\\sect\\sectd\\pard\\sl-480 Onecol\\par\\sect\\sectd\\cols3\\colsx360 ";
    for (int i = 1; i <= 60; ++i) {
        rtf += "\\pard\\sl-480 T" + QByteArray::number(i).rightJustified(2, '0');
        if (i == 45)
            rtf += " Late{\\super\\chftn{\\*\\footnote\\pard\\plain\\f0\\fs20\\sl-240 {\\super\\chftn} ColNoteA\\line "
                   "ColNoteB\\line ColNoteC}}";
        rtf += "\\par ";
    }
    rtf += "}";
    QString pdf;
    const QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 4);
    const auto expectAt = [&](const char *word, int page, double x, double y) {
        const Word w = at.value(QString::fromLatin1(word));
        EXPECT_EQ(w.page, page) << word;
        EXPECT_NEAR(w.xMin, x, 0.5) << word;
        EXPECT_NEAR(w.yMin, y, 0.5) << word;
    };
    // The note's sheet: both columns leave its foot to the note, which spans them.
    expectAt("L01", 1, 72, 79.9);
    expectAt("L27", 1, 72, 79.9 + 26 * 24);
    expectAt("L28", 1, 315.65, 79.9);
    expectAt("L54", 1, 315.65, 79.9 + 26 * 24);
    EXPECT_EQ(at.value(QStringLiteral("NoteLineA")).page, 1);
    EXPECT_LT(at.value(QStringLiteral("NoteLineA")).xMin, 100.0);
    EXPECT_GT(at.value(QStringLiteral("NoteLineA")).yMin, 72 + 27 * 24.0);
    EXPECT_EQ(at.value(QStringLiteral("NoteLineC")).page, 1);
    EXPECT_LE(at.value(QStringLiteral("NoteLineC")).yMax, 770.0);
    // The next sheet, and a column break before L65.
    expectAt("L55", 2, 72, 79.9);
    expectAt("L64", 2, 72, 79.9 + 9 * 24);
    expectAt("L65", 2, 315.65, 79.9);
    expectAt("L70", 2, 315.65, 79.9 + 5 * 24);
    // A section in one column starts a sheet; then one in three columns.
    expectAt("Onecol", 3, 72, 79.9);
    // A note marked in the second column takes the foot of the first one too: its last two
    // lines move on, and each column holds 27.
    expectAt("T01", 4, 72, 79.9);
    expectAt("T27", 4, 72, 79.9 + 26 * 24);
    expectAt("T28", 4, 228.43, 79.9);
    expectAt("T54", 4, 228.43, 79.9 + 26 * 24);
    expectAt("T55", 4, 384.87, 79.9);
    expectAt("T60", 4, 384.87, 79.9 + 5 * 24);
    EXPECT_EQ(at.value(QStringLiteral("ColNoteA")).page, 4);
    EXPECT_GT(at.value(QStringLiteral("ColNoteA")).yMin, 72 + 27 * 24.0);
    EXPECT_LE(at.value(QStringLiteral("ColNoteC")).yMax, 770.0);

    // The text layer reads column by column: every numbered line in order.
    QStringList drawn;
    for (const Word &w : pdfWords(pdf, true))
        if (w.text.size() == 3 && (w.text[0] == QLatin1Char('L') || w.text[0] == QLatin1Char('T')))
            drawn << w.text;
    QStringList order;
    for (int i = 1; i <= 70; ++i)
        order << QStringLiteral("L%1").arg(i, 2, 10, QLatin1Char('0'));
    for (int i = 1; i <= 60; ++i)
        order << QStringLiteral("T%1").arg(i, 2, 10, QLatin1Char('0'));
    EXPECT_EQ(drawn, order);

    // The line between two columns, in the middle of their gap; none between the three.
    const QImage first = pdfPage(pdf, 1, 288), last = pdfPage(pdf, 4, 288);
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(last.isNull());
    EXPECT_EQ(darkLines(first, 297.65, 100, 700), 1);
    EXPECT_EQ(darkLines(last, 219.43, 100, 700), 0);
    EXPECT_EQ(darkLines(last, 375.87, 100, 700), 0);
}

TEST_F(RichTextQt, ColumnsOfASectionThatContinuesThePageStandBelowTheTextAbove)
{
    // A4 with one-inch margins, lines of exactly 24 pt. Two heading lines take 48 pt of the
    // first page; the two columns below them hold 27 lines each (649.9 pt), the rest go on at
    // the top of the next page, and the one-column text after them continues below its columns.
    // (Each section's last paragraph ends with its section's mark, as editors write them.)
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 \\pard\\sl-480 Head1\\par\\pard\\sl-480 Head2"
                     "\\sect\\sectd\\sbknone\\cols2\\colsx720 ";
    for (int i = 1; i <= 60; ++i)
        rtf += "\\pard\\sl-480 C" + QByteArray::number(i).rightJustified(2, '0') + (i < 60 ? "\\par " : "");
    rtf += "\\sect\\sectd\\sbknone\\pard\\sl-480 Tail\\par}";
    QString pdf;
    const QMap<QString, Word> at = printWords(freshPdfFolder(QStringLiteral("rtf-bands")), rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 2);
    for (const auto &[word, page, x, y] : {std::tuple{"Head1", 1, 72.0, 79.9},
                                           {"Head2", 1, 72.0, 103.9},
                                           {"C01", 1, 72.0, 127.9},
                                           {"C27", 1, 72.0, 127.9 + 26 * 24},
                                           {"C28", 1, 315.65, 127.9},
                                           {"C54", 1, 315.65, 127.9 + 26 * 24},
                                           {"C55", 2, 72.0, 79.9},
                                           {"C60", 2, 72.0, 79.9 + 5 * 24},
                                           {"Tail", 2, 72.0, 79.9 + 6 * 24}}) {
        const Word w = at.value(QString::fromLatin1(word));
        EXPECT_EQ(w.page, page) << word;
        EXPECT_NEAR(w.xMin, x, 0.5) << word;
        EXPECT_NEAR(w.yMin, y, 0.5) << word;
    }
    // Every line once, in order.
    QStringList drawn, order{QStringLiteral("Head1"), QStringLiteral("Head2")};
    for (const Word &w : pdfWords(pdf, true))
        if (w.text.startsWith(QLatin1Char('C')) || w.text.startsWith(QStringLiteral("Head"))
            || w.text == QStringLiteral("Tail"))
            drawn << w.text;
    for (int i = 1; i <= 60; ++i)
        order << QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'));
    order << QStringLiteral("Tail");
    EXPECT_EQ(drawn, order);
}

// Lines are as tall as their fonts' ascent, descent and line gap (hhea), as editors set them,
// not rounded up: Liberation Serif 2355/2048 of 12 pt is 13.80 pt, Carlito 2500/2048 of 11 pt
// 13.43 pt (its Windows ascent and descent with the gap again would be 16.4), Liberation Sans
// 2355/2048 of 10 pt 11.50 pt. On A4 with one-inch margins (698 pt) that is 50, 51 and 60 lines
// to a page, as LibreOffice prints them; a paragraph of 150 % spacing with Times New Roman's
// lines 20.70 pt apart.
TEST_F(RichTextQt, LinesAreAsTallAsTheirFontsSay)
{
    struct Face {
        const char *name;
        int halfPoints;
        const char *spacing;
        double pitch;
        int perPage;
    };
    for (const Face face : {Face{"Times New Roman", 24, "", 13.7988, 50}, Face{"Calibri", 22, "", 13.4277, 51},
                            Face{"Arial", 20, "", 11.499, 60}, Face{"Times New Roman", 24, "\\sl360\\slmult1", 20.698, 0}}) {
        QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 " + QByteArray(face.name) + ";}}\\f0\\fs"
                       + QByteArray::number(face.halfPoints)
                       + "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440 ";
        for (int i = 0; i < 70; ++i)
            rtf += "\\pard" + QByteArray(face.spacing) + " L" + QByteArray::number(i).rightJustified(3, '0') + "\\par ";
        QString pdf;
        const QMap<QString, Word> at = printWords(freshPdfFolder(QStringLiteral("rtf-line-heights")), rtf + "}", &pdf);
        const Word first = at.value(QStringLiteral("L000")), second = at.value(QStringLiteral("L001"));
        EXPECT_NEAR(second.yMin - first.yMin, face.pitch, 0.02) << face.name << face.spacing;
        if (face.perPage == 0)
            continue;
        const QString last = QStringLiteral("L%1").arg(face.perPage - 1, 3, 10, QLatin1Char('0'));
        const QString next = QStringLiteral("L%1").arg(face.perPage, 3, 10, QLatin1Char('0'));
        EXPECT_EQ(at.value(last).page, 1) << face.name;
        EXPECT_EQ(at.value(next).page, 2) << face.name;
        EXPECT_NEAR(at.value(next).yMin, first.yMin, 0.02) << face.name;
    }
}

TEST_F(RichTextQt, TextMovedForColumnsAndNotesStaysWholeAndReadsInOrder)
{
    // A4, one-inch margins, Times New Roman 12 pt: lines 13.8 pt apart, 50 to a page (72-770).
    const QByteArray head = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\\paperw11906\\paperh16838"
                            "\\margl1440\\margr1440\\margt1440\\margb1440 ";
    const auto lines = [](char letter, int count, int from = 0) {
        QByteArray out;
        for (int i = from; i < from + count; ++i)
            out += "\\pard " + QByteArray(1, letter) + QByteArray::number(i).rightJustified(3, '0') + "\\par";
        return out;
    };
    const auto note = [](const char *word) {
        return QByteArray("{\\super\\chftn}{\\footnote\\pard\\plain\\f0\\fs24{\\super\\chftn} ") + word + "\\par}";
    };
    // Columns below 48 lines whose first paragraph has 50 pt of space above it: its first line
    // would end at 798, below the margin, so they start the next page, every word on it.
    QString pdf;
    QMap<QString, Word> at = printWords(freshPdfFolder(QStringLiteral("rtf-moved-band")),
                                        head + "\\sectd " + lines('T', 47)
                                            + "\\pard T047\\sect\\sectd\\sbknone\\cols2\\pard\\sb1000 BANDA BANDB\\par"
                                              "\\pard BANDC\\par}",
                                        &pdf);
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 2);
    for (const char *word : {"BANDA", "BANDB", "BANDC"}) {
        EXPECT_EQ(at.value(QString::fromLatin1(word)).page, 2) << word;
        EXPECT_LE(at.value(QString::fromLatin1(word)).yMax, 770.5) << word;
    }

    // Two columns, the first full; two one-line notes marked in the second leave 48 lines to a
    // column: the first column's last two lines go on at the top of the second, all on one page.
    at = printWords(freshPdfFolder(QStringLiteral("rtf-moved-notes")),
                    head + "\\sectd\\cols2 " + lines('A', 50) + "\\pard B000" + note("notetwo") + "\\par"
                        + lines('B', 20, 1) + "\\pard C000" + note("notethree") + "\\par" + lines('C', 3, 1) + "}",
                    &pdf);
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 1);
    EXPECT_NEAR(at.value(QStringLiteral("A048")).xMin, 316, 1);
    EXPECT_NEAR(at.value(QStringLiteral("A049")).xMin, 316, 1);
    EXPECT_NEAR(at.value(QStringLiteral("A049")).yMin - at.value(QStringLiteral("A048")).yMin, 13.8, 0.05);
    EXPECT_NEAR(at.value(QStringLiteral("A047")).xMin, 72, 1);

    // A paragraph the page's foot divides reads in order with what follows it.
    QByteArray words;
    QStringList expected;
    for (int i = 0; i < 48; ++i)
        expected << QStringLiteral("T%1").arg(i, 3, 10, QLatin1Char('0'));
    for (int i = 0; i < 40; ++i) {
        words += " s" + QByteArray::number(i).rightJustified(3, '0');
        expected << QStringLiteral("s%1").arg(i, 3, 10, QLatin1Char('0'));
    }
    expected << QStringLiteral("Z000");
    printWords(freshPdfFolder(QStringLiteral("rtf-moved-split")),
               head + "\\sectd " + lines('T', 48) + "\\pard" + words + "\\par\\pard Z000\\par}", &pdf);
    QStringList read;
    for (const Word &w : pdfWords(pdf, true))
        read << w.text;
    EXPECT_EQ(read.join(QLatin1Char(' ')).toStdString(), expected.join(QLatin1Char(' ')).toStdString());
}

TEST_F(RichTextQt, ALandscapeSectionPrintsOnLandscapePagesInItsOwnWidth)
{
    // On A4 (595.3 by 841.9 pt) with one-inch margins, a landscape section's pages are 841.9 pt
    // wide, its text 697.9 pt across and 451.3 pt down: 18 lines of exactly 24 pt to a page.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-landscape"));
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\paperw11906\\paperh16838\\f0\\fs24 "
                     "\\pard\\sl-480 Upright\\par\\sect\\sectd\\lndscpsxn\\pgwsxn16838\\pghsxn11906 ";
    for (int i = 1; i <= 20; ++i)
        rtf += "\\pard\\sl-480 Wd" + QByteArray::number(i).rightJustified(2, '0') + "\\par ";
    rtf += "\\pard\\qr\\sl-480 RightEdge\\par\\sect\\sectd\\pard\\qr\\sl-480 Back\\par}";
    QString pdf;
    const QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 4);
    const auto expectOn = [&](const char *word, int page, double pageWidth, double pageHeight, double y) {
        const Word w = at.value(QString::fromLatin1(word));
        EXPECT_EQ(w.page, page) << word;
        EXPECT_NEAR(w.pageWidth, pageWidth, 0.5) << word;
        EXPECT_NEAR(w.pageHeight, pageHeight, 0.5) << word;
        EXPECT_NEAR(w.yMin, y, 0.5) << word;
    };
    // Each page its own box: portrait, two landscape, portrait again.
    expectOn("Upright", 1, 595.3, 841.9, 79.9);
    expectOn("Wd01", 2, 841.9, 595.3, 79.9);
    expectOn("Wd18", 2, 841.9, 595.3, 79.9 + 17 * 24);
    expectOn("Wd19", 3, 841.9, 595.3, 79.9);
    expectOn("RightEdge", 3, 841.9, 595.3, 79.9 + 2 * 24);
    expectOn("Back", 4, 595.3, 841.9, 79.9);
    EXPECT_NEAR(at.value(QStringLiteral("Wd01")).xMin, 72, 0.5);
    // Right-aligned text ends at each page's own right margin.
    EXPECT_NEAR(at.value(QStringLiteral("RightEdge")).xMax, 841.9 - 72, 1.0);
    EXPECT_NEAR(at.value(QStringLiteral("Back")).xMax, 595.3 - 72, 1.0);

    // A document in landscape throughout, with a header 36 pt from the top: the same pages.
    QByteArray turned = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\paperw11906\\paperh16838\\f0\\fs24 "
                        "\\sectd\\lndscpsxn\\pgwsxn16838\\pghsxn11906{\\header\\pard Head\\par}";
    for (int i = 1; i <= 20; ++i)
        turned += "\\pard\\sl-480 Wd" + QByteArray::number(i).rightJustified(2, '0') + "\\par ";
    turned += "\\pard\\qr\\sl-480 RightEdge\\par}";
    const QMap<QString, Word> all = printWords(freshPdfFolder(QStringLiteral("rtf-landscape-all")), turned, &pdf);
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 2);
    for (const auto &[word, page, y] :
         {std::tuple{"Wd01", 1, 79.9}, {"Wd18", 1, 79.9 + 17 * 24}, {"Wd19", 2, 79.9}, {"RightEdge", 2, 79.9 + 2 * 24}}) {
        const Word w = all.value(QString::fromLatin1(word));
        EXPECT_EQ(w.page, page) << word;
        EXPECT_NEAR(w.pageWidth, 841.9, 0.5) << word;
        EXPECT_NEAR(w.yMin, y, 0.5) << word;
    }
    EXPECT_NEAR(all.value(QStringLiteral("RightEdge")).xMax, 841.9 - 72, 1.0);
    EXPECT_NEAR(all.value(QStringLiteral("Head")).xMin, 72, 0.5);
    EXPECT_LT(all.value(QStringLiteral("Head")).yMin, 48.0);

    // The same pages on a printer whose border differs on each side (18 pt across, 36 pt down):
    // 18 lines a page still, the turned text as tall as the paper is wide less its margins.
    if (cupsDir().isEmpty())
        return;
    const QString queued = printOnQueue(QStringLiteral("BorderedTurned"), turned);
    ASSERT_FALSE(queued.isEmpty());
    EXPECT_EQ(pdfInfo(queued, QStringLiteral("Pages")).toInt(), 2);
    EXPECT_TRUE(pdfText(queued, 1, 1).contains(QStringLiteral("Wd18")));
    EXPECT_TRUE(pdfText(queued, 2, 2).contains(QStringLiteral("Wd19")));
    // Drawn turned onto the upright sheet, down the turned page is across the sheet: the
    // header 36 pt from the turned page's top, the first line 72 pt (its letters 79.9), as on
    // paper without a border.
    const QMap<QString, Word> queuedAt = byText(pdfWords(queued));
    EXPECT_NEAR(queuedAt.value(QStringLiteral("Head")).xMin, 36, 1);
    EXPECT_NEAR(queuedAt.value(QStringLiteral("Wd01")).xMin, 79.9, 1);
}

TEST_F(RichTextQt, ABreakKeepsTheTextBeforeItInItsParagraphAndTheTableAfterItWhole)
{
    // A4 with one-inch margins (text 451.3 pt across, two columns 36 pt apart from 72 and
    // 315.65 pt); a landscape page's right margin is at 769.9 pt. A page or column break in
    // the middle of a paragraph leaves the text before it right-aligned, in its section's
    // columns and on its section's turned page, as the text after it. A table right after a
    // break (of a page, or a section's) starts the next page with all of its first row, and in
    // the section's columns.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-break-inside"));
    QString pdf;
    const QMap<QString, Word> at = printWords(
        folder,
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 \\pard\\qr\\sl-480 Before\\page After\\par"
        "\\sect\\sectd\\cols2\\colsx720 \\pard\\sl-480 Left\\column Right\\par"
        "\\sect\\sectd\\lndscpsxn\\pgwsxn16838\\pghsxn11906 \\pard\\qr\\sl-480 Turned\\page Again\\par"
        "\\sect\\sectd\\cols2\\colsx720\\trowd\\cellx2000\\cellx4000\\pard\\intbl Ca\\cell Cb\\cell\\row\\pard Below\\column "
        "Beside\\page "
        "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Da\\cell Db\\cell\\row\\pard End\\par}",
        &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 7);
    const auto expectAt = [&](const char *word, int page, double pageWidth, double xMin, double xMax) {
        const Word w = at.value(QString::fromLatin1(word));
        EXPECT_EQ(w.page, page) << word;
        EXPECT_NEAR(w.pageWidth, pageWidth, 0.5) << word;
        EXPECT_NEAR(w.yMin, 79.9, 0.5) << word;
        if (xMin > 0) {
            EXPECT_NEAR(w.xMin, xMin, 0.5) << word;
        }
        if (xMax > 0) {
            EXPECT_NEAR(w.xMax, xMax, 1.0) << word;
        }
    };
    expectAt("Before", 1, 595.3, 0, 523.3);
    expectAt("After", 2, 595.3, 0, 523.3);
    expectAt("Left", 3, 595.3, 72, 0);
    expectAt("Right", 3, 595.3, 315.65, 0);
    expectAt("Turned", 4, 841.9, 0, 769.9);
    expectAt("Again", 5, 841.9, 0, 769.9);
    // Cells of 100 pt from the margin, side by side at the top of their page, their text 3 pt in
    // (the gap of 60 twips a row has when it names none).
    const auto expectCell = [&](const char *word, int page, double xMin) {
        const Word w = at.value(QString::fromLatin1(word));
        EXPECT_EQ(w.page, page) << word;
        EXPECT_NEAR(w.xMin, xMin, 0.5) << word;
        EXPECT_LT(w.yMin, 80.0) << word;
    };
    expectCell("Ca", 6, 75);
    expectCell("Cb", 6, 175);
    expectCell("Da", 7, 75);
    expectCell("Db", 7, 175);
    EXPECT_EQ(at.value(QStringLiteral("Below")).page, 6);
    EXPECT_EQ(at.value(QStringLiteral("End")).page, 7);
    expectCell("Beside", 6, 315.65); // the top of the second column
}

TEST_F(RichTextQt, ALineTheLayoutLeavesAcrossAPagesEndPrintsOnce)
{
    // With these margins and paper the layout leaves a line of the 289th paragraph across the
    // end of page 9: it was printed there and again at the top of page 10. Other settings that
    // did the same for other lines are checked too.
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\n";
    for (int p = 1; p <= 2000; ++p)
        rtf += "\\pard Dp" + QByteArray::number(p).rightJustified(5, '0') + "\\par\n";
    rtf += "}";
    struct Case {
        int32_t margin, orientation, paper;
    };
    for (const Case c : {Case{1440, spOrientationLandscape, spPaperA4}, Case{894, spOrientationLandscape, spPaperA4},
                         Case{1185, spOrientationPortrait, spPaperLetter}, Case{1670, spOrientationPortrait, spPaperA4}}) {
        SCOPED_TRACE(c.margin);
        const QString folder = freshPdfFolder(QStringLiteral("rtf-straddle"));
        LayoutParameters layout;
        layout.DocMarginLeft = layout.DocMarginTop = layout.DocMarginRight = layout.DocMarginBottom = c.margin;
        layout.PrnPaperOrientation = c.orientation;
        layout.PrnPaperSize = c.paper;
        ASSERT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String(), layout).isEmpty());
        const QStringList pdfs = pdfFiles(folder);
        ASSERT_EQ(pdfs.size(), 1);
        const QStringList words = pdfText(pdfs[0]).simplified().split(QLatin1Char(' '));
        ASSERT_EQ(words.size(), 2000);
        for (int p = 1; p <= 2000; ++p)
            ASSERT_EQ(words[p - 1], QStringLiteral("Dp%1").arg(p, 5, 10, QLatin1Char('0')));
    }
}

TEST_F(RichTextQt, TablesThatWouldLeaveTheSheetAreMovedOntoItAndEveryCellPrints)
{
    // A row moved far left and far right, padding wider than its cells, and sixty cells wider
    // than the page together: every cell's word prints, on the sheet (A4, 595 pt wide).
    const QString folder = freshPdfFolder(QStringLiteral("rtf-table-fit"));
    QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 "
        "\\trowd\\trleft-2000\\cellx1000\\cellx3000\\pard\\intbl Fa1\\cell Fa2\\cell\\row\\pard Gap1\\par "
        "\\trowd\\trleft100000\\cellx101000\\cellx103000\\pard\\intbl Fb1\\cell Fb2\\cell\\row\\pard Gap2\\par "
        "\\trowd\\trpaddl99999\\trpaddfl3\\clpadt99999\\clpadft3\\cellx3000\\cellx6000\\pard\\intbl Fc1\\cell Fc2\\cell\\row\\pard Gap3\\par "
        "\\trowd\\trgaph0";
    for (int c = 1; c <= 60; ++c)
        rtf += "\\cellx" + QByteArray::number(c * 180);
    rtf += "\\pard\\intbl\\fs2 ";
    for (int c = 1; c <= 60; ++c)
        rtf += "Fd" + QByteArray::number(c) + "\\cell ";
    rtf += "\\row\\pard\\fs20 End\\par}";
    QString pdf;
    QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    QStringList expected{QStringLiteral("Fa1"), QStringLiteral("Fa2"), QStringLiteral("Fb1"), QStringLiteral("Fb2"),
                         QStringLiteral("Fc1"), QStringLiteral("Fc2"), QStringLiteral("End")};
    for (int c = 1; c <= 60; ++c)
        expected << QStringLiteral("Fd%1").arg(c);
    for (const QString &word : expected) {
        ASSERT_TRUE(at.contains(word)) << word.toStdString();
        EXPECT_GE(at.value(word).xMin, 0.0) << word.toStdString();
        EXPECT_LE(at.value(word).xMax, 595.3) << word.toStdString();
    }
    EXPECT_EQ(at.size(), expected.size() + 3); // and the three paragraphs between
}

TEST_F(RichTextQt, ATableOfHeaderRowsOnlyRepeatsADozenOfThem)
{
    // Every row a header row: the first dozen repeat on each page, the rest print once, and
    // the job does not grow with the square of its rows.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-all-headers"));
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    for (int r = 1; r <= 2005; ++r)
        rtf += "\\trowd\\trhdr\\cellx3000\\pard\\intbl Hr" + QByteArray::number(r) + "\\cell\\row ";
    rtf += "\\pard After\\par}";
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const int pages = pdfInfo(pdfs[0], QStringLiteral("Pages")).toInt();
    const QStringList words = pdfText(pdfs[0]).simplified().split(QLatin1Char(' '));
    for (int r = 1; r <= 12; ++r)
        EXPECT_EQ(words.count(QStringLiteral("Hr%1").arg(r)), pages) << r;
    for (int r = 13; r <= 2005; ++r)
        ASSERT_EQ(words.count(QStringLiteral("Hr%1").arg(r)), 1) << r;
    // 1,993 rows of 12 pt and a dozen headers on each page of 698 pt: about 60 pages.
    EXPECT_LT(pages, 70);
}

TEST_F(RichTextQt, AScanOfSixHundredDotsPerInchPrints)
{
    // A one-bit bitmap of 6,000 x 6,000 pixels (a page scanned at 600 dpi is some 35 million),
    // its left half black, printed 4 inches square at the top left of the text area.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-scan"));
    QByteArray row(750, '\0');
    std::fill(row.begin() + 375, row.end(), '\xff');
    const QByteArray rowHex = row.toHex();
    QByteArray rtf =
        "{\\rtf1\\ansi{\\pict\\wbitmap0\\picw6000\\pich6000\\wbmbitspixel1\\wbmwidthbytes750\\picwgoal5760\\pichgoal5760 ";
    rtf.reserve(rtf.size() + 6000 * rowHex.size() + 16);
    for (int y = 0; y < 6000; ++y)
        rtf += rowHex;
    rtf += "}\\par}";
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    const QImage page = pdfPage(pdfs[0], 1, 36);
    ASSERT_FALSE(page.isNull());
    // At 36 dpi, half a pixel to the point: the picture spans 72..360 pt both ways.
    const auto grey = [&](double x, double y) { return qGray(page.pixel(int(x / 2), int(y / 2))); };
    EXPECT_LT(grey(72 + 72, 72 + 144), 40);   // a quarter in: black
    EXPECT_GT(grey(72 + 216, 72 + 144), 215); // three quarters in: white
    EXPECT_LT(grey(72 + 72, 72 + 270), 40);
}

namespace {

// A picture as RTF: PNG bytes of a grey image of size x size pixels, shown `twips` square.
QByteArray pngPicture(int size, int grey, int twips)
{
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(grey);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return "{\\pict\\pngblip\\picw" + QByteArray::number(size) + "\\pich" + QByteArray::number(size) + "\\picwgoal"
         + QByteArray::number(twips) + "\\pichgoal" + QByteArray::number(twips) + " " + png.toHex() + "}";
}

// The names of the images a document shows, each once.
QSet<QString> imageNames(const QTextDocument &document)
{
    QSet<QString> names;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                names.insert(it.fragment().charFormat().toImageFormat().name());
    }
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame)) {
            for (int r = 0; r < table->rows(); ++r)
                for (int c = 0; c < table->columns(); ++c)
                    for (auto it = table->cellAt(r, c).begin(); !it.atEnd(); ++it)
                        for (auto f = it.currentBlock().begin(); !f.atEnd(); ++f)
                            if (f.fragment().charFormat().isImageFormat())
                                names.insert(f.fragment().charFormat().toImageFormat().name());
        }
    }
    return names;
}

// The image objects of a PDF (pdfimages -list), each once however many times it is drawn, and
// how many times images are drawn in all.
QPair<int, int> pdfImageObjects(const QString &pdf)
{
    QSet<QString> objects;
    int drawn = 0;
    const QStringList lines = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out.split(u'\n');
    for (const QString &line : lines.mid(2)) {
        const QStringList columns = line.simplified().split(u' ');
        if (columns.size() < 12 || columns[2] != QLatin1String("image"))
            continue;
        ++drawn;
        objects.insert(columns[10]);
    }
    return {objects.size(), drawn};
}

} // namespace

TEST_F(RichTextQt, APictureShownManyTimesIsDecodedAndEmbeddedOnce)
{
    // One picture shown 30 times at one size and twice at another, in paragraphs and in a
    // table cell, and a second picture once: three decoded images, three image objects in the
    // PDF, drawn 33 times.
    const QByteArray logo = pngPicture(400, 90, 1440), other = pngPicture(400, 200, 1440);
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Before\\par ";
    for (int i = 0; i < 29; ++i)
        rtf += logo + "\\par ";
    rtf += "\\trowd\\cellx4000\\intbl " + logo + "\\cell\\row\\pard ";
    rtf += pngPicture(400, 90, 2880) + "\\par " + pngPicture(400, 90, 2880) + "\\par " + other + "\\par After\\par}";
    QObject owner;
    EXPECT_EQ(imageNames(*readBack(rtf, &owner)).size(), 3);

    const QString folder = freshPdfFolder(QStringLiteral("rtf-repeated-picture"));
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfImageObjects(pdfs[0]), qMakePair(3, 33));
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("Before After"));
}

TEST_F(RichTextQt, TablesPicturesAndLettersInColumnsPrintWholeInTheirColumnOrNotAtAll)
{
    // Two columns on A4: 207.65 pt each, 36 pt apart, the first from 72 pt. A table of three
    // cells 150 pt each is narrowed to the column (and may reach half the gap into the margin);
    // a picture 300 pt wide is drawn 207.65 pt wide (400 pixels at 138.7 per inch).
    const QString folder = freshPdfFolder(QStringLiteral("rtf-columns-fit"));
    const QByteArray head = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\\paperw11906\\paperh16838"
                            "\\margl1440\\margr1440\\margt1440\\margb1440\\sectd\\cols2\\pard ";
    QImage strip(400, 50, QImage::Format_Grayscale8);
    strip.fill(128);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    strip.save(&buffer, "PNG");
    // In a table in the column, a picture 200 pt wide is drawn within its cell of 75 pt (at 384
    // pixels per inch or more).
    strip.fill(64);
    QByteArray darker;
    QBuffer again(&darker);
    again.open(QIODevice::WriteOnly);
    strip.save(&again, "PNG");
    QString pdf;
    const QMap<QString, Word> at = printWords(
        folder,
        head
            + "Above\\par\\trowd\\cellx3000\\cellx6000\\cellx9000\\pard\\intbl Tc1\\cell Tc2\\cell Tc3\\cell\\row"
              "\\pard {\\pict\\pngblip\\picw400\\pich50\\picwgoal6000\\pichgoal750 "
            + png.toHex()
            + "}\\par \\trowd\\cellx1500\\cellx3000\\pard\\intbl {\\pict\\pngblip\\picw400\\pich50\\picwgoal4000"
              "\\pichgoal500 "
            + darker.toHex() + "}\\cell Cb1\\cell\\row\\pard End\\par}",
        &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    for (const char *word : {"Tc1", "Tc2", "Tc3"}) {
        ASSERT_TRUE(at.contains(QString::fromLatin1(word))) << word;
        EXPECT_GE(at.value(QString::fromLatin1(word)).xMin, 54.0) << word;
        EXPECT_LE(at.value(QString::fromLatin1(word)).xMax, 279.7 + 18) << word;
    }
    const QStringList images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out.split(u'\n');
    ASSERT_GE(images.size(), 4);
    EXPECT_NEAR(images[2].simplified().split(u' ').value(12).toDouble(), 138.7, 1.0);
    EXPECT_GE(images[3].simplified().split(u' ').value(12).toDouble(), 384.0);

    // Letters of 500 points, each 250 pt wide: they cannot be printed whole in the column.
    const std::u16string refused = u"482|Printer error: a line of the document is wider than its column (250 points "
                                   u"in 226 points)";
    EXPECT_EQ(doc.PrintRTFData(QString::fromLatin1(head + "\\fs1000 h040 h041\\par}").toStdU16String()),
              Variant::string(refused));
    // The same in a cell of a table in the column: a W of 500 points is 472 pt wide, and the
    // cell's text starts 3 pt in.
    EXPECT_EQ(doc.PrintRTFData(
                  QString::fromLatin1(head + "\\trowd\\cellx2000\\pard\\intbl\\fs1000 W\\cell\\row}").toStdU16String()),
              Variant::string(
                  u"482|Printer error: a line of the document is wider than its column (472 points in 223 points)"));
    EXPECT_EQ(pdfFiles(folder).size(), 1); // the first document's only
}

TEST_F(RichTextQt, PicturesBeyondTheMemoryBudgetEndTheJobWithNothingPrinted)
{
    // Pictures of 3,300 pixels square shown 11 inches square are decoded whole, 43.56 MB each:
    // six different ones fit in 256 MB, a seventh does not. Sixty of one are one.
    const QString folder = freshPdfFolder(QStringLiteral("rtf-picture-budget"));
    QByteArray many = "{\\rtf1\\ansi Before\\par ";
    for (int i = 0; i < 7; ++i)
        many += pngPicture(3300, 10 + 30 * i, 15840) + "\\par ";
    many += "After\\par}";
    EXPECT_EQ(doc.PrintRTFData(QString::fromLatin1(many).toStdU16String()),
              Variant::string(u"7|Out of memory: the pictures of this document take more than 256 MB once decoded"));
    EXPECT_EQ(events.events.back(),
              "PrintError 7 Out of memory: the pictures of this document take more than 256 MB once decoded");
    EXPECT_TRUE(pdfFiles(folder).isEmpty());

    const QByteArray one = pngPicture(3300, 128, 15840);
    QByteArray repeated = "{\\rtf1\\ansi Before\\par ";
    for (int i = 0; i < 60; ++i)
        repeated += one + "\\par ";
    repeated += "After\\par}";
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(repeated).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfImageObjects(pdfs[0]), qMakePair(1, 60));
}

TEST_F(RichTextQt, PicturesWhoseHeadersClaimHugeSizesPrintAsFramesAtOnce)
{
    // A PNG of 100,000 pixels square and a JPEG of 60,000, both a few hundred bytes: refused
    // from their headers (nothing decoded), each printed as the framed cross, in well under a
    // second each.
    QImage small(24, 16, QImage::Format_RGB32);
    small.fill(Qt::red);
    const auto encoded = [&](const char *format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        small.save(&buffer, format);
        return bytes;
    };
    QByteArray png = encoded("PNG"), jpeg = encoded("JPEG");
    // The PNG's IHDR (its size at byte 16), its check sum recomputed.
    const auto put32 = [](QByteArray &b, int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char(v >> (24 - 8 * i) & 255);
    };
    put32(png, 16, 100000);
    put32(png, 20, 100000);
    quint32 crc = 0xFFFFFFFFu; // the chunk's CRC-32, over its type and data
    for (int i = 12; i < 29; ++i) {
        crc ^= static_cast<unsigned char>(png[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    put32(png, 29, ~crc);
    // The JPEG's frame header: height and width after its length and precision.
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    ASSERT_GT(frame, 0);
    jpeg[frame + 5] = char(60000 >> 8);
    jpeg[frame + 6] = char(60000 & 255);
    jpeg[frame + 7] = char(60000 >> 8);
    jpeg[frame + 8] = char(60000 & 255);

    for (const auto &[kind, bytes] : {qMakePair(QByteArray("pngblip"), png), qMakePair(QByteArray("jpegblip"), jpeg)}) {
        const QByteArray rtf = "{\\rtf1\\ansi Before\\par{\\pict\\" + kind + "\\picwgoal2880\\pichgoal2880 "
                             + bytes.toHex() + "}\\par After\\par}";
        const QString folder = freshPdfFolder(QStringLiteral("rtf-huge-header-") + QString::fromLatin1(kind));
        QElapsedTimer timer;
        timer.start();
        events.events.clear();
        EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty()) << kind.constData();
        EXPECT_LT(timer.elapsed(), 3000) << kind.constData();
        EXPECT_EQ(events.events.back(), "PrintComplete");
        const QStringList pdfs = pdfFiles(folder);
        ASSERT_EQ(pdfs.size(), 1);
        EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("Before After"));
        // The framed cross is an image of 64 pixels square.
        const QStringList images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdfs[0]}).out.split(u'\n');
        ASSERT_GE(images.size(), 3);
        EXPECT_EQ(images[2].simplified().split(u' ').mid(2, 3), QStringList({"image", "64", "64"})) << kind.constData();
    }
}

TEST_F(RichTextQt, CellsWithOutOfRangeMeasuresPrintEveryWordOnThePage)
{
    // Padding and a left edge far beyond the page, up to the ends of an integer: every word
    // prints whole, in order, inside the page (A4, 595 pt wide).
    const QByteArray rows[] = {
        "\\trowd\\trgaph20000\\trleft-20000\\cellx1000\\cellx2000\\intbl alpha\\cell bravo\\cell\\row",
        "\\trowd\\trgaph2147483647\\trleft-2147483648\\cellx1000\\cellx2000\\intbl alpha\\cell bravo\\cell\\row",
    };
    int n = 0;
    for (const QByteArray &row : rows) {
        const QString folder = freshPdfFolder(QStringLiteral("rtf-wild-cells-%1").arg(++n));
        const QByteArray rtf = "{\\rtf1 before\\par" + row + "\\pard after\\par}";
        EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
        const QStringList pdfs = pdfFiles(folder);
        ASSERT_EQ(pdfs.size(), 1);
        EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("before alpha bravo after")) << n;
        for (const Word &w : pdfWords(pdfs[0])) {
            EXPECT_GE(w.xMin, 0.0) << n << " " << w.text.toStdString();
            EXPECT_LE(w.xMax, 595.3) << n << " " << w.text.toStdString();
        }
    }
}

TEST_F(RichTextQt, FacesThatAreNotInstalledAreLoadedAndEmbeddedOnce)
{
    // A font table of 3,000 made-up faces, 300 of them used (one word each): they all print in
    // the one font the system gives for a face it has not got, embedded once.
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl";
    for (int f = 0; f < 3000; ++f)
        rtf += "{\\f" + QByteArray::number(f) + "\\fnil Madeup Face " + QByteArray::number(f) + ";}";
    rtf += "}";
    QStringList words;
    for (int f = 0; f < 300; ++f) {
        rtf += "{\\f" + QByteArray::number(f * 10) + " Word" + QByteArray::number(f) + "} ";
        words << QStringLiteral("Word%1").arg(f);
    }
    rtf += "\\par}";
    const QString folder = freshPdfFolder(QStringLiteral("rtf-made-up-faces"));
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), words.join(u' '));
    const QStringList fonts = run(QStringLiteral("pdffonts"), {pdfs[0]}).out.trimmed().split(u'\n');
    EXPECT_EQ(fonts.size(), 3) << fonts.join(u'\n').toStdString(); // two lines of headings, one font
}

TEST_F(RichTextQt, ARowOfThousandsOfCellsPrintsEveryCellInOrderInLinearTime)
{
    // A row of 5,000 cells of no padding: the table holds 64 columns, and the cells after them
    // go on in rows below, 64 to a row; every word prints once, in order, in seconds (not the
    // half minute of a cell holding them all as one word).
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Before\\par\\trowd\\trgaph0";
    QStringList words{QStringLiteral("Before")};
    for (int c = 1; c <= 5000; ++c)
        rtf += "\\cellx" + QByteArray::number(c * 100);
    rtf += "\\intbl\\fs2 "; // 1 pt, so that every word fits its cell of some 7 pt
    for (int c = 1; c <= 5000; ++c) {
        rtf += "C" + QByteArray::number(c) + "\\cell ";
        words << QStringLiteral("C%1").arg(c);
    }
    rtf += "\\row\\pard\\fs20 After\\par}";
    words << QStringLiteral("After");
    const QString folder = freshPdfFolder(QStringLiteral("rtf-wide-row"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    EXPECT_LT(timer.elapsed(), 10000);
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    QStringList printed;
    for (const Word &w : pdfWords(pdfs[0], true))
        printed << w.text;
    EXPECT_EQ(printed, words);
}

TEST_F(RichTextQt, AWordTooLongToLayOutIsRefusedAtOnceAndALongOnePrintsWhole)
{
    // The layout takes time with the square of a word's length: a word of 40,000 letters prints
    // whole, broken across lines, in about a second; one of 200,000 (seconds, and minutes for a
    // million) ends at once in 482, rich text or plain, with nothing printed.
    const auto word = [](int length) {
        QByteArray letters(length, 'a');
        for (int i = 0; i < length; ++i)
            letters[i] = char('a' + i % 26);
        return letters;
    };
    const QString folder = freshPdfFolder(QStringLiteral("rtf-long-word"));
    const QByteArray fits = word(40000);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(
        doc.PrintRTFData(QString::fromLatin1("{\\rtf1\\ansi Before\\par " + fits + "\\par After\\par}").toStdU16String())
            .isEmpty());
    EXPECT_LT(timer.elapsed(), 5000);
    QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified().remove(u' '), QString::fromLatin1("Before" + fits + "After"));

    const UString refused =
        u"482|Printer error: a word of the document is longer than 100,000 characters, too long to lay out";
    const QByteArray tooLong = word(200000);
    timer.restart();
    EXPECT_EQ(doc.PrintRTFData(
                  QString::fromLatin1("{\\rtf1\\ansi Before\\par " + tooLong + "\\par After\\par}").toStdU16String()),
              Variant::string(refused));
    const QString text = writeFile(QStringLiteral("long-word.txt"), "Before\n" + tooLong + "\nAfter\n");
    EXPECT_EQ(doc.PrintTextFile(text.toStdU16String()), Variant::string(refused));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(pdfFiles(folder).size(), 1);
}

TEST_F(RichTextQt, FloatingPicturesAndTextBoxesPrintWhereTheirShapesSay)
{
    // A black picture two inches by one in a shape at the right of the column (A4, one-inch
    // margins: the column is 451.3 pt wide), and a text box two inches wide aligned left; the
    // results for other readers do not print.
    QImage black(40, 20, QImage::Format_RGB32);
    black.fill(Qt::black);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    black.save(&buffer, "PNG");
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 \\pard Logo{\\shp{\\*\\shpinst\\shpleft6146\\shptop0"
        "\\shpright9026\\shpbottom1440\\shpbxcolumn\\shpbypara{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn pib}{\\sv "
        "{\\pict\\pngblip\\picw40\\pich20\\picwgoal2880\\pichgoal1440 "
        + png.toHex()
        + "}}}}{\\shprslt Alternative}} beside\\par\\pard\\sb1440{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright2880"
          "\\shpbottom720{\\sp{\\sn shapeType}{\\sv 202}}{\\sp{\\sn posh}{\\sv 1}}{\\shptxt \\pard Boxed\\par}}}"
          "Anchor\\par}";
    const QString folder = freshPdfFolder(QStringLiteral("rtf-shapes"));
    QString pdf;
    const QMap<QString, Word> at = printWords(folder, rtf, &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdfText(pdf).simplified(), QStringLiteral("Logo beside Boxed Anchor"));
    EXPECT_EQ(pdfImageObjects(pdf), qMakePair(1, 1));
    // The picture spans 379.3..523.3 pt across from the top of the text, 72..144 pt; the text
    // of its paragraph stays on its line at the left.
    const QImage page = pdfPage(pdf, 1, 36);
    ASSERT_FALSE(page.isNull());
    const auto grey = [&](double x, double y) { return qGray(page.pixel(int(x / 2), int(y / 2))); };
    EXPECT_LT(grey(451, 108), 40);
    EXPECT_LT(grey(385, 140), 40);
    EXPECT_GT(grey(370, 108), 215);
    EXPECT_NEAR(at[QStringLiteral("Logo")].xMin, 72, 1.0);
    EXPECT_NEAR(at[QStringLiteral("beside")].yMin, at[QStringLiteral("Logo")].yMin, 0.5);
    // The text box at the left margin, its paragraph's text beside it on the same line.
    EXPECT_NEAR(at[QStringLiteral("Boxed")].xMin, 72, 1.0);
    EXPECT_NEAR(at[QStringLiteral("Anchor")].xMin, 72 + 144, 1.0);
    EXPECT_NEAR(at[QStringLiteral("Anchor")].yMin, at[QStringLiteral("Boxed")].yMin, 0.5);
}

TEST_F(RichTextQt, ShadedParagraphsAndCellsPaddedAboveAndBelowPrintAsWritten)
{
    // Lines of 13.8 pt: a blue paragraph across the column below the first line, then a cell
    // with a fifth of an inch (14.4 pt) above and below its text, as Word writes it (\clpadl).
    const QString folder = freshPdfFolder(QStringLiteral("rtf-shading-padding"));
    QString pdf;
    const QMap<QString, Word> at = printWords(
        folder,
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue255;}\\f0\\fs24 "
        "\\pard Above\\par\\pard\\cbpat1 Shaded\\par\\trowd\\clpadl288\\clpadfl3\\clpadb288\\clpadfb3"
        "\\cellx2880\\pard\\intbl Padded\\cell\\row\\pard Below\\par}",
        &pdf);
    ASSERT_FALSE(pdf.isEmpty());
    const QImage page = pdfPage(pdf, 1, 36);
    ASSERT_FALSE(page.isNull());
    const auto colour = [&](double x, double y) { return page.pixel(int(x / 2), int(y / 2)); };
    EXPECT_EQ(qRgb(qRed(colour(400, 92)), qGreen(colour(400, 92)), qBlue(colour(400, 92))), qRgb(0, 0, 255));
    EXPECT_EQ(qGray(colour(400, 78)), 255);
    EXPECT_EQ(qGray(colour(400, 106)), 255);
    EXPECT_NEAR(at.value(QStringLiteral("Shaded")).yMin, 72 + 13.8, 1.0);
    EXPECT_NEAR(at.value(QStringLiteral("Padded")).yMin, 72 + 2 * 13.8 + 14.4, 1.0);
    EXPECT_NEAR(at.value(QStringLiteral("Below")).yMin, 72 + 3 * 13.8 + 2 * 14.4, 1.0);
}

TEST_F(RichTextQt, AJpegPictureGoesIntoTheDirectPdfAsItIsAndOnce)
{
    // A JPEG of 400 x 300 pixels of noise (which its pixels, deflated, would take over twice
    // the room of), shown five times: the PDF holds the file once, as JPEG, and little else.
    QImage noise(400, 300, QImage::Format_RGB32);
    uint32_t seed = 12345;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1103515245 + 12345;
            noise.setPixel(x, y, seed >> 8 & 0xFFFFFF);
        }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "JPEG", 90);
    const QByteArray picture = "{\\pict\\jpegblip\\picw400\\pich300\\picwgoal2880\\pichgoal2160 " + jpeg.toHex() + "}";
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Before\\par ";
    for (int i = 0; i < 5; ++i)
        rtf += picture + "\\par ";
    rtf += "After\\par}";
    const QString folder = freshPdfFolder(QStringLiteral("rtf-jpeg"));
    EXPECT_TRUE(doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String()).isEmpty());
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfInfo(pdfs[0], QStringLiteral("Producer")), QStringLiteral("Corvane"));
    EXPECT_EQ(pdfImageObjects(pdfs[0]), qMakePair(1, 5));
    const QStringList lines = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdfs[0]}).out.split(u'\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines[2].simplified().split(u' ').value(8), QStringLiteral("jpeg"));
    EXPECT_LT(QFileInfo(pdfs[0]).size(), jpeg.size() + 20000) << jpeg.size();
}
