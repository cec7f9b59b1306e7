// HTML through QtWebEngine (offscreen) and PDF through the shell, read back from real PDFs.
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWeb.h"

#include <corvane/Corvane.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

using namespace corvane;
using namespace corvane::testing;

namespace {

class WebQt : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        doc.subscribe(&events);
        folder = freshPdfFolder(QStringLiteral("web"));
    }

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

    // The PDFs the printed pages became, after every requested page printed.
    QStringList printed()
    {
        EXPECT_TRUE(qt::waitForHtmlPrints(30000));
        return pdfFiles(folder);
    }

    QTemporaryDir dir;
    QString folder;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
};

} // namespace

TEST_F(WebQt, ALocalPageWithATableAndAnImagePrintsOnce)
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.save(dir.filePath(QStringLiteral("red.png")));
    const QString page = writeFile(QStringLiteral("table.html"),
                                   "<html><body><h1>Quarterly figures</h1><img src='red.png'>"
                                   "<table border=1><tr><td>North</td><td>1200</td></tr>"
                                   "<tr><td>South</td><td>3400</td></tr></table></body></html>");
    EXPECT_TRUE(doc.PrintHTMLDocument(page.toStdU16String()).isEmpty());
    const QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    const QString text = pdfText(pdfs[0]);
    EXPECT_TRUE(text.contains(QStringLiteral("Quarterly figures")));
    EXPECT_TRUE(text.contains(QStringLiteral("South")));
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebQt, SourceAndFramesPrintOnceEach)
{
    EXPECT_TRUE(doc.PrintHTMLDocFromSource(u"<p>Straight from the source</p>").isEmpty());
    const QString temporary = QString::fromStdU16String(doc.FileName());
    EXPECT_TRUE(QFile::exists(temporary));
    QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_TRUE(pdfText(pdfs[0]).contains(QStringLiteral("Straight from the source")));
    QFile::remove(pdfs[0]);

    writeFile(QStringLiteral("inner.html"), "<p>Inside the frame</p>");
    const QString outer = writeFile(QStringLiteral("outer.htm"),
                                    "<p>Outside</p><iframe src='inner.html'></iframe>");
    doc.PrintHTMLDocument(outer.toStdU16String());
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_TRUE(pdfText(pdfs[0]).contains(QStringLiteral("Outside")));
    QFile::remove(pdfs[0]);

    // PrintDoc sends ".html" names the same way.
    doc.setFileName(writeFile(QStringLiteral("routed.html"), "<p>Routed by name</p>").toStdU16String());
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_TRUE(pdfText(pdfs[0]).contains(QStringLiteral("Routed by name")));
}

TEST_F(WebQt, TheEmptyHttpAddressIsNeverPrinted)
{
    doc.PrintHTMLDocument(u"http:///");
    EXPECT_TRUE(printed().isEmpty());
}

TEST_F(WebQt, PdfFilesGoToTheDefaultPrinterOrTheFolder)
{
    // Print a page to have a PDF, then hand it to the shell.
    doc.PrintText(u"A document to hand over");
    const QStringList made = pdfFiles(folder);
    ASSERT_EQ(made.size(), 1);
    const QString pdf = dir.filePath(QStringLiteral("handed.pdf"));
    QFile::rename(made[0], pdf);

    // No CUPS default (the test server has none): into the built-in printer's folder.
    if (!run(QStringLiteral("lpstat"), {QStringLiteral("-d")}).out.contains(QStringLiteral("system default destination:"))) {
        events.events.clear();
        doc.PrintPDFFile(pdf.toStdU16String());
        EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
        ASSERT_EQ(pdfFiles(folder).size(), 1);
        EXPECT_TRUE(pdfText(pdfFiles(folder)[0]).contains(QStringLiteral("A document to hand over")));
    }

    // Missing and wildcard names.
    events.events.clear();
    doc.PrintPDFFile(dir.filePath(QStringLiteral("missing.pdf")).toStdU16String());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError -1 File Not Found!"});
    events.events.clear();
    doc.PrintPDFFile(dir.filePath(QStringLiteral("hand?d.pdf")).toStdU16String());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 2 Error printing PDF file!"});

}

TEST_F(WebQt, PdfFilesGoToTheDefaultCupsPrinter)
{
    REQUIRE_CUPS();
    // A CUPS server of this test's own, whose default printer it may set: it is chosen before
    // anything in this process has asked CUPS.
    const QString server = dir.filePath(QStringLiteral("cups"));
    ASSERT_EQ(run(QStringLiteral(CORVANE_SOURCE_DIR "/scripts/cups-server.sh"), {QStringLiteral("start"), server}).exitCode, 0);
    qputenv("CUPS_SERVER", QFile::encodeName(server + QStringLiteral("/cups.sock")));
    qputenv("CORVANE_TEST_CUPS_DIR", QFile::encodeName(server));
    struct Stop {
        QString server;
        ~Stop() { run(QStringLiteral(CORVANE_SOURCE_DIR "/scripts/cups-server.sh"), {QStringLiteral("stop"), server}); }
    } stop{server};

    const QString printer = QStringLiteral("ShellDefault");
    addFilePrinter(printer);
    ASSERT_EQ(run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), printer}).exitCode, 0);
    const QString pdf = dir.filePath(QStringLiteral("handed.pdf"));
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        painter.drawText(QPointF(500, 500), QStringLiteral("A document to hand over"));
    }

    events.events.clear();
    doc.PrintPDFFile(pdf.toStdU16String());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});
    ASSERT_TRUE(waitForPrinterOutput(printer));
    EXPECT_TRUE(pdfText(printerOutput(printer)).contains(QStringLiteral("A document to hand over")));

    // The default printer refusing jobs: an error code, one event.
    run(QStringLiteral("cupsreject"), {printer});
    events.events.clear();
    doc.PrintPDFFile(pdf.toStdU16String());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 5 Error printing PDF file!"});

    // Something that is no PDF has no handler.
    events.events.clear();
    doc.PrintPDFFile(writeFile(QStringLiteral("fake.pdf"), "not a pdf").toStdU16String());
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 31 No application is associated with PDF file printing!"});
}

TEST_F(WebQt, FiftyMegabytesOfSourceAreWrittenAndHandedOver)
{
    // 50 MB of HTML source: written, loaded and printed within the wait (or reported).
    UString html = u"<html><body>";
    const UString row = u"<p>row of text to make the page long</p>";
    while (html.size() < 50u * 1024 * 1024)
        html += row;
    html += u"</body></html>";
    events.events.clear();
    const Variant result = doc.PrintHTMLDocFromSource(html);
    EXPECT_TRUE(result.isEmpty());
    EXPECT_TRUE(events.events.empty());
    EXPECT_GT(QFile(QString::fromStdU16String(doc.FileName())).size(), 50 * 1024 * 1024);
    QFile::remove(QString::fromStdU16String(doc.FileName()));
    // A short page replaces the long one still loading; its print ends the test.
    doc.PrintHTMLDocument(u"about:blank");
    EXPECT_TRUE(qt::waitForHtmlPrints(60000));
}
