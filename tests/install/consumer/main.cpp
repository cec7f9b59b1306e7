// A program built against the installed component alone, as a desktop program would be: it
// registers the installed library for its account, creates the object by its programmatic
// identifier, sets DocText by name and prints with PrintDoc on the built-in printer.
//   corvane-consumer LIBRARY TEXT
#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Dispatch.h>
#include <corvane/Errors.h>
#include <corvane/Threads.h>

#include <QApplication>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvane-consumer LIBRARY TEXT\n");
        return 2;
    }
    QApplication app(argc, argv);
    int status = 0;
    try {
        if (!corvane::registerServer(argv[1])) {
            std::fprintf(stderr, "corvane-consumer: %s could not be registered\n", argv[1]);
            return 1;
        }
        std::unique_ptr<QObject> object(corvane::CreateObject(corvane::kProgId));
        std::vector<corvane::Variant> printer{corvane::Variant::string(u"Corvane PDF")};
        corvane::automation::callMethod(object.get(), QStringLiteral("SetPrinter"), printer);
        corvane::automation::putProperty(object.get(), QStringLiteral("doctext"),
                                         corvane::Variant::string(corvane::fromUtf8(argv[2])));
        std::vector<corvane::Variant> none;
        const corvane::Variant result = corvane::automation::callMethod(object.get(), QStringLiteral("PrintDoc"), none);
        if (!result.isEmpty()) {
            std::fprintf(stderr, "corvane-consumer: PrintDoc: %s\n", corvane::toUtf8(result.toString()).c_str());
            status = 1;
        }
    } catch (const corvane::RuntimeError &e) {
        std::fprintf(stderr, "corvane-consumer: %s\n", e.what());
        status = 1;
    }
    corvane::resetThreadSurface();
    return status;
}
