// HTML through QtWebEngine (offscreen) and PDF through the shell, read back from real PDFs.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWeb.h"

#include <corvane/Corvane.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QProcess>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

// A web server on 127.0.0.1 of the test's own: each path answers with a status and a body;
// "/hang" takes the connection and never answers.
class LocalHttpServer : public QTcpServer {
public:
    struct Reply {
        int status;
        QByteArray type, body;
    };
    QMap<QString, Reply> replies;
    QStringList asked;

    LocalHttpServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
    }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }

private:
    void answer(QTcpSocket *socket)
    {
        const QByteArray request = socket->peek(8192);
        if (!request.contains("\r\n\r\n"))
            return;
        socket->readAll();
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        asked << path;
        if (path == QLatin1String("/hang"))
            return;
        const Reply reply = replies.value(path, Reply{404, "text/plain", "not here"});
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\nContent-Type: " + reply.type
                      + "\r\nContent-Length: " + QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n"
                      + reply.body);
        socket->disconnectFromHost();
    }
};

QByteArray pngOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Images in a PDF, as pdfimages lists them.
int imagesIn(const QString &pdf)
{
    const QStringList lines =
        run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return std::max(0, static_cast<int>(lines.size()) - 2); // two lines of heading
}

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

    // Sets an environment variable for the rest of the test.
    void setEnv(const char *name, const QByteArray &value)
    {
        if (!saved.contains(name))
            saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt);
        qputenv(name, value);
    }
    // A CUPS server of the test's own, whose default printer it may set, used from here on and
    // stopped when the test ends. It must come before anything in the process has asked CUPS.
    bool startOwnCupsServer()
    {
        ownCups = dir.filePath(QStringLiteral("cups"));
        if (run(QStringLiteral(CORVANE_SOURCE_DIR "/scripts/cups-server.sh"), {QStringLiteral("start"), ownCups}).exitCode
            != 0)
            return false;
        setEnv("CUPS_SERVER", QFile::encodeName(ownCups + QStringLiteral("/cups.sock")));
        setEnv("CORVANE_TEST_CUPS_DIR", QFile::encodeName(ownCups));
        return true;
    }

    void TearDown() override
    {
        if (!ownCups.isEmpty())
            run(QStringLiteral(CORVANE_SOURCE_DIR "/scripts/cups-server.sh"), {QStringLiteral("stop"), ownCups});
        for (auto it = saved.begin(); it != saved.end(); ++it) {
            if (it.value())
                qputenv(it.key().constData(), *it.value());
            else
                qunsetenv(it.key().constData());
        }
    }

    QTemporaryDir dir;
    QString folder;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
    QMap<QByteArray, std::optional<QByteArray>> saved;
    QString ownCups;
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
    const QString outer = writeFile(QStringLiteral("outer.htm"), "<p>Outside</p><iframe src='inner.html'></iframe>");
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

