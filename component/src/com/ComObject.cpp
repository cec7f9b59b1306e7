#include "ComObject.h"

#include "ComValues.h"
#include "Enumerators.h"
#include "Server.h"

#include "platform/win32/Win32Platform.h"

namespace corvane::com {

namespace {

// Runs one call of the core: a run-time error becomes a failed result with error information.
// The object is held for the call: a handler of one of its events may release the caller's
// last reference while the core is still inside the method.
class Hold {
public:
    explicit Hold(IUnknown *object)
        : m_object(object)
    {
        m_object->AddRef();
    }
    ~Hold() { m_object->Release(); }
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;

private:
    IUnknown *m_object;
};

template <typename Body> HRESULT guarded(IUnknown *self, Body &&body)
{
    Hold hold(self);
    try {
        body();
        return S_OK;
    } catch (...) {
        return failWithCurrent();
    }
}

// Runs a method of the core that returns a Variant, into the caller's VARIANT.
template <typename Body> HRESULT returning(IUnknown *self, VARIANT *result, Body &&body)
{
    if (!result)
        return E_POINTER;
    Hold hold(self);
    VariantInit(result);
    try {
        return toVariant(body(), result);
    } catch (...) {
        return failWithCurrent();
    }
}

HRESULT getString(BSTR *out, const UString &value)
{
    if (!out)
        return E_POINTER;
    *out = toBstr(value);
    return *out ? S_OK : E_OUTOFMEMORY;
}

LayoutParameters layout(LONG left, LONG top, LONG right, LONG bottom, ::spOrientation orientation, ::spPaperSize size,
                        ::spPaperBin bin, ::spPrintQuality quality, short copies)
{
    return LayoutParameters{left,
                            top,
                            right,
                            bottom,
                            static_cast<int32_t>(orientation),
                            static_cast<int32_t>(size),
                            static_cast<int32_t>(bin),
                            static_cast<int32_t>(quality),
                            copies};
}

} // namespace

CorvaneObject::CorvaneObject()
    : m_core(&win32::platform())
{
    lockModule();
    m_core.subscribe(&m_events);
    m_dispatchInfo = typeInfoOf(IID__Corvane);
    HREFTYPE vtable = 0;
    if (m_dispatchInfo && SUCCEEDED(m_dispatchInfo->GetRefTypeOfImplType(-1, &vtable)))
        m_dispatchInfo->GetRefTypeInfo(vtable, &m_vtableInfo);
}

CorvaneObject::~CorvaneObject()
{
    m_core.unsubscribe(&m_events);
    if (m_vtableInfo)
        m_vtableInfo->Release();
    if (m_dispatchInfo)
        m_dispatchInfo->Release();
    unlockModule();
}

HRESULT CorvaneObject::QueryInterface(REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__Corvane))
        *object = static_cast<_Corvane *>(this);
    else if (IsEqualIID(iid, IID_ISupportErrorInfo))
        *object = static_cast<ISupportErrorInfo *>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
        *object = static_cast<IConnectionPointContainer *>(this);
    else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2))
        *object = static_cast<IProvideClassInfo2 *>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CorvaneObject::AddRef() { return ++m_references; }

ULONG CorvaneObject::Release()
{
    const ULONG left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CorvaneObject::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = m_dispatchInfo ? 1 : 0;
    return S_OK;
}

HRESULT CorvaneObject::GetTypeInfo(UINT index, LCID, ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    if (!m_dispatchInfo)
        return TYPE_E_CANTLOADLIBRARY;
    m_dispatchInfo->AddRef();
    *info = m_dispatchInfo;
    return S_OK;
}

// Names bind in any case, as the type library's lookup does.
HRESULT CorvaneObject::GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID, DISPID *ids)
{
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!m_vtableInfo)
        return TYPE_E_CANTLOADLIBRARY;
    return DispGetIDsOfNames(m_vtableInfo, names, count, ids);
}

// Late-bound calls go through the vtable as the type library describes it: arguments are
// converted to the parameters' types, omitted optional ones take their declared defaults, and a
// failed call's error information comes back as the exception.
HRESULT CorvaneObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *parameters, VARIANT *result,
                              EXCEPINFO *exception, UINT *argumentError)
{
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!m_vtableInfo)
        return TYPE_E_CANTLOADLIBRARY;
    if (putsNumberIntoBoolean(id, flags, parameters))
        return S_OK;
    return DispInvoke(static_cast<_Corvane *>(this), m_vtableInfo, id, flags, parameters, result, exception,
                      argumentError);
}

