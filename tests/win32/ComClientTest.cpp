// An early-bound client of CorvaneCOM.dll, registered by regsvr32 in a wine prefix of its own
// (run-com-tests.sh): the object through its vtable and through IDispatch, its errors, its
// events, a call from another apartment, the type library, unloading and registration.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include "CorvaneCOM_h.h"
#include "CorvaneCOM_i.c"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring text(BSTR value) { return value ? std::wstring(value, SysStringLen(value)) : std::wstring(); }

// A BSTR argument that frees itself.
class Bstr {
public:
    explicit Bstr(const wchar_t *value)
        : m_value(SysAllocString(value))
    {
    }
    ~Bstr() { SysFreeString(m_value); }
    operator BSTR() const { return m_value; }

private:
    BSTR m_value;
};

std::wstring guidText(const GUID &guid)
{
    wchar_t buffer[40] = {};
    StringFromGUID2(guid, buffer, 40);
    return buffer;
}

// A value of HKEY_CLASSES_ROOT, or "<missing>".
std::wstring registryValue(const std::wstring &path, const wchar_t *name = nullptr, REGSAM view = 0)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? value : L"<missing>";
}

bool keyExists(const std::wstring &path, REGSAM view = 0)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

const std::wstring kClsid = L"{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E10}";
const std::wstring kLibid = L"{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E13}";
const std::wstring kMissingFile = L"C:\\no such folder\\missing.txt";
// This program's bitness, and the registry view of the other one.
const std::wstring kOwnSysKind = sizeof(void *) == 8 ? L"win64" : L"win32";
constexpr REGSAM kOwnView = sizeof(void *) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = sizeof(void *) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// The DLL as registered, loaded again for its exports.
HMODULE serverModule()
{
    static HMODULE module = LoadLibraryW(registryValue(L"CLSID\\" + kClsid + L"\\InprocServer32").c_str());
    return module;
}

template <typename Function> Function serverExport(const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(serverModule(), name)));
}

class ComClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(L"CorvaneCOM.Corvane", &clsid), S_OK);
        ASSERT_EQ(guidText(clsid), kClsid);
        ASSERT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__Corvane, reinterpret_cast<void **>(&m_object)),
            S_OK);
    }
    void TearDown() override
    {
        if (m_object)
            m_object->Release();
        CoUninitialize();
    }

    // A late-bound call by name: the name's DISPID, then Invoke.
    HRESULT invoke(const wchar_t *name, WORD flags, std::vector<VARIANT> arguments, VARIANT *result,
                   EXCEPINFO *exception = nullptr)
    {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (const HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
            return hr;
        std::vector<VARIANTARG> reversed(arguments.rbegin(), arguments.rend());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS parameters = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (flags == DISPATCH_PROPERTYPUT) {
            parameters.rgdispidNamedArgs = &put;
            parameters.cNamedArgs = 1;
        }
        EXCEPINFO ignored{};
        UINT argumentError = 0;
        const HRESULT hr = m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result,
                                            exception ? exception : &ignored, &argumentError);
        if (!exception) {
            SysFreeString(ignored.bstrSource);
            SysFreeString(ignored.bstrDescription);
            SysFreeString(ignored.bstrHelpFile);
        }
        return hr;
    }

    _Corvane *m_object = nullptr;
};

TEST_F(ComClient, PropertiesStartAtTheirDefaultsAndKeepWhatTheirChecksAllow)
{
    BSTR font = nullptr;
    ASSERT_EQ(m_object->get_DocFooterFont(&font), S_OK);
    EXPECT_EQ(text(font), L"Arial,10,0,0,0");
    SysFreeString(font);
    spPaperSize size{};
    spPaperBin bin{};
    spPrintQuality quality{};
    short margin = 0, copies = 0;
    VARIANT_BOOL border = 1;
    ASSERT_EQ(m_object->get_PaperSize(&size), S_OK);
    ASSERT_EQ(m_object->get_PaperBin(&bin), S_OK);
    ASSERT_EQ(m_object->get_PrintQuality(&quality), S_OK);
    ASSERT_EQ(m_object->get_PrintBorder(&border), S_OK);
    EXPECT_EQ(size, 1);
    EXPECT_EQ(bin, 7);
    EXPECT_EQ(quality, 3);
    EXPECT_EQ(border, VARIANT_FALSE);

    // A margin out of its bounds is ignored, and the call still succeeds; the bounds are stored.
    EXPECT_EQ(m_object->put_MarginTop(199), S_OK);
    m_object->get_MarginTop(&margin);
    EXPECT_EQ(margin, 1440);
    EXPECT_EQ(m_object->put_MarginTop(10000), S_OK);
    m_object->get_MarginTop(&margin);
    EXPECT_EQ(margin, 10000);
    EXPECT_EQ(m_object->put_Copies(0), S_OK);
    m_object->get_Copies(&copies);
    EXPECT_EQ(copies, 1);

    // Unchecked properties keep any value of their type.
    ASSERT_EQ(m_object->put_PrintBorder(7), S_OK);
    m_object->get_PrintBorder(&border);
    EXPECT_EQ(border, 7);
    spOrientation orientation{};
    ASSERT_EQ(m_object->put_PaperOrientation(static_cast<spOrientation>(5)), S_OK);
    m_object->get_PaperOrientation(&orientation);
    EXPECT_EQ(orientation, 5);
    ASSERT_EQ(m_object->put_DocTitle(Bstr(L"Rapport \u00e9t\u00e9")), S_OK);
    BSTR title = nullptr;
    m_object->get_DocTitle(&title);
    EXPECT_EQ(text(title), L"Rapport \u00e9t\u00e9");
    SysFreeString(title);
}

