// Every job prints exactly what it was given: the pages of one copy, copies times over, every
// word once per copy, in order, on its page and inside the page box. Page counts are worked out
// beforehand from the document, never taken from another part of the same output. Each job runs
// on the built-in printer written straight as PDF, on the built-in printer through Qt's PDF
// engine, and on a CUPS printer.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

#include <QBuffer>
#include <QFile>
#include <QCoreApplication>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

using namespace corvane;
using namespace corvane::testing;

namespace {

enum class Path { Direct, QtEngine, Cups };

const char *name(Path path)
{
    switch (path) {
    case Path::Direct: return "built-in printer, direct";
    case Path::QtEngine: return "built-in printer, Qt's engine";
    case Path::Cups: return "CUPS printer";
    }
    return "";
}

QStringList split(const QString &text) { return text.split(QLatin1Char(' '), Qt::SkipEmptyParts); }

class ExactOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(dir.filePath(QStringLiteral("tmp")));
        qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("tmp"))));
        resetThreadSurface();
        doc.subscribe(&events);
    }
    void TearDown() override
    {
        qunsetenv("CORVANE_QT_TEXT_ONLY");
        resetThreadSurface();
    }

    // Runs the job on the path's printer; the one PDF it gave, or empty when it gave none or
    // several.
    QString printOn(Path path, const std::function<Variant()> &job)
    {
        events.events.clear();
        if (path == Path::QtEngine)
            qputenv("CORVANE_QT_TEXT_ONLY", "1");
        else
            qunsetenv("CORVANE_QT_TEXT_ONLY");
        resetThreadSurface();
        if (path == Path::Cups) {
            static bool added = false;
            if (!added)
                addFilePrinter(QStringLiteral("Exact"));
            added = true;
            QFile::remove(printerOutput(QStringLiteral("Exact")));
            doc.SetPrinter(u"Exact");
            result = job();
            if (!waitForPrinterOutput(QStringLiteral("Exact")))
                return {};
            return printerOutput(QStringLiteral("Exact"));
        }
        const QString folder = freshPdfFolder(QStringLiteral("exact"));
        doc.SetPrinter(u"Corvane PDF");
        result = job();
        const QStringList pdfs = pdfFiles(folder);
        return pdfs.size() == 1 ? pdfs.front() : QString();
    }

    // The PDF holds `pages` pages a copy, `copies` times over; copy c holds every expected word
    // once, in order, on its own pages, each word inside its page box.
    void expectCopies(const QString &pdf, const QStringList &expected, int copies, int pages, const char *what)
    {
        SCOPED_TRACE(what);
        ASSERT_FALSE(pdf.isEmpty()) << "no single PDF came out";
        EXPECT_TRUE(result.isEmpty()) << toUtf8(result.toString());
        EXPECT_EQ(events.events.back(), "PrintComplete");
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), copies * pages);
        const QList<Word> words = pdfWords(pdf);
        QStringList texts;
        for (const Word &w : words)
            texts << w.text;
        QStringList wanted;
        for (int c = 0; c < copies; ++c)
            wanted << expected;
        ASSERT_EQ(texts.join(QLatin1Char(' ')).toStdString(), wanted.join(QLatin1Char(' ')).toStdString());
        for (int i = 0; i < words.size(); ++i) {
            const Word &w = words[i];
            const int copy = i / static_cast<int>(expected.size());
            EXPECT_GT(w.page, copy * pages) << w.text.toStdString();
            EXPECT_LE(w.page, (copy + 1) * pages) << w.text.toStdString();
            EXPECT_TRUE(w.xMin >= 0 && w.yMin >= 0 && w.xMax <= w.pageWidth && w.yMax <= w.pageHeight)
                << w.text.toStdString() << " at " << w.xMin << "," << w.yMin << "-" << w.xMax << "," << w.yMax
                << " on a page of " << w.pageWidth << " x " << w.pageHeight;
        }
    }

    QString writeFile(const QString &file, const QByteArray &bytes)
    {
        QFile f(dir.filePath(file));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }

    QTemporaryDir dir;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
    Variant result;
};

} // namespace

