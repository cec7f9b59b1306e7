// Faults of the spooler and of the built-in printer's folder: each job ends in exactly one of
// PrintComplete (and the job is queued or written) or PrintError (and nothing of it anywhere),
// and the next job after a fault succeeds.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <thread>
#include <unistd.h>

using namespace corvane;
using namespace corvane::testing;

namespace {

const QString kServerScript = QStringLiteral(CORVANE_SOURCE_DIR "/scripts/cups-server.sh");

// A CUPS server of the test's own, chosen before anything in the process asked CUPS.
class OwnCupsServer {
public:
    explicit OwnCupsServer(const QString &folder)
        : m_folder(folder)
    {
        started = run(kServerScript, {QStringLiteral("start"), folder}).exitCode == 0;
        qputenv("CUPS_SERVER", QFile::encodeName(folder + QStringLiteral("/cups.sock")));
        qputenv("CORVANE_TEST_CUPS_DIR", QFile::encodeName(folder));
    }
    ~OwnCupsServer() { stop(); }
    void stop() { run(kServerScript, {QStringLiteral("stop"), m_folder}); }
    bool restart() { return run(kServerScript, {QStringLiteral("start"), m_folder}).exitCode == 0; }
    pid_t pid() const
    {
        QFile file(m_folder + QStringLiteral("/pid"));
        return file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : 0;
    }
    bool started = false;

private:
    QString m_folder;
};

class SpoolerFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
        // Jobs' temporary files go to a folder of this test's own, where no other test's are.
        QDir().mkpath(dir.filePath(QStringLiteral("tmp")));
        qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("tmp"))));
        doc.subscribe(&events);
        doc.setDocText(u"Fault test body");
    }
    void TearDown() override { resetThreadSurface(); }

    QTemporaryDir dir;
    Corvane doc{&qt::qtPlatform()};
    EventRecorder events;
};

} // namespace

TEST_F(SpoolerFaults, AStoppedServerAndADeletedPrinterAreErrorsAndNothingIsLeft)
{
    REQUIRE_CUPS();
    OwnCupsServer server(dir.filePath(QStringLiteral("cups")));
    ASSERT_TRUE(server.started);
    addFilePrinter(QStringLiteral("Gone"));
    addFilePrinter(QStringLiteral("Stopped"));
    const QString folder = freshPdfFolder(QStringLiteral("faults"));

    // The printer deleted between SetPrinter and PrintDoc.
    doc.SetPrinter(u"Gone");
    removePrinter(QStringLiteral("Gone"));
    EXPECT_TRUE(isCupsRefusal(toUtf8(doc.PrintDoc().toString()), "Gone", "does not exist"));
    EXPECT_TRUE(isCupsRefusal(events.events.back(), "Gone", "does not exist")) << events.events.back();

    // The server stopped before the job.
    resetThreadSurface();
    doc.SetPrinter(u"Stopped");
    server.stop();
    events.events.clear();
    EXPECT_TRUE(isCupsRefusal(toUtf8(doc.PrintDoc().toString()), "Stopped", "cannot be reached"));
    EXPECT_EQ(std::count(events.events.begin(), events.events.end(), "PrintComplete"), 0);
    EXPECT_TRUE(isCupsRefusal(events.events.back(), "Stopped", "cannot be reached")) << events.events.back();
    EXPECT_TRUE(QDir(QDir::tempPath()).entryList({QStringLiteral("corvane-job-*")}).isEmpty());

    // The next job, on the built-in printer, succeeds.
    events.events.clear();
    EXPECT_TRUE(doc.PrintDoc(u"Corvane PDF").isEmpty());
    EXPECT_EQ(events.events.back(), "PrintComplete");
    EXPECT_EQ(pdfFiles(folder).size(), 1);
}

