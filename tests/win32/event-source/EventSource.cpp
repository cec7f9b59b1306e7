// A test-only in-process COM server for the script host's event tests: the class
// CorvaneTest.EventSource, whose Raise(number, text) raises the event Ping(number, text) on its
// default source dispinterface, with the arguments passed by reference as the component's are,
// and returns the two as the handlers left them, joined by "|".
// Registered by regsvr32 (under HKEY_CLASSES_ROOT: wine looks programmatic identifiers up there alone).
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <initguid.h>

#include <string>
#include <vector>

#include "EventSource.h"

namespace {

HMODULE g_module = nullptr;
const wchar_t ProgId[] = L"CorvaneTest.EventSource";

ITypeLib *typeLibrary()
{
    static ITypeLib *library = [] {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(g_module, path, MAX_PATH);
        ITypeLib *loaded = nullptr;
        LoadTypeLibEx(path, REGKIND_NONE, &loaded);
        return loaded;
    }();
    return library;
}

HRESULT typeInfo(REFGUID guid, ITypeInfo **info)
{
    *info = nullptr;
    ITypeLib *library = typeLibrary();
    return library ? library->GetTypeInfoOfGuid(guid, info) : TYPE_E_CANTLOADLIBRARY;
}

class EventSource : public IEventSource,
                    public IProvideClassInfo2,
                    public IConnectionPointContainer,
                    public IConnectionPoint {
public:
    virtual ~EventSource()
    {
        for (IDispatch *sink : m_sinks) {
            if (sink)
                sink->Release();
        }
        if (m_info)
            m_info->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IEventSource)
            *out = static_cast<IEventSource *>(this);
        else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
            *out = static_cast<IProvideClassInfo2 *>(this);
        else if (iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer *>(this);
        else if (iid == IID_IConnectionPoint)
            *out = static_cast<IConnectionPoint *>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    // IDispatch through the type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        return typeInfo(IID_IEventSource, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        HRESULT hr = ensureInfo();
        return FAILED(hr) ? hr : DispGetIDsOfNames(m_info, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *error, UINT *argError) override
    {
        HRESULT hr = ensureInfo();
        return FAILED(hr)
                 ? hr
                 : DispInvoke(static_cast<IEventSource *>(this), m_info, id, flags, params, result, error, argError);
    }

    HRESULT STDMETHODCALLTYPE Raise(LONG number, BSTR text, BSTR *after) override
    {
        VARIANT values[2];
        VariantInit(&values[0]);
        VariantInit(&values[1]);
        values[0].vt = VT_I4;
        values[0].lVal = number;
        values[1].vt = VT_BSTR;
        values[1].bstrVal = SysAllocString(text);
        // Arguments go in reverse order: Text first, then Number.
        VARIANT arguments[2];
        arguments[0].vt = VT_BYREF | VT_VARIANT;
        arguments[0].pvarVal = &values[1];
        arguments[1].vt = VT_BYREF | VT_VARIANT;
        arguments[1].pvarVal = &values[0];
        DISPPARAMS params = {arguments, nullptr, 2, 0};
        std::vector<IDispatch *> sinks = m_sinks;
        for (IDispatch *sink : sinks) {
            if (sink)
                sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
        std::wstring texts[2];
        for (int i = 0; i < 2; ++i) {
            if (SUCCEEDED(VariantChangeType(&values[i], &values[i], VARIANT_ALPHABOOL, VT_BSTR)))
                texts[i] = values[i].bstrVal;
            VariantClear(&values[i]);
        }
        std::wstring joined = texts[0] + L"|" + texts[1];
        *after = SysAllocString(joined.c_str());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **info) override { return typeInfo(CLSID_EventSource, info); }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID *guid) override
    {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
            return E_INVALIDARG;
        *guid = DIID__EventSourceEvents;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint **out) override
    {
        *out = nullptr;
        if (iid != DIID__EventSourceEvents)
            return CONNECT_E_NOCONNECTION;
        *out = static_cast<IConnectionPoint *>(this);
        AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *iid) override
    {
        *iid = DIID__EventSourceEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer **out) override
    {
        *out = static_cast<IConnectionPointContainer *>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown *sink, DWORD *cookie) override
    {
        IDispatch *events = nullptr;
        if (FAILED(sink->QueryInterface(DIID__EventSourceEvents, reinterpret_cast<void **>(&events))))
            return CONNECT_E_CANNOTCONNECT;
        m_sinks.push_back(events);
        *cookie = static_cast<DWORD>(m_sinks.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        if (cookie == 0 || cookie > m_sinks.size() || !m_sinks[cookie - 1])
            return CONNECT_E_NOCONNECTION;
        m_sinks[cookie - 1]->Release();
        m_sinks[cookie - 1] = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }

private:
    HRESULT ensureInfo() { return m_info ? S_OK : typeInfo(IID_IEventSource, &m_info); }

    LONG m_refs = 1;
    ITypeInfo *m_info = nullptr;
    std::vector<IDispatch *> m_sinks;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto *object = new EventSource;
        HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

std::wstring classKey()
{
    wchar_t clsid[64];
    StringFromGUID2(CLSID_EventSource, clsid, 64);
    return std::wstring(L"CLSID\\") + clsid;
}

bool setValue(const std::wstring &key, const wchar_t *name, const std::wstring &value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr))
        return false;
    LSTATUS status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void **out)
{
    if (clsid != CLSID_EventSource) {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(g_module, path, MAX_PATH);
    wchar_t clsid[64];
    StringFromGUID2(CLSID_EventSource, clsid, 64);
    std::wstring progIdKey = std::wstring(ProgId);
    bool ok = setValue(progIdKey + L"\\CLSID", nullptr, clsid) && setValue(classKey(), nullptr, ProgId)
           && setValue(classKey() + L"\\ProgID", nullptr, ProgId)
           && setValue(classKey() + L"\\InprocServer32", nullptr, path)
           && setValue(classKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey().c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ProgId);
    return S_OK;
}
