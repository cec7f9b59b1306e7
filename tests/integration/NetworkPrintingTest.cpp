// Printing beyond one machine: a real IPP Everywhere printer (ippeveprinter) behind a central
// CUPS server that the component reaches over TCP, as a client machine does (CUPS_SERVER=
// host:port). What arrives at the printer for each paper setting, and what the caller hears
// when the server or the printer goes away, refuses, or never answers.
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <functional>
#include <thread>

using namespace corvane;
using namespace corvane::testing;

namespace {

int freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

QString script(const char *name) { return QStringLiteral(CORVANE_SOURCE_DIR "/scripts/") + QLatin1String(name); }

bool waitUntil(const std::function<bool()> &done, int seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < seconds * 1000) {
        if (done())
            return true;
        QThread::msleep(200);
    }
    return done();
}

// Runs a job's code on a thread of its own: the component reads CUPS_SERVER there afresh (CUPS
// keeps its server per thread), and each thread has its own current printer.
void onThread(const std::function<void()> &body)
{
    std::thread thread(body);
    thread.join();
}

// A job on a thread of its own, by a new object whose printer is "Office": `job` sets it up
// and prints; the events it raised come back.
std::vector<std::string> jobOnOffice(const std::function<void(Corvane &, EventRecorder &)> &job)
{
    std::vector<std::string> events;
    onThread([&] {
        Corvane doc{&qt::qtPlatform()};
        EventRecorder recorder;
        doc.subscribe(&recorder);
        ASSERT_TRUE(doc.SetPrinter(u"Office").isEmpty());
        job(doc, recorder);
        events = recorder.events;
    });
    return events;
}

// Numbered lines whose words are known: 80 make two pages of Letter with the default margins
// and font.
UString lines(const QString &tag, int count)
{
    QString text;
    for (int line = 1; line <= count; ++line)
        text += QStringLiteral("%1 line %2\r\n").arg(tag).arg(line);
    return text.toStdU16String();
}

