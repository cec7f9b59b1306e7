// The DLL's entry point, its module count, the embedded type library, and the class factory
// behind DllGetClassObject and DllCanUnloadNow.
#include "Server.h"

#include "ComObject.h"
#include "ComValues.h"
#include "CorvaneCOM_h.h"

#include <atomic>
#include <mutex>

namespace corvane::com {

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_uses{0};

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: its references keep nothing alive; LockServer does.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        CorvaneObject *created = nullptr;
        try {
            created = new CorvaneObject;
        } catch (...) {
            return failWithCurrent();
        }
        // The new object's one reference goes to the caller, or it goes away at once.
        const HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            lockModule();
        else
            unlockModule();
        return S_OK;
    }
};

} // namespace

void lockModule() { ++g_uses; }
void unlockModule() { --g_uses; }
bool moduleInUse() { return g_uses != 0; }

HMODULE module() { return g_module; }

std::wstring modulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return {};
}

ITypeLib *typeLibrary()
{
    // Kept for the life of the process: released at unload, COM may be gone already.
    static ITypeLib *library = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::wstring path = modulePath();
        if (!path.empty() && FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library)))
            library = nullptr;
    });
    return library;
}

ITypeInfo *typeInfoOf(const GUID &guid)
{
    ITypeLib *library = typeLibrary();
    ITypeInfo *info = nullptr;
    if (!library || FAILED(library->GetTypeInfoOfGuid(guid, &info)))
        return nullptr;
    return info;
}

} // namespace corvane::com

using namespace corvane::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **object)
{
    static ClassFactory factory;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Corvane))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return moduleInUse() ? S_FALSE : S_OK; }