TEST_F(ComClient, LateBindingFindsNamesInAnyCaseAndFillsInOmittedArguments)
{
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(invoke(L"pAPERsIZE", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 1);

    // Text converts to the property's type.
    VARIANT nine;
    V_VT(&nine) = VT_BSTR;
    V_BSTR(&nine) = SysAllocString(L"9");
    ASSERT_EQ(invoke(L"PAPERSIZE", DISPATCH_PROPERTYPUT, {nine}, nullptr), S_OK);
    VariantClear(&nine);
    spPaperSize size{};
    m_object->get_PaperSize(&size);
    EXPECT_EQ(size, 9);

    // A number written to a Boolean property reads back as that number.
    VARIANT seven;
    V_VT(&seven) = VT_I4;
    V_I4(&seven) = 7;
    ASSERT_EQ(invoke(L"includedatetime", DISPATCH_PROPERTYPUT, {seven}, nullptr), S_OK);
    ASSERT_EQ(invoke(L"IncludeDateTime", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), 7);

    // PrintDoc with its printer name left out, on a file that is not there.
    VARIANT file;
    V_VT(&file) = VT_BSTR;
    V_BSTR(&file) = SysAllocString(kMissingFile.c_str());
    ASSERT_EQ(invoke(L"filename", DISPATCH_PROPERTYPUT, {file}, nullptr), S_OK);
    VariantClear(&file);
    ASSERT_EQ(invoke(L"printdoc", DISPATCH_METHOD, {}, &result), S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_EQ(text(V_BSTR(&result)), L"-1|File Not Found!");
    VariantClear(&result);

    // GetPrinters with and without its by-reference count.
    ASSERT_EQ(invoke(L"getprinters", DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_ARRAY | VT_VARIANT);
    VariantClear(&result);
    VARIANT count, reference;
    VariantInit(&count);
    V_VT(&reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&reference) = &count;
    ASSERT_EQ(invoke(L"GetPrinters", DISPATCH_METHOD, {reference}, &result), S_OK);
    EXPECT_EQ(V_VT(&count), VT_I2);
    VariantClear(&result);

    EXPECT_EQ(invoke(L"NoSuchMember", DISPATCH_METHOD, {}, &result), DISP_E_UNKNOWNNAME);
}

// A call on the object from a thread that is not its own, without marshalling, is refused by
// the core: the result and the error information carry its number and description.
TEST_F(ComClient, CoreErrorsComeBackWithTheirNumberAndDescription)
{
    ISupportErrorInfo *support = nullptr;
    ASSERT_EQ(m_object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(&support)), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Corvane), S_OK);
    support->Release();

    HRESULT direct = S_OK, late = S_OK;
    std::wstring description, source, lateDescription;
    SCODE lateCode = 0;
    std::thread other([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        direct = m_object->put_DocTitle(Bstr(L"from the wrong thread"));
        IErrorInfo *info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK) {
            BSTR value = nullptr;
            info->GetDescription(&value);
            description = text(value);
            SysFreeString(value);
            info->GetSource(&value);
            source = text(value);
            SysFreeString(value);
            info->Release();
        }
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        late = invoke(L"DocTitle", DISPATCH_PROPERTYGET, {}, &result, &exception);
        lateCode = exception.scode;
        lateDescription = text(exception.bstrDescription);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        CoUninitialize();
    });
    other.join();
    const std::wstring expected = L"The application called an interface that was marshalled for a different thread";
    EXPECT_EQ(direct, static_cast<HRESULT>(0x8001010E));
    EXPECT_EQ(description, expected);
    EXPECT_EQ(source, L"CorvaneCOM.Corvane");
    EXPECT_EQ(late, DISP_E_EXCEPTION);
    EXPECT_EQ(lateCode, static_cast<SCODE>(0x8001010E));
    EXPECT_EQ(lateDescription, expected);
    BSTR title = nullptr;
    m_object->get_DocTitle(&title);
    EXPECT_EQ(text(title), L"");
    SysFreeString(title);
}