TEST_F(WebQt, TextPrintsAsWrittenInEveryScript)
{
    // The caller's text from source, a UTF-8 file that declares no charset, and a Latin-1 file
    // that declares its own: each prints its letters as written.
    EXPECT_TRUE(doc.PrintHTMLDocFromSource(u"<p>caf\u00e9 \u20ac \u0416 \u65e5\u672c</p>").isEmpty());
    QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("caf\u00e9 \u20ac \u0416 \u65e5\u672c"));
    QFile::remove(pdfs[0]);

    doc.PrintHTMLDocument(writeFile(QStringLiteral("utf8.html"), "<p>Gr\xc3\xbc\xc3\x9f"
                                                                 "e \xd0\x96</p>")
                              .toStdU16String());
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("Gr\u00fc\u00dfe \u0416"));
    QFile::remove(pdfs[0]);

    doc.PrintHTMLDocument(writeFile(QStringLiteral("latin1.html"), "<meta charset='iso-8859-1'><p>Gr\xfc\xdf"
                                                                   "e</p>")
                              .toStdU16String());
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("Gr\u00fc\u00dfe"));
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebQt, PagesPrintWithTheirOwnMarginsElseABrowsersDefault)
{
    // Where a browser prints the first word (figures from Chromium): body margin 8 px (6 pt)
    // inside the page margin, which is whole CSS pixels: 30 mm is 113 px, 84.75 pt; the default
    // 1 cm is 37 px, 27.75 pt.
    struct Case {
        const char *style;
        double width, height, x, y;
    };
    const Case cases[] = {{"@page { size: A5 landscape; margin: 30mm }", 595.3, 419.5, 90.75, 90.56},
                          {"", 595.3, 841.9, 33.75, 33.56},
                          {"@media print { @page { margin: 1in 0.5in } } @page { size: letter }", 612, 792, 42, 77.81},
                          // Rules print does not see, and the cascade: !important wins over a
                          // later rule, @supports and @layer blocks hold rules as @media does.
                          {"@media not print { @page { margin: 3in } } @media screen { @page { margin: 2in } }", 595.3,
                           841.9, 33.75, 33.56},
                          {"@page { margin: 1in !important } @page { margin: 2in }", 595.3, 841.9, 78, 77.81},
                          {"@supports (display: block) { @page { margin: 2in } }", 595.3, 841.9, 150, 149.81},
                          {"@layer base { @page { margin: 2in 1in } }", 595.3, 841.9, 78, 149.81},
                          // Lengths the browser computes: em of the root's 16 px, calc().
                          {"@page { margin: 3em }", 595.3, 841.9, 42, 41.81},
                          {"@page { margin: calc(1in + 12pt) 2em }", 595.3, 841.9, 30, 89.81}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.style);
        doc.PrintHTMLDocument(writeFile(QStringLiteral("margins.html"),
                                        QByteArray("<style>") + c.style + "</style><p>Alpha beta gamma</p>")
                                  .toStdU16String());
        const QStringList pdfs = printed();
        ASSERT_EQ(pdfs.size(), 1);
        const QList<Word> words = pdfWords(pdfs[0]);
        ASSERT_EQ(words.size(), 3);
        EXPECT_EQ(words[0].text, QStringLiteral("Alpha"));
        EXPECT_NEAR(words[0].pageWidth, c.width, 1);
        EXPECT_NEAR(words[0].pageHeight, c.height, 1);
        EXPECT_NEAR(words[0].xMin, c.x, 1);
        EXPECT_NEAR(words[0].yMin, c.y, 1);
        QFile::remove(pdfs[0]);
    }

    // 120 lines on A4 with the default margins: four pages, breaking where Chromium breaks.
    QByteArray lines;
    for (int i = 1; i <= 120; ++i)
        lines += "<p>Line " + QByteArray::number(i) + " of the long page</p>";
    doc.PrintHTMLDocument(writeFile(QStringLiteral("long.html"), lines).toStdU16String());
    const QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfInfo(pdfs[0], QStringLiteral("Pages")), QStringLiteral("4"));
    const int firstLines[] = {1, 32, 63, 94};
    for (int page = 1; page <= 4; ++page)
        EXPECT_TRUE(pdfText(pdfs[0], page, page).startsWith(QStringLiteral("Line %1 of").arg(firstLines[page - 1])))
            << page;
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebQt, APrintedPageIsTitledAfterItsTitleElseItsFile)
{
    const QString title = QStringLiteral("\u041E\u0442\u0447\u0451\u0442 (Q3) \\ caf\u00e9");
    doc.PrintHTMLDocFromSource((QStringLiteral("<title>") + title + QStringLiteral("</title><p>x</p>")).toStdU16String());
    QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfInfo(pdfs[0], QStringLiteral("Title")), title);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("x"));
    QFile::remove(pdfs[0]);

    doc.PrintHTMLDocument(writeFile(QStringLiteral("untitled page.html"), "<p>y</p>").toStdU16String());
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfInfo(pdfs[0], QStringLiteral("Title")), QStringLiteral("untitled page.html"));
    QFile::remove(pdfs[0]);

    doc.PrintHTMLDocFromSource(u"<p>z</p>");
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfInfo(pdfs[0], QStringLiteral("Title")), QStringLiteral("Corvane document"));
    EXPECT_TRUE(events.events.empty());
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
    ASSERT_TRUE(startOwnCupsServer());

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
    EXPECT_EQ(events.events,
              std::vector<std::string>{"PrintError 31 No application is associated with PDF file printing!"});
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
    // A short page asked meanwhile waits for the long one; both print.
    doc.PrintHTMLDocument(u"about:blank");
    EXPECT_TRUE(qt::waitForHtmlPrints(60000));
}

