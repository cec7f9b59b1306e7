// The Corvane class: a document to print, described by properties, and one print method per
// kind of input. Outcomes are reported by result and events, never by failing the call.
#pragma once

#include "Enums.h"
#include "Events.h"
#include "FontSettings.h"
#include "UString.h"
#include "Variant.h"

#include <memory>
#include <vector>

namespace corvane {

class Platform;
class PrinterSurface;
class RichTextControl;

// The nine optional layout parameters of PrintRTFData, PrintRTFFile, PrintText and
// PrintTextFile; they apply to one call only.
struct LayoutParameters {
    int32_t DocMarginLeft = 1440;
    int32_t DocMarginTop = 1440;
    int32_t DocMarginRight = 1440;
    int32_t DocMarginBottom = 1440;
    int32_t PrnPaperOrientation = spOrientationPortrait;
    int32_t PrnPaperSize = spPaperA4;
    int32_t PrnPaperBin = spPaperBinAuto;
    int32_t PrnPrintQuality = spQualityMedium;
    int16_t PrnCopies = 1;
};

class Corvane {
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
    const UString &DocTitleFont() const { return m_docTitleFont; }
    void setDocTitleFont(UString v) { m_docTitleFont = std::move(v); }
    const UString &DocTextFont() const { return m_docTextFont; }
    void setDocTextFont(UString v) { m_docTextFont = std::move(v); }
    const UString &DocHeaderFont() const { return m_docHeaderFont; }
    void setDocHeaderFont(UString v) { m_docHeaderFont = std::move(v); }
    const UString &DocFooterFont() const { return m_docFooterFont; }
    void setDocFooterFont(UString v) { m_docFooterFont = std::move(v); }
    bool PrintBorder() const { return m_printBorder; }
    void setPrintBorder(bool v) { m_printBorder = v; }
    bool LineBelowHeader() const { return m_lineBelowHeader; }
    void setLineBelowHeader(bool v) { m_lineBelowHeader = v; }
    bool LineAboveFooter() const { return m_lineAboveFooter; }
    void setLineAboveFooter(bool v) { m_lineAboveFooter = v; }
    const UString &DocTitle() const { return m_docTitle; }
    void setDocTitle(UString v) { m_docTitle = std::move(v); }
    const UString &DocText() const { return *m_docText; }
    void setDocText(UString v) { m_docText = std::make_shared<const UString>(std::move(v)); }
    const UString &DocHeader() const { return m_docHeader; }
    void setDocHeader(UString v) { m_docHeader = std::move(v); }
    const UString &DocFooter() const { return m_docFooter; }
    void setDocFooter(UString v) { m_docFooter = std::move(v); }
    const UString &FileName() const { return m_fileName; }
    void setFileName(UString v) { m_fileName = std::move(v); }
    int16_t MarginLeft() const { return m_marginLeft; }
    void setMarginLeft(int16_t v);
    int16_t MarginRight() const { return m_marginRight; }
    void setMarginRight(int16_t v);
    int16_t MarginTop() const { return m_marginTop; }
    void setMarginTop(int16_t v);
    int16_t MarginBottom() const { return m_marginBottom; }
    void setMarginBottom(int16_t v);
    int16_t Copies() const { return m_copies; }
    void setCopies(int16_t v);
    bool IncludeDateTime() const { return m_includeDateTime; }
    void setIncludeDateTime(bool v) { m_includeDateTime = v; }
    bool AllDataFromFile() const { return m_allDataFromFile; }
    void setAllDataFromFile(bool v) { m_allDataFromFile = v; }
    int32_t LineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(int32_t v) { m_lineSpacing = v; }
    int32_t PaperOrientation() const { return m_paperOrientation; }
    void setPaperOrientation(int32_t v) { m_paperOrientation = v; }
    int16_t BorderLineWidth() const { return m_borderLineWidth; }
    void setBorderLineWidth(int16_t v) { m_borderLineWidth = v; }
    int32_t PaperSize() const { return m_paperSize; }
    void setPaperSize(int32_t v) { m_paperSize = v; }
    int32_t PrintQuality() const { return m_printQuality; }
    void setPrintQuality(int32_t v) { m_printQuality = v; }
    int32_t PaperBin() const { return m_paperBin; }
    void setPaperBin(int32_t v) { m_paperBin = v; }
    bool PrintPageNumber() const { return m_printPageNumber; }
    void setPrintPageNumber(bool v) { m_printPageNumber = v; }