TEST_F(ExactOutput, CopiesOfEveryKindOfJobOnEveryPath)
{
    // 100 lines of Arial 10 on Letter: 58 lines (223.5 twips each) fit between the margins, so
    // two pages (as long as 50 to 99 fit).
    QString lines;
    for (int i = 1; i <= 100; ++i)
        lines += QStringLiteral("L%1\n").arg(i);
    const QString textFile = writeFile(QStringLiteral("short.txt"), "one short file");
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 alpha one\\page beta two\\page "
                           "gamma three\\par}";
    LayoutParameters three;
    three.PrnCopies = 3;
    three.PrnPaperSize = spPaperLetter;

    for (const Path path : {Path::Direct, Path::QtEngine, Path::Cups}) {
        SCOPED_TRACE(name(path));
        if (path == Path::Cups && cupsDir().isEmpty())
            continue;
        doc.setDocText(lines.toStdU16String());
        for (const int copies : {1, 3}) {
            doc.setCopies(static_cast<int16_t>(copies));
            expectCopies(printOn(path, [&] { return doc.PrintDoc(); }), split(QString(lines).replace('\n', ' ')),
                         copies, 2, "PrintDoc");
        }
        expectCopies(printOn(path, [&] { return doc.PrintText(u"x", u"", three); }), {QStringLiteral("x")}, 3, 1,
                     "PrintText");
        expectCopies(printOn(path, [&] { return doc.PrintTextFile(textFile.toStdU16String(), u"", three); }),
                     split(QStringLiteral("one short file")), 3, 1, "PrintTextFile");
        expectCopies(printOn(path, [&] { return doc.PrintRTFData(UString(rtf.begin(), rtf.end()), three); }),
                     split(QStringLiteral("alpha one beta two gamma three")), 3, 3, "PrintRTFData");
    }
}

TEST_F(ExactOutput, EachPdfIsTitledAfterItsDocumentAndUtf16FilesPrintAsWritten)
{
    // "Привет мир" as Notepad's "Unicode" saves it: UTF-16, little-endian, after its mark.
    const QString unicode = writeFile(QStringLiteral("unicode.txt"),
                                      QByteArray("\xFF\xFE\x1F\x04\x40\x04\x38\x04\x32\x04\x35\x04\x42\x04 \0"
                                                 "\x3C\x04\x38\x04\x40\x04",
                                                 22));
    const QString bigEndian = writeFile(QStringLiteral("big (endian).txt"),
                                        QByteArray("\xFE\xFF\x04\x1F\x04\x40\x04\x38\0 \0O\0k", 14));
    const QString rtfFile = writeFile(QStringLiteral("letter.rtf"), "{\\rtf1\\ansi Dear reader\\par}");
    const QString title = QStringLiteral("Q3 (draft) \u041C\u0438\u0440");
    for (const Path path : {Path::Direct, Path::QtEngine}) {
        SCOPED_TRACE(name(path));
        doc.setFileName(u"");
        doc.setDocTitle(title.toStdU16String());
        doc.setDocText(u"body");
        QString pdf = printOn(path, [&] { return doc.PrintDoc(); });
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), title);
        // Untitled, a file names it; nothing names a text of its own.
        doc.setDocTitle(u"");
        doc.setFileName(bigEndian.toStdU16String());
        pdf = printOn(path, [&] { return doc.PrintDoc(); });
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), QStringLiteral("big (endian).txt"));
        EXPECT_EQ(pdfText(pdf).simplified(), QStringLiteral("\u041F\u0440\u0438 Ok"));
        pdf = printOn(path, [&] { return doc.PrintText(u"plain"); });
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), QStringLiteral("Corvane document"));
        pdf = printOn(path, [&] { return doc.PrintTextFile(unicode.toStdU16String()); });
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), QStringLiteral("unicode.txt"));
        EXPECT_EQ(pdfText(pdf).simplified(), QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440"));
        pdf = printOn(path, [&] { return doc.PrintRTFFile(rtfFile.toStdU16String()); });
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Title")), QStringLiteral("letter.rtf"));
    }
}

TEST_F(ExactOutput, HugeBodyFontsPrintEveryWordOnAPageOfItsOwn)
{
    // At 450 points a digit is 250 points wide and a line 503 points high: a digit and a blank
    // fill the line and the next line would end past the sheet, so each word goes on a page of
    // its own, whole (it used to be every other word, the rest below the sheet).
    doc.setDocTextFont(u"Arial,450,0,0,0");
    doc.setDocText(u"0 1 2 3 4 5 6 7 8 9");
    for (const Path path : {Path::Direct, Path::QtEngine}) {
        expectCopies(printOn(path, [&] { return doc.PrintDoc(); }), split(QStringLiteral("0 1 2 3 4 5 6 7 8 9")), 1, 10,
                     name(path));
    }
}

