// The COM object of the class Corvane: the dual interface _Corvane over corvane::Corvane, with
// IDispatch through the type library, error information, and the events __Corvane through a
// connection point.
#pragma once

#include <windows.h>

#include "CorvaneCOM_h.h"

#include <corvane/Corvane.h>

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <vector>

namespace corvane::com {

class CorvaneObject;

// The connection point of __Corvane. Its references are its object's.
class EventPoint final : public IConnectionPoint {
public:
    explicit EventPoint(CorvaneObject &owner)
        : m_owner(owner)
    {
    }
    ~EventPoint();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer **container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown *sink, DWORD *cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **connections) override;

    // Calls the event on every sink advised when it starts, in order of advice; a sink
    // unadvised meanwhile (by a handler) still ends its call safely and gets no later one.
    void fire(DISPID id, const std::vector<const Variant *> &arguments);

private:
    struct Connection {
        DWORD cookie;
        IDispatch *sink;
    };
    CorvaneObject &m_owner;
    std::vector<Connection> m_connections;
    DWORD m_nextCookie = 1;
};

class CorvaneObject final : public _Corvane,
                            public ISupportErrorInfo,
                            public IConnectionPointContainer,
                            public IProvideClassInfo2 {
public:
    CorvaneObject();
    ~CorvaneObject();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID, DISPID *ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *parameters, VARIANT *result,
                                     EXCEPINFO *exception, UINT *argumentError) override;

    // _Corvane
    HRESULT STDMETHODCALLTYPE PrintDoc(BSTR PrinterName, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE get_DocTitleFont(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocTitleFont(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_DocTextFont(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocTextFont(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_DocHeaderFont(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocHeaderFont(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_DocFooterFont(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocFooterFont(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_PrintBorder(VARIANT_BOOL *value) override;
    HRESULT STDMETHODCALLTYPE put_PrintBorder(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_LineBelowHeader(VARIANT_BOOL *value) override;
    HRESULT STDMETHODCALLTYPE put_LineBelowHeader(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_LineAboveFooter(VARIANT_BOOL *value) override;
    HRESULT STDMETHODCALLTYPE put_LineAboveFooter(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_DocTitle(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocTitle(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_DocText(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocText(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_DocHeader(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocHeader(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_DocFooter(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_DocFooter(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_FileName(BSTR *value) override;
    HRESULT STDMETHODCALLTYPE put_FileName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_MarginLeft(short *value) override;
    HRESULT STDMETHODCALLTYPE put_MarginLeft(short value) override;
    HRESULT STDMETHODCALLTYPE get_MarginRight(short *value) override;
    HRESULT STDMETHODCALLTYPE put_MarginRight(short value) override;
    HRESULT STDMETHODCALLTYPE get_MarginTop(short *value) override;
    HRESULT STDMETHODCALLTYPE put_MarginTop(short value) override;
    HRESULT STDMETHODCALLTYPE get_MarginBottom(short *value) override;
    HRESULT STDMETHODCALLTYPE put_MarginBottom(short value) override;
    HRESULT STDMETHODCALLTYPE get_Copies(short *value) override;
    HRESULT STDMETHODCALLTYPE put_Copies(short value) override;
    HRESULT STDMETHODCALLTYPE get_IncludeDateTime(VARIANT_BOOL *value) override;
    HRESULT STDMETHODCALLTYPE put_IncludeDateTime(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_AllDataFromFile(VARIANT_BOOL *value) override;
    HRESULT STDMETHODCALLTYPE put_AllDataFromFile(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_LineSpacing(::spLineSpacing *value) override;
    HRESULT STDMETHODCALLTYPE put_LineSpacing(::spLineSpacing value) override;
    HRESULT STDMETHODCALLTYPE get_PaperOrientation(::spOrientation *value) override;
    HRESULT STDMETHODCALLTYPE put_PaperOrientation(::spOrientation value) override;
    HRESULT STDMETHODCALLTYPE get_BorderLineWidth(short *value) override;
    HRESULT STDMETHODCALLTYPE put_BorderLineWidth(short value) override;
    HRESULT STDMETHODCALLTYPE get_PaperSize(::spPaperSize *value) override;
    HRESULT STDMETHODCALLTYPE put_PaperSize(::spPaperSize value) override;
    HRESULT STDMETHODCALLTYPE get_PrintQuality(::spPrintQuality *value) override;
    HRESULT STDMETHODCALLTYPE put_PrintQuality(::spPrintQuality value) override;
    HRESULT STDMETHODCALLTYPE get_PaperBin(::spPaperBin *value) override;
    HRESULT STDMETHODCALLTYPE put_PaperBin(::spPaperBin value) override;
    HRESULT STDMETHODCALLTYPE get_PrintPageNumber(VARIANT_BOOL *value) override;
    HRESULT STDMETHODCALLTYPE put_PrintPageNumber(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE GetPrinters(VARIANT *PrinterCount, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE SetPrinter(BSTR PrinterName, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE PrintRTFData(BSTR RTFData, LONG DocMarginLeft, LONG DocMarginTop, LONG DocMarginRight,
                                           LONG DocMarginBottom, ::spOrientation PrnPaperOrientation,
                                           ::spPaperSize PrnPaperSize, ::spPaperBin PrnPaperBin,
                                           ::spPrintQuality PrnPrintQuality, short PrnCopies, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE PrintRTFFile(BSTR RTFFileName, LONG DocMarginLeft, LONG DocMarginTop, LONG DocMarginRight,
                                           LONG DocMarginBottom, ::spOrientation PrnPaperOrientation,
                                           ::spPaperSize PrnPaperSize, ::spPaperBin PrnPaperBin,
                                           ::spPrintQuality PrnPrintQuality, short PrnCopies, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE PrintTextFile(BSTR TextFileName, BSTR FontSettings, LONG DocMarginLeft, LONG DocMarginTop,
                                            LONG DocMarginRight, LONG DocMarginBottom,
                                            ::spOrientation PrnPaperOrientation, ::spPaperSize PrnPaperSize,
                                            ::spPaperBin PrnPaperBin, ::spPrintQuality PrnPrintQuality, short PrnCopies,
                                            VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE PrintText(BSTR TextString, BSTR FontSettings, LONG DocMarginLeft, LONG DocMarginTop,
                                        LONG DocMarginRight, LONG DocMarginBottom, ::spOrientation PrnPaperOrientation,
                                        ::spPaperSize PrnPaperSize, ::spPaperBin PrnPaperBin,
                                        ::spPrintQuality PrnPrintQuality, short PrnCopies, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE PrintHTMLDocument(BSTR HTMLDocument, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE PrintHTMLDocFromSource(BSTR HTMLSource, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE PrintPDFFile(BSTR PDFFileName, VARIANT *Result) override;
    HRESULT STDMETHODCALLTYPE About() override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint **point) override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID *guid) override;

private:
    // Forwards the core's events to the connection point.
    class Events final : public EventSink {
    public:
        explicit Events(EventPoint &point)
            : m_point(point)
        {
        }
        void PrintComplete() override;
        void PrintError(Variant &ErrNumber, Variant &ErrDescription) override;
        void PrintProgress(Variant &PageNumber) override;

    private:
        EventPoint &m_point;
    };

    // A Boolean property: the core keeps whether it is set; the 16-bit value a caller wrote is
    // kept beside it, so that it reads back unchanged (7 stays 7) while the core agrees.
    struct Boolean {
        VARIANT_BOOL written = VARIANT_FALSE;
        VARIANT_BOOL read(bool core) const
        {
            return (written != VARIANT_FALSE) == core ? written : (core ? VARIANT_TRUE : VARIANT_FALSE);
        }
    };

    bool putsNumberIntoBoolean(DISPID id, WORD flags, const DISPPARAMS *parameters);

    std::atomic<ULONG> m_references{1};
    Corvane m_core;
    EventPoint m_point{*this};
    Events m_events{m_point};
    ITypeInfo *m_dispatchInfo = nullptr; // _Corvane as callers see it
    ITypeInfo *m_vtableInfo = nullptr;   // its vtable part, which DispInvoke calls through
    Boolean m_printBorder, m_lineBelowHeader, m_lineAboveFooter, m_includeDateTime, m_allDataFromFile, m_printPageNumber;
};

} // namespace corvane::com