// A Boolean property written late-bound with a number keeps the number (7 reads back 7), as an
// early-bound write of that 16-bit value does; the type library's conversion would make it True.
// Anything else, and a write that fails, goes the ordinary way.
bool CorvaneObject::putsNumberIntoBoolean(DISPID id, WORD flags, const DISPPARAMS *parameters)
{
    if (flags != DISPATCH_PROPERTYPUT || !parameters || parameters->cArgs != 1)
        return false;
    const VARIANT *argument = &parameters->rgvarg[0];
    if (V_VT(argument) == (VT_BYREF | VT_VARIANT))
        argument = V_VARIANTREF(argument);
    switch (V_VT(argument) & ~VT_BYREF) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL: break;
    default: return false;
    }
    ITypeInfo2 *info = nullptr;
    if (FAILED(m_vtableInfo->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void **>(&info))))
        return false;
    UINT index = 0;
    FUNCDESC *function = nullptr;
    bool boolean = false;
    SHORT slot = 0;
    if (SUCCEEDED(info->GetFuncIndexOfMemId(id, INVOKE_PROPERTYPUT, &index))
        && SUCCEEDED(info->GetFuncDesc(index, &function))) {
        boolean = function->cParams == 1 && function->lprgelemdescParam[0].tdesc.vt == VT_BOOL;
        slot = function->oVft;
        info->ReleaseFuncDesc(function);
    }
    info->Release();
    VARIANT number;
    VariantInit(&number);
    if (!boolean || FAILED(VariantChangeType(&number, const_cast<VARIANT *>(argument), 0, VT_I2)))
        return false;
    VARIANT value;
    V_VT(&value) = VT_BOOL;
    V_BOOL(&value) = V_I2(&number);
    VARIANTARG *arguments[] = {&value};
    VARTYPE types[] = {VT_BOOL};
    VARIANT result;
    VariantInit(&result);
    return SUCCEEDED(DispCallFunc(static_cast<_Corvane *>(this), static_cast<ULONG_PTR>(slot), CC_STDCALL, VT_ERROR, 1,
                                  types, arguments, &result))
        && V_VT(&result) == VT_ERROR && V_ERROR(&result) == S_OK;
}

HRESULT CorvaneObject::PrintDoc(BSTR PrinterName, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result, [&] { return m_core.PrintDoc(fromBstr(PrinterName)); });
}