TEST_F(WebQt, RequestsInOneRunPrintEachInTheOrderAsked)
{
    // Sources, a file and sources again, asked at once: each prints, in order, alone.
    const QString file = writeFile(QStringLiteral("middle.html"), "<p>PageTokenFILE</p>");
    doc.PrintHTMLDocFromSource(u"<p>PageTokenONE</p>");
    doc.PrintHTMLDocFromSource(u"<p>PageTokenTWO</p>");
    doc.PrintHTMLDocument(file.toStdU16String());
    Corvane other(&qt::qtPlatform()); // a new object leaves the pages still waiting alone
    other.PrintHTMLDocFromSource(u"<p>PageTokenTHREE</p>");
    const QStringList pdfs = printed();
    const QStringList tokens{QStringLiteral("PageTokenONE"), QStringLiteral("PageTokenTWO"),
                             QStringLiteral("PageTokenFILE"), QStringLiteral("PageTokenTHREE")};
    ASSERT_EQ(pdfs.size(), tokens.size());
    for (int i = 0; i < pdfs.size(); ++i)
        EXPECT_EQ(pdfText(pdfs[i]).simplified(), tokens[i]) << i;
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebQt, TemporaryFilesAreTheUsersAlone)
{
    setEnv("XDG_RUNTIME_DIR", QFile::encodeName(dir.filePath(QStringLiteral("runtime"))));
    ASSERT_EQ(::mkdir(QFile::encodeName(dir.filePath(QStringLiteral("runtime"))).constData(), 0700), 0);
    doc.PrintHTMLDocFromSource(u"<p>Private</p>");
    const QString path = QString::fromStdU16String(doc.FileName());
    EXPECT_EQ(QFileInfo(path).path(), dir.filePath(QStringLiteral("runtime/corvane")));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(printed().size(), 1);
    EXPECT_TRUE(QFile::exists(path)); // kept after printing

    // A folder others may write in is refused; FileName names the file it would have been.
    const QString open = dir.filePath(QStringLiteral("open"));
    ASSERT_EQ(::mkdir(QFile::encodeName(open).constData(), 0700), 0);
    setEnv("XDG_RUNTIME_DIR", "/nonexistent");
    setEnv("TMPDIR", QFile::encodeName(open));
    const QString shared = open + QStringLiteral("/corvane-") + QString::number(::geteuid());
    ASSERT_EQ(::mkdir(QFile::encodeName(shared).constData(), 0777), 0);
    ::chmod(QFile::encodeName(shared).constData(), 0777);
    events.events.clear();
    const Variant result = doc.PrintHTMLDocFromSource(u"<p>Refused</p>");
    EXPECT_EQ(result.toString().substr(0, 3), u"70|");
    EXPECT_EQ(QFileInfo(QString::fromStdU16String(doc.FileName())).path(), shared);
    EXPECT_TRUE(QDir(shared).isEmpty());
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_EQ(events.events[0].rfind("PrintError 70 Permission denied: the folder " + shared.toStdString(), 0), 0u)
        << events.events[0];

    // So is one another user owns (root can hand it over to test this).
    if (::geteuid() == 0) {
        ::chmod(QFile::encodeName(shared).constData(), 0700);
        ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), 65534, 65534), 0);
        events.events.clear();
        doc.PrintHTMLDocFromSource(u"<p>Refused</p>");
        ASSERT_EQ(events.events.size(), 1u);
        EXPECT_NE(events.events[0].find("belongs to another user"), std::string::npos) << events.events[0];
    }
    EXPECT_EQ(qt::pendingHtmlPrints(), 0);
}

