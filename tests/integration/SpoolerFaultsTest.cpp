// Faults of the spooler and of the built-in printer's folder: each job ends in exactly one of
// PrintComplete (and the job is queued or written) or PrintError (and nothing of it anywhere),
// and the next job after a fault succeeds.
#include "support/QtTestSupport.h"

#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/mount.h>
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
    bool started = false;

private:
    QString m_folder;
};

class SpoolerFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetThreadSurface();
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
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"482|Printer error"));
    EXPECT_EQ(events.events.back(), "PrintError 482 Printer error");

    // The server stopped before the job.
    resetThreadSurface();
    doc.SetPrinter(u"Stopped");
    server.stop();
    events.events.clear();
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"482|Printer error"));
    EXPECT_EQ(std::count(events.events.begin(), events.events.end(), "PrintComplete"), 0);
    EXPECT_EQ(events.events.back(), "PrintError 482 Printer error");
    EXPECT_TRUE(QDir(QDir::tempPath()).entryList({QStringLiteral("corvane-job-*")}).isEmpty());

    // The next job, on the built-in printer, succeeds.
    events.events.clear();
    EXPECT_TRUE(doc.PrintDoc(u"Corvane PDF").isEmpty());
    EXPECT_EQ(events.events.back(), "PrintComplete");
    EXPECT_EQ(pdfFiles(folder).size(), 1);
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
    EXPECT_TRUE(run(QStringLiteral("lpstat"), {QStringLiteral("-o"), QStringLiteral("Paused")}).out.contains(QStringLiteral("Paused-")));

    addFilePrinter(QStringLiteral("Rejecting"));
    run(QStringLiteral("cupsreject"), {QStringLiteral("Rejecting")});
    resetThreadSurface();
    doc.SetPrinter(u"Rejecting");
    events.events.clear();
    EXPECT_EQ(doc.PrintDoc(), Variant::string(u"482|Printer error"));
    EXPECT_EQ(events.events, (std::vector<std::string>{"PrintProgress 1", "PrintError 482 Printer error"}));
}

TEST_F(SpoolerFaults, TheBuiltInPrintersFolderMissingReadOnlyOrFull)
{
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("pdf"));
    qputenv("CORVANE_PDF_DIR", QFile::encodeName(folder));
    doc.setDocText(UString(20000, u'w')); // some pages

    // Missing.
    EXPECT_EQ(doc.PrintDoc(u"Corvane PDF"), Variant::string(u"76|Path not found"));

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
