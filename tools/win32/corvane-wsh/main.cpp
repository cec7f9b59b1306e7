// corvane-wsh: runs a VBScript (.vbs) or JScript (.js) file through the script engines that
// Windows provides, with a WScript object of its own:
//   WScript.Echo a, b, ...             the arguments joined by spaces, one line on stdout (UTF-8)
//   WScript.Quit [code]                ends the process at once with the code (0 when none)
//   WScript.Arguments                  Count / Length / Item(i) / For Each of the arguments after the script
//   WScript.CreateObject(progid[, prefix])
//                                      creates the object; with a prefix, its default source
//                                      interface calls the script's functions prefix + event name
//   WScript.Sleep ms                   waits, letting the thread's window messages through
// A script error, at parse or run time, prints the line and the description on stderr and ends
// the process with status 1; a script that runs to its end exits 0.
#include <windows.h>
#include <activscp.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const LCID Locale = LOCALE_USER_DEFAULT;

IActiveScript *g_engine = nullptr; // the one engine of the process; event sinks reach the script through it
std::wstring g_scriptPath;

// Output goes out unbuffered, so that nothing is lost when Quit or an error ends the process.
void writeUtf8(HANDLE handle, const std::wstring &text)
{
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void writeOut(const std::wstring &line) { writeUtf8(GetStdHandle(STD_OUTPUT_HANDLE), line + L"\r\n"); }
void writeErr(const std::wstring &line) { writeUtf8(GetStdHandle(STD_ERROR_HANDLE), line + L"\r\n"); }

std::wstring hex(HRESULT hr)
{
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

std::wstring systemMessage(HRESULT code)
{
    // The automation codes that the engines pass on from a failed call, in the words scripts know.
    static const struct {
        HRESULT code;
        const wchar_t *text;
    } automation[] = {
        {DISP_E_DIVBYZERO, L"Division by zero"},
        {DISP_E_TYPEMISMATCH, L"Type mismatch"},
        {DISP_E_OVERFLOW, L"Overflow"},
        {DISP_E_BADINDEX, L"Subscript out of range"},
        {DISP_E_UNKNOWNNAME, L"Object doesn't support this property or method"},
        {DISP_E_MEMBERNOTFOUND, L"Object doesn't support this property or method"},
        {DISP_E_BADPARAMCOUNT, L"Wrong number of arguments or invalid property assignment"},
        {DISP_E_PARAMNOTOPTIONAL, L"Argument not optional"},
    };
    for (const auto &known : automation) {
        if (known.code == code)
            return known.text;
    }
    wchar_t buffer[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  static_cast<DWORD>(code), 0, buffer, 512, nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? L"error " + hex(code) : text;
}

std::wstring fromBstr(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

// A failure the script sees as a run-time error with this description.
HRESULT raise(EXCEPINFO *info, HRESULT code, const std::wstring &description)
{
    if (!info)
        return code;
    *info = {};
    info->bstrSource = SysAllocString(L"WScript");
    info->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
    info->scode = code;
    return DISP_E_EXCEPTION;
}

// The argument at position i (in the caller's order), by value.
HRESULT argument(DISPPARAMS *params, UINT i, VARIANT *out)
{
    VariantInit(out);
    if (i >= params->cArgs)
        return DISP_E_PARAMNOTFOUND;
    return VariantCopyInd(out, &params->rgvarg[params->cArgs - 1 - i]);
}

bool isMissing(const VARIANT &value) { return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND; }

// The text Echo writes for one value: what the value's own conversion to a string gives, with
// booleans as True and False; Null as the word.
HRESULT toText(VARIANT &value, std::wstring *text)
{
    if (value.vt == VT_NULL) {
        *text = L"Null";
        return S_OK;
    }
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeTypeEx(&converted, &value, Locale, VARIANT_ALPHABOOL, VT_BSTR);
    if (FAILED(hr))
        return hr;
    *text = fromBstr(converted.bstrVal);
    VariantClear(&converted);
    return S_OK;
}

// IUnknown and IDispatch with the members looked up by name (case-insensitively, as VBScript
// expects), for the host's own objects, which have no type library.
class Dispatch : public IDispatch {
public:
    struct Member {
        const wchar_t *name;
        DISPID id;
    };

    explicit Dispatch(std::vector<Member> members)
        : m_members(std::move(members))
    {
    }
    virtual ~Dispatch() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        for (const Member &member : m_members) {
            if (count > 0 && _wcsicmp(names[0], member.name) == 0)
                ids[0] = member.id;
        }
        for (UINT i = 0; i < count; ++i) {
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *info, UINT *) override
    {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VARIANT ignored;
        VariantInit(&ignored);
        HRESULT hr = call(id, flags, params ? params : &none, result ? result : &ignored, info);
        VariantClear(&ignored);
        return hr;
    }

protected:
    virtual HRESULT call(DISPID id, WORD flags, DISPPARAMS *params, VARIANT *result, EXCEPINFO *info) = 0;

private:
    std::vector<Member> m_members;
    LONG m_refs = 1;
};

// The enumerator behind For Each over WScript.Arguments.
class ArgumentEnumerator : public IEnumVARIANT {
public:
    explicit ArgumentEnumerator(const std::vector<std::wstring> &items)
        : m_items(items)
    {
    }
    virtual ~ArgumentEnumerator() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
            *out = static_cast<IEnumVARIANT *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT *out, ULONG *fetched) override
    {
        ULONG n = 0;
        for (; n < count && m_next < m_items.size(); ++n, ++m_next) {
            VariantInit(&out[n]);
            out[n].vt = VT_BSTR;
            out[n].bstrVal = SysAllocString(m_items[m_next].c_str());
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        m_next = std::min(m_items.size(), m_next + static_cast<size_t>(count));
        return m_next < m_items.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT **out) override
    {
        auto *copy = new ArgumentEnumerator(m_items);
        copy->m_next = m_next;
        *out = copy;
        return S_OK;
    }

private:
    std::vector<std::wstring> m_items;
    size_t m_next = 0;
    LONG m_refs = 1;
};

// WScript.Arguments: the command-line arguments after the script's name.
class Arguments : public Dispatch {
public:
    enum : DISPID { ItemId = DISPID_VALUE, CountId = 1, LengthId = 2 };

    explicit Arguments(std::vector<std::wstring> items)
        : Dispatch({{L"Item", ItemId}, {L"Count", CountId}, {L"Length", LengthId}, {L"_NewEnum", DISPID_NEWENUM}})
        , m_items(std::move(items))
    {
    }

    // Arguments(i) on the parent object lands here too.
    HRESULT item(DISPPARAMS *params, VARIANT *result, EXCEPINFO *info)
    {
        VARIANT index;
        HRESULT hr = argument(params, 0, &index);
        if (SUCCEEDED(hr))
            hr = VariantChangeType(&index, &index, 0, VT_I4);
        if (FAILED(hr))
            return raise(info, DISP_E_TYPEMISMATCH, L"Arguments.Item needs the index of an argument");
        if (index.lVal < 0 || static_cast<size_t>(index.lVal) >= m_items.size())
            return raise(info, DISP_E_BADINDEX,
                         L"There is no argument " + std::to_wstring(index.lVal) + L": the script was given "
                             + std::to_wstring(m_items.size()) + L", numbered from 0");
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(m_items[static_cast<size_t>(index.lVal)].c_str());
        return S_OK;
    }

protected:
    HRESULT call(DISPID id, WORD, DISPPARAMS *params, VARIANT *result, EXCEPINFO *info) override
    {
        switch (id) {
        case ItemId: return item(params, result, info);
        case CountId:
        case LengthId:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(m_items.size());
            return S_OK;
        case DISPID_NEWENUM:
            result->vt = VT_UNKNOWN;
            result->punkVal = new ArgumentEnumerator(m_items);
            return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::vector<std::wstring> m_items;
};

// Reports a script error the way the script's reader needs it (file, line, column, what went
// wrong) and ends the process: an error anywhere ends the script.
[[noreturn]] void failScript(const std::wstring &where, const EXCEPINFO &error)
{
    EXCEPINFO filled = error;
    if (filled.pfnDeferredFillIn)
        filled.pfnDeferredFillIn(&filled);
    std::wstring description = fromBstr(filled.bstrDescription);
    HRESULT code = filled.scode ? filled.scode : static_cast<HRESULT>(filled.wCode);
    // Some of the engines' errors come without words: the system's message for the code then.
    if (description.empty())
        description = systemMessage(code);
    std::wstring source = fromBstr(filled.bstrSource);
    writeErr(where + L" " + (source.empty() ? L"" : source + L": ") + description + L" (" + hex(code) + L")");
    ExitProcess(1);
}

// Connects a created object's events to the script: each event calls the script's function
// prefix + event name, when the script has one, with the event's arguments.
class EventSink : public IDispatch {
public:
    EventSink(const IID &source, ITypeInfo *names, std::wstring prefix)
        : m_source(source)
        , m_names(names)
        , m_prefix(std::move(prefix))
    {
        m_names->AddRef();
    }
    virtual ~EventSink() { m_names->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_source) {
            *out = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        m_names->AddRef();
        *info = m_names;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        return DispGetIDsOfNames(m_names, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result, EXCEPINFO *,
                                     UINT *) override
    {
        BSTR name = nullptr;
        UINT found = 0;
        if (FAILED(m_names->GetNames(id, &name, 1, &found)) || found == 0)
            return S_OK; // an event the type library does not name: nobody can handle it
        std::wstring handler = m_prefix + fromBstr(name);
        SysFreeString(name);

        IDispatch *script = nullptr;
        if (!g_engine || FAILED(g_engine->GetScriptDispatch(nullptr, &script)) || !script)
            return S_OK;
        DISPID handlerId = DISPID_UNKNOWN;
        LPOLESTR names[] = {handler.data()};
        if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, Locale, &handlerId))) {
            script->Release();
            return S_OK; // the script does not handle this event
        }

        // The arguments go through as the source passed them: a handler's parameter passed by
        // reference writes back into the source's variable.
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        EXCEPINFO error = {};
        VARIANT ignored;
        VariantInit(&ignored);
        HRESULT hr = script->Invoke(handlerId, IID_NULL, Locale, DISPATCH_METHOD, params ? params : &none,
                                    result ? result : &ignored, &error, nullptr);
        VariantClear(&ignored);
        script->Release();
        if (hr == DISP_E_EXCEPTION)
            failScript(g_scriptPath + L" (in " + handler + L")", error);
        if (FAILED(hr)) {
            writeErr(g_scriptPath + L" (in " + handler + L") the handler could not be called (" + hex(hr) + L")");
            ExitProcess(1);
        }
        return S_OK;
    }

private:
    IID m_source;
    ITypeInfo *m_names;
    std::wstring m_prefix;
    LONG m_refs = 1;
};

// The object's default source interface: its identifier and the type information that names its
// members. IProvideClassInfo2 names it directly; otherwise the class's description is searched
// for the interface marked default and source.
HRESULT findDefaultSource(IUnknown *object, IID *iid, ITypeInfo **names)
{
    *names = nullptr;
    IProvideClassInfo *classInfo = nullptr;
    HRESULT hr = object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void **>(&classInfo));
    if (FAILED(hr))
        return hr;
    ITypeInfo *coclass = nullptr;
    hr = classInfo->GetClassInfo(&coclass);
    IProvideClassInfo2 *classInfo2 = nullptr;
    if (SUCCEEDED(hr)
        && SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void **>(&classInfo2)))) {
        if (SUCCEEDED(classInfo2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, iid))) {
            ITypeLib *library = nullptr;
            UINT index = 0;
            if (SUCCEEDED(coclass->GetContainingTypeLib(&library, &index))) {
                library->GetTypeInfoOfGuid(*iid, names);
                library->Release();
            }
        }
        classInfo2->Release();
    }
    classInfo->Release();
    if (FAILED(hr))
        return hr;

    TYPEATTR *attributes = nullptr;
    if (!*names && SUCCEEDED(coclass->GetTypeAttr(&attributes))) {
        for (UINT i = 0; i < attributes->cImplTypes && !*names; ++i) {
            INT flags = 0;
            HREFTYPE ref = 0;
            if (SUCCEEDED(coclass->GetImplTypeFlags(i, &flags))
                && (flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
                       == (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)
                && SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref)))
                coclass->GetRefTypeInfo(ref, names);
        }
        coclass->ReleaseTypeAttr(attributes);
    }
    coclass->Release();
    if (!*names)
        return E_NOINTERFACE;

    // A dual source interface is called through its dispatch half.
    TYPEATTR *source = nullptr;
    if (SUCCEEDED((*names)->GetTypeAttr(&source))) {
        bool dual = source->typekind == TKIND_INTERFACE && (source->wTypeFlags & TYPEFLAG_FDUAL);
        *iid = source->guid;
        (*names)->ReleaseTypeAttr(source);
        HREFTYPE ref = 0;
        ITypeInfo *dispatchHalf = nullptr;
        if (dual && SUCCEEDED((*names)->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))
            && SUCCEEDED((*names)->GetRefTypeInfo(ref, &dispatchHalf))) {
            (*names)->Release();
            *names = dispatchHalf;
        }
    }
    return S_OK;
}

