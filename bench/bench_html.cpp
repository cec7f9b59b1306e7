// Prints one HTML file several times in one process through PrintHTMLDocument and says how
// long each job took, from the call to its PDF: the first job starts the browser engine, the
// others find it warm.  bench_html FILE [JOBS]
#include "../tools/common/ToolSupport.h"

#include "automation/CorvaneObject.h"
#include "core/Platform.h"
#include "platform/qt/QtWeb.h"

#include <corvane/ComServer.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    auto app = corvane::tools::makeApplication(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[1]);
    const int jobs = argc > 2 ? std::atoi(argv[2]) : 3;
    int status = 0;
    {
        std::unique_ptr<QObject> object(corvane::tools::createObject(QString::fromLatin1(corvane::kProgId)));
        auto *component = qobject_cast<corvane::automation::CorvaneObject *>(object.get());
        for (int job = 1; job <= jobs; ++job) {
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
