// Loads the component into a process without a Qt GUI application: "none" has no application
// object at all, "core" has only a QCoreApplication. Prints the first printer, or the error
// result text of a print.
//
// With HTML: "gui" makes its own QApplication as a program may, without asking for shared
// OpenGL contexts; "gui-shared" asks for them as the README says; "thread" has no application
// and makes its first object on a thread that ends before the page is asked for. Each prints a
// page, waits for it and prints the result and the wait's answer (standard output stays
// buffered: it must survive the normal return from main).
#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Errors.h>

#include <corvane/Dispatch.h>

#include <corvane/HtmlPrints.h>

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

using namespace corvane;

namespace {

int printPage()
{
    std::unique_ptr<QObject> object(CreateObject(kProgId));
    std::vector<Variant> printer{Variant::string(u"Corvane PDF")};
    automation::callMethod(object.get(), "SetPrinter", printer);
    std::vector<Variant> source{Variant::string(u"<p>ProbePage</p>")};
    const Variant result = automation::callMethod(object.get(), "PrintHTMLDocFromSource", source);
    const bool waited = qt::waitForHtmlPrints(60000);
    std::printf("%s|%d\n", toUtf8(result.toString()).c_str(), waited ? 1 : 0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "gui" || mode == "gui-shared") {
        DllRegisterServer();
        if (mode == "gui-shared")
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        QApplication app(argc, argv);
        return printPage();
    }
    if (mode == "thread") {
        DllRegisterServer();
        std::thread([] {
            std::unique_ptr<QObject> object(CreateObject(kProgId));
            std::vector<Variant> none;
            automation::callMethod(object.get(), "GetPrinters", none);
        }).join();
        return printPage();
    }
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && std::strcmp(argv[1], "core") == 0)
        app = std::make_unique<QCoreApplication>(argc, argv);
    DllRegisterServer();
    try {
        // Creating the object needs no GUI; printing does. A core-only application gets a
        // printer error from the surface instead of a Qt abort: no printer is listed.
        std::unique_ptr<QObject> object(CreateObject(kProgId));
        std::vector<Variant> count{Variant()};
        const Variant printers = automation::callMethod(object.get(), "GetPrinters", count);
        std::printf("%d %s\n", count[0].toLong(), toUtf8(printers.elements().back().toString()).c_str());
        automation::putProperty(object.get(), "DocText", Variant::string(u"probe"));
        std::vector<Variant> args;
        const Variant result = automation::callMethod(object.get(), "PrintDoc", args);
        std::printf("%s\n", toUtf8(result.toString()).c_str());
    } catch (const RuntimeError &e) {
        std::printf("%s\n", e.what());
        return 1;
    }
    return 0;
}