TEST_F(ExactOutput, APrintFromAProgressHandlerLeavesTheRunningJobWhole)
{
    // Five pages of A (270 lines, 58 a page); on page 2 a handler asks B to print. B is refused
    // with error 5; A's five pages, and nothing else, come out as one PDF.
    QString lines;
    for (int i = 1; i <= 270; ++i)
        lines += QStringLiteral("A%1\n").arg(i);
    doc.setDocText(lines.toStdU16String());
    Corvane intruder{&qt::qtPlatform()};
    EventRecorder intruderEvents;
    intruder.subscribe(&intruderEvents);
    Variant intruderResult;
    events.onProgress = [&](Variant &page) {
        if (page.toLong() == 2)
            intruderResult = intruder.PrintText(u"intruder text");
    };
    for (const Path path : {Path::Direct, Path::QtEngine}) {
        intruderEvents.events.clear();
        expectCopies(printOn(path, [&] { return doc.PrintDoc(); }), split(QString(lines).replace('\n', ' ')), 1, 5,
                     name(path));
        EXPECT_TRUE(toUtf8(intruderResult.toString()).starts_with("5|Invalid procedure call or argument: a print job"));
        ASSERT_EQ(intruderEvents.events.size(), 1u);
        EXPECT_TRUE(intruderEvents.events[0].starts_with("PrintError 5 "));
    }
}

namespace {

// An RTF picture of the image, as the given format, printed `wide` x `high` twips.
QByteArray rtfPicture(const QImage &image, const char *format, int wide, int high)
{
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    image.save(&bytes, format, format == QByteArrayLiteral("png") ? 0 : 80);
    return "{\\pict" + QByteArray(format == QByteArrayLiteral("png") ? "\\pngblip" : "\\jpegblip") + "\\picw"
         + QByteArray::number(image.width()) + "\\pich" + QByteArray::number(image.height()) + "\\picwgoal"
         + QByteArray::number(wide) + "\\pichgoal" + QByteArray::number(high) + " " + bytes.data().toHex() + "}";
}

} // namespace

TEST_F(ExactOutput, LargePicturesPrintDecodedAtTheirPrintedSizeAndFitThePage)
{
    // A 6000 x 6000 PNG and an 8000 x 6000 JPEG (a 48-megapixel photograph) are past Qt's
    // allocation limit at their own size: decoded at 300 dpi of their printed size they print.
    QImage square(6000, 6000, QImage::Format_RGB32);
    square.fill(QColor(30, 120, 200));
    QImage photo(8000, 6000, QImage::Format_RGB32);
    photo.fill(QColor(200, 120, 30));
    const QByteArray pictures = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 before\\par "
                              + rtfPicture(square, "png", 2880, 2880) + "\\par middle\\par "
                              + rtfPicture(photo, "jpeg", 4320, 3240) + "\\par after\\par}";
    // A picture 20000 twips square is wider and taller than Letter's 9360 x 12960 between the
    // margins: it is scaled to 9360 square and stays on the first page with the words around it.
    const QByteArray oversized = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 above\\par "
                               + rtfPicture(square.scaled(600, 600), "png", 20000, 20000) + "\\par below\\par}";
    LayoutParameters letter;
    letter.PrnPaperSize = spPaperLetter;
    for (const Path path : {Path::Direct, Path::QtEngine}) {
        expectCopies(printOn(path, [&] { return doc.PrintRTFData(UString(pictures.begin(), pictures.end()), letter); }),
                     split(QStringLiteral("before middle after")), 1, 1, name(path));
        const QString pdf = printOn(path,
                                    [&] { return doc.PrintRTFData(UString(pictures.begin(), pictures.end()), letter); });
        // pdfimages: page, number, type, width, height, ..., x-ppi, y-ppi.
        const QStringList images =
            run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out.split(QLatin1Char('\n')).mid(2);
        QStringList sizes;
        for (const QString &line : images) {
            const QStringList f = line.simplified().split(QLatin1Char(' '));
            if (f.size() > 4)
                sizes << f[3] + QLatin1Char('x') + f[4];
        }
        EXPECT_EQ(sizes, (QStringList{QStringLiteral("600x600"), QStringLiteral("900x675")})) << name(path);

        expectCopies(printOn(path, [&] { return doc.PrintRTFData(UString(oversized.begin(), oversized.end()), letter); }),
                     split(QStringLiteral("above below")), 1, 1, name(path));
        const QList<Word> words = pdfWords(
            printOn(path, [&] { return doc.PrintRTFData(UString(oversized.begin(), oversized.end()), letter); }));
        ASSERT_EQ(words.size(), 2);
        // "below" sits under a picture 468 points high, on the line after it.
        EXPECT_NEAR(words[1].yMin - words[0].yMax, 468, 20) << name(path);
    }
}

