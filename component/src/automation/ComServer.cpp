// The in-process server exports of libcorvane.so.
#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>

#include <corvane/CorvaneObject.h>
#include "Registry.h"
#include "platform/qt/QtPlatform.h"

#include <atomic>
#include <cstdio>

namespace corvane {

std::string guidText(const Guid &g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

namespace {

std::atomic<int> g_locks{0};

class CorvaneFactory final : public ClassFactory {
public:
    HResult CreateInstance(void *outer, const Guid *iid, void **object) override
    {
        if (!object)
            return E_Pointer;
        *object = nullptr;
        if (outer)
            return Class_E_NoAggregation;
        if (!iid || !(*iid == IID__Corvane || *iid == IID_IDispatch))
            return E_NoInterface;
        // No exception crosses the factory: a failure is a result code.
        try {
            *object = static_cast<QObject *>(new automation::CorvaneObject);
        } catch (...) {
            return E_OutOfMemory;
        }
        return S_Ok;
    }

    HResult LockServer(bool lock) override
    {
        g_locks += lock ? 1 : -1;
        return S_Ok;
    }
};

} // namespace

} // namespace corvane

using namespace corvane;

extern "C" HResult DllGetClassObject(const Guid *clsid, const Guid *iid, void **object)
{
    if (!object)
        return E_Pointer;
    *object = nullptr;
    if (!clsid || !(*clsid == CLSID_Corvane))
        return Class_E_ClassNotAvailable;
    if (!iid || !(*iid == IID_IClassFactory))
        return E_NoInterface;
    static CorvaneFactory factory;
    *object = static_cast<ClassFactory *>(&factory);
    return S_Ok;
}

extern "C" HResult DllCanUnloadNow()
{
    return automation::CorvaneObject::liveObjects() == 0 && g_locks == 0 ? S_Ok : S_False;
}

namespace {

// The record of the class served by the library at path.
registry::Record serverRecord(const std::string &path)
{
    return {
        {"ProgID", kProgId},
        {"CLSID", guidText(CLSID_Corvane)},
        {"TypeLib", guidText(LIBID_CorvaneCOM)},
        {"TypeLibName", "CorvaneCOM"},
        {"TypeLibVersion", "6.0"},
        {"Interface", "_Corvane " + guidText(IID__Corvane)},
        {"EventInterface", "__Corvane " + guidText(DIID___Corvane)},
        {"ThreadingModel", "Apartment"},
        {"InprocServer32", path},
    };
}

} // namespace

extern "C" HResult DllRegisterServer()
{
    const std::string path = toUtf8(qt::libraryPath());
    if (path.empty())
        return SelfReg_E_Class;
    return registry::write(kProgId, serverRecord(path)) ? S_Ok : SelfReg_E_Class;
}

namespace corvane {

bool registerForEveryAccount(const std::string &dataFolder, const std::string &libraryPath)
{
    if (dataFolder.empty() || dataFolder[0] != '/' || libraryPath.empty() || libraryPath[0] != '/')
        return false;
    return registry::writeIn(std::filesystem::path(dataFolder) / "corvane" / "registry", kProgId,
                             serverRecord(libraryPath));
}

} // namespace corvane

extern "C" HResult DllUnregisterServer() { return registry::remove(kProgId) ? S_Ok : SelfReg_E_Class; }
