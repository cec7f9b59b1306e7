// Self-registration: the class under its programmatic identifiers, its CLSID with the DLL as its
// in-process server (apartment-threaded), and the type library with its two interfaces.
//
// A 32-bit and a 64-bit copy of the DLL may be registered side by side: each has its CLSID key
// in its own view of the registry, and the type library key keeps a win32 and a win64 entry,
// but the programmatic identifiers and the interface keys are one for both. Unregistering one
// copy therefore removes them only when the other view no longer holds the class; otherwise it
// removes its own CLSID key and its own entry of the type library alone.
#include "Server.h"

#include "CorvaneCOM_h.h"

#include <olectl.h>

#include <string>
#include <vector>

namespace corvane::com {

namespace {

constexpr wchar_t kProgId[] = L"CorvaneCOM.Corvane";
constexpr wchar_t kVersionedProgId[] = L"CorvaneCOM.Corvane.1";
constexpr wchar_t kClassName[] = L"Corvane";

std::wstring guidText(const GUID &guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The keys a registration made anew, removed again when a later step fails.
class Writer {
public:
    // Creates (or opens) a key under HKEY_CLASSES_ROOT and sets its values; name empty is the
    // default value.
    LSTATUS key(const std::wstring &path, const std::vector<std::pair<std::wstring, std::wstring>> &values)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                         &disposition);
        if (status != ERROR_SUCCESS)
            return status;
        if (disposition == REG_CREATED_NEW_KEY)
            m_created.push_back(path);
        for (const auto &[name, value] : values) {
            status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE *>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
            if (status != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(key);
        return status;
    }

    void undo()
    {
        for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
            RegDeleteTreeW(HKEY_CLASSES_ROOT, it->c_str());
        m_created.clear();
    }

private:
    std::vector<std::wstring> m_created;
};

// Whether the registry view of the other bitness still registers the class with a server.
bool otherViewHoldsClass()
{
    const REGSAM otherView = sizeof(void *) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const std::wstring path = L"CLSID\\" + guidText(CLSID_Corvane) + L"\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | otherView, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The CLSID a programmatic identifier names, or "".
std::wstring classOf(const wchar_t *progId)
{
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const std::wstring path = std::wstring(progId) + L"\\CLSID";
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

// Deletes a key and everything below it; a key that is not there is no failure.
LSTATUS removeTree(const std::wstring &path)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

constexpr SYSKIND kOwnSysKind = sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32;
constexpr const wchar_t *kOwnSysKindName = sizeof(void *) == 8 ? L"win64" : L"win32";

// The type library's key of this version, and its neutral-locale entry for this bitness.
std::wstring libraryKey() { return L"TypeLib\\" + guidText(LIBID_CorvaneCOM) + L"\\6.0"; }
std::wstring neutralEntry() { return libraryKey() + L"\\0\\" + kOwnSysKindName; }

} // namespace

} // namespace corvane::com

using namespace corvane::com;

STDAPI DllRegisterServer()
{
    const std::wstring path = modulePath();
    ITypeLib *library = typeLibrary();
    if (path.empty() || !library)
        return SELFREG_E_CLASS;
    const std::wstring clsid = guidText(CLSID_Corvane);
    const std::wstring libid = guidText(LIBID_CorvaneCOM);

    Writer writer;
    LSTATUS status = writer.key(kProgId, {{L"", kClassName}});
    if (status == ERROR_SUCCESS)
        status = writer.key(std::wstring(kProgId) + L"\\CLSID", {{L"", clsid}});
    if (status == ERROR_SUCCESS)
        status = writer.key(std::wstring(kProgId) + L"\\CurVer", {{L"", kVersionedProgId}});
    if (status == ERROR_SUCCESS)
        status = writer.key(kVersionedProgId, {{L"", kClassName}});
    if (status == ERROR_SUCCESS)
        status = writer.key(std::wstring(kVersionedProgId) + L"\\CLSID", {{L"", clsid}});
    const std::wstring classKey = L"CLSID\\" + clsid;
    if (status == ERROR_SUCCESS)
        status = writer.key(classKey, {{L"", kClassName}});
    if (status == ERROR_SUCCESS)
        status = writer.key(classKey + L"\\ProgID", {{L"", kVersionedProgId}});
    if (status == ERROR_SUCCESS)
        status = writer.key(classKey + L"\\VersionIndependentProgID", {{L"", kProgId}});
    if (status == ERROR_SUCCESS)
        status = writer.key(classKey + L"\\Programmable", {});
    if (status == ERROR_SUCCESS)
        status = writer.key(classKey + L"\\TypeLib", {{L"", libid}});
    if (status == ERROR_SUCCESS)
        status = writer.key(classKey + L"\\Version", {{L"", L"6.0"}});
    if (status == ERROR_SUCCESS)
        status = writer.key(classKey + L"\\InprocServer32", {{L"", path}, {L"ThreadingModel", L"Apartment"}});
    if (status != ERROR_SUCCESS) {
        writer.undo();
        return HRESULT_FROM_WIN32(status);
    }

    // The type library, with the interface keys that let _Corvane be marshalled between
    // apartments and the events be called on a script's sink.
    const HRESULT hr = RegisterTypeLib(library, const_cast<wchar_t *>(path.c_str()), nullptr);
    if (FAILED(hr)) {
        writer.undo();
        return hr;
    }
    // The same library for the neutral locale too: wine's type-library marshaler looks it up
    // there alone, whatever locale the library declares.
    status = writer.key(neutralEntry(), {{L"", path}});
    if (status != ERROR_SUCCESS) {
        UnRegisterTypeLib(LIBID_CorvaneCOM, 6, 0, 0x409, kOwnSysKind);
        writer.undo();
        return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

STDAPI DllUnregisterServer()
{
    const std::wstring clsid = guidText(CLSID_Corvane);
    LSTATUS status = removeTree(L"CLSID\\" + clsid);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);

    status = removeTree(neutralEntry());
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (libraryKey() + L"\\0").c_str()); // only when nothing else is in it

    if (otherViewHoldsClass()) {
        // The other bitness still serves the class: keep what both share.
        return HRESULT_FROM_WIN32(removeTree(libraryKey() + L"\\409\\" + kOwnSysKindName));
    }

    // A type library that is not registered (unregistered twice, or never) has nothing to remove;
    // UnRegisterTypeLib would fail on it, with an error that differs between systems.
    HKEY library = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (libraryKey() + L"\\409\\" + kOwnSysKindName).c_str(), 0, KEY_READ, &library)
        == ERROR_SUCCESS) {
        RegCloseKey(library);
        const HRESULT hr = UnRegisterTypeLib(LIBID_CorvaneCOM, 6, 0, 0x409, kOwnSysKind);
        if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED)
            return hr;
    }
    // The programmatic identifiers only while they still name this class.
    for (const wchar_t *progId : {kVersionedProgId, kProgId}) {
        if (classOf(progId) == clsid && (status = removeTree(progId)) != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}