namespace {

// Lines "w1" to "wN", each ended by a line feed.
QString numberedLines(int count)
{
    QString text;
    text.reserve(count * 8);
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("w%1\n").arg(i);
    return text;
}

// Whether the PDF's text is exactly the words w1 to wN in order.
::testing::AssertionResult holdsNumberedWords(const QString &pdf, int count)
{
    const QString text = pdfText(pdf);
    int expected = 1;
    for (const QString &word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        if (word != QStringLiteral("w%1").arg(expected))
            return ::testing::AssertionFailure()
                << "found " << word.toStdString() << " where w" << expected << " belongs";
        ++expected;
    }
    if (expected != count + 1)
        return ::testing::AssertionFailure() << "the text ends after w" << expected - 1 << " of " << count;
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(ExactOutput, TenThousandPagesOfPrintDocHoldEveryWord)
{
    // 58 lines of Arial 10 a page of Letter: 580,000 lines are exactly 10,000 pages (a line feed
    // after the last would start one more).
    doc.setDocText(numberedLines(580000).chopped(1).toStdU16String());
    const QString pdf = printOn(Path::Direct, [&] { return doc.PrintDoc(); });
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 10000);
    EXPECT_TRUE(holdsNumberedWords(pdf, 580000));
}

TEST_F(ExactOutput, TenThousandPagesOfRichTextHoldEveryWord)
{
    // Past the 2,400 pages where the layout's coordinates used to run out, on A4: more than
    // 10,000 pages of one-word lines, as plain text and as RTF paragraphs.
    const QString lines = numberedLines(600000);
    const QString textPdf = printOn(Path::Direct, [&] { return doc.PrintText(lines.toStdU16String()); });
    ASSERT_FALSE(textPdf.isEmpty());
    EXPECT_GE(pdfInfo(textPdf, QStringLiteral("Pages")).toInt(), 10000);
    EXPECT_TRUE(holdsNumberedWords(textPdf, 600000));

    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 ";
    for (int i = 1; i <= 520000; ++i)
        rtf += "\\pard w" + QByteArray::number(i) + "\\par\n";
    rtf += "}";
    const QString file = writeFile(QStringLiteral("long.rtf"), rtf);
    rtf.clear();
    const QString rtfPdf = printOn(Path::Direct, [&] { return doc.PrintRTFFile(file.toStdU16String()); });
    ASSERT_FALSE(rtfPdf.isEmpty());
    EXPECT_GE(pdfInfo(rtfPdf, QStringLiteral("Pages")).toInt(), 10000);
    EXPECT_TRUE(holdsNumberedWords(rtfPdf, 520000));
}

TEST_F(ExactOutput, ADocumentLongerThanTheLayoutReachesIsRefusedWithNothingPrinted)
{
    // 400 paragraphs each followed by a million twips of space: 400 million twips of pages,
    // past the 320 million the layout reaches. Refused, not printed as blank pages.
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 ";
    for (int i = 1; i <= 400; ++i)
        rtf += "\\pard\\sa1000000 w" + QByteArray::number(i) + "\\par\n";
    rtf += "}";
    const QString pdf = printOn(Path::Direct, [&] { return doc.PrintRTFData(UString(rtf.begin(), rtf.end())); });
    EXPECT_TRUE(pdf.isEmpty());
    EXPECT_TRUE(pdfFiles(QDir::tempPath() + QStringLiteral("/corvane-pdf-exact-")
                         + QString::number(QCoreApplication::applicationPid()))
                    .isEmpty());
    EXPECT_TRUE(toUtf8(result.toString()).starts_with("482|Printer error: the document is too long to lay out"))
        << toUtf8(result.toString());
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_TRUE(events.events[0].starts_with("PrintError 482 "));
}

TEST_F(ExactOutput, APrinterChosenInAHandlerLeavesTheOpenJobWhereItBegan)
{
    // Two copies of five pages to the built-in printer; a progress handler chooses the CUPS
    // printer on the first page or the last. All ten pages come out of the built-in printer
    // (the copies used to be lost when the choice changed before the job's end), and the next
    // job goes to the CUPS printer.
    REQUIRE_CUPS();
    addFilePrinter(QStringLiteral("Elsewhere"));
    QString lines;
    for (int i = 1; i <= 270; ++i)
        lines += QStringLiteral("A%1\n").arg(i);
    doc.setDocText(lines.toStdU16String());
    doc.setCopies(2);
    for (const int at : {1, 5}) {
        events.onProgress = [&](Variant &page) {
            if (page.toLong() == at)
                doc.SetPrinter(u"Elsewhere");
        };
        QFile::remove(printerOutput(QStringLiteral("Elsewhere")));
        expectCopies(printOn(Path::Direct, [&] { return doc.PrintDoc(u"Corvane PDF"); }),
                     split(QString(lines).replace('\n', ' ')), 2, 5, at == 1 ? "chosen on page 1" : "chosen on page 5");
        EXPECT_FALSE(QFile::exists(printerOutput(QStringLiteral("Elsewhere"))));
    }
    events.onProgress = nullptr;
    doc.setCopies(1);
    doc.setDocText(u"next job");
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_TRUE(waitForPrinterOutput(QStringLiteral("Elsewhere")));
    EXPECT_TRUE(pdfText(printerOutput(QStringLiteral("Elsewhere"))).contains(QStringLiteral("next job")));
    removePrinter(QStringLiteral("Elsewhere"));
}

TEST_F(ExactOutput, RichTextWithALineTallerThanThePageIsRefused)
{
    // 600 points on Letter: a line of 690 points, the page 648 between its margins. Cut, each
    // line after the first fell lower on its page until its words left the sheet.
    for (const Path path : {Path::Direct, Path::QtEngine}) {
        LayoutParameters letter;
        letter.PrnPaperSize = spPaperLetter;
        const QString pdf = printOn(path, [&] { return doc.PrintText(u"A0 B0 C0", u"Arial,600,0,0,0", letter); });
        EXPECT_TRUE(pdf.isEmpty()) << name(path);
        EXPECT_EQ(toUtf8(result.toString()),
                  "482|Printer error: a line of the document is taller than the page between its margins (690 points "
                  "on 648 points)")
            << name(path);
        // At 500 points a line is 575 points high: one a page, a letter on each.
        expectCopies(printOn(path, [&] { return doc.PrintText(u"A B C", u"Arial,500,0,0,0", letter); }),
                     split(QStringLiteral("A B C")), 1, 3, name(path));
    }
}

TEST_F(ExactOutput, APictureWithoutDataKeepsItsPlaceAsAFramedCross)
{
    // Empty and non-hexadecimal data, and a metafile (a kind not read yet): the framed cross (64
    // pixels square) at the picture's size, the text around it printed. A scale that is not
    // positive is taken as none.
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 before "
                           "{\\pict\\pngblip\\picwgoal1440\\pichgoal1440 }"
                           " middle {\\pict\\jpegblip\\picwgoal1440\\pichgoal1440 zz}"
                           " after {\\pict\\pngblip\\picwgoal1440\\pichgoal720\\picscaley-50 }"
                           " metafile {\\pict\\wmetafile8\\picwgoal1440\\pichgoal1440 0100090000}\\par}";
    const QString pdf = printOn(Path::Direct, [&] { return doc.PrintRTFData(UString(rtf.begin(), rtf.end())); });
    expectCopies(pdf, split(QStringLiteral("before middle after metafile")), 1, 1, "pictures");
    const QStringList images =
        run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out.split(QLatin1Char('\n')).mid(2);
    QStringList sizes;
    for (const QString &line : images) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() > 13)
            sizes << f[3] + QLatin1Char('x') + f[4] + QLatin1Char('@') + f[12] + QLatin1Char('x') + f[13];
    }
    // 64 pixels over one inch, and over one inch by half an inch.
    EXPECT_EQ(sizes, (QStringList{QStringLiteral("64x64@64x64"), QStringLiteral("64x64@64x64"),
                                  QStringLiteral("64x64@64x128"), QStringLiteral("64x64@64x64")}));
}

TEST_F(ExactOutput, BodyLinesTallerThanTheSheetKeepTheirWordsOnIt)
{
    // 1000 points on Letter turned: a line of 1117 points on a sheet 612 high ends at its
    // bottom edge, so each digit's baseline stays on the sheet and the digit reads back, a page
    // each (they used to be drawn below the sheet, and at 900 points above it).
    doc.setDocTextFont(u"Arial,1000,0,0,0");
    doc.setPaperOrientation(spOrientationLandscape);
    doc.setDocText(u"0 1");
    for (const Path path : {Path::Direct, Path::QtEngine}) {
        const QString pdf = printOn(path, [&] { return doc.PrintDoc(); });
        ASSERT_FALSE(pdf.isEmpty()) << name(path);
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), 2) << name(path);
        EXPECT_EQ(pdfText(pdf, 1, 1).simplified(), QStringLiteral("0")) << name(path);
        EXPECT_EQ(pdfText(pdf, 2, 2).simplified(), QStringLiteral("1")) << name(path);
    }
}