class Network : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        QFile::setPermissions(s_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ExeOther | QFileDevice::ExeGroup);
        s_printerPort = freePort();
        s_serverPort = freePort();
        const ProcessResult printer = run(QStringLiteral("bash"),
                                          {script("ipp-printer.sh"), QStringLiteral("start"), printerDir(),
                                           QString::number(s_printerPort), QStringLiteral("Office")});
        if (printer.exitCode != 0) {
            s_skip = QStringLiteral("ippeveprinter did not start (it needs root for its namespace): ") + printer.err;
            return;
        }
        startServer();
        const ProcessResult queue = run(QStringLiteral("lpadmin"),
                                        {QStringLiteral("-h"), server(), QStringLiteral("-p"), QStringLiteral("Office"),
                                         QStringLiteral("-E"), QStringLiteral("-v"), printerUri(), QStringLiteral("-m"),
                                         QStringLiteral("everywhere"), QStringLiteral("-o"),
                                         QStringLiteral("printer-is-shared=true")});
        if (queue.exitCode != 0)
            s_skip = QStringLiteral("lpadmin could not make the queue: ") + queue.err;
        // One job's attributes (ipptool's JSON of several jobs at once runs them together).
        QFile job(s_dir->filePath(QStringLiteral("get-job.test")));
        job.open(QIODevice::WriteOnly);
        job.write(
            "{\n OPERATION Get-Job-Attributes\n GROUP operation-attributes-tag\n ATTR charset attributes-charset utf-8\n"
            " ATTR naturalLanguage attributes-natural-language en\n ATTR uri printer-uri $uri\n ATTR integer job-id $job\n"
            " ATTR keyword requested-attributes job-id,job-state,job-name,copies,media-col,print-quality,orientation-requested\n"
            " STATUS successful-ok\n}\n");
    }
    static void TearDownTestSuite()
    {
        run(QStringLiteral("bash"), {script("cups-server.sh"), QStringLiteral("stop"), serverDir()});
        run(QStringLiteral("bash"), {script("ipp-printer.sh"), QStringLiteral("stop"), printerDir()});
        delete s_dir;
        s_dir = nullptr;
    }

    static QString printerDir() { return s_dir->filePath(QStringLiteral("printer")); }
    static QString serverDir() { return s_dir->filePath(QStringLiteral("server")); }
    static QString server() { return QStringLiteral("127.0.0.1:%1").arg(s_serverPort); }
    static QString printerUri() { return QStringLiteral("ipp://127.0.0.1:%1/ipp/print").arg(s_printerPort); }
    // Starts the server; a server killed may not have saved its queues, and makes the queue
    // for the printer again if so.
    static void startServer()
    {
        run(QStringLiteral("bash"),
            {script("cups-server.sh"), QStringLiteral("start"), serverDir(), QString::number(s_serverPort)});
        if (run(QStringLiteral("lpstat"), {QStringLiteral("-h"), server(), QStringLiteral("-p"), QStringLiteral("Office")})
                .out.contains(QStringLiteral("Office")))
            return;
        run(QStringLiteral("lpadmin"),
            {QStringLiteral("-h"), server(), QStringLiteral("-p"), QStringLiteral("Office"), QStringLiteral("-E"),
             QStringLiteral("-v"), printerUri(), QStringLiteral("-m"), QStringLiteral("everywhere"),
             QStringLiteral("-o"), QStringLiteral("printer-is-shared=true")});
    }
    static void stopServer()
    {
        run(QStringLiteral("bash"), {script("cups-server.sh"), QStringLiteral("stop"), serverDir()});
    }
    static qint64 serverPid()
    {
        return QString::fromLatin1(fileBytes(serverDir() + QStringLiteral("/pid"))).trimmed().toLongLong();
    }
    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void SetUp() override
    {
        if (!s_skip.isEmpty())
            GTEST_SKIP() << s_skip.toStdString();
        m_savedServer = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", server().toUtf8());
        qputenv("CORVANE_CUPS_TIMEOUT", "5");
        m_pdfFolder = freshPdfFolder(QStringLiteral("network"));
        m_firstNewJob = lastPrinterJob() + 1;
    }
    void TearDown() override
    {
        qputenv("CUPS_SERVER", m_savedServer);
        qunsetenv("CORVANE_CUPS_TIMEOUT");
    }

    // A job's attributes as a printer or server gives them (ipptool's JSON; an attribute without
    // a value comes out as a name alone, which is not JSON: such lines are left out). Empty when
    // it has no such job.
    static QJsonObject jobAttributes(const QString &uri, int id)
    {
        const ProcessResult out = run(QStringLiteral("ipptool"),
                                      {QStringLiteral("-j"), QStringLiteral("-d"), QStringLiteral("job=%1").arg(id),
                                       uri, s_dir->filePath(QStringLiteral("get-job.test"))});
        QStringList lines = out.out.split(QLatin1Char('\n'));
        static const QRegularExpression bare(QStringLiteral("^\\s*\"[^\"]*\",?\\s*$"));
        lines.removeIf([](const QString &line) { return bare.match(line).hasMatch(); });
        for (const QJsonValue &group : QJsonDocument::fromJson(lines.join(QLatin1Char('\n')).toUtf8()).array())
            if (group.toObject().value(QStringLiteral("group-tag")).toString() == QLatin1String("job-attributes-tag"))
                return group.toObject();
        return {};
    }

    // The documents the printer kept, "<job id>-<name>.pdf", by job id (beside each, the empty
    // output of the command it "prints" with).
    static QMap<int, QString> printerDocuments()
    {
        QMap<int, QString> documents;
        for (const QFileInfo &f :
             QDir(printerDir() + QStringLiteral("/spool")).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
            documents.insert(f.fileName().section(QLatin1Char('-'), 0, 0).toInt(), f.absoluteFilePath());
        return documents;
    }
    static int lastPrinterJob()
    {
        const QMap<int, QString> documents = printerDocuments();
        return documents.isEmpty() ? 0 : documents.lastKey();
    }
    // The documents that reached the printer since the test began.
    QMap<int, QString> newDocuments() const
    {
        QMap<int, QString> documents = printerDocuments();
        for (auto it = documents.begin(); it != documents.end();)
            it = it.key() < m_firstNewJob ? documents.erase(it) : std::next(it);
        return documents;
    }
    // Waits (up to `seconds`) until `count` new documents are complete at the printer.
    QMap<int, QString> waitForDocuments(int count, int seconds = 60) const
    {
        waitUntil(
            [&] {
                // A document is whole once its job is being printed (or done).
                const QMap<int, QString> documents = newDocuments();
                if (documents.size() < count)
                    return false;
                for (auto it = documents.begin(); it != documents.end(); ++it)
                    if (jobAttributes(printerUri(), it.key()).value(QStringLiteral("job-state")).toInt() < 5)
                        return false;
                return true;
            },
            seconds);
        return newDocuments();
    }
    // A job's attributes at the printer.
    static QJsonObject jobAt(int id) { return jobAttributes(printerUri(), id); }

    static inline QTemporaryDir *s_dir = nullptr;
    static inline int s_printerPort = 0, s_serverPort = 0;
    static inline QString s_skip;
    QByteArray m_savedServer;
    QString m_pdfFolder;
    int m_firstNewJob = 1;
};

} // namespace

