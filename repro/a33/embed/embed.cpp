// A program with its own QApplication printing an RTF file through the library's automation
// object (registered for the account if need be). With argument "fonts" it calls
// corvane::qt::useEmbeddableFontsOnly() before making the application.
// Usage: embed fonts|nofonts FILE.rtf
#include <corvane/CreateObject.h>
#include <corvane/Dispatch.h>
#include <corvane/Fonts.h>
#include <corvane/UString.h>
#include <corvane/Variant.h>
#include <QApplication>
#include <QObject>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    if (std::strcmp(argv[1], "fonts") == 0)
        corvane::qt::useEmbeddableFontsOnly();
    QApplication app(argc, argv);
    corvane::ensureRegistered("CorvaneCOM.Corvane", "/work/a33/build/lib/libcorvane.so");
    std::unique_ptr<QObject> doc(corvane::CreateObject("CorvaneCOM.Corvane"));
    std::vector<corvane::Variant> a{corvane::Variant::string(corvane::fromUtf8("Corvane PDF"))};
    corvane::automation::callMethod(doc.get(), "SetPrinter", a);
    std::vector<corvane::Variant> b{corvane::Variant::string(corvane::fromUtf8(argv[2]))};
    corvane::Variant r = corvane::automation::callMethod(doc.get(), "PrintRTFFile", b);
    std::printf("result %s\n", r.isEmpty() ? "(empty)" : corvane::toUtf8(r.toString()).c_str());
    return r.isEmpty() ? 0 : 1;
}