TEST_F(WebQt, PagesThatDoNotLoadPrintNothingAndTellTheObjectThatAsked)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.isListening());
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 closedPort = closed.serverPort();
    closed.close();
    setEnv("CORVANE_HTML_LOAD_TIMEOUT", "3");

    EventRecorder otherEvents;
    Corvane other(&qt::qtPlatform());
    other.subscribe(&otherEvents);
    const QString missing = dir.filePath(QStringLiteral("missing.html"));
    doc.PrintHTMLDocument(missing.toStdU16String());
    other.PrintHTMLDocument(server.url(QStringLiteral("/gone.html")).toStdU16String());
    doc.PrintHTMLDocument(QStringLiteral("http://127.0.0.1:%1/x.html").arg(closedPort).toStdU16String());
    other.PrintHTMLDocument(server.url(QStringLiteral("/hang")).toStdU16String());
    EXPECT_TRUE(printed().isEmpty());
    EXPECT_EQ(
        events.events,
        (std::vector<std::string>{
            "PrintError 53 File not found: " + missing.toStdString(),
            QStringLiteral("PrintError -102 http://127.0.0.1:%1/x.html could not be loaded: net::ERR_CONNECTION_REFUSED")
                .arg(closedPort)
                .toStdString()}));
    EXPECT_EQ(otherEvents.events,
              (std::vector<std::string>{"PrintError 404 " + server.url(QStringLiteral("/gone.html")).toStdString()
                                            + " could not be printed: the server answered HTTP status 404",
                                        "PrintError 75 " + server.url(QStringLiteral("/hang")).toStdString()
                                            + " could not be printed: it did not finish loading within 3 s"}));
}

TEST_F(WebQt, APageWithNowhereToGoIsReported)
{
    setEnv("CORVANE_PDF_DIR", QFile::encodeName(dir.filePath(QStringLiteral("no-such-folder"))));
    doc.PrintHTMLDocFromSource(u"<p>Nowhere</p>");
    EXPECT_TRUE(qt::waitForHtmlPrints(30000));
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_EQ(events.events[0].rfind("PrintError 76 Path not found: the page " + toUtf8(doc.FileName()), 0), 0u)
        << events.events[0];
}