TEST_F(ComClient, CallsFromAnotherApartmentGoThroughTheMarshaler)
{
    IStream *stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID__Corvane, m_object, &stream), S_OK);
    std::atomic<bool> done{false};
    HRESULT put = E_FAIL, get = E_FAIL;
    short margin = 0;
    std::thread other([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        _Corvane *proxy = nullptr;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID__Corvane, reinterpret_cast<void **>(&proxy)))) {
            put = proxy->put_DocTitle(Bstr(L"From another apartment"));
            get = proxy->get_MarginLeft(&margin);
            proxy->Release();
        }
        CoUninitialize();
        done = true;
    });
    // The object's apartment answers the calls through its messages.
    for (int i = 0; i < 3000 && !done; ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    other.join();
    EXPECT_EQ(put, S_OK);
    EXPECT_EQ(get, S_OK);
    EXPECT_EQ(margin, 1440);
    BSTR title = nullptr;
    m_object->get_DocTitle(&title);
    EXPECT_EQ(text(title), L"From another apartment");
    SysFreeString(title);
}

// An event sink that records each event and may act inside it.
class Sink final : public IDispatch {
public:
    struct Call {
        DISPID id;
        std::vector<std::wstring> arguments; // "type:value" of each argument, in order
    };

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID___Corvane)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *parameters, VARIANT *, EXCEPINFO *,
                                     UINT *) override
    {
        Call call{id, {}};
        for (UINT i = parameters->cArgs; i-- > 0;) {
            VARIANTARG &argument = parameters->rgvarg[i];
            std::wstring described = std::to_wstring(V_VT(&argument));
            if (V_VT(&argument) == (VT_BYREF | VT_VARIANT)) {
                VARIANT *value = V_VARIANTREF(&argument);
                described += L">" + std::to_wstring(V_VT(value)) + L":";
                if (V_VT(value) == VT_I2)
                    described += std::to_wstring(V_I2(value));
                else if (V_VT(value) == VT_BSTR)
                    described += text(V_BSTR(value));
                // A handler may write into its arguments; the object does not read them back.
                VariantClear(value);
                V_VT(value) = VT_I4;
                V_I4(value) = 99;
            }
            call.arguments.push_back(described);
        }
        calls.push_back(call);
        if (inside)
            inside();
        return S_OK;
    }

    ULONG references = 1;
    std::vector<Call> calls;
    std::function<void()> inside;
};

