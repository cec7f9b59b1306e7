// corvane-script FILE.js: runs a script that drives Corvane objects late bound.
#include "ScriptHost.h"

#include "../common/ToolSupport.h"

#include <corvane/Threads.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "Usage: corvane-script FILE.js\n");
        return 2;
    }
    if (QString why; !corvane::tools::checkHtmlTimeout(&why)) {
        std::fprintf(stderr, "corvane-script: %s\n", why.toLocal8Bit().constData());
        return 2;
    }
    auto app = corvane::tools::makeApplication(argc, argv);
    corvane::tools::ScriptHost host;
    const bool ok = host.runFile(QString::fromLocal8Bit(argv[1]));
    // HTML pages print after their methods return: wait for them (bounded).
    const bool printed = corvane::tools::finishHtmlPrints();
    corvane::resetThreadSurface(); // this thread's printer and hidden forms go before the application
    if (!ok || !host.errorMessage().isEmpty()) {
        std::fprintf(stderr, "%s\n", host.errorMessage().toLocal8Bit().constData());
        return corvane::tools::finish(1);
    }
    return corvane::tools::finish(printed ? 0 : 1);
}