TEST_F(WebQt, ARelativeNameIsTakenFromTheCurrentFolder)
{
    writeFile(QStringLiteral("report.html"), "<p>RelativeReport</p>");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    doc.setFileName(u"report.html");
    doc.PrintDoc();
    QDir::setCurrent(before);
    const QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("RelativeReport"));
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebQt, PagesReadNoLocalFileOutsideTheirReach)
{
    // A secret beside the page's folder, a link to it inside, and files the page may read.
    writeFile(QStringLiteral("secret.txt"), "SecretToken");
    QDir(dir.path()).mkpath(QStringLiteral("site/sub"));
    writeFile(QStringLiteral("site/sub/inside.html"), "<p>InsideFrame</p>");
    writeFile(QStringLiteral("site/sub/data.txt"), "InsideData");
    QFile::link(dir.filePath(QStringLiteral("secret.txt")), dir.filePath(QStringLiteral("site/link.txt")));
    const QString secretUrl = QUrl::fromLocalFile(dir.filePath(QStringLiteral("secret.txt"))).toString();
    const QByteArray reads =
        "<script>function read(u){try{var x=new XMLHttpRequest();x.open('GET',u,false);x.send();return x.responseText;}"
        "catch(e){return 'Blocked';}}</script>";
    const QString page = writeFile(
        QStringLiteral("site/page.html"),
        "<p>Outer</p>" + reads
            + "<iframe src='../secret.txt'></iframe><iframe src='link.txt'></iframe>"
              "<iframe src='sub/inside.html'></iframe><object data='"
            + secretUrl.toUtf8()
            + "'></object>"
              "<script>document.write('[' + read('sub/data.txt') + '][' + read('../secret.txt') + '][' + read('link.txt') + ']');</script>");
    doc.PrintHTMLDocument(page.toStdU16String());
    QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    QString text = pdfText(pdfs[0]);
    EXPECT_FALSE(text.contains(QStringLiteral("SecretToken"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("InsideFrame"))) << qPrintable(text);
    EXPECT_TRUE(text.simplified().remove(QLatin1Char(' ')).contains(QStringLiteral("[InsideData][Blocked][Blocked]")))
        << qPrintable(text);
    QFile::remove(pdfs[0]);

    // A page from source reads no local file but itself.
    const QByteArray source = "<p>FromSource</p>" + reads + "<iframe src='" + secretUrl.toUtf8()
                            + "'></iframe><script>document.write('[' + read('" + secretUrl.toUtf8()
                            + "') + '][' + read('file:///etc/passwd') + ']');</script>";
    doc.PrintHTMLDocFromSource(fromUtf8(source.toStdString()));
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    text = pdfText(pdfs[0]);
    EXPECT_TRUE(text.contains(QStringLiteral("FromSource")));
    EXPECT_TRUE(text.simplified().remove(QLatin1Char(' ')).contains(QStringLiteral("[Blocked][Blocked]")))
        << qPrintable(text);
    EXPECT_FALSE(text.contains(QStringLiteral("SecretToken")));
    EXPECT_FALSE(text.contains(QStringLiteral("root:")));
    EXPECT_TRUE(events.events.empty());
}

TEST_F(WebQt, RemotePicturesPrintAndSlowOnesAreBounded)
{
    LocalHttpServer server;
    server.replies.insert(QStringLiteral("/logo.png"), {200, "image/png", pngOf(120, 60)});
    server.replies.insert(QStringLiteral("/page.html"), {200, "text/html", "<p>RemotePage</p><img src='/logo.png'>"});
    doc.PrintHTMLDocFromSource(
        fromUtf8("<p>Invoice</p><img src='" + server.url(QStringLiteral("/logo.png")).toStdString() + "'>"));
    doc.PrintHTMLDocument(server.url(QStringLiteral("/page.html")).toStdU16String());
    QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 2);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("Invoice"));
    EXPECT_EQ(imagesIn(pdfs[0]), 1);
    EXPECT_EQ(pdfText(pdfs[1]).simplified(), QStringLiteral("RemotePage"));
    EXPECT_EQ(imagesIn(pdfs[1]), 1);
    EXPECT_TRUE(events.events.empty());
    for (const QString &pdf : pdfs)
        QFile::remove(pdf);

    // A picture whose server never answers holds the page no longer than the bound.
    setEnv("CORVANE_HTML_LOAD_TIMEOUT", "2");
    doc.PrintHTMLDocFromSource(
        fromUtf8("<p>Waiting</p><img src='" + server.url(QStringLiteral("/hang")).toStdString() + "'>"));
    EXPECT_TRUE(printed().isEmpty());
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_NE(events.events[0].find("did not finish loading within 2 s"), std::string::npos) << events.events[0];
}

