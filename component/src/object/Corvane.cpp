#include <corvane/Corvane.h>

#include "core/EventFanOut.h"
#include "core/Files.h"
#include "core/Properties.h"
#include "core/Steps.h"
#include "jobs/HtmlJob.h"
#include "jobs/Job.h"
#include "jobs/PdfJob.h"
#include "jobs/RichTextJob.h"
#include "jobs/TextJob.h"

#include <thread>

namespace corvane {

namespace {

// Stands in when no platform was installed: every print reports a printer error.
class NoPlatform final : public Platform {
public:
    std::unique_ptr<PrinterSurface> createPrinterSurface() override
    {
        throw RuntimeError(err::PrinterError, u"Printer error: no printing platform is installed");
    }
    std::unique_ptr<RichTextControl> createRichTextControl() override { throw RuntimeError(err::CannotCreateObject); }
    std::unique_ptr<BrowserHost> createBrowserHost() override { throw RuntimeError(err::CannotCreateObject); }
    class NoShell final : public Shell {
    public:
        int32_t execute(std::u16string_view, const UString &, int32_t, const UString &) override
        {
            return shell::NoAssociation;
        }
    } m_shell;
    Shell &shell() override { return m_shell; }
    void showAbout() override {}
    void processEvents() override {}
    UString libraryFolder() override { return {}; }
    UString shortDate() override { return {}; }
    UString shortTime() override { return {}; }
};

Platform &platformOrNone(Platform *platform)
{
    static NoPlatform none;
    if (platform)
        return *platform;
    if (Platform *installed = defaultPlatform())
        return *installed;
    return none;
}

bool endsWithIgnoringCase(const UString &name, std::u16string_view ending)
{
    return name.size() >= ending.size()
        && equalsIgnoreCase(std::u16string_view(name).substr(name.size() - ending.size()), ending);
}

} // namespace

struct Corvane::State {
    explicit State(Platform &p)
        : platform(p)
        , late(std::make_shared<LateEvents>(events))
    {
    }

    Properties properties;
    EventFanOut events;
    Platform &platform;
    std::shared_ptr<LateEvents> late;
    Variant pendingErrNumber;
    Variant pendingErrDescription;

    std::thread::id owner = std::this_thread::get_id();

    std::vector<TemporaryFile> temporaryFiles;

    JobContext job() { return {properties, events, platform, late, temporaryFiles}; }

    // Runs a job in the thread's hold and turns its end into events and a result: PrintComplete
    // once the hold has ended, or PrintError and the error result text.
    template <typename Job> Variant run(Job &&body)
    {
        try {
            JobHold hold;
            JobContext context = job();
            const JobEnd end = body(context, hold);
            hold.release();
            if (end == JobEnd::Printed)
                events.PrintComplete();
            return {};
        } catch (...) {
            return fail(currentRuntimeError());
        }
    }