#define CORVANE_STRING_PROPERTY(Name)                                                                                  \
    HRESULT CorvaneObject::get_##Name(BSTR *value)                                                                     \
    {                                                                                                                  \
        try {                                                                                                          \
            return getString(value, m_core.Name());                                                                    \
        } catch (...) {                                                                                                \
            return failWithCurrent();                                                                                  \
        }                                                                                                              \
    }                                                                                                                  \
    HRESULT CorvaneObject::put_##Name(BSTR value)                                                                      \
    {                                                                                                                  \
        return guarded(static_cast<_Corvane *>(this), [&] { m_core.set##Name(fromBstr(value)); });                     \
    }

#define CORVANE_BOOLEAN_PROPERTY(Name, member)                                                                         \
    HRESULT CorvaneObject::get_##Name(VARIANT_BOOL *value)                                                             \
    {                                                                                                                  \
        if (!value)                                                                                                    \
            return E_POINTER;                                                                                          \
        return guarded(static_cast<_Corvane *>(this), [&] { *value = member.read(m_core.Name()); });                   \
    }                                                                                                                  \
    HRESULT CorvaneObject::put_##Name(VARIANT_BOOL value)                                                              \
    {                                                                                                                  \
        return guarded(static_cast<_Corvane *>(this), [&] {                                                            \
            m_core.set##Name(value != VARIANT_FALSE);                                                                  \
            member.written = value;                                                                                    \
        });                                                                                                            \
    }

#define CORVANE_NUMBER_PROPERTY(Name, Type, CoreType)                                                                  \
    HRESULT CorvaneObject::get_##Name(Type *value)                                                                     \
    {                                                                                                                  \
        if (!value)                                                                                                    \
            return E_POINTER;                                                                                          \
        return guarded(static_cast<_Corvane *>(this), [&] { *value = static_cast<Type>(m_core.Name()); });             \
    }                                                                                                                  \
    HRESULT CorvaneObject::put_##Name(Type value)                                                                      \
    {                                                                                                                  \
        return guarded(static_cast<_Corvane *>(this), [&] { m_core.set##Name(static_cast<CoreType>(value)); });        \
    }

CORVANE_STRING_PROPERTY(DocTitleFont)
CORVANE_STRING_PROPERTY(DocTextFont)
CORVANE_STRING_PROPERTY(DocHeaderFont)
CORVANE_STRING_PROPERTY(DocFooterFont)
CORVANE_BOOLEAN_PROPERTY(PrintBorder, m_printBorder)
CORVANE_BOOLEAN_PROPERTY(LineBelowHeader, m_lineBelowHeader)
CORVANE_BOOLEAN_PROPERTY(LineAboveFooter, m_lineAboveFooter)
CORVANE_STRING_PROPERTY(DocTitle)
CORVANE_STRING_PROPERTY(DocText)
CORVANE_STRING_PROPERTY(DocHeader)
CORVANE_STRING_PROPERTY(DocFooter)
CORVANE_STRING_PROPERTY(FileName)
CORVANE_NUMBER_PROPERTY(MarginLeft, short, int16_t)
CORVANE_NUMBER_PROPERTY(MarginRight, short, int16_t)
CORVANE_NUMBER_PROPERTY(MarginTop, short, int16_t)
CORVANE_NUMBER_PROPERTY(MarginBottom, short, int16_t)
CORVANE_NUMBER_PROPERTY(Copies, short, int16_t)
CORVANE_BOOLEAN_PROPERTY(IncludeDateTime, m_includeDateTime)
CORVANE_BOOLEAN_PROPERTY(AllDataFromFile, m_allDataFromFile)
CORVANE_NUMBER_PROPERTY(LineSpacing, ::spLineSpacing, int32_t)
CORVANE_NUMBER_PROPERTY(PaperOrientation, ::spOrientation, int32_t)
CORVANE_NUMBER_PROPERTY(BorderLineWidth, short, int16_t)
CORVANE_NUMBER_PROPERTY(PaperSize, ::spPaperSize, int32_t)
CORVANE_NUMBER_PROPERTY(PrintQuality, ::spPrintQuality, int32_t)
CORVANE_NUMBER_PROPERTY(PaperBin, ::spPaperBin, int32_t)
CORVANE_BOOLEAN_PROPERTY(PrintPageNumber, m_printPageNumber)

#undef CORVANE_STRING_PROPERTY
#undef CORVANE_BOOLEAN_PROPERTY
#undef CORVANE_NUMBER_PROPERTY

// PrinterCount is optional and by reference: a late-bound caller that leaves it out passes
// "parameter not found", and it is then not written.
HRESULT CorvaneObject::GetPrinters(VARIANT *PrinterCount, VARIANT *Result)
{
    VARIANT *count = PrinterCount;
    if (count && V_VT(count) == (VT_BYREF | VT_VARIANT))
        count = V_VARIANTREF(count);
    if (count && V_VT(count) == VT_ERROR && V_ERROR(count) == DISP_E_PARAMNOTFOUND)
        count = nullptr;
    return returning(static_cast<_Corvane *>(this), Result, [&] {
        if (!count)
            return m_core.GetPrinters();
        Variant counted;
        Variant names = m_core.GetPrinters(&counted);
        VariantClear(count);
        if (const HRESULT hr = toVariant(counted, count); FAILED(hr))
            throw RuntimeError(err::OutOfMemory);
        return names;
    });
}

HRESULT CorvaneObject::SetPrinter(BSTR PrinterName, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result, [&] { return m_core.SetPrinter(fromBstr(PrinterName)); });
}

HRESULT CorvaneObject::PrintRTFData(BSTR RTFData, LONG DocMarginLeft, LONG DocMarginTop, LONG DocMarginRight,
                                    LONG DocMarginBottom, ::spOrientation PrnPaperOrientation,
                                    ::spPaperSize PrnPaperSize, ::spPaperBin PrnPaperBin,
                                    ::spPrintQuality PrnPrintQuality, short PrnCopies, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result, [&] {
        return m_core.PrintRTFData(fromBstr(RTFData),
                                   layout(DocMarginLeft, DocMarginTop, DocMarginRight, DocMarginBottom,
                                          PrnPaperOrientation, PrnPaperSize, PrnPaperBin, PrnPrintQuality, PrnCopies));
    });
}

HRESULT CorvaneObject::PrintRTFFile(BSTR RTFFileName, LONG DocMarginLeft, LONG DocMarginTop, LONG DocMarginRight,
                                    LONG DocMarginBottom, ::spOrientation PrnPaperOrientation,
                                    ::spPaperSize PrnPaperSize, ::spPaperBin PrnPaperBin,
                                    ::spPrintQuality PrnPrintQuality, short PrnCopies, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result, [&] {
        return m_core.PrintRTFFile(fromBstr(RTFFileName),
                                   layout(DocMarginLeft, DocMarginTop, DocMarginRight, DocMarginBottom,
                                          PrnPaperOrientation, PrnPaperSize, PrnPaperBin, PrnPrintQuality, PrnCopies));
    });
}

HRESULT CorvaneObject::PrintTextFile(BSTR TextFileName, BSTR FontSettings, LONG DocMarginLeft, LONG DocMarginTop,
                                     LONG DocMarginRight, LONG DocMarginBottom, ::spOrientation PrnPaperOrientation,
                                     ::spPaperSize PrnPaperSize, ::spPaperBin PrnPaperBin,
                                     ::spPrintQuality PrnPrintQuality, short PrnCopies, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result, [&] {
        return m_core.PrintTextFile(fromBstr(TextFileName), fromBstr(FontSettings),
                                    layout(DocMarginLeft, DocMarginTop, DocMarginRight, DocMarginBottom,
                                           PrnPaperOrientation, PrnPaperSize, PrnPaperBin, PrnPrintQuality, PrnCopies));
    });
}

