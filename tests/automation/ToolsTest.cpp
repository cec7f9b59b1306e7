// The command-line tool and the script host, run as programs.
#include "support/QtTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

using namespace corvane::testing;

namespace {

const QString kBin = QStringLiteral(CORVANE_BIN_DIR);
const QString kScripts = QStringLiteral(CORVANE_SCRIPTS_DIR);

ProcessResult cli(const QStringList &args) { return run(kBin + QStringLiteral("/corvane"), args); }

ProcessResult script(const QString &name)
{
    return run(kBin + QStringLiteral("/corvane-script"), {kScripts + QLatin1Char('/') + name});
}

} // namespace

TEST(CommandLine, SetsReadsAndCallsLeftToRight)
{
    const auto r = cli({"marginleft=720", "MarginLeft", "MarginTop=199", "MarginTop", "PaperSize=spPaperA4",
                        "PaperSize", "GetPrinters", "--", "Copies"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "720");
    EXPECT_EQ(lines[1], "1440");
    EXPECT_EQ(lines[2], "9");
    EXPECT_EQ(lines[lines.size() - 2], "Corvane PDF"); // the printers, one a line
    EXPECT_EQ(lines.last(), "1");
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST(CommandLine, ReportsEventsAndErrorsByExitStatus)
{
    const auto failed = cli({"PrintTextFile", "missing.txt"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.startsWith(QStringLiteral("PrintError "))) << failed.err.toStdString();

    const auto unknown = cli({"Colour=red"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("Colour")));
    const auto unknownMethod = cli({"Fly"});
    EXPECT_EQ(unknownMethod.exitCode, 2);
    EXPECT_TRUE(unknownMethod.err.contains(QStringLiteral("Fly")));
    const auto mismatch = cli({"MarginLeft=wide"});
    EXPECT_EQ(mismatch.exitCode, 2);
    EXPECT_TRUE(mismatch.err.contains(QStringLiteral("Type mismatch")));

    const auto help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("Examples")));
}

TEST(ScriptHost, DrivesTheObjectLateBoundAndBridgesEvents)
{
    const auto r = script(QStringLiteral("latebinding.js"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList({"margin 720", "top 1440", "paper 9", "title 2.5", "last printer Corvane PDF",
                           "error -1 File Not Found!", "result -1|File Not Found!",
                           "caught Run-time error 438: Object doesn't support this property or method",
                           "caught Run-time error 13: Type mismatch"}));
}

TEST(ScriptHost, AnUncaughtErrorEndsWithStatusOne)
{
    const auto r = script(QStringLiteral("uncaught.js"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.trimmed(), "before");
    EXPECT_TRUE(r.err.contains(QStringLiteral("Run-time error 438"))) << r.err.toStdString();
}

TEST(Component, CreatesItsOwnApplicationOrRefusesACoreOnlyOne)
{
    const QString probe = kBin + QStringLiteral("/corvane-app-probe");
    const QString pdf = freshPdfFolder(QStringLiteral("probe"));
    const auto none = run(probe, {"none"}, {"QT_QPA_PLATFORM=", "CORVANE_PDF_DIR=" + pdf});
    EXPECT_EQ(none.exitCode, 0) << none.err.toStdString();
    const QStringList lines = none.out.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" Corvane PDF"))) << none.out.toStdString();
    EXPECT_FALSE(lines[0].startsWith(QStringLiteral("0 ")));
    EXPECT_EQ(lines[1], QString()); // printed: an Empty result
    EXPECT_EQ(pdfFiles(pdf).size(), 1);

    const auto core = run(probe, {"core"});
    EXPECT_EQ(core.exitCode, 0) << core.err.toStdString();
    EXPECT_TRUE(core.out.startsWith(QStringLiteral("0 \n482|Printer error: printing needs a Qt GUI application")))
        << core.out.toStdString();
}

TEST(Component, PrintsHtmlInAProgramsOwnApplicationOrSaysWhatItNeeds)
{
    const QString probe = kBin + QStringLiteral("/corvane-app-probe");
    const QString pdf = freshPdfFolder(QStringLiteral("probe-html"));
    const QStringList env{"CORVANE_PDF_DIR=" + pdf};
    // Without shared contexts the page is refused at once, saying what to do, and nothing crashes.
    const auto plain = run(probe, {"gui"}, env);
    EXPECT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out.trimmed(),
              QStringLiteral("445|Object doesn't support this action: HTML printing needs "
                             "QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts) before the program makes its "
                             "QApplication|1"));
    EXPECT_EQ(pdfFiles(pdf).size(), 0);
    // With them the page prints, and the program returns from main normally with its output.
    const auto shared = run(probe, {"gui-shared"}, env);
    EXPECT_EQ(shared.exitCode, 0) << shared.err.toStdString();
    EXPECT_EQ(shared.out.trimmed(), QStringLiteral("|1"));
    ASSERT_EQ(pdfFiles(pdf).size(), 1);
    EXPECT_EQ(pdfText(pdfFiles(pdf)[0]).simplified(), QStringLiteral("ProbePage"));
    // A first object made on a thread that ended leaves HTML printing working.
    const auto thread = run(probe, {"thread"}, {"QT_QPA_PLATFORM=", "CORVANE_PDF_DIR=" + pdf});
    EXPECT_EQ(thread.exitCode, 0) << thread.err.toStdString();
    EXPECT_EQ(thread.out.trimmed(), QStringLiteral("|1"));
    EXPECT_EQ(pdfFiles(pdf).size(), 2);
}