TEST_F(ComClient, EventsReachEverySinkAndASinkMayUnadviseInsideOne)
{
    IConnectionPointContainer *container = nullptr;
    ASSERT_EQ(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(&container)), S_OK);
    IConnectionPoint *point = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(DIID___Corvane, &point), S_OK);
    IEnumConnectionPoints *points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint *listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0], point);
    listed[0]->Release();
    points->Release();
    container->Release();

    IProvideClassInfo2 *classInfo = nullptr;
    ASSERT_EQ(m_object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void **>(&classInfo)), S_OK);
    GUID source{};
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(guidText(source), L"{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E12}");
    ITypeInfo *coclass = nullptr;
    ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
    TYPEATTR *attributes = nullptr;
    coclass->GetTypeAttr(&attributes);
    EXPECT_EQ(guidText(attributes->guid), kClsid);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(attributes);
    coclass->Release();
    classInfo->Release();

    // Three sinks; the first one, inside the event, unadvises itself and the second one.
    Sink first, second, third;
    DWORD cookies[3] = {};
    ASSERT_EQ(point->Advise(&first, &cookies[0]), S_OK);
    ASSERT_EQ(point->Advise(&second, &cookies[1]), S_OK);
    ASSERT_EQ(point->Advise(&third, &cookies[2]), S_OK);
    first.inside = [&] {
        EXPECT_EQ(point->Unadvise(cookies[0]), S_OK);
        EXPECT_EQ(point->Unadvise(cookies[1]), S_OK);
    };
    m_object->put_FileName(Bstr(kMissingFile.c_str()));
    VARIANT result;
    for (int call = 0; call < 2; ++call) {
        ASSERT_EQ(m_object->PrintDoc(Bstr(L""), &result), S_OK);
        ASSERT_EQ(V_VT(&result), VT_BSTR);
        EXPECT_EQ(text(V_BSTR(&result)), L"-1|File Not Found!");
        VariantClear(&result);
    }

    // PrintError (2): ErrNumber a VT_I2 -1 and ErrDescription a string, each a VARIANT by
    // reference (16396 = VT_BYREF | VT_VARIANT); the third sink sees the event's own values,
    // not what the first one wrote back, on both calls.
    const std::vector<std::wstring> expected = {L"16396>2:-1", L"16396>8:File Not Found!"};
    ASSERT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(first.calls[0].id, 2);
    EXPECT_EQ(first.calls[0].arguments, expected);
    EXPECT_TRUE(second.calls.empty());
    ASSERT_EQ(third.calls.size(), 2u);
    for (const Sink::Call &call : third.calls) {
        EXPECT_EQ(call.id, 2);
        EXPECT_EQ(call.arguments, expected);
    }

    IEnumConnections *connections = nullptr;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[3] = {};
    EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(data[0].dwCookie, cookies[2]);
    EXPECT_EQ(data[0].pUnk, static_cast<IUnknown *>(&third));
    data[0].pUnk->Release();
    connections->Release();

    EXPECT_EQ(point->Unadvise(cookies[2]), S_OK);
    EXPECT_EQ(point->Unadvise(cookies[2]), CONNECT_E_NOCONNECTION);
    point->Release();
    // Every reference the object took on a sink has been given back.
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(second.references, 1u);
    EXPECT_EQ(third.references, 1u);
}

// A call from another apartment that arrives while the object's thread prints (its handler lets
// messages through): the property is set, the print is refused with error 5 and the open job
// goes on to deliver its one PDF.
TEST_F(ComClient, ACallFromAnotherApartmentDuringAJobFindsTheJobOpen)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "corvane-com-during-a-job";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_PDF_DIR", folder.wstring().c_str()));

    IConnectionPointContainer *container = nullptr;
    ASSERT_EQ(m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(&container)), S_OK);
    IConnectionPoint *point = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(DIID___Corvane, &point), S_OK);
    container->Release();
    Sink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

    IStream *stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID__Corvane, m_object, &stream), S_OK);
    std::atomic<bool> done{false};
    HRESULT put = E_FAIL, print = E_FAIL;
    std::wstring inner;
    std::thread other;
    sink.inside = [&] {
        if (sink.calls.size() != 1)
            return;
        other = std::thread([&] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            _Corvane *proxy = nullptr;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID__Corvane, reinterpret_cast<void **>(&proxy)))) {
                put = proxy->put_DocTitle(Bstr(L"Changed meanwhile"));
                VARIANT result;
                VariantInit(&result);
                print = proxy->PrintDoc(Bstr(L"Corvane PDF"), &result);
                inner = V_VT(&result) == VT_BSTR ? text(V_BSTR(&result)) : L"type " + std::to_wstring(V_VT(&result));
                VariantClear(&result);
                proxy->Release();
            }
            CoUninitialize();
            done = true;
        });
        for (int i = 0; i < 3000 && !done; ++i) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        }
    };
    m_object->put_DocText(Bstr(L"Printed while another apartment calls"));
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(m_object->PrintDoc(Bstr(L"Corvane PDF"), &result), S_OK);
    if (other.joinable())
        other.join();
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
    EXPECT_EQ(put, S_OK);
    EXPECT_EQ(print, S_OK);
    EXPECT_EQ(inner, L"5|Invalid procedure call or argument: a print job of this thread is still open (a print method "
                     L"was called from one of its event handlers)");
    // PrintProgress 1, the refused call's PrintError 5, then the job's PrintComplete.
    ASSERT_EQ(sink.calls.size(), 3u);
    EXPECT_EQ(sink.calls[0].id, 3);
    EXPECT_EQ(sink.calls[1].id, 2);
    EXPECT_EQ(sink.calls[2].id, 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
    BSTR title = nullptr;
    m_object->get_DocTitle(&title);
    EXPECT_EQ(text(title), L"Changed meanwhile");
    SysFreeString(title);

    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    point->Release();
    SetEnvironmentVariableW(L"CORVANE_PDF_DIR", nullptr);
    std::filesystem::remove_all(folder);
}

