// Eight threads, each with its own object, printing text and rich-text documents at once:
// every job complete and its own, every thread with its own current printer.
#include "support/QtTestSupport.h"

#include "platform/qt/QtPlatform.h"

#include <corvane/Corvane.h>

#include <QRegularExpression>

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

} // namespace

TEST(Threads, EightObjectsPrintAtOnceEachOnItsOwn)
{
    const QString folder = freshPdfFolder(QStringLiteral("threads"));
    qt::ensureGuiApplication();
    constexpr int threads = 8, jobs = 20;
    std::atomic<int> wrongPrinter{0};
    std::vector<Counter> counters(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &counters, &wrongPrinter] {
            Corvane doc(&qt::qtPlatform());
            doc.subscribe(&counters[t]);
            // Odd threads ask for a printer nobody has and keep their default.
            doc.SetPrinter(t % 2 ? u"No Such Printer" : u"Corvane PDF");
            for (int j = 0; j < jobs; ++j) {
                const UString token = u"T" + decimal(t) + u"J" + decimal(j);
                doc.setDocTitle(u"Thread document " + token);
                doc.setDocText(u"Body of " + token + u"TEXT\n" + UString(2000, u'x'));
                doc.PrintDoc();
                doc.PrintRTFData(u"{\\rtf1 Rich " + token + u"RTF\\par}");
                if (threadSurface(qt::qtPlatform()).currentDeviceName() != u"Corvane PDF")
                    ++wrongPrinter;
            }
            resetThreadSurface();
        });
    }
    for (auto &worker : workers)
        worker.join();

    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(counters[t].complete, 2 * jobs) << t;
        EXPECT_EQ(counters[t].errors, 0) << t;
    }
    EXPECT_EQ(wrongPrinter, 0);

    // Every job has its own PDF holding its own token, and only that one.
    const QStringList pdfs = pdfFiles(folder);
    ASSERT_EQ(pdfs.size(), threads * jobs * 2);
    QMap<QString, int> seen;
    const QRegularExpression token(QStringLiteral("T\\d+J\\d+(TEXT|RTF)"));
    for (const QString &pdf : pdfs) {
        const QString text = pdfText(pdf);
        QStringList found;
        for (auto it = token.globalMatch(text); it.hasNext();)
            found << it.next().captured();
        found.removeDuplicates();
        EXPECT_EQ(found.size(), 1) << pdf.toStdString() << ": " << found.join(QLatin1Char(' ')).toStdString();
        for (const QString &f : found)
            ++seen[f];
    }
    EXPECT_EQ(seen.size(), threads * jobs * 2);
}

TEST(Threads, HtmlFromAnotherThreadIsReportedNotACrash)
{
    qt::ensureGuiApplication();
    std::string outcome;
    Variant result;
    std::thread worker([&] {
        Corvane doc(&qt::qtPlatform());
        struct Sink : EventSink {
            std::string *out;
            void PrintError(Variant &n, Variant &) override { *out = "PrintError " + toUtf8(n.toString()); }
        } sink;
        sink.out = &outcome;
        doc.subscribe(&sink);
        result = doc.PrintHTMLDocument(u"/tmp/page.html");
        resetThreadSurface();
    });
    worker.join();
    EXPECT_EQ(outcome, "PrintError 445");
    EXPECT_EQ(result.toString().substr(0, 4), u"445|");
}