TEST_F(Network, TheServersQueuesAreListedAndAJobReachesThePrinterThroughIt)
{
    std::vector<std::string> printers, events;
    onThread([&] {
        Corvane doc{&qt::qtPlatform()};
        EventRecorder recorder;
        doc.subscribe(&recorder);
        Variant count;
        const Variant names = doc.GetPrinters(&count);
        for (const Variant &name : names.elements())
            printers.push_back(toUtf8(name.toString()));
        EXPECT_TRUE(doc.SetPrinter(u"Office").isEmpty());
        doc.setDocText(lines(QStringLiteral("Central"), 80));
        doc.setPaperSize(spPaperA4);
        EXPECT_TRUE(doc.PrintDoc().isEmpty());
        events = recorder.events;
    });
    EXPECT_EQ(printers, (std::vector<std::string>{"Office", "Corvane PDF"}));
    EXPECT_EQ(events, (std::vector<std::string>{"PrintProgress 1", "PrintProgress 2", "PrintComplete"}));
    // The job is the server's (it lists it) and reaches the printer: two pages, every line once.
    const ProcessResult onServer = run(QStringLiteral("lpstat"), {QStringLiteral("-h"), server(), QStringLiteral("-W"),
                                                                  QStringLiteral("all"), QStringLiteral("-o")});
    EXPECT_TRUE(onServer.out.contains(QStringLiteral("Office-"))) << onServer.out.toStdString();
    const QMap<int, QString> documents = waitForDocuments(1);
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(pdfInfo(documents.first(), QStringLiteral("Pages")), QStringLiteral("2"));
    const QString text = pdfText(documents.first());
    for (int line = 1; line <= 80; ++line)
        EXPECT_EQ(text.count(QStringLiteral("Central line %1\n").arg(line)), 1) << line;
    EXPECT_TRUE(pdfFiles(m_pdfFolder).isEmpty()); // nothing went to the built-in printer
}

namespace {

struct Setting {
    const char *name;
    int32_t paperSize, orientation, copies, quality, bin;
    int width, height;  // the media the printer is asked for, hundredths of a millimetre, upright
    int printQuality;   // as IPP numbers it: 3 draft, 4 normal, 5 high
    const char *source; // the tray, or nullptr for the printer's own choice
};

} // namespace