// FileName is a Windows name in UTF-16: files named in Latin, Cyrillic and Chinese letters are
// printed, not "File Not Found!", and a wildcard among such letters finds its file (which, a
// wildcard name being no name to open, ends in error 52 as any wildcard does).
TEST_F(ComClient, FileNamesOutsideTheAnsiCodePagePrint)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path()
                                       / L"corvane-com-\u043f\u0430\u043f\u043a\u0430";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "pdf");
    ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_PDF_DIR", (folder / "pdf").wstring().c_str()));
    const std::wstring names[] = {L"r\u00e9sum\u00e9.txt", L"\u043e\u0442\u0447\u0451\u0442.txt", L"\u62a5\u544a.txt"};
    for (const std::wstring &name : names)
        std::ofstream(folder / name, std::ios::binary) << "Report words\r\n";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {(folder / names[0]).wstring(), L""},
        {(folder / names[1]).wstring(), L""},
        {(folder / names[2]).wstring(), L""},
        {(folder / L"\u62a5*.txt").wstring(), L"52|Bad file name or number"}};
    for (const auto &[name, expected] : cases) {
        m_object->put_FileName(Bstr(name.c_str()));
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(m_object->PrintDoc(Bstr(L"Corvane PDF"), &result), S_OK);
        EXPECT_EQ(V_VT(&result) == VT_BSTR ? text(V_BSTR(&result)) : L"", expected) << name;
        EXPECT_EQ(V_VT(&result), expected.empty() ? VT_EMPTY : VT_BSTR) << name;
        VariantClear(&result);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "pdf"), std::filesystem::directory_iterator()),
              3);
    SetEnvironmentVariableW(L"CORVANE_PDF_DIR", nullptr);
    std::filesystem::remove_all(folder);
}

TEST_F(ComClient, NewObjectsDeleteLeftoverTemporaryHtmlFiles)
{
    wchar_t temporary[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temporary);
    const std::wstring folder = std::wstring(temporary) + L"Corvane\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::vector<std::wstring> leftovers = {L"$123456$.htm", L"$a b$.htm"};
    const std::vector<std::wstring> others = {L"keep.htm", L"x$1$.htm", L"$1$.html"};
    for (const auto &name : leftovers)
        std::ofstream(std::filesystem::path(folder + name)) << "<p>old</p>";
    for (const auto &name : others)
        std::ofstream(std::filesystem::path(folder + name)) << "<p>kept</p>";

    _Corvane *another = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Corvane, nullptr, CLSCTX_INPROC_SERVER, IID__Corvane,
                               reinterpret_cast<void **>(&another)),
              S_OK);
    another->Release();
    for (const auto &name : leftovers)
        EXPECT_EQ(GetFileAttributesW((folder + name).c_str()), INVALID_FILE_ATTRIBUTES) << name.size();
    for (const auto &name : others) {
        EXPECT_NE(GetFileAttributesW((folder + name).c_str()), INVALID_FILE_ATTRIBUTES) << name.size();
        DeleteFileW((folder + name).c_str());
    }
}