TEST_F(WebQt, PdfAndHtmlGoToTheSelectedPrinterNotTheDefault)
{
    REQUIRE_CUPS();
    ASSERT_TRUE(startOwnCupsServer());
    const QString printer = QStringLiteral("TheDefault");
    addFilePrinter(printer);
    addFilePrinter(QStringLiteral("Chosen"));
    ASSERT_EQ(run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), printer}).exitCode, 0);
    resetThreadSurface();

    const QString pdf = dir.filePath(QStringLiteral("confidential.pdf"));
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        painter.drawText(QPointF(500, 500), QStringLiteral("PrivatePdfPage"));
    }
    const QString html = writeFile(QStringLiteral("confidential.html"), "<p>PrivateHtmlPage</p>");
    doc.SetPrinter(u"Corvane PDF");
    doc.setFileName(pdf.toStdU16String());
    doc.PrintDoc();
    doc.setFileName(html.toStdU16String());
    doc.PrintDoc();
    const QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 2);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("PrivatePdfPage"));
    EXPECT_EQ(pdfText(pdfs[1]).simplified(), QStringLiteral("PrivateHtmlPage"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintComplete"});

    // A CUPS printer by name, the same way.
    doc.SetPrinter(u"Chosen");
    doc.PrintPDFFile(pdf.toStdU16String());
    ASSERT_TRUE(waitForPrinterOutput(QStringLiteral("Chosen")));
    EXPECT_EQ(pdfText(printerOutput(QStringLiteral("Chosen"))).simplified(), QStringLiteral("PrivatePdfPage"));
    QFile::remove(printerOutput(QStringLiteral("Chosen")));
    doc.PrintHTMLDocument(html.toStdU16String());
    EXPECT_TRUE(qt::waitForHtmlPrints(30000));
    ASSERT_TRUE(waitForPrinterOutput(QStringLiteral("Chosen")));
    EXPECT_EQ(pdfText(printerOutput(QStringLiteral("Chosen"))).simplified(), QStringLiteral("PrivateHtmlPage"));
    EXPECT_FALSE(QFile::exists(printerOutput(printer)));
}

TEST(WebProcesses, EightProcessesPrintingAtOnceEachGetTheirOwnPages)
{
    // Rounds (CORVANE_HTML_PROCESS_ROUNDS, 5 by default) of 8 processes started together, each
    // printing 5 pages from source, 5 HTML files and 5 text documents, creating a new object
    // for each trio while its earlier pages may still be waiting.
    const int rounds = qEnvironmentVariableIntValue("CORVANE_HTML_PROCESS_ROUNDS") > 0
                         ? qEnvironmentVariableIntValue("CORVANE_HTML_PROCESS_ROUNDS")
                         : 5;
    const QString privateFolder = QString::fromStdU16String(qt::qtPlatform().temporaryFolder());
    for (int round = 1; round <= rounds; ++round) {
        QTemporaryDir pages;
        const QString folder = freshPdfFolder(QStringLiteral("processes-%1").arg(round));
        QElapsedTimer timer;
        timer.start();
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int p = 0; p < 8; ++p) {
            auto process = std::make_unique<QProcess>();
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->start(QStringLiteral(CORVANE_BIN_DIR "/corvane-html-probe"), {QString::number(p), pages.path()});
            processes.push_back(std::move(process));
        }
        for (int p = 0; p < 8; ++p) {
            ASSERT_TRUE(processes[p]->waitForFinished(300000)) << "round " << round << " process " << p;
            EXPECT_EQ(processes[p]->exitCode(), 0) << "round " << round << " process " << p;
        }
        QStringList expected;
        for (int p = 0; p < 8; ++p) {
            for (const char kind : {'S', 'F', 'T'}) {
                for (int n = 0; n < 5; ++n)
                    expected << QStringLiteral("QX%1%2%3").arg(p).arg(QLatin1Char(kind)).arg(n);
            }
        }
        QStringList found;
        for (const QString &pdf : pdfFiles(folder))
            found << pdfText(pdf).simplified();
        found.sort();
        expected.sort();
        EXPECT_EQ(found, expected) << "round " << round; // each PDF holds exactly its own token
        std::printf("round %d: %lld PDFs from 8 processes in %.1f s\n", round, static_cast<long long>(found.size()),
                    timer.elapsed() / 1000.0);
    }
    // Every request ended, so a new object leaves no temporary file behind.
    {
        Corvane fresh(&qt::qtPlatform());
    }
    EXPECT_TRUE(QDir(privateFolder).entryList({QStringLiteral("$*$.htm")}, QDir::Files).isEmpty());
}