TEST_F(SpoolerFaults, AServerKilledDuringAFiftyPageJobIsAnErrorAndTheJobIsNowhere)
{
    REQUIRE_CUPS();
    OwnCupsServer server(dir.filePath(QStringLiteral("cups")));
    ASSERT_TRUE(server.started);
    addFilePrinter(QStringLiteral("Killed"));
    doc.SetPrinter(u"Killed");
    UString text;
    for (int line = 1; line <= 2600; ++line)
        text += u"Line " + decimal(line) + u" of the job that meets a dead server\n";
    doc.setDocText(text);

    // Halfway through the pages the server freezes and, a second later, is killed: by then the
    // job has reached the spooler and is waiting on a server that will never answer.
    struct Killer : EventSink {
        pid_t server = 0;
        std::thread thread;
        void PrintProgress(Variant &page) override
        {
            if (page.toLong() != 25)
                return;
            ::kill(server, SIGSTOP);
            thread = std::thread([pid = server] {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                ::kill(pid, SIGKILL);
            });
        }
    } killer;
    killer.server = server.pid();
    ASSERT_GT(killer.server, 0);
    doc.subscribe(&killer);
    const Variant result = doc.PrintDoc();
    killer.thread.join();
    doc.unsubscribe(&killer);

    EXPECT_TRUE(isCupsRefusal(toUtf8(result.toString()), "Killed"));
    EXPECT_EQ(std::count_if(events.events.begin(), events.events.end(),
                            [](const std::string &e) { return e.rfind("PrintProgress", 0) == 0; }),
              events.events.size() - 1); // 50 pages then the error, nothing else
    EXPECT_TRUE(isCupsRefusal(events.events.back(), "Killed")) << events.events.back();
    EXPECT_GE(events.events.size(), 51u);
    EXPECT_TRUE(QDir(QDir::tempPath()).entryList({QStringLiteral("corvane-job-*")}).isEmpty());

    // Started again, the server has no trace of the job, and the next job prints.
    ASSERT_TRUE(server.restart());
    EXPECT_TRUE(run(QStringLiteral("lpstat"),
                    {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), QStringLiteral("Killed")})
                    .out.trimmed()
                    .isEmpty());
    EXPECT_FALSE(QFileInfo::exists(printerOutput(QStringLiteral("Killed"))));
    // A killed server may not have saved its printer list: the printer is added again if so.
    if (!run(QStringLiteral("lpstat"), {QStringLiteral("-p"), QStringLiteral("Killed")})
             .out.contains(QStringLiteral("Killed")))
        addFilePrinter(QStringLiteral("Killed"));
    resetThreadSurface();
    doc.SetPrinter(u"Killed");
    EXPECT_EQ(threadSurface(qt::qtPlatform()).currentDeviceName(), u"Killed");
    events.events.clear();
    doc.setDocText(u"After the restart");
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_EQ(events.events.back(), "PrintComplete");
    EXPECT_TRUE(waitForPrinterOutput(QStringLiteral("Killed")));
    EXPECT_TRUE(pdfText(printerOutput(QStringLiteral("Killed"))).contains(QStringLiteral("After the restart")));
}

TEST_F(SpoolerFaults, ADisabledPrinterQueuesTheJobAndARejectingOneRefusesIt)
{
    REQUIRE_CUPS();
    OwnCupsServer server(dir.filePath(QStringLiteral("cups")));
    ASSERT_TRUE(server.started);
    addFilePrinter(QStringLiteral("Paused"));
    run(QStringLiteral("cupsdisable"), {QStringLiteral("Paused")});
    doc.SetPrinter(u"Paused");
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_EQ(events.events.back(), "PrintComplete");
    EXPECT_TRUE(run(QStringLiteral("lpstat"), {QStringLiteral("-o"), QStringLiteral("Paused")})
                    .out.contains(QStringLiteral("Paused-")));

    addFilePrinter(QStringLiteral("Rejecting"));
    run(QStringLiteral("cupsreject"), {QStringLiteral("Rejecting")});
    resetThreadSurface();
    doc.SetPrinter(u"Rejecting");
    events.events.clear();
    EXPECT_TRUE(isCupsRefusal(toUtf8(doc.PrintDoc().toString()), "Rejecting", "not accepting jobs"));
    ASSERT_EQ(events.events.size(), 2u);
    EXPECT_EQ(events.events[0], "PrintProgress 1");
    EXPECT_TRUE(isCupsRefusal(events.events[1], "Rejecting", "not accepting jobs")) << events.events[1];
}