TEST(ComTypeLibrary, DeclaresTheInterfaceTheClassTheEventsAndTheEnumerations)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    ITypeLib *library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_CorvaneCOM, 6, 0, 0x409, &library), S_OK);
    TLIBATTR *libraryAttributes = nullptr;
    library->GetLibAttr(&libraryAttributes);
    EXPECT_EQ(libraryAttributes->wMajorVerNum, 6);
    EXPECT_EQ(libraryAttributes->wMinorVerNum, 0);
    EXPECT_EQ(libraryAttributes->lcid, 0x409u);
    library->ReleaseTLibAttr(libraryAttributes);

    std::vector<std::wstring> names;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        BSTR name = nullptr;
        library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr);
        names.push_back(text(name));
        SysFreeString(name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"_Corvane", L"Corvane", L"__Corvane", L"spOrientation",
                                                L"spLineSpacing", L"spPaperSize", L"spPrintQuality", L"spPaperBin"}));

    // The members of _Corvane in vtable order, after IDispatch's seven.
    ITypeInfo *dispatchInfo = nullptr, *info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID__Corvane, &dispatchInfo), S_OK);
    HREFTYPE vtable = 0;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &vtable), S_OK);
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtable, &info), S_OK);
    TYPEATTR *attributes = nullptr;
    info->GetTypeAttr(&attributes);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attributes->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE);
    const std::vector<std::wstring> properties = {
        L"DocTitleFont",     L"DocTextFont",     L"DocHeaderFont",   L"DocFooterFont",   L"PrintBorder",
        L"LineBelowHeader",  L"LineAboveFooter", L"DocTitle",        L"DocText",         L"DocHeader",
        L"DocFooter",        L"FileName",        L"MarginLeft",      L"MarginRight",     L"MarginTop",
        L"MarginBottom",     L"Copies",          L"IncludeDateTime", L"AllDataFromFile", L"LineSpacing",
        L"PaperOrientation", L"BorderLineWidth", L"PaperSize",       L"PrintQuality",    L"PaperBin",
        L"PrintPageNumber"};
    std::vector<std::wstring> expected = {L"PrintDoc"};
    for (const auto &property : properties) {
        expected.push_back(L"get " + property);
        expected.push_back(L"put " + property);
    }
    for (const wchar_t *method :
         {L"GetPrinters", L"SetPrinter", L"PrintRTFData", L"PrintRTFFile", L"PrintTextFile", L"PrintText",
          L"PrintHTMLDocument", L"PrintHTMLDocFromSource", L"PrintPDFFile", L"About"})
        expected.push_back(method);
    std::vector<std::wstring> members;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC *function = nullptr;
        info->GetFuncDesc(i, &function);
        BSTR name = nullptr;
        UINT count = 0;
        info->GetNames(function->memid, &name, 1, &count);
        const std::wstring kind = function->invkind == INVOKE_PROPERTYGET ? L"get "
                                : function->invkind == INVOKE_PROPERTYPUT ? L"put "
                                                                          : L"";
        if (function->oVft == static_cast<SHORT>((7 + i) * sizeof(void *)))
            members.push_back(kind + text(name));
        SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
    EXPECT_EQ(members, expected);

    // The defaults late-bound callers get for the nine layout parameters of PrintRTFData.
    FUNCDESC *rtfData = nullptr;
    ASSERT_EQ(info->GetFuncDesc(1 + 2 * static_cast<UINT>(properties.size()) + 2, &rtfData), S_OK);
    std::vector<long> defaults;
    for (SHORT i = 1; i < rtfData->cParams - 1; ++i) {
        const PARAMDESC &parameter = rtfData->lprgelemdescParam[i].paramdesc;
        VARIANT value;
        VariantInit(&value);
        if ((parameter.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) == (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)
            && SUCCEEDED(VariantChangeType(&value, &parameter.pparamdescex->varDefaultValue, 0, VT_I4)))
            defaults.push_back(V_I4(&value));
    }
    // The paper settings are of their enumerations' types.
    std::vector<std::wstring> types;
    for (SHORT i = 5; i <= 8; ++i) {
        const TYPEDESC &type = rtfData->lprgelemdescParam[i].tdesc;
        ITypeInfo *enumeration = nullptr;
        BSTR name = nullptr;
        if (type.vt == VT_USERDEFINED && SUCCEEDED(info->GetRefTypeInfo(type.hreftype, &enumeration))) {
            enumeration->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            enumeration->Release();
        }
        types.push_back(text(name));
        SysFreeString(name);
    }
    info->ReleaseFuncDesc(rtfData);
    EXPECT_EQ(defaults, (std::vector<long>{1440, 1440, 1440, 1440, 1, 9, 7, 3, 1}));
    EXPECT_EQ(types, (std::vector<std::wstring>{L"spOrientation", L"spPaperSize", L"spPaperBin", L"spPrintQuality"}));
    info->ReleaseTypeAttr(attributes);
    info->Release();
    dispatchInfo->Release();

    // The events, with their fixed DISPIDs.
    ASSERT_EQ(library->GetTypeInfoOfGuid(DIID___Corvane, &info), S_OK);
    info->GetTypeAttr(&attributes);
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    std::vector<std::wstring> events;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC *function = nullptr;
        info->GetFuncDesc(i, &function);
        BSTR name = nullptr;
        UINT count = 0;
        info->GetNames(function->memid, &name, 1, &count);
        events.push_back(std::to_wstring(function->memid) + L" " + text(name) + L"/" + std::to_wstring(function->cParams));
        SysFreeString(name);
        info->ReleaseFuncDesc(function);
    }
    EXPECT_EQ(events, (std::vector<std::wstring>{L"1 PrintComplete/0", L"2 PrintError/2", L"3 PrintProgress/1"}));
    info->ReleaseTypeAttr(attributes);
    info->Release();

    // spPaperSize: declaration order, DMPAPER values; the enumeration and each enumerator with its
    // help string, its own name.
    ITypeInfo *paper = nullptr;
    const GUID paperSize = {0x6C0F5A2E, 0x3B9D, 0x4E71, {0x9A, 0x44, 0x2F, 0x1C, 0x7D, 0x8B, 0x5E, 0x16}};
    ASSERT_EQ(library->GetTypeInfoOfGuid(paperSize, &paper), S_OK);
    paper->GetTypeAttr(&attributes);
    EXPECT_EQ(attributes->cVars, 41);
    std::vector<std::wstring> around;
    for (UINT i : {0u, 8u, 26u, 27u, 28u, 29u, 40u}) {
        VARDESC *variable = nullptr;
        paper->GetVarDesc(i, &variable);
        BSTR name = nullptr;
        UINT count = 0;
        paper->GetNames(variable->memid, &name, 1, &count);
        BSTR memberHelp = nullptr;
        paper->GetDocumentation(variable->memid, nullptr, &memberHelp, nullptr, nullptr);
        around.push_back(text(name) + L"=" + std::to_wstring(V_I4(variable->lpvarValue)) + L" " + text(memberHelp));
        SysFreeString(memberHelp);
        SysFreeString(name);
        paper->ReleaseVarDesc(variable);
    }
    EXPECT_EQ(around, (std::vector<std::wstring>{L"spPaperLetter=1 spPaperLetter", L"spPaperA4=9 spPaperA4",
                                                 L"spPaperEnvDL=27 spPaperEnvDL", L"spPaperEnvC3=29 spPaperEnvC3",
                                                 L"spPaperEnvC4=30 spPaperEnvC4", L"spPaperEnvC5=28 spPaperEnvC5",
                                                 L"spPaperFanfoldLglGerman=41 spPaperFanfoldLglGerman"}));
    paper->ReleaseTypeAttr(attributes);
    BSTR help = nullptr;
    paper->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
    EXPECT_EQ(text(help), L"spPaperSize");
    SysFreeString(help);
    paper->Release();

    // A name found by itself leads to the type description that declares it.
    wchar_t sought[] = L"SPPAPERA4";
    ITypeInfo *found = nullptr;
    MEMBERID member = 0;
    USHORT matches = 1;
    ASSERT_EQ(library->FindName(sought, 0, &found, &member, &matches), S_OK);
    ASSERT_EQ(matches, 1);
    BSTR owner = nullptr;
    found->GetDocumentation(MEMBERID_NIL, &owner, nullptr, nullptr, nullptr);
    EXPECT_EQ(text(owner), L"spPaperSize");
    SysFreeString(owner);
    found->Release();
    library->Release();
    CoUninitialize();
}