HRESULT CorvaneObject::PrintText(BSTR TextString, BSTR FontSettings, LONG DocMarginLeft, LONG DocMarginTop,
                                 LONG DocMarginRight, LONG DocMarginBottom, ::spOrientation PrnPaperOrientation,
                                 ::spPaperSize PrnPaperSize, ::spPaperBin PrnPaperBin, ::spPrintQuality PrnPrintQuality,
                                 short PrnCopies, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result, [&] {
        return m_core.PrintText(fromBstr(TextString), fromBstr(FontSettings),
                                layout(DocMarginLeft, DocMarginTop, DocMarginRight, DocMarginBottom,
                                       PrnPaperOrientation, PrnPaperSize, PrnPaperBin, PrnPrintQuality, PrnCopies));
    });
}

HRESULT CorvaneObject::PrintHTMLDocument(BSTR HTMLDocument, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result,
                     [&] { return m_core.PrintHTMLDocument(fromBstr(HTMLDocument)); });
}

HRESULT CorvaneObject::PrintHTMLDocFromSource(BSTR HTMLSource, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result,
                     [&] { return m_core.PrintHTMLDocFromSource(fromBstr(HTMLSource)); });
}

HRESULT CorvaneObject::PrintPDFFile(BSTR PDFFileName, VARIANT *Result)
{
    return returning(static_cast<_Corvane *>(this), Result, [&] { return m_core.PrintPDFFile(fromBstr(PDFFileName)); });
}

HRESULT CorvaneObject::About()
{
    return guarded(static_cast<_Corvane *>(this), [&] { m_core.About(); });
}

HRESULT CorvaneObject::InterfaceSupportsErrorInfo(REFIID iid) { return IsEqualIID(iid, IID__Corvane) ? S_OK : S_FALSE; }

HRESULT CorvaneObject::EnumConnectionPoints(IEnumConnectionPoints **points)
{
    if (!points)
        return E_POINTER;
    *points = nullptr;
    try {
        *points = new ConnectionPointEnumerator({static_cast<IConnectionPoint *>(&m_point)});
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CorvaneObject::FindConnectionPoint(REFIID iid, IConnectionPoint **point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, DIID___Corvane))
        return CONNECT_E_NOCONNECTION;
    m_point.AddRef();
    *point = &m_point;
    return S_OK;
}

HRESULT CorvaneObject::GetClassInfo(ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = typeInfoOf(CLSID_Corvane);
    return *info ? S_OK : TYPE_E_CANTLOADLIBRARY;
}

HRESULT CorvaneObject::GetGUID(DWORD kind, GUID *guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID___Corvane;
    return S_OK;
}

void CorvaneObject::Events::PrintComplete() { m_point.fire(1, {}); }

void CorvaneObject::Events::PrintError(Variant &ErrNumber, Variant &ErrDescription)
{
    m_point.fire(2, {&ErrNumber, &ErrDescription});
}

void CorvaneObject::Events::PrintProgress(Variant &PageNumber) { m_point.fire(3, {&PageNumber}); }

} // namespace corvane::com