TEST_F(SpoolerFaults, TheBuiltInPrintersFolderMissingReadOnlyOrFull)
{
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("pdf"));
    qputenv("CORVANE_PDF_DIR", QFile::encodeName(folder));
    doc.setDocText(UString(20000, u'w')); // some pages

    // Missing: the error names the folder.
    EXPECT_EQ(doc.PrintDoc(u"Corvane PDF"), Variant::string(u"76|Path not found: the folder of the printer Corvane PDF, "
                                                            + folder.toStdU16String() + u", does not exist"));

    // Full: a small file system of its own, where the machine allows mounting one.
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(folder);
    if (getuid() == 0 && mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") == 0) {
        QFile filler(folder + QStringLiteral("/filler.bin"));
        filler.open(QIODevice::WriteOnly);
        filler.write(QByteArray(60 * 1024, 'f')); // about 4 KB left
        filler.close();
        events.events.clear();
        const Variant result = doc.PrintDoc(u"Corvane PDF");
        EXPECT_TRUE(result.toString().find(u"61|") == 0 || result.toString().find(u"57|") == 0)
            << toUtf8(result.toString());
        EXPECT_EQ(events.events.back().rfind("PrintError", 0), 0u);
        // Nothing half-written: only the filler is there.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("filler.bin")});

        // Read-only.
        mount("tmpfs", path.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr);
        const Variant readOnly = doc.PrintDoc(u"Corvane PDF");
        EXPECT_EQ(readOnly.toString().substr(0, 3), u"70|") << toUtf8(readOnly.toString());
        umount(path.constData());
    }

    // The next job succeeds.
    events.events.clear();
    doc.setDocText(u"after the faults");
    EXPECT_TRUE(doc.PrintDoc(u"Corvane PDF").isEmpty());
    EXPECT_EQ(pdfFiles(folder).size(), 1);
}

TEST_F(SpoolerFaults, AFileSizeLimitEndsTheJobInDiskFullNotInASignal)
{
    // With files limited to 100 KB (ulimit -f 100) a job larger than that fails its write with
    // EFBIG and ends in "Disk full", on every route that writes its PDF, leaving nothing behind
    // (no PDF, no temporary file); the process lives, and the next job prints.
    const QString folder = freshPdfFolder(QStringLiteral("file-size-limit"));
    UString text;
    for (int i = 0; i < 40000; ++i)
        text += u"Limit" + decimal(i) + u" ";
    doc.setDocText(text);
    QByteArray rtf = "{\\rtf1\\ansi ";
    for (int i = 0; i < 40000; ++i)
        rtf += "Limit" + QByteArray::number(i) + (i % 50 == 49 ? "\\par " : " ");
    rtf += "}";

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = 100 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const Variant direct = doc.PrintDoc(u"Corvane PDF");
    qputenv("CORVANE_QT_TEXT_ONLY", "1");
    const Variant throughQt = doc.PrintDoc(u"Corvane PDF");
    qunsetenv("CORVANE_QT_TEXT_ONLY");
    const Variant richText = doc.PrintRTFData(QString::fromLatin1(rtf).toStdU16String());
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(direct, Variant::string(u"61|Disk full"));
    EXPECT_EQ(throughQt, Variant::string(u"61|Disk full"));
    EXPECT_EQ(richText, Variant::string(u"61|Disk full"));
    EXPECT_EQ(events.events.back(), "PrintError 61 Disk full");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("tmp"))).entryList(QDir::Files | QDir::Hidden), QStringList());

    doc.setDocText(u"after the limit");
    EXPECT_TRUE(doc.PrintDoc(u"Corvane PDF").isEmpty());
    EXPECT_EQ(pdfFiles(folder).size(), 1);
}

TEST_F(SpoolerFaults, ATimeoutThatIsNotAWholeNumberOfSecondsIsRefusedByName)
{
    REQUIRE_CUPS();
    addFilePrinter(QStringLiteral("Timed"));
    const QString folder = freshPdfFolder(QStringLiteral("timeout"));
    for (const char *value : {"abc", "-5", "0", "3601", "2.5"}) {
        SCOPED_TRACE(value);
        qputenv("CORVANE_CUPS_TIMEOUT", value);
        resetThreadSurface();
        Variant count;
        std::vector<std::string> printers;
        const Variant names = doc.GetPrinters(&count);
        for (const Variant &name : names.elements())
            printers.push_back(toUtf8(name.toString()));
        EXPECT_EQ(printers, std::vector<std::string>{"Corvane PDF"});
        doc.SetPrinter(u"Timed");
        EXPECT_EQ(toUtf8(doc.PrintDoc().toString()),
                  std::string("5|Invalid procedure call or argument: CORVANE_CUPS_TIMEOUT must be a whole number of "
                              "seconds from 1 to 3600, not \"")
                      + value + "\"");
        // The built-in printer does not need the server.
        EXPECT_TRUE(doc.PrintDoc(u"Corvane PDF").isEmpty());
    }
    qunsetenv("CORVANE_CUPS_TIMEOUT");
    EXPECT_EQ(pdfFiles(folder).size(), 5);
}