TEST(ComServer, UnloadsOnlyWithoutObjectsOrLocks)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    using GetClassObject = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE *)();
    const auto getClassObject = serverExport<GetClassObject>("DllGetClassObject");
    const auto canUnloadNow = serverExport<CanUnloadNow>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnloadNow);

    IClassFactory *factory = nullptr;
    ASSERT_EQ(getClassObject(CLSID_Corvane, IID_IClassFactory, reinterpret_cast<void **>(&factory)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK);
    IUnknown *object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&object)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    IConnectionPointContainer *container = nullptr;
    object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(&container));
    IEnumConnectionPoints *points = nullptr;
    container->EnumConnectionPoints(&points);
    container->Release();
    object->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE); // the enumerator holds the object's connection point
    points->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
    factory->LockServer(TRUE);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnloadNow(), S_OK);
    factory->Release();
    EXPECT_EQ(factory->CreateInstance(nullptr, IID__Corvane, nullptr), E_POINTER);
    EXPECT_EQ(getClassObject(IID__Corvane, IID_IClassFactory, reinterpret_cast<void **>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    CoUninitialize();
}

// Registration runs last: it unregisters and registers the class again.
TEST(ComRegistration, WritesTheClassTheTypeLibraryAndBothInterfaces)
{
    const std::wstring path = registryValue(L"CLSID\\" + kClsid + L"\\InprocServer32");
    EXPECT_EQ(path.substr(path.size() - 15), L"\\CorvaneCOM.dll");
    EXPECT_EQ(registryValue(L"CLSID\\" + kClsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(registryValue(L"CorvaneCOM.Corvane\\CLSID"), kClsid);
    EXPECT_EQ(registryValue(L"CorvaneCOM.Corvane\\CurVer"), L"CorvaneCOM.Corvane.1");
    EXPECT_EQ(registryValue(L"CorvaneCOM.Corvane.1\\CLSID"), kClsid);
    EXPECT_EQ(registryValue(L"CLSID\\" + kClsid + L"\\ProgID"), L"CorvaneCOM.Corvane.1");
    EXPECT_EQ(registryValue(L"TypeLib\\" + kLibid + L"\\6.0\\409\\" + kOwnSysKind), path);
    // Both interfaces marshal through the type library (the automation marshaler).
    // Both interfaces are marshalled through the type library: _Corvane by the automation
    // marshaler, the events as a dispinterface.
    const std::pair<const wchar_t *, const wchar_t *> interfaces[] = {
        {L"{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E11}", L"{00020424-0000-0000-C000-000000000046}"},
        {L"{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E12}", L"{00020420-0000-0000-C000-000000000046}"}};
    for (const auto &[iid, marshaler] : interfaces) {
        EXPECT_EQ(registryValue(std::wstring(L"Interface\\") + iid + L"\\ProxyStubClsid32"), marshaler);
        EXPECT_EQ(registryValue(std::wstring(L"Interface\\") + iid + L"\\TypeLib"), kLibid);
    }
}

TEST(ComRegistration, UnregisteringOneBitnessLeavesTheOtherRegistered)
{
    using Server = HRESULT(STDAPICALLTYPE *)();
    const auto registerServer = serverExport<Server>("DllRegisterServer");
    const auto unregisterServer = serverExport<Server>("DllUnregisterServer");
    ASSERT_TRUE(registerServer && unregisterServer);
    const std::wstring classKey = L"CLSID\\" + kClsid;
    const std::wstring interfaceKey = L"Interface\\{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E11}";

    // The copy of the other bitness, registered in its own view.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                              KEY_WRITE | kOtherView, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(keyExists(classKey + L"\\InprocServer32", kOtherView));

    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(keyExists(classKey, kOwnView));
    EXPECT_TRUE(keyExists(classKey + L"\\InprocServer32", kOtherView));
    EXPECT_EQ(registryValue(L"CorvaneCOM.Corvane\\CLSID"), kClsid);
    EXPECT_EQ(registryValue(L"CorvaneCOM.Corvane.1\\CLSID"), kClsid);
    EXPECT_TRUE(keyExists(interfaceKey));
    EXPECT_FALSE(keyExists(L"TypeLib\\" + kLibid + L"\\6.0\\409\\" + kOwnSysKind));

    // Without the other copy, everything goes.
    ASSERT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str(), kOtherView, 0), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), kOtherView, 0), ERROR_SUCCESS);
    EXPECT_EQ(registerServer(), S_OK);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(keyExists(classKey, kOwnView));
    EXPECT_FALSE(keyExists(L"CorvaneCOM.Corvane"));
    EXPECT_FALSE(keyExists(L"CorvaneCOM.Corvane.1"));
    EXPECT_FALSE(keyExists(interfaceKey));
    EXPECT_FALSE(keyExists(L"TypeLib\\" + kLibid + L"\\6.0\\409\\" + kOwnSysKind));
    // Unregistering what is not registered (regsvr32 /u twice) has nothing to do and succeeds.
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(keyExists(L"CorvaneCOM.Corvane"));

    // Registered again for the run's last step, regsvr32 /u.
    EXPECT_EQ(registerServer(), S_OK);
}