// The WScript object.
class WScript : public Dispatch {
public:
    enum : DISPID { EchoId = 1, QuitId, ArgumentsId, CreateObjectId, SleepId };

    explicit WScript(Arguments *arguments)
        : Dispatch({{L"Echo", EchoId},
                    {L"Quit", QuitId},
                    {L"Arguments", ArgumentsId},
                    {L"CreateObject", CreateObjectId},
                    {L"Sleep", SleepId}})
        , m_arguments(arguments)
    {
    }
    ~WScript() override { m_arguments->Release(); }

protected:
    HRESULT call(DISPID id, WORD, DISPPARAMS *params, VARIANT *result, EXCEPINFO *info) override
    {
        switch (id) {
        case EchoId: return echo(params);
        case QuitId: return quit(params, info);
        case ArgumentsId:
            if (params->cArgs > 0)
                return m_arguments->item(params, result, info);
            m_arguments->AddRef();
            result->vt = VT_DISPATCH;
            result->pdispVal = m_arguments;
            return S_OK;
        case CreateObjectId: return createObject(params, result, info);
        case SleepId: return sleep(params, info);
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    HRESULT echo(DISPPARAMS *params)
    {
        std::wstring line;
        for (UINT i = 0; i < params->cArgs; ++i) {
            VARIANT value;
            HRESULT hr = argument(params, i, &value);
            std::wstring text;
            if (SUCCEEDED(hr))
                hr = toText(value, &text);
            VariantClear(&value);
            if (FAILED(hr))
                return hr;
            line += (i ? L" " : L"") + text;
        }
        writeOut(line);
        return S_OK;
    }

    // Ends the process here and now: returning an error to the engine would let the script
    // catch it (On Error Resume Next, try) and run on.
    HRESULT quit(DISPPARAMS *params, EXCEPINFO *info)
    {
        VARIANT code;
        argument(params, 0, &code);
        if (code.vt == VT_EMPTY || isMissing(code))
            ExitProcess(0);
        if (FAILED(VariantChangeType(&code, &code, 0, VT_I4)))
            return raise(info, DISP_E_TYPEMISMATCH, L"Quit needs a whole number as its exit code");
        ExitProcess(static_cast<UINT>(code.lVal));
    }

    HRESULT createObject(DISPPARAMS *params, VARIANT *result, EXCEPINFO *info)
    {
        VARIANT progid;
        VARIANT prefix;
        HRESULT hr = argument(params, 0, &progid);
        if (FAILED(hr) || FAILED(VariantChangeType(&progid, &progid, 0, VT_BSTR)))
            return raise(info, DISP_E_TYPEMISMATCH, L"CreateObject needs a programmatic identifier");
        std::wstring name = fromBstr(progid.bstrVal);
        VariantClear(&progid);
        std::wstring eventPrefix;
        if (SUCCEEDED(argument(params, 1, &prefix)) && !isMissing(prefix) && prefix.vt != VT_EMPTY) {
            if (FAILED(VariantChangeType(&prefix, &prefix, 0, VT_BSTR)))
                return raise(info, DISP_E_TYPEMISMATCH, L"CreateObject's event prefix must be a string");
            eventPrefix = fromBstr(prefix.bstrVal);
        }
        VariantClear(&prefix);

        CLSID clsid;
        hr = CLSIDFromProgID(name.c_str(), &clsid);
        if (FAILED(hr))
            hr = CLSIDFromString(name.c_str(), &clsid);
        IDispatch *object = nullptr;
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  reinterpret_cast<void **>(&object));
        if (FAILED(hr))
            return raise(info, hr, L"Could not create the object \"" + name + L"\"");

        if (!eventPrefix.empty()) {
            hr = connect(object, eventPrefix);
            if (FAILED(hr)) {
                object->Release();
                return raise(info, hr, L"Could not connect the events of \"" + name + L"\" to the script");
            }
        }
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
    }

    // The connection lasts as long as the object: the object holds the sink, the sink nothing
    // of the object.
    static HRESULT connect(IDispatch *object, const std::wstring &prefix)
    {
        IID source;
        ITypeInfo *names = nullptr;
        HRESULT hr = findDefaultSource(object, &source, &names);
        if (FAILED(hr))
            return hr;
        IConnectionPointContainer *container = nullptr;
        IConnectionPoint *point = nullptr;
        hr = object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(&container));
        if (SUCCEEDED(hr))
            hr = container->FindConnectionPoint(source, &point);
        if (SUCCEEDED(hr)) {
            auto *sink = new EventSink(source, names, prefix);
            DWORD cookie = 0;
            hr = point->Advise(sink, &cookie);
            sink->Release();
            point->Release();
        }
        if (container)
            container->Release();
        names->Release();
        return hr;
    }

