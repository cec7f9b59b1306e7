// The Corvane class: a document to print, described by properties, and one print method per
// kind of input. Outcomes are reported by result and events, never by failing the call.
#pragma once

#include "Enums.h"
#include "Events.h"
#include "Export.h"
#include "FontSettings.h"
#include "Layout.h"
#include "UString.h"
#include "Variant.h"

#include <memory>
#include <vector>

namespace corvane {

class Platform;

// An object belongs to the thread that made it: every property and method called from another
// thread throws RuntimeError err::WrongThread and changes nothing (it may be destroyed on any
// thread). Events are raised on the object's thread.
class CORVANE_EXPORT Corvane {
public:
    // Sets every property to its default and deletes the leftover temporary HTML files
    // ("$*$.htm") of the user's temporary folder that no pending request needs, ignoring every
    // error.
    explicit Corvane(Platform *platform = nullptr);
    // A page this object asked for and that fails later reports to nobody.
    ~Corvane();
    Corvane(const Corvane &) = delete;
    Corvane &operator=(const Corvane &) = delete;

    // Properties, in interface order. Margin and Copies writes outside their bounds are
    // ignored silently; every other write is stored unchanged.
    const UString &DocTitleFont() const;
    void setDocTitleFont(UString v);
    const UString &DocTextFont() const;
    void setDocTextFont(UString v);
    const UString &DocHeaderFont() const;
    void setDocHeaderFont(UString v);
    const UString &DocFooterFont() const;
    void setDocFooterFont(UString v);
    bool PrintBorder() const;
    void setPrintBorder(bool v);
    bool LineBelowHeader() const;
    void setLineBelowHeader(bool v);
    bool LineAboveFooter() const;
    void setLineAboveFooter(bool v);
    const UString &DocTitle() const;
    void setDocTitle(UString v);
    const UString &DocText() const;
    void setDocText(UString v);
    const UString &DocHeader() const;
    void setDocHeader(UString v);
    const UString &DocFooter() const;
    void setDocFooter(UString v);
    const UString &FileName() const;
    void setFileName(UString v);
    int16_t MarginLeft() const;
    void setMarginLeft(int16_t v);
    int16_t MarginRight() const;
    void setMarginRight(int16_t v);
    int16_t MarginTop() const;
    void setMarginTop(int16_t v);
    int16_t MarginBottom() const;
    void setMarginBottom(int16_t v);
    int16_t Copies() const;
    void setCopies(int16_t v);
    bool IncludeDateTime() const;
    void setIncludeDateTime(bool v);
    bool AllDataFromFile() const;
    void setAllDataFromFile(bool v);
    int32_t LineSpacing() const;
    void setLineSpacing(int32_t v);
    int32_t PaperOrientation() const;
    void setPaperOrientation(int32_t v);
    int16_t BorderLineWidth() const;
    void setBorderLineWidth(int16_t v);
    int32_t PaperSize() const;
    void setPaperSize(int32_t v);
    int32_t PrintQuality() const;
    void setPrintQuality(int32_t v);
    int32_t PaperBin() const;
    void setPaperBin(int32_t v);
    bool PrintPageNumber() const;
    void setPrintPageNumber(bool v);

    // Methods, in interface order after the properties.
    Variant PrintDoc(const UString &PrinterName = {});
    Variant GetPrinters(Variant *PrinterCount = nullptr);
    Variant SetPrinter(const UString &PrinterName);
    Variant PrintRTFData(const UString &RTFData, const LayoutParameters &layout = {});
    Variant PrintRTFFile(const UString &RTFFileName, const LayoutParameters &layout = {});
    Variant PrintTextFile(const UString &TextFileName, const UString &FontSettings = {},
                          const LayoutParameters &layout = {});
    Variant PrintText(const UString &TextString, const UString &FontSettings = {}, const LayoutParameters &layout = {});
    Variant PrintHTMLDocument(const UString &HTMLDocument);
    Variant PrintHTMLDocFromSource(const UString &HTMLSource);
    Variant PrintPDFFile(const UString &PDFFileName);
    void About();

    // Event subscribers (connection points): each event goes to every subscriber in order.
    void subscribe(EventSink *sink);
    void unsubscribe(EventSink *sink);

    // The working font record that the font settings routine fills and callers apply.
    const FontSpec &CurrentFont() const;

    // Members of the missing-file path of PrintDoc; they keep their last values.
    const Variant &PendingErrNumber() const;
    const Variant &PendingErrDescription() const;

private:
    struct State;
    // The object's state, for a call on the thread that made the object; from any other thread
    // RuntimeError err::WrongThread (the object is apartment-threaded).
    State &owned() const;
    std::unique_ptr<State> m_state;
};

} // namespace corvane