// A registration that cannot write a key fails with the system's error and leaves nothing of
// itself behind. HKEY_CLASSES_ROOT is pointed at a key of the test's own whose CLSID subkey is
// volatile: the class's key under it cannot be made (a volatile key has volatile keys only),
// after the programmatic identifiers have been written.
TEST(ComRegistration, FailsWithTheSystemsErrorAndRemovesWhatItWrote)
{
    using Server = HRESULT(STDAPICALLTYPE *)();
    const auto registerServer = serverExport<Server>("DllRegisterServer");
    ASSERT_TRUE(registerServer);
    HKEY classes = nullptr, clsid = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\CorvaneTest\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &classes, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegCreateKeyExW(classes, L"CLSID", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &clsid, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(clsid);

    ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes), ERROR_SUCCESS);
    const HRESULT result = registerServer();
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);

    EXPECT_EQ(result, HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
    HKEY written = nullptr;
    EXPECT_EQ(RegOpenKeyExW(classes, L"CorvaneCOM.Corvane", 0, KEY_READ, &written), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExW(classes, L"CorvaneCOM.Corvane.1", 0, KEY_READ, &written), ERROR_FILE_NOT_FOUND);
    RegCloseKey(classes);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\CorvaneTest");
    // The real registration is untouched.
    EXPECT_EQ(registryValue(L"CorvaneCOM.Corvane\\CLSID"), kClsid);
}

} // namespace