TEST_F(WebQt, ALinkSwappedInWhileThePageReadsNeverHandsItAFileOutsideItsReach)
{
    // The page reads r.txt 400 times while the test swaps it, again and again, between a file of
    // the page's folder and a link to a secret outside it: the page may get the one or an
    // error, never the secret.
    writeFile(QStringLiteral("secret.txt"), "SecretToken");
    QDir(dir.path()).mkpath(QStringLiteral("site"));
    const QString site = dir.filePath(QStringLiteral("site"));
    writeFile(QStringLiteral("site/r.txt"), "Inside");
    const QString page = writeFile(
        QStringLiteral("site/race.html"),
        "<script>var hits=0,inside=0,errors=0;for(var i=0;i<400;i++){try{var x=new XMLHttpRequest();"
        "x.open('GET','r.txt?'+i,false);x.send();if(x.responseText.indexOf('SecretToken')>=0)hits++;"
        "else if(x.responseText=='Inside')inside++;else errors++;}catch(e){errors++;}}"
        "document.write('hits='+hits+' total='+(inside+errors));</script>");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const QByteArray target = QFile::encodeName(site + QStringLiteral("/r.txt"));
        const QByteArray link = QFile::encodeName(site + QStringLiteral("/r.link"));
        const QByteArray plain = QFile::encodeName(site + QStringLiteral("/r.plain"));
        const QByteArray secret = QFile::encodeName(dir.filePath(QStringLiteral("secret.txt")));
        for (int i = 0; i < 2000000 && !stop; ++i) {
            ::unlink(link.constData());
            if (::symlink(secret.constData(), link.constData()) == 0)
                ::rename(link.constData(), target.constData());
            QFile file(QFile::decodeName(plain));
            if (file.open(QIODevice::WriteOnly) && file.write("Inside") == 6) {
                file.close();
                ::rename(plain.constData(), target.constData());
            }
        }
    });
    doc.PrintHTMLDocument(page.toStdU16String());
    const QStringList pdfs = printed();
    stop = true;
    swapper.join();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("hits=0 total=400"));
}

TEST_F(WebQt, AddressesThatAreNoPageFailAtOnceAndOddNamesStillPrint)
{
    LocalHttpServer server;
    server.replies.insert(QStringLiteral("/empty"), {204, "text/html", ""});
    server.replies.insert(QStringLiteral("/download"), {200, "application/octet-stream", QByteArray(5000, 'x')});
    const QString fifo = dir.filePath(QStringLiteral("fifo.html"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir(dir.path()).mkpath(QStringLiteral("folder.html"));
    setEnv("CORVANE_HTML_LOAD_TIMEOUT", "20");

    QElapsedTimer timer;
    timer.start();
    for (const QString &address : {fifo, QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("folder.html"))})
        doc.PrintHTMLDocument(address.toStdU16String());
    doc.PrintHTMLDocument(server.url(QStringLiteral("/empty")).toStdU16String());
    doc.PrintHTMLDocument(server.url(QStringLiteral("/download")).toStdU16String());
    EXPECT_TRUE(printed().isEmpty());
    EXPECT_LT(timer.elapsed(), 15000); // none waits for the load's time limit
    const std::vector<std::string> expected{
        "PrintError 75 Path/File access error: " + fifo.toStdString() + " is not a regular file",
        "PrintError 75 Path/File access error: /dev/zero is not a regular file",
        "PrintError 75 Path/File access error: " + dir.filePath(QStringLiteral("folder.html")).toStdString()
            + " is not a regular file",
        "PrintError 75 " + server.url(QStringLiteral("/empty")).toStdString()
            + " could not be printed: its load stopped without a page to print (a download, no content, or a page that closed itself)",
        "PrintError 75 " + server.url(QStringLiteral("/download")).toStdString()
            + " could not be printed: its load stopped without a page to print (a download, no content, or a page that closed itself)"};
    EXPECT_EQ(events.events, expected);

    // A relative name with a colon, and a file address on localhost, are local pages.
    writeFile(QStringLiteral("notes:v2.html"), "<p>ColonPage</p>");
    const QString localhost = writeFile(QStringLiteral("host.html"), "<p>LocalhostPage</p>");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    doc.PrintHTMLDocument(u"notes:v2.html");
    QDir::setCurrent(before);
    doc.PrintHTMLDocument((QStringLiteral("file://localhost") + localhost).toStdU16String());
    const QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 2);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("ColonPage"));
    EXPECT_EQ(pdfText(pdfs[1]).simplified(), QStringLiteral("LocalhostPage"));
    EXPECT_EQ(events.events.size(), expected.size());
}

