// main() of the tests that use Qt: an application object first, as our programs have.
#include "core/Platform.h"
#include "platform/qt/QtWeb.h"

#include <cstdio>
#include <unistd.h>
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The thread's printer, forms and browser go while the application they use still exists.
    corvane::resetThreadSurface();
    // A page whose print never came back stops the engine on its way out: end at once.
    if (corvane::qt::htmlPagesLeftPrinting() > 0) {
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(result);
    }
    return result;
}
