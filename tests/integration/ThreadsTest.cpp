// Eight threads, each with its own object, printing text and rich-text documents at once to
// the built-in printer and to a CUPS printer: every job complete and its own, every thread with
// its own current printer.
#include "jobs/ThreadForms.h"
#include "support/QtTestSupport.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/HtmlPrints.h>

#include <corvane/Corvane.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QSet>

#include <atomic>
#include <thread>

using namespace corvane;
using namespace corvane::testing;

namespace {

struct Counter : EventSink {
    int complete = 0, errors = 0, progress = 0;
    void PrintComplete() override { ++complete; }
    void PrintError(Variant &, Variant &) override { ++errors; }
    void PrintProgress(Variant &) override { ++progress; }
};

// The tokens "T<thread>J<job><printer><kind>" found in a PDF.
QStringList tokensIn(const QString &pdf)
{
    static const QRegularExpression token(QStringLiteral("T\\d+J\\d+(PDF|CUPS)(TEXT|RTF)"));
    QStringList found;
    for (auto it = token.globalMatch(pdfText(pdf)); it.hasNext();)
        found << it.next().captured();
    found.removeDuplicates();
    return found;
}

// Checks that each file holds exactly one token, and that every token was seen once.
void expectOneTokenPerJob(const QStringList &files, int expected)
{
    QSet<QString> seen;
    for (const QString &file : files) {
        const QStringList found = tokensIn(file);
        EXPECT_EQ(found.size(), 1) << file.toStdString() << ": " << found.join(QLatin1Char(' ')).toStdString();
        for (const QString &f : found)
            EXPECT_FALSE(seen.contains(f)) << f.toStdString() << " twice";
        seen.unite(QSet<QString>(found.begin(), found.end()));
    }
    EXPECT_EQ(seen.size(), expected);
}

} // namespace

TEST(Threads, EightObjectsPrintAtOnceEachOnItsOwn)
{
    REQUIRE_CUPS();
    const QString folder = freshPdfFolder(QStringLiteral("threads"));
    const QString cupsPrinter = QStringLiteral("Threads");
    addFilePrinter(cupsPrinter);
    // Held while the threads print: the jobs queue and their spooled files can be read back.
    run(QStringLiteral("cupsdisable"), {cupsPrinter});
    qt::ensureGuiApplication();
    constexpr int threads = 8, jobs = 20;
    std::atomic<int> wrongPrinter{0};
    std::vector<Counter> counters(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &counters, &wrongPrinter] {
            Corvane doc(&qt::qtPlatform());
            doc.subscribe(&counters[t]);
            const auto printBoth = [&](const UString &printer, const UString &tag, int j) {
                doc.SetPrinter(printer);
                // Odd threads also ask for a printer nobody has, which changes nothing.
                if (t % 2)
                    doc.SetPrinter(u"No Such Printer");
                const UString token = u"T" + decimal(t) + u"J" + decimal(j) + tag;
                doc.setDocTitle(u"Thread document " + token);
                doc.setDocText(u"Body of " + token + u"TEXT\n" + UString(2000, u'x'));
                doc.PrintDoc();
                doc.PrintRTFData(u"{\\rtf1 Rich " + token + u"RTF\\par}");
                if (threadSurface(qt::qtPlatform()).currentDeviceName() != printer)
                    ++wrongPrinter;
            };
            for (int j = 0; j < jobs; ++j) {
                // Half the threads start on each printer, so they differ at any moment.
                if ((t + j) % 2) {
                    printBoth(u"Corvane PDF", u"PDF", j);
                    printBoth(u"Threads", u"CUPS", j);
                } else {
                    printBoth(u"Threads", u"CUPS", j);
                    printBoth(u"Corvane PDF", u"PDF", j);
                }
            }
            resetThreadSurface();
        });
    }
    for (auto &worker : workers)
        worker.join();

    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(counters[t].complete, 4 * jobs) << t;
        EXPECT_EQ(counters[t].errors, 0) << t;
    }
    EXPECT_EQ(wrongPrinter, 0);

    // Every job written by the built-in printer holds its own token, and only that one.
    const QStringList pdfs = pdfFiles(folder);
    EXPECT_EQ(pdfs.size(), threads * jobs * 2);
    expectOneTokenPerJob(pdfs, threads * jobs * 2);

    // Every job queued in CUPS is there whole, with its own token.
    const QStringList queued = run(QStringLiteral("lpstat"), {QStringLiteral("-o"), cupsPrinter})
                                   .out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(queued.size(), threads * jobs * 2);
    QStringList spooled;
    static const QRegularExpression jobId(QStringLiteral("^Threads-(\\d+)\\s"));
    for (const QString &line : queued) {
        const auto match = jobId.match(line);
        if (match.hasMatch())
            spooled << QStringLiteral("%1/spool/d%2-001")
                           .arg(cupsDir())
                           .arg(match.captured(1).toInt(), 5, 10, QLatin1Char('0'));
    }
    expectOneTokenPerJob(spooled, threads * jobs * 2);

    // Released, the queue prints every job and ends empty.
    run(QStringLiteral("cupsenable"), {cupsPrinter});
    EXPECT_TRUE(waitForPrinterOutput(cupsPrinter, 180000));
    EXPECT_TRUE(tokensIn(printerOutput(cupsPrinter)).size() == 1);
    removePrinter(cupsPrinter);
}

TEST(Threads, HtmlFromAnotherThreadPrintsAndItsEventsComeToThatThread)
{
    // The application (and the browser) is this thread's; a worker asks for one page that prints
    // and one that cannot load, and waits for them while this thread lets its events through.
    qt::ensureGuiApplication();
    const QString folder = freshPdfFolder(QStringLiteral("html-threads"));
    std::atomic<bool> done{false};
    std::vector<std::string> events;
    std::thread::id raisedOn, worker;
    bool inTime = false;
    Variant first, second;
    std::thread thread([&] {
        worker = std::this_thread::get_id();
        {
            Corvane doc(&qt::qtPlatform());
            struct Sink : EventSink {
                std::vector<std::string> *out;
                std::thread::id *on;
                void PrintComplete() override { out->push_back("PrintComplete"); }
                void PrintError(Variant &n, Variant &) override
                {
                    out->push_back("PrintError " + toUtf8(n.toString()));
                    *on = std::this_thread::get_id();
                }
            } sink;
            sink.out = &events;
            sink.on = &raisedOn;
            doc.subscribe(&sink);
            doc.SetPrinter(u"Corvane PDF");
            first = doc.PrintHTMLDocFromSource(u"<p>WorkerThreadPage</p>");
            second = doc.PrintHTMLDocument(u"/nonexistent/corvane-page.html");
            inTime = qt::waitForHtmlPrints(60000);
        }
        resetThreadSurface();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    thread.join();
    EXPECT_TRUE(first.isEmpty());
    EXPECT_TRUE(second.isEmpty());
    EXPECT_TRUE(inTime);
    EXPECT_EQ(events, std::vector<std::string>{"PrintError 53"});
    EXPECT_EQ(raisedOn, worker);
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_EQ(pdfText(pdfs[0]).simplified(), QStringLiteral("WorkerThreadPage"));
}
