// One of many processes printing at once: five HTML pages from source, five HTML files and five
// text documents, each with its own token "QX<process><S|F|T><n>", a new object for each
// round. Writes every event but PrintComplete to standard error; exits 0 when every page printed and no error was
// raised, 1 otherwise.
#include "jobs/ThreadForms.h"
#include "core/EventRecorder.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWeb.h"

#include <corvane/Corvane.h>

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

using namespace corvane;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvane-html-probe PROCESS FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.webenginecontext=false"); // the engine's start-up report
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString process = QString::fromLocal8Bit(argv[1]);
    const QDir folder(QString::fromLocal8Bit(argv[2]));

    testing::EventRecorder events;
    std::vector<std::unique_ptr<Corvane>> objects;
    for (int n = 0; n < 5; ++n) {
        const QString token = QStringLiteral("QX%1%2%3").arg(process);
        auto object = std::make_unique<Corvane>(&qt::qtPlatform());
        object->subscribe(&events);
        object->PrintHTMLDocFromSource(
            QStringLiteral("<p>%1</p>").arg(token.arg(QLatin1Char('S')).arg(n)).toStdU16String());
        const QString file = folder.filePath(QStringLiteral("page-%1-%2.html").arg(process).arg(n));
        QFile page(file);
        if (!page.open(QIODevice::WriteOnly)
            || page.write(QStringLiteral("<p>%1</p>").arg(token.arg(QLatin1Char('F')).arg(n)).toUtf8()) <= 0)
            return 1;
        page.close();
        object->PrintHTMLDocument(file.toStdU16String());
        object->PrintText(token.arg(QLatin1Char('T')).arg(n).toStdU16String());
        objects.push_back(std::move(object));
    }
    const bool inTime = qt::waitForHtmlPrints(240000);
    for (const std::string &event : events.events) {
        if (event != "PrintComplete")
            std::fprintf(stderr, "process %s: %s\n", argv[1], event.c_str());
    }
    const long completes = std::count(events.events.begin(), events.events.end(), "PrintComplete");
    objects.clear();
    resetThreadSurface();
    return inTime && completes == 5 && events.events.size() == 5 ? 0 : 1;
}