TEST_F(Network, EachPaperSettingArrivesAtThePrinterAsTheJobsAttributesAndItsPages)
{
    const Setting settings[] = {
        {"Letter", spPaperLetter, spOrientationPortrait, 1, spQualityMedium, spPaperBinAuto, 21590, 27940, 4, nullptr},
        {"A4 landscape", spPaperA4, spOrientationLandscape, 2, spQualityHigh, spPaperBinManual, 21000, 29700, 5, "manual"},
        {"Legal", spPaperLegal, spOrientationPortrait, 3, spQualityDraft, spPaperBinUpper, 21590, 35560, 3, "main"},
        {"Envelope 10", spPaperEnv10, spOrientationPortrait, 1, spQualityLow, spPaperBinAuto, 10477, 24130, 3, nullptr},
    };
    int expectedJobs = 0;
    for (const Setting &s : settings) {
        SCOPED_TRACE(s.name);
        std::vector<std::string> events;
        events = jobOnOffice([&](Corvane &doc, EventRecorder &) {
            doc.setPaperSize(s.paperSize);
            doc.setPaperOrientation(s.orientation);
            doc.setCopies(static_cast<int16_t>(s.copies));
            doc.setPrintQuality(s.quality);
            doc.setPaperBin(s.bin);
            doc.setDocText(lines(QString::fromLatin1(s.name).remove(QLatin1Char(' ')), 10));
            EXPECT_TRUE(doc.PrintDoc().isEmpty());
        });
        ASSERT_EQ(events.back(), "PrintComplete");
        ++expectedJobs;
        const QMap<int, QString> documents = waitForDocuments(expectedJobs);
        ASSERT_EQ(documents.size(), expectedJobs);
        const int id = documents.lastKey();
        const QJsonObject job = jobAt(id);
        ASSERT_FALSE(job.isEmpty()) << "the printer does not know job " << id;
        const QJsonObject media = job.value(QStringLiteral("media-col")).toObject();
        const QJsonObject size = media.value(QStringLiteral("media-size")).toObject();
        EXPECT_EQ(size.value(QStringLiteral("x-dimension")).toInt(), s.width);
        EXPECT_EQ(size.value(QStringLiteral("y-dimension")).toInt(), s.height);
        EXPECT_EQ(job.value(QStringLiteral("copies")).toInt(1), s.copies);
        EXPECT_EQ(job.value(QStringLiteral("print-quality")).toInt(), s.printQuality);
        if (s.source) {
            EXPECT_EQ(media.value(QStringLiteral("media-source")).toString(), QLatin1String(s.source));
        }
        // The document: the job's one page (copies are the printer's), the size of the sheet as
        // it lies in the printer; a landscape page is turned onto it.
        const QString pdf = documents.last();
        EXPECT_EQ(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("1"));
        const QStringList box = pdfInfo(pdf, QStringLiteral("Page size")).split(QLatin1Char(' '));
        const int rotation = pdfInfo(pdf, QStringLiteral("Page rot")).toInt();
        ASSERT_GE(box.size(), 3);
        double w = box[0].toDouble(), h = box[2].toDouble();
        if (rotation % 180 != 0)
            std::swap(w, h);
        EXPECT_NEAR(w, s.width / 2540.0 * 72, 1.0);
        EXPECT_NEAR(h, s.height / 2540.0 * 72, 1.0);
        const QString text = pdfText(pdf);
        const QString tag = QString::fromLatin1(s.name).remove(QLatin1Char(' '));
        for (int line = 1; line <= 10; ++line)
            EXPECT_EQ(text.count(QStringLiteral("%1 line %2\n").arg(tag).arg(line)), 1) << line;
    }
}

TEST_F(Network, APaperSizeThePrinterHasNotIsSkippedNotPrintedOnAnotherSize)
{
    // A3 is not among the printer's sizes: the setting is skipped, as any paper setting a
    // printer refuses, and the job prints on the size the printer had, scaled to nothing.
    std::vector<std::string> events;
    int32_t kept = 0;
    events = jobOnOffice([&](Corvane &doc, EventRecorder &) {
        doc.setPaperSize(spPaperLegal);
        doc.setDocText(u"First on legal");
        EXPECT_TRUE(doc.PrintDoc().isEmpty());
        doc.setPaperSize(spPaperA3);
        doc.setDocText(u"Asked for A3");
        EXPECT_TRUE(doc.PrintDoc().isEmpty());
        kept = doc.PaperSize();
    });
    EXPECT_EQ(std::count(events.begin(), events.end(), "PrintComplete"), 2);
    const QMap<int, QString> documents = waitForDocuments(2);
    ASSERT_EQ(documents.size(), 2);
    const QJsonObject size = jobAt(documents.lastKey())
                                 .value(QStringLiteral("media-col"))
                                 .toObject()
                                 .value(QStringLiteral("media-size"))
                                 .toObject();
    EXPECT_EQ(size.value(QStringLiteral("x-dimension")).toInt(), 21590); // legal, as before
    EXPECT_EQ(size.value(QStringLiteral("y-dimension")).toInt(), 35560);
    EXPECT_EQ(pdfInfo(documents.last(), QStringLiteral("Page size")).section(QLatin1Char(' '), 0, 2),
              QStringLiteral("612 x 1008"));
    EXPECT_TRUE(pdfText(documents.last()).contains(QStringLiteral("Asked for A3")));
    EXPECT_EQ(kept, spPaperA3); // the property keeps what the caller set
}