    static HRESULT sleep(DISPPARAMS *params, EXCEPINFO *info)
    {
        VARIANT milliseconds;
        argument(params, 0, &milliseconds);
        if (FAILED(VariantChangeType(&milliseconds, &milliseconds, 0, VT_I4)) || milliseconds.lVal < 0)
            return raise(info, DISP_E_TYPEMISMATCH, L"Sleep needs a number of milliseconds");
        ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds.lVal);
        for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        return S_OK;
    }

    Arguments *m_arguments;
};

class ScriptSite : public IActiveScriptSite {
public:
    explicit ScriptSite(IDispatch *wscript)
        : m_wscript(wscript)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == __uuidof(IActiveScriptSite)) {
            *out = static_cast<IActiveScriptSite *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on main()'s stack for the whole run.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetLCID(LCID *lcid) override
    {
        *lcid = Locale;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown **item, ITypeInfo **type) override
    {
        if (item)
            *item = nullptr;
        if (type)
            *type = nullptr;
        if (_wcsicmp(name, L"WScript") != 0 || !(mask & SCRIPTINFO_IUNKNOWN))
            return TYPE_E_ELEMENTNOTFOUND;
        m_wscript->AddRef();
        *item = m_wscript;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR *version) override
    {
        *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT *, const EXCEPINFO *) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError *error) override
    {
        EXCEPINFO info = {};
        error->GetExceptionInfo(&info);
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        std::wstring where = g_scriptPath;
        if (SUCCEEDED(error->GetSourcePosition(&context, &line, &column)))
            where += L"(" + std::to_wstring(line + 1) + L", " + std::to_wstring(column + 1) + L")";
        failScript(where, info);
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

private:
    IDispatch *m_wscript;
};