TEST(CommandLine, ReportsEachHtmlPageAndRefusesANonsenseTimeout)
{
    QTemporaryDir dir;
    const QString pdfs = dir.filePath(QStringLiteral("pdf"));
    QDir().mkpath(pdfs);
    const QString page = dir.filePath(QStringLiteral("page.html"));
    {
        QFile file(page);
        file.open(QIODevice::WriteOnly);
        file.write("<p>ToolPage</p>");
    }
    const QString missing = dir.filePath(QStringLiteral("missing.html"));
    const QString pdfDir = QStringLiteral("CORVANE_PDF_DIR=") + pdfs;

    // One printed, one failed: each said, and the status is 1.
    auto r = run(kBin + QStringLiteral("/corvane"), {"PrintHTMLDocument", page, "--", "PrintHTMLDocument", missing},
                 {pdfDir});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("HTML printing: printed ") + page)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("HTML printing: failed %1: 53 File not found: %1").arg(missing)))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("every requested page printed")));
    EXPECT_EQ(pdfFiles(pdfs).size(), 1);

    // A timeout of any size is taken.
    r = run(kBin + QStringLiteral("/corvane"), {"PrintHTMLDocument", page},
            {pdfDir, QStringLiteral("CORVANE_HTML_TIMEOUT=3000000")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("HTML printing: every requested page printed"))) << r.err.toStdString();
    EXPECT_EQ(pdfFiles(pdfs).size(), 2);
    r = run(kBin + QStringLiteral("/corvane"), {"PrintHTMLDocument", page},
            {pdfDir, QStringLiteral("CORVANE_HTML_TIMEOUT=99999999999999999999999")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

    // Nonsense is a usage error, before anything prints.
    for (const char *value : {"abc", "-5", "1.5", "10s"}) {
        r = run(kBin + QStringLiteral("/corvane"), {"PrintHTMLDocument", page},
                {pdfDir, QStringLiteral("CORVANE_HTML_TIMEOUT=") + QLatin1String(value)});
        EXPECT_EQ(r.exitCode, 2) << value;
        EXPECT_TRUE(r.err.contains(QStringLiteral("CORVANE_HTML_TIMEOUT must be a whole number of seconds"))) << value;
        const QString scriptFile = dir.filePath(QStringLiteral("s.js"));
        r = run(kBin + QStringLiteral("/corvane-script"), {scriptFile},
                {pdfDir, QStringLiteral("CORVANE_HTML_TIMEOUT=") + QLatin1String(value)});
        EXPECT_EQ(r.exitCode, 2) << value;
    }
    EXPECT_EQ(pdfFiles(pdfs).size(), 3);

    // A page still loading at the time-out (its picture's server takes the connection and never
    // answers) is cancelled for good and said to have failed, with status 1.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString source =
        QStringLiteral("<p>Waiting</p><img src='http://127.0.0.1:%1/logo.png'>").arg(silent.serverPort());
    r = run(kBin + QStringLiteral("/corvane"), {"PrintHTMLDocFromSource", source},
            {pdfDir, QStringLiteral("CORVANE_HTML_TIMEOUT=2")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral(": 75 Path/File access error: the page ")));
    EXPECT_TRUE(r.err.contains(QStringLiteral(" was not printed: it had not printed when the wait for it ran out after "
                                              "2 s, and it was cancelled: it will not print")))
        << r.err.toStdString();
    EXPECT_EQ(pdfFiles(pdfs).size(), 3);

    // The script host says the same.
    const QString scriptFile = dir.filePath(QStringLiteral("html.js"));
    {
        QFile file(scriptFile);
        file.open(QIODevice::WriteOnly);
        file.write(
            QStringLiteral(
                "var c = CreateObject(\"CorvaneCOM.Corvane\");\nc.PrintHTMLDocument(\"%1\");\nc.PrintHTMLDocument(\"%2\");\n")
                .arg(page, missing)
                .toUtf8());
    }
    r = run(kBin + QStringLiteral("/corvane-script"), {scriptFile}, {pdfDir});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("HTML printing: printed ") + page)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("HTML printing: failed %1: 53").arg(missing))) << r.err.toStdString();
    EXPECT_EQ(pdfFiles(pdfs).size(), 4);
}

