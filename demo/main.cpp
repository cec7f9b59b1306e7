// CorvaneDemo: one window, one button per kind of printing.
#include "Forms.h"

#include "../tools/common/ToolSupport.h"

#include <corvane/Threads.h>

#include <corvane/ComServer.h>
#include <corvane/Errors.h>

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    auto app = corvane::tools::makeApplication(argc, argv);
    std::unique_ptr<QObject> component;
    try {
        // The one component object of the program, created through its class factory.
        component.reset(corvane::tools::createObject(QString::fromLatin1(corvane::kProgId)));
    } catch (const corvane::RuntimeError &e) {
        QMessageBox::critical(nullptr, QStringLiteral("Corvane COM Demo"), QString::fromUtf8(e.what()));
        return 1;
    }
    int status;
    {
        corvane::demo::FormMain window(component.get());
        window.show();
        status = app->exec();
    }
    component.reset();
    corvane::resetThreadSurface();
    return status;
}