    // Raises PrintError and returns the error result text, built from the error itself, not
    // from what a handler wrote back.
    Variant fail(const RuntimeError &error)
    {
        events.PrintError(error);
        return Variant::string(errorResultText(error.number(), error.description()));
    }
};

Corvane::Corvane(Platform *platform)
    : m_state(std::make_unique<State>(platformOrNone(platform)))
{
    try {
        m_state->platform.deleteLeftoverFiles(m_state->platform.temporaryFolder(), isTemporaryHtmlName);
    } catch (...) {
    }
}

Corvane::~Corvane() { m_state->late->close(); }

Corvane::State &Corvane::owned() const
{
    if (std::this_thread::get_id() != m_state->owner)
        throw RuntimeError(err::WrongThread);
    return *m_state;
}

const UString &Corvane::DocTitleFont() const { return owned().properties.DocTitleFont; }
void Corvane::setDocTitleFont(UString v) { owned().properties.DocTitleFont = std::move(v); }
const UString &Corvane::DocTextFont() const { return owned().properties.DocTextFont; }
void Corvane::setDocTextFont(UString v) { owned().properties.DocTextFont = std::move(v); }
const UString &Corvane::DocHeaderFont() const { return owned().properties.DocHeaderFont; }
void Corvane::setDocHeaderFont(UString v) { owned().properties.DocHeaderFont = std::move(v); }
const UString &Corvane::DocFooterFont() const { return owned().properties.DocFooterFont; }
void Corvane::setDocFooterFont(UString v) { owned().properties.DocFooterFont = std::move(v); }
bool Corvane::PrintBorder() const { return owned().properties.PrintBorder; }
void Corvane::setPrintBorder(bool v) { owned().properties.PrintBorder = v; }
bool Corvane::LineBelowHeader() const { return owned().properties.LineBelowHeader; }
void Corvane::setLineBelowHeader(bool v) { owned().properties.LineBelowHeader = v; }
bool Corvane::LineAboveFooter() const { return owned().properties.LineAboveFooter; }
void Corvane::setLineAboveFooter(bool v) { owned().properties.LineAboveFooter = v; }
const UString &Corvane::DocTitle() const { return owned().properties.DocTitle; }
void Corvane::setDocTitle(UString v) { owned().properties.DocTitle = std::move(v); }
const UString &Corvane::DocText() const { return *owned().properties.DocText; }
void Corvane::setDocText(UString v) { owned().properties.setDocText(std::move(v)); }
const UString &Corvane::DocHeader() const { return owned().properties.DocHeader; }
void Corvane::setDocHeader(UString v) { owned().properties.DocHeader = std::move(v); }
const UString &Corvane::DocFooter() const { return owned().properties.DocFooter; }
void Corvane::setDocFooter(UString v) { owned().properties.DocFooter = std::move(v); }
const UString &Corvane::FileName() const { return owned().properties.FileName; }
void Corvane::setFileName(UString v) { owned().properties.FileName = std::move(v); }
int16_t Corvane::MarginLeft() const { return owned().properties.MarginLeft; }
void Corvane::setMarginLeft(int16_t v)
{
    if (v >= 100 && v <= 5000)
        owned().properties.MarginLeft = v;
}

int16_t Corvane::MarginRight() const { return owned().properties.MarginRight; }
void Corvane::setMarginRight(int16_t v)
{
    if (v >= 100 && v <= 5000)
        owned().properties.MarginRight = v;
}

int16_t Corvane::MarginTop() const { return owned().properties.MarginTop; }
void Corvane::setMarginTop(int16_t v)
{
    if (v >= 200 && v <= 10000)
        owned().properties.MarginTop = v;
}

int16_t Corvane::MarginBottom() const { return owned().properties.MarginBottom; }
void Corvane::setMarginBottom(int16_t v)
{
    if (v >= 200 && v <= 10000)
        owned().properties.MarginBottom = v;
}

int16_t Corvane::Copies() const { return owned().properties.Copies; }
void Corvane::setCopies(int16_t v)
{
    if (v >= 1)
        owned().properties.Copies = v;
}

bool Corvane::IncludeDateTime() const { return owned().properties.IncludeDateTime; }
void Corvane::setIncludeDateTime(bool v) { owned().properties.IncludeDateTime = v; }
bool Corvane::AllDataFromFile() const { return owned().properties.AllDataFromFile; }
void Corvane::setAllDataFromFile(bool v) { owned().properties.AllDataFromFile = v; }
int32_t Corvane::LineSpacing() const { return owned().properties.LineSpacing; }
void Corvane::setLineSpacing(int32_t v) { owned().properties.LineSpacing = v; }
int32_t Corvane::PaperOrientation() const { return owned().properties.PaperOrientation; }
void Corvane::setPaperOrientation(int32_t v) { owned().properties.PaperOrientation = v; }
int16_t Corvane::BorderLineWidth() const { return owned().properties.BorderLineWidth; }
void Corvane::setBorderLineWidth(int16_t v) { owned().properties.BorderLineWidth = v; }
int32_t Corvane::PaperSize() const { return owned().properties.PaperSize; }
void Corvane::setPaperSize(int32_t v) { owned().properties.PaperSize = v; }
int32_t Corvane::PrintQuality() const { return owned().properties.PrintQuality; }
void Corvane::setPrintQuality(int32_t v) { owned().properties.PrintQuality = v; }
int32_t Corvane::PaperBin() const { return owned().properties.PaperBin; }
void Corvane::setPaperBin(int32_t v) { owned().properties.PaperBin = v; }
bool Corvane::PrintPageNumber() const { return owned().properties.PrintPageNumber; }
void Corvane::setPrintPageNumber(bool v) { owned().properties.PrintPageNumber = v; }

const FontSpec &Corvane::CurrentFont() const { return owned().properties.CurrentFont; }
const Variant &Corvane::PendingErrNumber() const { return owned().pendingErrNumber; }
const Variant &Corvane::PendingErrDescription() const { return owned().pendingErrDescription; }

void Corvane::subscribe(EventSink *sink) { owned().events.subscribe(sink); }
// Allowed from any thread: an object's wrapper may let go of it on the thread that drops it.
void Corvane::unsubscribe(EventSink *sink) { m_state->events.unsubscribe(sink); }

Variant Corvane::GetPrinters(Variant *PrinterCount)
{
    owned(); // a call from another thread is refused before anything runs
    // Each statement skips its own failure and the next one runs.
    Variant ignored;
    Variant &count = PrinterCount ? *PrinterCount : ignored;
    count = Variant::integer(0);
    std::vector<Variant> names(1);
    int16_t counter = 0;
    skipOnError([&] {
        PrinterCatalogue &printers = jobPrinter(owned().platform);
        const int installed = printers.PrinterCount();
        for (int i = 0; i < installed && counter < 32767; ++i) {
            names.resize(static_cast<size_t>(counter) + 1);
            skipOnError([&] { names[counter] = Variant::string(printers.DeviceName(i)); });
            ++counter;
        }
    });
    count = Variant::integer(counter);
    return Variant::array(std::move(names));
}

Variant Corvane::SetPrinter(const UString &PrinterName)
{
    owned(); // a call from another thread is refused before anything runs
    if (PrinterName.empty())
        return {};
    if (JobHold::open()) {
        JobHold::selectWhenDone(owned().platform, PrinterName);
        return {};
    }
    skipOnError([&] { selectByName(jobPrinter(owned().platform), PrinterName); });
    return {};
}

Variant Corvane::PrintDoc(const UString &PrinterName)
{
    State &state = owned();
    enum class Route { Text, RichText, Html, Pdf, Missing };
    Route route = Route::Text;
    const Variant result = state.run([&](JobContext &job, JobHold &hold) {
        if (!PrinterName.empty())
            selectByName(jobPrinter(job.platform), PrinterName);
        const UString &fileName = job.properties.FileName;
        if (!fileName.empty()) {
            if (!ordinaryFileExists(fileName))
                route = Route::Missing;
            else if (endsWithIgnoringCase(fileName, u".rtf"))
                return printRtfDocument(job);
            else if (endsWithIgnoringCase(fileName, u".htm") || endsWithIgnoringCase(fileName, u".html")
                     || endsWithIgnoringCase(fileName, u".mht"))
                route = Route::Html;
            else if (endsWithIgnoringCase(fileName, u".pdf"))
                route = Route::Pdf;
            if (route != Route::Text) {
                // The HTML and PDF methods hold the thread's job themselves.
                hold.release();
                return JobEnd::NoEvent;
            }
        }
        return printTextDocument(job);
    });
    switch (route) {
    case Route::Missing:
        // The result is built after the event from the members a handler may change; an error
        // the handler raises is reported as the method's error.
        try {
            state.pendingErrNumber = errorNumber(err::DocumentFileNotFound);
            state.pendingErrDescription = Variant::string(err::DocumentFileNotFoundText);
            state.events.PrintError(state.pendingErrNumber, state.pendingErrDescription);
            return Variant::string(state.pendingErrNumber.toString() + u"|" + state.pendingErrDescription.toString());
        } catch (...) {
            return state.fail(currentRuntimeError());
        }
    case Route::Html: PrintHTMLDocument(UString(state.properties.FileName)); return {};
    case Route::Pdf: PrintPDFFile(UString(state.properties.FileName)); return {};
    default: return result;
    }
}

Variant Corvane::PrintRTFData(const UString &RTFData, const LayoutParameters &layout)
{
    return owned().run([&](JobContext &job, JobHold &) { return printRtfData(job, RTFData, layout); });
}

Variant Corvane::PrintRTFFile(const UString &RTFFileName, const LayoutParameters &layout)
{
    return owned().run([&](JobContext &job, JobHold &) { return printRtfFile(job, RTFFileName, layout); });
}

Variant Corvane::PrintTextFile(const UString &TextFileName, const UString &FontSettings, const LayoutParameters &layout)
{
    return owned().run([&](JobContext &job, JobHold &) { return printTextFile(job, TextFileName, FontSettings, layout); });
}

Variant Corvane::PrintText(const UString &TextString, const UString &FontSettings, const LayoutParameters &layout)
{
    return owned().run([&](JobContext &job, JobHold &) { return printText(job, TextString, FontSettings, layout); });
}

Variant Corvane::PrintHTMLDocument(const UString &HTMLDocument)
{
    return owned().run([&](JobContext &job, JobHold &) { return printHtmlDocument(job, HTMLDocument); });
}

Variant Corvane::PrintHTMLDocFromSource(const UString &HTMLSource)
{
    return owned().run([&](JobContext &job, JobHold &) { return printHtmlSource(job, HTMLSource); });
}

Variant Corvane::PrintPDFFile(const UString &PDFFileName)
{
    // One outcome event per call; the result stays Empty. An error that a handler of the
    // outcome raises is reported too.
    try {
        owned().run([&](JobContext &job, JobHold &) { return printPdfFile(job, PDFFileName); });
    } catch (...) {
        owned().events.PrintError(currentRuntimeError());
    }
    return {};
}

void Corvane::About() { owned().platform.showAbout(); }

} // namespace corvane
