// main() of the tests that use Qt: an application object first, as our programs have.
#include "jobs/ThreadForms.h"
#include "platform/qt/QtWeb.h"

#include <corvane/Fonts.h>

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    corvane::qt::useEmbeddableFontsOnly();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The thread's printer, forms and browser go while the application they use still exists.
    corvane::resetThreadSurface();
    return corvane::qt::exitStatusAfterHtml(result);
}