TEST_F(WebQt, APageWhoseScriptsNeverLetItPrintFailsAndTheNextPrints)
{
    setEnv("CORVANE_HTML_LOAD_TIMEOUT", "3");
    doc.PrintHTMLDocFromSource(
        u"<p>Busy</p><script>window.addEventListener('load',function(){setTimeout(function(){for(;;){}},0)});</script>");
    const UString busy = doc.FileName();
    doc.PrintHTMLDocFromSource(u"<p>AfterBusy</p>");
    const QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("AfterBusy"));
    EXPECT_EQ(events.events, std::vector<std::string>{"PrintError 482 Printer error: the page " + toUtf8(busy)
                                                      + " did not finish printing within 3 s"});
}

TEST_F(WebQt, WebArchivesAndFilesOfNoKnownKindPrintAndNothingOutsideIsEvenOpened)
{
    // A web archive, and a text file with no name ending.
    const QString archive = writeFile(
        QStringLiteral("page.mht"),
        "From: <Saved>\r\nSubject: T\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; type=\"text/html\"; "
        "boundary=\"----=_Part\"\r\n\r\n------=_Part\r\nContent-Type: text/html; charset=\"utf-8\"\r\n"
        "Content-Location: http://example.invalid/index.html\r\n\r\n<html><body><p>ArchivedPage</p></body></html>\r\n"
        "------=_Part--\r\n");
    const QString plain = writeFile(QStringLiteral("notes"), "PlainNotes\n");
    doc.PrintHTMLDocument(archive.toStdU16String());
    doc.PrintHTMLDocument(plain.toStdU16String());
    QStringList pdfs = printed();
    ASSERT_EQ(pdfs.size(), 2);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("ArchivedPage"));
    EXPECT_EQ(pdfText(pdfs[1]).simplified(), QStringLiteral("PlainNotes"));
    for (const QString &pdf : pdfs)
        QFile::remove(pdf);

    // Two folders whose names differ only in a byte that is not UTF-8 are two folders: a link in
    // the page's folder to a secret in the other is outside the page's reach.
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray pageFolder = base + "/a\xEF\xBF\xBD", otherFolder = base + "/a\xFE";
    ASSERT_EQ(::mkdir(pageFolder.constData(), 0700), 0);
    ASSERT_EQ(::mkdir(otherFolder.constData(), 0700), 0);
    {
        QFile secret(QFile::decodeName(otherFolder + "/secret.txt"));
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write("SecretToken");
    }
    ASSERT_EQ(::symlink((otherFolder + "/secret.txt").constData(), (pageFolder + "/l.txt").constData()), 0);
    {
        QFile page(QFile::decodeName(pageFolder + "/p.html"));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("<p>ByteNames</p><iframe src='l.txt'></iframe>");
    }
    // A FIFO outside the reach, with a writer waiting for a reader: a page naming it must not
    // open it (the writer would go on).
    const QString fifo = dir.filePath(QStringLiteral("outside.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess writer;
    writer.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo x > '%1'").arg(fifo)});
    ASSERT_TRUE(writer.waitForStarted());
    const QString fifoPage = writeFile(QStringLiteral("fifo-page.html"),
                                       "<p>FifoPage</p><img src='outside.fifo'><iframe src='" + QFile::encodeName(fifo)
                                           + "'></iframe>");
    QDir(dir.path()).mkpath(QStringLiteral("in"));
    QFile::rename(fifoPage, dir.filePath(QStringLiteral("in/fifo-page.html")));
    writeFile(QStringLiteral("in/x.txt"), "x");
    QFile::link(fifo, dir.filePath(QStringLiteral("in/outside.fifo")));

    doc.PrintHTMLDocument(QFile::decodeName(pageFolder + "/p.html").toStdU16String());
    doc.PrintHTMLDocument(dir.filePath(QStringLiteral("in/fifo-page.html")).toStdU16String());
    pdfs = printed();
    ASSERT_EQ(pdfs.size(), 2);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("ByteNames"));
    EXPECT_EQ(pdfText(pdfs[1]).simplified(), QStringLiteral("FifoPage"));
    EXPECT_FALSE(writer.waitForFinished(500)); // still waiting for a reader
    writer.kill();
    writer.waitForFinished();
    EXPECT_TRUE(events.events.empty());
}
