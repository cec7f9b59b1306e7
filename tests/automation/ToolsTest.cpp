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
    // answers) is said to be pending, with status 1.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString source =
        QStringLiteral("<p>Waiting</p><img src='http://127.0.0.1:%1/logo.png'>").arg(silent.serverPort());
    r = run(kBin + QStringLiteral("/corvane"), {"PrintHTMLDocFromSource", source},
            {pdfDir, QStringLiteral("CORVANE_HTML_TIMEOUT=2")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("HTML printing: still pending after 2 s: "))) << r.err.toStdString();
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