    // Methods, in interface order after the properties.
    Variant PrintDoc(const UString &PrinterName = {});
    Variant GetPrinters(Variant *PrinterCount = nullptr);
    Variant SetPrinter(const UString &PrinterName);
    Variant PrintRTFData(const UString &RTFData, const LayoutParameters &layout = {});
    Variant PrintRTFFile(const UString &RTFFileName, const LayoutParameters &layout = {});
    Variant PrintTextFile(const UString &TextFileName, const UString &FontSettings = {},
                          const LayoutParameters &layout = {});
    Variant PrintText(const UString &TextString, const UString &FontSettings = {},
                      const LayoutParameters &layout = {});
    Variant PrintHTMLDocument(const UString &HTMLDocument);
    Variant PrintHTMLDocFromSource(const UString &HTMLSource);
    Variant PrintPDFFile(const UString &PDFFileName);
    void About();

    // Event subscribers (connection points): each event goes to every subscriber in order.
    void subscribe(EventSink *sink);
    void unsubscribe(EventSink *sink);

    // The working font record that the font settings routine fills and callers apply.
    FontSpec CurrentFont;

    // Members of the missing-file path of PrintDoc; they keep their last values.
    Variant PendingErrNumber;
    Variant PendingErrDescription;

    Platform &platform() const { return *m_platform; }

private:
    friend class TextDocument;
    class JobHold; // the thread's one open job

    void raisePrintComplete();
    void raisePrintError(Variant &number, Variant &description);
    void raisePrintProgress(Variant &page);
    // Raises PrintError for a run-time error and returns the error result text.
    Variant fail(int32_t number, const UString &description);
    PrinterSurface &surface();
    // PrintDoc's route for ".rtf" files.
    Variant printRichTextRoute(JobHold &hold);
    // Renders the thread's rich-text form and reports the outcome; unloads it after success.
    // The thread's hold on its job ends before the outcome is raised.
    Variant printRichText(RichTextControl &control, const LayoutParameters &layout, JobHold &hold);
    Variant missingFile();
    void applyFontToAllText(RichTextControl &control, const UString &fontSettings);
    void selectPrinterByName(const UString &name);
    // Queues a page on the thread's browser, to print on the thread's current printer.
    void requestHtml(UString address, bool onlyItself, std::shared_ptr<void> fileHold);

    // The object as its pending HTML requests see it: gone once it is destroyed.
    struct Requester;
    std::shared_ptr<Requester> m_requester;

    Platform *m_platform;
    std::vector<EventSink *> m_sinks;

    UString m_docTitleFont = u"Arial,10,0,0,0";
    UString m_docTextFont = u"Arial,10,0,0,0";
    UString m_docHeaderFont = u"Arial,10,0,0,0";
    UString m_docFooterFont = u"Arial,10,0,0,0";
    bool m_printBorder = false;
    bool m_lineBelowHeader = false;
    bool m_lineAboveFooter = false;
    UString m_docTitle;
    // Shared, never changed in place: the body text flow holds the text it started with while
    // a handler may set a new one, without a copy of a long document.
    std::shared_ptr<const UString> m_docText = std::make_shared<const UString>();
    UString m_docHeader;
    UString m_docFooter;
    UString m_fileName;
    int16_t m_marginLeft = 1440;
    int16_t m_marginRight = 1440;
    int16_t m_marginTop = 1440;
    int16_t m_marginBottom = 1440;
    int16_t m_copies = 1;
    bool m_includeDateTime = false;
    bool m_allDataFromFile = false;
    int32_t m_lineSpacing = spLineSpacingSingle;
    int32_t m_paperOrientation = spOrientationPortrait;
    int16_t m_borderLineWidth = 1;
    int32_t m_paperSize = spPaperLetter;
    int32_t m_printQuality = spQualityMedium;
    int32_t m_paperBin = spPaperBinAuto;
    bool m_printPageNumber = false;
};

// The error result text: number in decimal, "|", description.
UString errorResultText(int32_t number, std::u16string_view description);

} // namespace corvane