TEST_F(SpoolerFaults, EachCupsJobIsNamedAfterItsDocument)
{
    REQUIRE_CUPS();
    addFilePrinter(QStringLiteral("Named"));
    run(QStringLiteral("cupsdisable"), {QStringLiteral("Named")}); // the jobs stay queued, names and all
    const QString text = dir.filePath(QStringLiteral("Invoice 17.txt"));
    const QString rtf = dir.filePath(QStringLiteral("Letter to Smith.rtf"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Invoice seventeen\n");
        QFile letter(rtf);
        ASSERT_TRUE(letter.open(QIODevice::WriteOnly));
        letter.write("{\\rtf1\\ansi Dear Smith\\par}");
    }
    // A PDF of the built-in printer's, to print as a file.
    const QString folder = freshPdfFolder(QStringLiteral("named"));
    ASSERT_TRUE(doc.PrintDoc(u"Corvane PDF").isEmpty());
    const QString statement = dir.filePath(QStringLiteral("Statement March.pdf"));
    ASSERT_TRUE(QFile::copy(pdfFiles(folder).value(0), statement));

    doc.SetPrinter(u"Named");
    doc.setDocTitle(u"Invoice 4711");
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    doc.setDocTitle(u"");
    doc.setFileName(text.toStdU16String());
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    doc.setFileName(u"");
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    EXPECT_TRUE(doc.PrintTextFile(text.toStdU16String()).isEmpty());
    EXPECT_TRUE(doc.PrintRTFFile(rtf.toStdU16String()).isEmpty());
    EXPECT_TRUE(doc.PrintText(u"No name").isEmpty());
    EXPECT_TRUE(doc.PrintPDFFile(statement.toStdU16String()).isEmpty());
    // A title longer than a request can carry still names its job, with as many whole
    // characters as fit in 255 bytes (lpq shows the first 39: 11 bytes, 14 two-byte letters).
    doc.setDocTitle(u"Long title " + UString(40000, u'\u00E9'));
    EXPECT_TRUE(doc.PrintDoc().isEmpty());
    doc.setDocTitle(u"");

    // lpq's long listing: a line for each job's owner, then one with the job's name and size.
    const QStringList listing = run(QStringLiteral("lpq"),
                                    {QStringLiteral("-l"), QStringLiteral("-P"), QStringLiteral("Named")})
                                    .out.split(QLatin1Char('\n'));
    QStringList names;
    static const QRegularExpression job(QStringLiteral("^\\s+(.*\\S)\\s+\\d+ bytes$"));
    for (const QString &line : listing)
        if (const QRegularExpressionMatch match = job.match(line); match.hasMatch())
            names << match.captured(1);
    run(QStringLiteral("cancel"), {QStringLiteral("-a"), QStringLiteral("Named")});
    EXPECT_EQ(names.join(QStringLiteral(" | ")).toStdString(),
              "Invoice 4711 | Invoice 17.txt | Corvane document | Invoice 17.txt | Letter to Smith.rtf | "
              "Corvane document | Statement March.pdf | Long title "
                  + QString(14, QChar(0x00E9)).toStdString());
}

namespace {

// A print server on 127.0.0.1 that misbehaves in one way (misbehaving-print-server.py beside
// this file): it says the port it took, and ends with the object.
class MisbehavingServer {
public:
    explicit MisbehavingServer(const char *mode)
    {
        m_process.start(QStringLiteral("python3"),
                        {QStringLiteral(CORVANE_SOURCE_DIR "/tests/integration/misbehaving-print-server.py"),
                         QString::fromLatin1(mode)});
        if (m_process.waitForReadyRead(10000))
            port = m_process.readLine().trimmed().toInt();
    }
    ~MisbehavingServer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QByteArray address() const { return "127.0.0.1:" + QByteArray::number(port); }
    int port = 0;

private:
    QProcess m_process;
};

// What the caller of each method heard from a server, with the timeout at 3 s, and how long
// each call took.
struct Heard {
    std::vector<std::string> printers;
    std::string printDoc, printText; // the last event of each job
    qint64 listing = 0, docTime = 0, textTime = 0;
};

// GetPrinters, then PrintDoc and PrintText (the rich-text route) on "Office", by a new object on
// a thread of its own (CUPS reads CUPS_SERVER once a thread).
Heard askServer(const QByteArray &server)
{
    const QByteArray saved = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", server);
    qputenv("CORVANE_CUPS_TIMEOUT", "3");
    Heard heard;
    std::thread thread([&] {
        Corvane doc{&qt::qtPlatform()};
        EventRecorder recorder;
        doc.subscribe(&recorder);
        QElapsedTimer timer;
        timer.start();
        Variant count;
        const Variant names = doc.GetPrinters(&count);
        for (const Variant &name : names.elements())
            heard.printers.push_back(toUtf8(name.toString()));
        heard.listing = timer.restart();
        doc.SetPrinter(u"Office");
        doc.setDocText(u"Misbehaving server body");
        doc.PrintDoc();
        heard.docTime = timer.restart();
        heard.printDoc = recorder.events.empty() ? std::string() : recorder.events.back();
        recorder.events.clear();
        doc.PrintText(u"Rich text for a misbehaving server");
        heard.textTime = timer.elapsed();
        heard.printText = recorder.events.empty() ? std::string() : recorder.events.back();
    });
    thread.join();
    qputenv("CUPS_SERVER", saved);
    qunsetenv("CORVANE_CUPS_TIMEOUT");
    return heard;
}

struct Misbehaviour {
    const char *mode;
    std::vector<std::string> printers; // what GetPrinters lists
    const char *why;                   // what the job's error says of the server
};

// Shown by its mode in the test's output.
void PrintTo(const Misbehaviour &m, std::ostream *out) { *out << m.mode; }

class MisbehavingServers : public ::testing::TestWithParam<Misbehaviour> {
protected:
    void SetUp() override { resetThreadSurface(); }
    void TearDown() override { resetThreadSurface(); }
};

} // namespace

// Whatever the server does, every call returns within the timeout (3 s) and 2 s more, a job ends
// in PrintError 482 saying what the server did, and nothing ever asks for a password.
TEST_P(MisbehavingServers, EveryCallEndsWithinTheTimeoutAndAJobIsAnError)
{
    const Misbehaviour &m = GetParam();
    MisbehavingServer server(m.mode);
    ASSERT_GT(server.port, 0);
    const Heard heard = askServer(server.address());
    EXPECT_EQ(heard.printers, m.printers);
    EXPECT_LT(heard.listing, 5000);
    EXPECT_LT(heard.docTime, 5000);
    EXPECT_LT(heard.textTime, 5000);
    EXPECT_TRUE(isCupsRefusal(heard.printDoc, "Office", m.why)) << heard.printDoc;
    EXPECT_TRUE(isCupsRefusal(heard.printText, "Office", m.why)) << heard.printText;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MisbehavingServers,
    ::testing::Values(Misbehaviour{"password", {"Corvane PDF"}, "the print server asks for a password"},
                      Misbehaviour{"password-job", {"Office", "Corvane PDF"}, "the print server asks for a password"},
                      Misbehaviour{"drip", {"Corvane PDF"}, "did not answer within 3 s"},
                      Misbehaviour{"endless", {"Corvane PDF"}, "did not answer within 3 s"},
                      Misbehaviour{"huge-ppd", {"Office", "Corvane PDF"}, "did not answer within 3 s"},
                      Misbehaviour{"redirect", {"Corvane PDF"}, "the print server redirected"},
                      Misbehaviour{"silent", {"Corvane PDF"}, "did not answer within 3 s"}),
    [](const ::testing::TestParamInfo<Misbehaviour> &param) {
        std::string name = param.param.mode;
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });
