// Loads the component into a process without a Qt GUI application: "none" has no application
// object at all, "core" has only a QCoreApplication. Prints the first printer, or the error
// result text of a print.
#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Errors.h>

#include <corvane/Dispatch.h>

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace corvane;

int main(int argc, char **argv)
{
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