namespace {

// A job of 50 pages whose words are known; a handler can act at one of its pages.
struct PageHook : EventSink {
    int page = 0;
    std::function<void()> action;
    void PrintProgress(Variant &number) override
    {
        if (number.toLong() == page && action)
            action();
    }
};

} // namespace

TEST_F(Network, AServerGoneBeforeOrDuringAJobIsAnErrorInBoundedTimeAndNothingPrintsTwice)
{
    // Gone before the job: stopped after the printer was chosen.
    std::vector<std::string> events;
    qint64 waited = 0;
    events = jobOnOffice([&](Corvane &doc, EventRecorder &) {
        stopServer();
        doc.setDocText(lines(QStringLiteral("Gone"), 10));
        QElapsedTimer timer;
        timer.start();
        doc.PrintDoc();
        waited = timer.elapsed();
    });
    EXPECT_TRUE(isCupsRefusal(events.back(), "Office", "cannot be reached")) << events.back();
    EXPECT_EQ(std::count(events.begin(), events.end(), "PrintComplete"), 0);
    EXPECT_LT(waited, 15000);
    startServer();

    // Gone during a job of 50 pages: frozen at page 25 (it takes connections and never answers),
    // killed once the job has failed.
    waited = 0;
    events.clear();
    events = jobOnOffice([&](Corvane &doc, EventRecorder &) {
        PageHook freeze;
        freeze.page = 25;
        freeze.action = [] { ::kill(static_cast<pid_t>(serverPid()), SIGSTOP); };
        doc.subscribe(&freeze);
        doc.setDocText(lines(QStringLiteral("Frozen"), 2000));
        QElapsedTimer timer;
        timer.start();
        doc.PrintDoc();
        waited = timer.elapsed();
        doc.unsubscribe(&freeze);
    });
    ::kill(static_cast<pid_t>(serverPid()), SIGKILL);
    EXPECT_TRUE(isCupsRefusal(events.back(), "Office", "did not answer within 5 s")) << events.back();
    EXPECT_EQ(std::count(events.begin(), events.end(), "PrintComplete"), 0);
    EXPECT_LT(waited, 30000); // the 50 pages, then the timeout of 5 s once for the whole job
    startServer();
    // A server that did not answer is not waited for again for as long as the timeout.
    QThread::sleep(5);

    // Back again, the server prints the next job, and only it: nothing of the two failed jobs.
    events.clear();
    events = jobOnOffice([&](Corvane &doc, EventRecorder &) {
        doc.setDocText(lines(QStringLiteral("Back"), 10));
        EXPECT_TRUE(doc.PrintDoc().isEmpty());
    });
    ASSERT_EQ(events.back(), "PrintComplete");
    const QMap<int, QString> documents = waitForDocuments(1);
    QThread::sleep(3); // anything else would have come by now
    ASSERT_EQ(newDocuments().size(), 1);
    const QString text = pdfText(documents.first());
    EXPECT_TRUE(text.contains(QStringLiteral("Back line 10\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("Gone")));
    EXPECT_FALSE(text.contains(QStringLiteral("Frozen")));
}

TEST_F(Network, ASilentServerHoldsListingAndChoosingForTheTimeoutAtMost)
{
    // A server that takes connections and never answers: the listing and the choice come back
    // within the timeout (5 s here) and a little, with the built-in printer.
    ::kill(static_cast<pid_t>(serverPid()), SIGSTOP);
    std::vector<std::string> printers, events;
    qint64 listing = 0, choosing = 0;
    onThread([&] {
        Corvane doc{&qt::qtPlatform()};
        EventRecorder recorder;
        doc.subscribe(&recorder);
        QElapsedTimer timer;
        timer.start();
        Variant count;
        const Variant names = doc.GetPrinters(&count);
        listing = timer.elapsed();
        for (const Variant &name : names.elements())
            printers.push_back(toUtf8(name.toString()));
        timer.restart();
        doc.SetPrinter(u"Office");
        choosing = timer.elapsed();
        // The printer could not be looked for: it is chosen as named, and its job says what
        // became of it rather than going to the built-in printer.
        doc.setDocText(u"Silent");
        doc.PrintDoc();
        events = recorder.events;
    });
    ::kill(static_cast<pid_t>(serverPid()), SIGCONT);
    // A server that did not answer is not asked again for as long as the timeout: the next
    // tests wait that out.
    QThread::sleep(6);
    EXPECT_EQ(printers, std::vector<std::string>{"Corvane PDF"});
    EXPECT_LT(listing, 10000);
    EXPECT_LT(choosing, 10000);
    EXPECT_TRUE(isCupsRefusal(events.back(), "Office", "did not answer within 5 s")) << events.back();
    EXPECT_TRUE(pdfFiles(m_pdfFolder).isEmpty());
}

TEST_F(Network, AQueueTheServerRefusesIsAnErrorAndTakesJobsAgainOnceAccepting)
{
    run(QStringLiteral("cupsreject"), {QStringLiteral("-h"), server(), QStringLiteral("Office")});
    std::vector<std::string> refused, accepted;
    accepted = jobOnOffice([&](Corvane &doc, EventRecorder &recorder) {
        doc.setDocText(lines(QStringLiteral("Refused"), 5));
        doc.PrintDoc();
        refused = recorder.events;
        run(QStringLiteral("cupsaccept"), {QStringLiteral("-h"), server(), QStringLiteral("Office")});
        recorder.events.clear();
        doc.setDocText(lines(QStringLiteral("Accepted"), 5));
        EXPECT_TRUE(doc.PrintDoc().isEmpty());
    });
    run(QStringLiteral("cupsaccept"), {QStringLiteral("-h"), server(), QStringLiteral("Office")});
    EXPECT_TRUE(isCupsRefusal(refused.back(), "Office", "not accepting jobs")) << refused.back();
    EXPECT_EQ(accepted.back(), "PrintComplete");
    const QMap<int, QString> documents = waitForDocuments(1);
    QThread::sleep(2);
    ASSERT_EQ(newDocuments().size(), 1);
    EXPECT_TRUE(pdfText(documents.first()).contains(QStringLiteral("Accepted line 5\n")));
}

TEST_F(Network, APrinterGoneBehindARunningServerGetsTheJobOnceItIsBack)
{
    // The server takes the job (PrintComplete: it has all of it) and holds it while its printer
    // is away; the printer, back on the same address, receives it once.
    run(QStringLiteral("bash"), {script("ipp-printer.sh"), QStringLiteral("stop"), printerDir()});
    std::vector<std::string> events;
    events = jobOnOffice([&](Corvane &doc, EventRecorder &) {
        doc.setDocText(lines(QStringLiteral("Held"), 10));
        EXPECT_TRUE(doc.PrintDoc().isEmpty());
    });
    EXPECT_EQ(events.back(), "PrintComplete");
    const ProcessResult held = run(QStringLiteral("lpstat"),
                                   {QStringLiteral("-h"), server(), QStringLiteral("-o"), QStringLiteral("Office")});
    EXPECT_TRUE(held.out.contains(QStringLiteral("Office-"))) << held.out.toStdString();
    // The printer starts again with a new spool: its job numbers start again too.
    const QString again = s_dir->filePath(QStringLiteral("printer-again"));
    ASSERT_EQ(run(QStringLiteral("bash"), {script("ipp-printer.sh"), QStringLiteral("start"), again,
                                           QString::number(s_printerPort), QStringLiteral("Office")})
                  .exitCode,
              0);
    QStringList arrived;
    waitUntil(
        [&] {
            arrived = QDir(again + QStringLiteral("/spool")).entryList({QStringLiteral("*.pdf")}, QDir::Files);
            return !arrived.isEmpty()
                && jobAttributes(printerUri(), arrived.first().section(QLatin1Char('-'), 0, 0).toInt())
                           .value(QStringLiteral("job-state"))
                           .toInt()
                       >= 5;
        },
        120);
    QThread::sleep(3);
    arrived = QDir(again + QStringLiteral("/spool")).entryList({QStringLiteral("*.pdf")}, QDir::Files);
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(pdfText(again + QStringLiteral("/spool/") + arrived.first()).count(QStringLiteral("Held line 10\n")), 1);
    // The rest of the tests go on with this printer.
    run(QStringLiteral("bash"), {script("ipp-printer.sh"), QStringLiteral("stop"), again});
    run(QStringLiteral("bash"), {script("ipp-printer.sh"), QStringLiteral("start"), printerDir(),
                                 QString::number(s_printerPort), QStringLiteral("Office")});
}

TEST_F(Network, AConnectionCutInTheMiddleOfTheDocumentIsAnErrorAndNothingPrints)
{
    // A proxy between the component and the server passes each connection's first 3,000 bytes
    // and then closes it: the listing passes, the job's document (some 20 KB) does not.
    const int port = freePort();
    QFile proxy(s_dir->filePath(QStringLiteral("cut.py")));
    ASSERT_TRUE(proxy.open(QIODevice::WriteOnly));
    proxy.write("import socket, sys, threading, time\n"
                "listen = socket.socket(); listen.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
                "listen.bind(('127.0.0.1', int(sys.argv[1]))); listen.listen(20); listen.settimeout(0.5)\n"
                "def pipe(a, b, limit):\n"
                "    sent = 0\n"
                "    try:\n"
                "        while True:\n"
                "            data = a.recv(1024)\n"
                "            if not data or (limit and sent + len(data) > limit): break\n"
                "            b.sendall(data); sent += len(data)\n"
                "    except OSError: pass\n"
                "    for s in (a, b):\n"
                "        try: s.shutdown(socket.SHUT_RDWR); s.close()\n"
                "        except OSError: pass\n"
                "end = time.time() + 60\n"
                "while time.time() < end:\n"
                "    try: client, _ = listen.accept()\n"
                "    except socket.timeout: continue\n"
                "    server = socket.create_connection(('127.0.0.1', int(sys.argv[2])))\n"
                "    threading.Thread(target=pipe, args=(client, server, 3000), daemon=True).start()\n"
                "    threading.Thread(target=pipe, args=(server, client, 0), daemon=True).start()\n");
    proxy.close();
    QProcess cutter;
    cutter.start(QStringLiteral("python3"), {proxy.fileName(), QString::number(port), QString::number(s_serverPort)});
    ASSERT_TRUE(cutter.waitForStarted());
    // The proxy listens once Python has started, which takes a while on a busy machine.
    ASSERT_TRUE(waitUntil(
        [&] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            return probe.waitForConnected(200);
        },
        20));
    qputenv("CUPS_SERVER", QStringLiteral("127.0.0.1:%1").arg(port).toUtf8());
    QString words;
    for (int line = 1; line <= 400; ++line)
        words += QStringLiteral("Cut line %1 of a document longer than the proxy lets through\r\n").arg(line);
    const std::vector<std::string> events = jobOnOffice([&](Corvane &doc, EventRecorder &) {
        doc.setDocText(words.toStdU16String());
        doc.PrintDoc();
    });
    cutter.kill();
    cutter.waitForFinished();
    qputenv("CUPS_SERVER", server().toUtf8());
    EXPECT_TRUE(isCupsRefusal(events.back(), "Office", "broke off")) << events.back();
    EXPECT_EQ(std::count(events.begin(), events.end(), "PrintComplete"), 0);
    // Nothing of it reaches the printer. (The job the server had begun holds no document; the
    // server may keep it, empty, until it gives up on it.)
    QThread::sleep(3);
    EXPECT_TRUE(newDocuments().isEmpty());
    run(QStringLiteral("cancel"), {QStringLiteral("-h"), server(), QStringLiteral("-a"), QStringLiteral("Office")});
}
