// Prints one HTML file several times in one process through PrintHTMLDocument and says how
// long each job took, from the call to its PDF: the first job starts the browser engine, the
// others find it warm.  bench_html FILE [JOBS]
// With "queued" as third argument the first job warms the engine and the other JOBS-1 are asked
// for at once, queued in the process; one line says how long they took together.
#include "../tools/common/ToolSupport.h"

#include <corvane/CorvaneObject.h>
#include <corvane/Threads.h>
#include <corvane/HtmlPrints.h>

#include <corvane/ComServer.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    auto app = corvane::tools::makeApplication(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int jobs = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool queued = argc > 3 && std::strcmp(argv[3], "queued") == 0;
    int status = 0;
    {
        std::unique_ptr<QObject> object(corvane::tools::createObject(QString::fromLatin1(corvane::kProgId)));
        auto *component = qobject_cast<corvane::automation::CorvaneObject *>(object.get());
        if (queued) {
            component->PrintHTMLDocument(file);
            if (!corvane::qt::waitForHtmlPrints(600000))
                status = 1;
            QElapsedTimer timer;
            timer.start();
            for (int job = 2; job <= jobs; ++job)
                component->PrintHTMLDocument(file);
            if (!corvane::qt::waitForHtmlPrints(600000))
                status = 1;
            std::printf("queued %d %.3f\n", jobs - 1, timer.nsecsElapsed() / 1e9);
        }
        for (int job = 1; job <= jobs && !queued; ++job) {
            QElapsedTimer timer;
            timer.start();
            component->PrintHTMLDocument(file);
            if (!corvane::qt::waitForHtmlPrints(600000))
                status = 1;
            std::printf("job %d %.3f\n", job, timer.nsecsElapsed() / 1e9);
            std::fflush(stdout);
        }
    }
    corvane::resetThreadSurface();
    return status;
}