// Every example of --help runs as shown (in a folder holding the file an example names), and
// --version says the version.
TEST(CommandLine, EveryHelpExampleRunsAsShown)
{
    const auto help = cli({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const QStringList lines = help.out.split(QLatin1Char('\n'));
    const qsizetype from = lines.indexOf(QStringLiteral("Examples:"));
    ASSERT_GE(from, 0);
    QTemporaryDir folder;
    QFile report(folder.filePath(QStringLiteral("report.txt")));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    report.write("A line of the report\n");
    report.close();
    const QString here = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path())); // the programs run from the test's current folder
    int examples = 0;
    for (qsizetype i = from + 1; i < lines.size() && lines[i].startsWith(QStringLiteral("  corvane ")); ++i) {
        QStringList args = QProcess::splitCommand(lines[i].trimmed());
        args.removeFirst();
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << lines[i].toStdString() << "\n" << r.err.toStdString();
        ++examples;
    }
    QDir::setCurrent(here);
    EXPECT_EQ(examples, 4);
    const auto version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("corvane 6.0\n"));
}

// Results that do not reach standard output are a failure, said on standard error: a full disk
// or a reader that went away.
TEST(CommandLine, AFailedWriteOfStandardOutputIsAFailure)
{
    const QString tool = kBin + QStringLiteral("/corvane");
    const auto full = run(QStringLiteral("bash"),
                          {QStringLiteral("-c"), QStringLiteral("'%1' GetPrinters >/dev/full").arg(tool)});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(full.err.contains(QStringLiteral("corvane: standard output: No space left on device")))
        << full.err.toStdString();
    for (const char *option : {"--version", "--help"}) {
        const auto told = run(
            QStringLiteral("bash"),
            {QStringLiteral("-c"), QStringLiteral("'%1' %2 >/dev/full").arg(tool, QLatin1String(option))});
        EXPECT_EQ(told.exitCode, 1) << option;
    }
    const auto closed = run(
        QStringLiteral("bash"),
        {QStringLiteral("-c"), QStringLiteral("'%1' GetPrinters | true; exit ${PIPESTATUS[0]}").arg(tool)});
    EXPECT_EQ(closed.exitCode, 1);
    EXPECT_TRUE(closed.err.contains(QStringLiteral("corvane: standard output: Broken pipe"))) << closed.err.toStdString();
}

// The built-in printer's default folder is made on first use; a folder named by CORVANE_PDF_DIR
// that is missing stays an error that names it.
TEST(CommandLine, TheDefaultFolderIsMadeAndAMissingNamedOneIsNamed)
{
    QTemporaryDir home;
    const QString tool = kBin + QStringLiteral("/corvane");
    const auto made = run(QStringLiteral("env"),
                          {QStringLiteral("-u"), QStringLiteral("CORVANE_PDF_DIR"),
                           QStringLiteral("HOME=") + home.path(), tool, QStringLiteral("DocText=made"),
                           QStringLiteral("PrintDoc"), QStringLiteral("Corvane PDF")});
    EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QStringList pdfs = QDir(home.filePath(QStringLiteral("Corvane PDF"))).entryList({QStringLiteral("*.pdf")});
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_TRUE(pdfText(home.filePath(QStringLiteral("Corvane PDF/")) + pdfs.first()).contains(QStringLiteral("made")));

    const QString missing = home.filePath(QStringLiteral("not-there"));
    const auto named = run(tool,
                           {QStringLiteral("DocText=lost"), QStringLiteral("PrintDoc"), QStringLiteral("Corvane PDF")},
                           {QStringLiteral("CORVANE_PDF_DIR=") + missing});
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_TRUE(named.err.contains(
        QStringLiteral("PrintError 76 Path not found: the folder of the printer Corvane PDF, %1, does not exist")
            .arg(missing)))
        << named.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(missing));
}

// On a terminal the progress of a job is one line that updates; elsewhere one event a line.
TEST(CommandLine, ProgressUpdatesOneLineOnATerminal)
{
    // 150 lines: three pages.
    QTemporaryDir folder;
    QFile text(folder.filePath(QStringLiteral("long.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 150; ++i)
        text.write(QByteArray("Line ") + QByteArray::number(i) + "\n");
    text.close();
    const QStringList args{QStringLiteral("FileName=") + text.fileName(), QStringLiteral("PrintDoc"),
                           QStringLiteral("Corvane PDF")};
    const QString command = QStringLiteral("'%1/corvane' '%2' PrintDoc 'Corvane PDF' 2>&1").arg(kBin, args[0]);
    const auto terminal = run(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    EXPECT_EQ(terminal.exitCode, 0) << terminal.out.toStdString();
    EXPECT_TRUE(terminal.out.contains(
        QStringLiteral("\rPrintProgress 1\rPrintProgress 2\rPrintProgress 3\r\nPrintComplete\r\n")))
        << terminal.out.toStdString();
    const auto piped = cli(args);
    EXPECT_EQ(piped.err, QStringLiteral("PrintProgress 1\nPrintProgress 2\nPrintProgress 3\nPrintComplete\n"));
}