// The script's text: UTF-16 or UTF-8 after a byte-order mark, UTF-8 when the bytes are, and the
// ANSI code page otherwise.
bool readScript(const std::wstring &path, std::wstring *text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);

    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text->assign(reinterpret_cast<const wchar_t *>(bytes.data() + 2), (bytes.size() - 2) / 2);
        return true;
    }
    size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const char *data = bytes.data() + start;
    int size = static_cast<int>(bytes.size() - start);
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
    if (length == 0 && size > 0) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(CP_ACP, 0, data, size, nullptr, 0);
    }
    text->assign(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, data, size, text->data(), length);
    return true;
}

std::wstring engineFor(const std::wstring &path)
{
    size_t dot = path.find_last_of(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : path.substr(dot);
    if (_wcsicmp(extension.c_str(), L".vbs") == 0)
        return L"VBScript";
    if (_wcsicmp(extension.c_str(), L".js") == 0)
        return L"JScript";
    return L"";
}

int run(int argc, wchar_t **argv)
{
    if (argc < 2) {
        writeErr(L"usage: corvane-wsh SCRIPT.vbs|SCRIPT.js [ARGUMENT...]");
        return 2;
    }
    g_scriptPath = argv[1];
    std::wstring language = engineFor(g_scriptPath);
    if (language.empty()) {
        writeErr(g_scriptPath + L": the script's name must end in .vbs (VBScript) or .js (JScript)");
        return 2;
    }
    std::wstring text;
    if (!readScript(g_scriptPath, &text)) {
        writeErr(g_scriptPath + L": cannot read the script (" + hex(HRESULT_FROM_WIN32(GetLastError())) + L")");
        return 2;
    }

    CLSID engineClass;
    IActiveScript *engine = nullptr;
    IActiveScriptParse *parser = nullptr;
    HRESULT hr = CLSIDFromProgID(language.c_str(), &engineClass);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(engineClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                              reinterpret_cast<void **>(&engine));
    if (SUCCEEDED(hr))
        hr = engine->QueryInterface(__uuidof(IActiveScriptParse), reinterpret_cast<void **>(&parser));
    if (FAILED(hr)) {
        writeErr(L"corvane-wsh: the " + language + L" engine is not available (" + hex(hr) + L")");
        return 2;
    }
    g_engine = engine;

    auto *wscript = new WScript(new Arguments(std::vector<std::wstring>(argv + 2, argv + argc)));
    ScriptSite site(wscript);
    hr = engine->SetScriptSite(&site);
    if (SUCCEEDED(hr))
        hr = parser->InitNew();
    if (SUCCEEDED(hr))
        hr = engine->AddNamedItem(L"WScript", SCRIPTITEM_ISVISIBLE);
    // Started before the text is parsed, so that the text runs as it is parsed.
    if (SUCCEEDED(hr))
        hr = engine->SetScriptState(SCRIPTSTATE_STARTED);
    EXCEPINFO error = {};
    if (SUCCEEDED(hr))
        hr = parser->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr,
                                     &error);
    // An error the engine reported went through OnScriptError, which ended the process.
    if (hr == DISP_E_EXCEPTION)
        failScript(g_scriptPath, error);
    if (FAILED(hr)) {
        writeErr(g_scriptPath + L": the " + language + L" engine could not run the script (" + hex(hr) + L")");
        return 1;
    }

    engine->Close();
    g_engine = nullptr;
    parser->Release();
    engine->Release();
    wscript->Release();
    return 0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = run(argc, argv);
    CoUninitialize();
    return status;
}
