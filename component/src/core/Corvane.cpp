#include <corvane/Corvane.h>
#include <corvane/Errors.h>

#include "Platform.h"
#include "text/TextDocument.h"
#include "text/TextFiles.h"
#include "richtext/RichTextRenderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <mutex>
#include <optional>

namespace corvane {

namespace {

thread_local bool t_jobOpen = false; // see Corvane::JobHold

// A printer chosen with SetPrinter while the thread's job is open, with the platform whose
// surface it is chosen on: it takes effect when the job ends.
struct PendingPrinter {
    Platform *platform;
    UString name;
};
thread_local std::optional<PendingPrinter> t_pendingPrinter;

// Makes the first installed printer whose name, in upper case, is the given one the surface's
// current printer; nothing changes when none is. A printer of a print server that did not
// answer cannot be looked for: it is chosen as named, and its jobs then say what became of them
// (rather than going, unasked, to another printer).
void selectByName(PrinterSurface &printer, const UString &name)
{
    const UString wanted = toUpper(name);
    const int count = printer.PrinterCount();
    for (int i = 0; i < count; ++i) {
        if (toUpper(printer.DeviceName(i)) == wanted) {
            printer.selectPrinter(i);
            return;
        }
    }
    printer.selectUnlisted(name);
}

// Stands in when no platform was installed: every print reports a printer error.
class NoPlatform final : public Platform {
public:
    std::unique_ptr<PrinterSurface> createPrinterSurface() override
    {
        throw RuntimeError(err::PrinterError, u"Printer error: no printing platform is installed");
    }
    std::unique_ptr<RichTextControl> createRichTextControl() override
    {
        throw RuntimeError(err::CannotCreateObject);
    }
    std::unique_ptr<BrowserHost> createBrowserHost() override
    {
        throw RuntimeError(err::CannotCreateObject);
    }
    class NoShell final : public Shell {
    public:
        int32_t execute(std::u16string_view, const UString &, int32_t, const UString &) override { return 31; }
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

// "$*$.htm": a dollar sign, anything, a dollar sign and ".htm" (letter case ignored).
bool isTemporaryHtmlName(std::u16string_view name)
{
    static constexpr std::u16string_view tail = u"$.htm";
    return name.size() >= 1 + tail.size() && name.front() == u'$'
        && equalsIgnoreCase(name.substr(name.size() - tail.size()), tail);
}

// An address with a scheme ("https:", "file:", "about:") stands as it is; anything else is a
// file path, taken from the current folder when it is relative.
UString resolveAddress(const UString &address)
{
    const auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    std::error_code ec;
    if (!address.empty() && letter(address[0])) {
        for (size_t i = 1; i < address.size(); ++i) {
            const char16_t c = address[i];
            // "notes:v2.html" in the current folder is that file, not an address.
            if (c == u':') {
                if (address.compare(i + 1, 2, u"//") == 0 || !std::filesystem::exists(toUtf8(address), ec))
                    return address;
                break;
            }
            if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.')
                break;
        }
    }
    if (!address.empty() && address[0] == u'/')
        return address;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    if (ec)
        throw RuntimeError(err::PathNotFound, u"Path not found: " + address + u" (the current folder is gone)");
    return fromUtf8((here / toUtf8(address)).lexically_normal().string());
}

} // namespace

UString errorResultText(int32_t number, std::u16string_view description)
{
    return decimal(number) + u"|" + UString(description);
}

// A thread prints one job at a time. A print method called while the thread's job is open (from
// one of its event handlers) is refused before it touches the printer surface, the rich-text
// form, the browser or the shell, so the open job goes on whole and alone; a printer chosen
// meanwhile is chosen when the job ends. The hold ends before the job's closing event is
// raised, so a handler of PrintComplete or PrintError may start the next job.
class Corvane::JobHold {
public:
    JobHold()
    {
        if (t_jobOpen)
            throw RuntimeError(err::InvalidProcedureCall,
                               u"Invalid procedure call or argument: a print job of this thread is still open "
                               u"(a print method was called from one of its event handlers)");
        t_jobOpen = true;
    }
    ~JobHold() { release(); }
    JobHold(const JobHold &) = delete;
    JobHold &operator=(const JobHold &) = delete;
    void release()
    {
        if (!m_held)
            return;
        m_held = false;
        t_jobOpen = false;
        if (t_pendingPrinter) {
            const PendingPrinter pending = std::move(*t_pendingPrinter);
            t_pendingPrinter.reset();
            try {
                selectByName(threadSurface(*pending.platform), pending.name);
            } catch (...) {
            }
        }
    }

private:
    bool m_held = true;
};

struct Corvane::Requester {
    std::recursive_mutex mutex; // held while an event is raised, so the object outlives it
    Corvane *object;
};

Corvane::Corvane(Platform *platform)
    : m_platform(&platformOrNone(platform))
    , m_requester(std::make_shared<Requester>())
{
    m_requester->object = this;
    try {
        m_platform->deleteLeftoverFiles(m_platform->temporaryFolder(), isTemporaryHtmlName);
    } catch (...) {
    }
}

Corvane::~Corvane()
{
    std::lock_guard lock(m_requester->mutex);
    m_requester->object = nullptr;
}

void Corvane::requestHtml(UString address, bool onlyItself, std::shared_ptr<void> fileHold)
{
    WebBrowserForm &browser = threadBrowser(*m_platform);
    HtmlRequest request;
    request.address = std::move(address);
    request.onlyItself = onlyItself;
    request.printer = surface().currentDeviceName();
    request.fileHold = std::move(fileHold);
    request.failed = [requester = m_requester](int32_t number, const UString &description) {
        std::lock_guard lock(requester->mutex);
        if (Corvane *object = requester->object) {
            Variant errNumber = Variant::longValue(number);
            Variant errDescription = Variant::string(description);
            object->raisePrintError(errNumber, errDescription);
        }
    };
    browser.request(std::move(request));
}

void Corvane::setMarginLeft(int16_t v)
{
    if (v >= 100 && v <= 5000)
        m_marginLeft = v;
}

void Corvane::setMarginRight(int16_t v)
{
    if (v >= 100 && v <= 5000)
        m_marginRight = v;
}

void Corvane::setMarginTop(int16_t v)
{
    if (v >= 200 && v <= 10000)
        m_marginTop = v;
}

void Corvane::setMarginBottom(int16_t v)
{
    if (v >= 200 && v <= 10000)
        m_marginBottom = v;
}

void Corvane::setCopies(int16_t v)
{
    if (v >= 1)
        m_copies = v;
}

void Corvane::subscribe(EventSink *sink)
{
    if (sink && std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end())
        m_sinks.push_back(sink);
}

void Corvane::unsubscribe(EventSink *sink)
{
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

// Events go to a copy of the subscriber list, so a handler may unsubscribe.
void Corvane::raisePrintComplete()
{
    const auto sinks = m_sinks;
    for (EventSink *sink : sinks)
        sink->PrintComplete();
}

void Corvane::raisePrintError(Variant &number, Variant &description)
{
    const auto sinks = m_sinks;
    for (EventSink *sink : sinks)
        sink->PrintError(number, description);
}

void Corvane::raisePrintProgress(Variant &page)
{
    const auto sinks = m_sinks;
    for (EventSink *sink : sinks)
        sink->PrintProgress(page);
}

Variant Corvane::fail(int32_t number, const UString &description)
{
    // The result is built from the error itself, not from what a handler wrote back.
    Variant errNumber = Variant::longValue(number);
    Variant errDescription = Variant::string(description);
    raisePrintError(errNumber, errDescription);
    return Variant::string(errorResultText(number, description));
}

PrinterSurface &Corvane::surface() { return threadSurface(*m_platform); }

void Corvane::selectPrinterByName(const UString &name) { selectByName(surface(), name); }

Variant Corvane::GetPrinters(Variant *PrinterCount)
{
    // Each statement skips its own failure and the next one runs.
    Variant ignored;
    Variant &count = PrinterCount ? *PrinterCount : ignored;
    count = Variant::integer(0);
    std::vector<Variant> names(1);
    int16_t counter = 0;
    try {
        PrinterSurface &printer = surface();
        const int installed = printer.PrinterCount();
        for (int i = 0; i < installed && counter < 32767; ++i) {
            names.resize(static_cast<size_t>(counter) + 1);
            try {
                names[counter] = Variant::string(printer.DeviceName(i));
            } catch (const RuntimeError &) {
            }
            ++counter;
        }
    } catch (const RuntimeError &) {
    }
    count = Variant::integer(counter);
    return Variant::array(std::move(names));
}

Variant Corvane::SetPrinter(const UString &PrinterName)
{
    if (PrinterName.empty())
        return {};
    if (t_jobOpen) {
        t_pendingPrinter = PendingPrinter{m_platform, PrinterName};
        return {};
    }
    try {
        selectPrinterByName(PrinterName);
    } catch (const RuntimeError &) {
    }
    return {};
}

namespace {

bool endsWithIgnoringCase(const UString &name, std::u16string_view ending)
{
    return name.size() >= ending.size()
        && equalsIgnoreCase(std::u16string_view(name).substr(name.size() - ending.size()), ending);
}

// Splits off the first line: up to CR LF, CR or LF. False when the text has no more lines.
bool takeLine(std::u16string_view &text, UString &line)
{
    if (text.empty())
        return false;
    const size_t end = text.find_first_of(u"\r\n");
    line = UString(text.substr(0, end));
    if (end == std::u16string_view::npos) {
        text = {};
        return true;
    }
    const size_t next = (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? end + 2 : end + 1;
    text.remove_prefix(next);
    return true;
}

// A property value given to a 16-bit device setting; false when it does not fit.
bool fits16(int32_t value) { return value >= -32768 && value <= 32767; }

} // namespace

Variant Corvane::PrintDoc(const UString &PrinterName)
{
    std::optional<TextDocument> document;
    try {
        JobHold hold;
        if (!PrinterName.empty())
            selectPrinterByName(PrinterName);

        const UString fileName = m_fileName;
        if (!fileName.empty()) {
            if (!ordinaryFileExists(fileName)) {
                // The result is built after the event from the members a handler may change.
                PendingErrNumber = Variant::integer(-1);
                PendingErrDescription = Variant::string(u"File Not Found!");
                hold.release();
                raisePrintError(PendingErrNumber, PendingErrDescription);
                return Variant::string(PendingErrNumber.toString() + u"|" + PendingErrDescription.toString());
            }
            if (endsWithIgnoringCase(fileName, u".rtf"))
                return printRichTextRoute(hold);
            // The HTML and PDF methods hold the thread's job themselves.
            if (endsWithIgnoringCase(fileName, u".htm") || endsWithIgnoringCase(fileName, u".html")
                || endsWithIgnoringCase(fileName, u".mht")) {
                hold.release();
                PrintHTMLDocument(fileName);
                return {};
            }
            if (endsWithIgnoringCase(fileName, u".pdf")) {
                hold.release();
                PrintPDFFile(fileName);
                return {};
            }
            UString content = readTextFile(*m_platform, fileName);
            if (m_allDataFromFile) {
                // Title, header and footer are the first three lines; the body is the rest
                // of the file, whatever its line ends.
                std::u16string_view rest(content);
                UString title, header, footer;
                if (!takeLine(rest, title) || !takeLine(rest, header) || !takeLine(rest, footer))
                    throw RuntimeError(err::InputPastEndOfFile);
                m_docTitle = std::move(title);
                m_docHeader = std::move(header);
                m_docFooter = std::move(footer);
                setDocText(UString(rest));
            } else {
                setDocText(std::move(content));
            }
        }

        // Paper settings: each one that fails is skipped.
        PrinterSurface &printer = surface();
        const auto apply = [](auto &&set, int32_t value) {
            if (!fits16(value))
                return;
            try {
                set(static_cast<int16_t>(value));
            } catch (const RuntimeError &) {
            }
        };
        apply([&](int16_t v) { printer.setOrientation(v); }, m_paperOrientation);
        apply([&](int16_t v) { printer.setPaperSize(v); }, m_paperSize);
        apply([&](int16_t v) { printer.setPaperBin(v); }, m_paperBin);
        apply([&](int16_t v) { printer.setPrintQuality(v); }, m_printQuality);
        apply([&](int16_t v) { printer.setCopies(v); }, m_copies);

        document.emplace(*this, printer);
        document->PrintBodyText();
        hold.release();
        raisePrintComplete();
        return {};
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        // Nothing of a failed job reaches the spooler, and the pen width is as it was.
        if (document) {
            PrinterSurface &printer = surface();
            try {
                printer.KillDoc();
            } catch (const RuntimeError &) {
            }
            if (document->changedDrawWidth()) {
                try {
                    printer.setDrawWidth(document->savedDrawWidth());
                } catch (const RuntimeError &) {
                }
            }
        }
        return fail(error.number(), error.description());
    }
}

Variant Corvane::printRichTextRoute(JobHold &hold)
{
    // The object's own margins and paper settings; a file that cannot be loaded is reported
    // rather than printed as an empty page.
    const LayoutParameters layout{m_marginLeft,       m_marginTop,    m_marginRight,
                                  m_marginBottom,     m_paperOrientation, m_paperSize,
                                  m_paperBin,         m_printQuality, m_copies};
    RichTextControl &control = threadRichText(*m_platform);
    control.loadFile(m_fileName);
    return printRichText(control, layout, hold);
}

Variant Corvane::printRichText(RichTextControl &control, const LayoutParameters &layout, JobHold &hold)
{
    const auto error = renderRichText(control, surface(), layout);
    hold.release();
    if (error)
        return fail(error->number(), error->description());
    unloadThreadRichText();
    raisePrintComplete();
    return {};
}

Variant Corvane::missingFile()
{
    // Temporaries: whatever a handler writes into them, the result is built from the constants.
    Variant number = Variant::integer(-1);
    Variant description = Variant::string(u"File Not Found!");
    raisePrintError(number, description);
    return Variant::string(u"-1|File Not Found!");
}

void Corvane::applyFontToAllText(RichTextControl &control, const UString &fontSettings)
{
    CurrentFont = ParseFontSettings(fontSettings);
    control.setSelStart(0);
    control.setSelLength(static_cast<int32_t>(control.Text().size()));
    control.setSelFontName(CurrentFont.Name);
    control.setSelFontSize(CurrentFont.Size);
    control.setSelBold(CurrentFont.Bold);
    control.setSelItalic(CurrentFont.Italic);
    control.setSelUnderline(CurrentFont.Underline);
}

Variant Corvane::PrintRTFData(const UString &RTFData, const LayoutParameters &layout)
{
    try {
        JobHold hold;
        RichTextControl &control = threadRichText(*m_platform);
        control.setTextRTF(RTFData);
        return printRichText(control, layout, hold);
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        return fail(error.number(), error.description());
    }
}

Variant Corvane::PrintRTFFile(const UString &RTFFileName, const LayoutParameters &layout)
{
    try {
        JobHold hold;
        if (!ordinaryFileExists(RTFFileName)) {
            hold.release();
            return missingFile();
        }
        RichTextControl &control = threadRichText(*m_platform);
        control.loadFile(RTFFileName);
        return printRichText(control, layout, hold);
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        return fail(error.number(), error.description());
    }
}

Variant Corvane::PrintTextFile(const UString &TextFileName, const UString &FontSettings,
                               const LayoutParameters &layout)
{
    try {
        JobHold hold;
        if (!ordinaryFileExists(TextFileName)) {
            hold.release();
            return missingFile();
        }
        RichTextControl &control = threadRichText(*m_platform);
        control.loadFile(TextFileName);
        if (!FontSettings.empty())
            applyFontToAllText(control, FontSettings);
        return printRichText(control, layout, hold);
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        return fail(error.number(), error.description());
    }
}

Variant Corvane::PrintText(const UString &TextString, const UString &FontSettings,
                           const LayoutParameters &layout)
{
    try {
        JobHold hold;
        if (TextString.empty())
            return {};
        RichTextControl &control = threadRichText(*m_platform);
        control.setText(TextString);
        if (!FontSettings.empty())
            applyFontToAllText(control, FontSettings);
        return printRichText(control, layout, hold);
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        return fail(error.number(), error.description());
    }
}

Variant Corvane::PrintHTMLDocument(const UString &HTMLDocument)
{
    try {
        JobHold hold;
        if (HTMLDocument.empty())
            return {};
        requestHtml(resolveAddress(HTMLDocument), false, nullptr);
        return {};
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        return fail(error.number(), error.description());
    }
}

namespace {

// The number of a temporary HTML file's name: 111111 to 999999, drawn from a generator seeded
// from the time of day on every call, as the name's number always was.
class TemporaryNumbers {
public:
    TemporaryNumbers()
        : m_random(static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count()))
    {
    }
    long next() { return static_cast<long>(std::floor(m_fraction(m_random) * 888889 + 111111)); }

private:
    std::mt19937 m_random;
    std::uniform_real_distribution<double> m_fraction{0.0, 1.0};
};

} // namespace

Variant Corvane::PrintHTMLDocFromSource(const UString &HTMLSource)
{
    try {
        JobHold hold;
        if (HTMLSource.empty())
            return {};
        // The file goes to the user's own temporary folder, "$" + six digits + "$.htm", created
        // anew (another number is drawn when the name is taken). FileName names it before it
        // is created, also when creating it fails.
        const UString folder = m_platform->temporaryFolder();
        const UString separator = !folder.empty() && folder.back() == u'/' ? u"" : u"/";
        const std::string bytes = toUtf8(HTMLSource) + "\r\n";
        TemporaryNumbers numbers;
        std::shared_ptr<void> fileHold;
        for (int attempt = 0; attempt < 100 && !fileHold; ++attempt) {
            m_fileName = folder + separator + u"$" + decimal(numbers.next()) + u"$.htm";
            fileHold = m_platform->createTemporaryFile(m_fileName, bytes);
        }
        if (!fileHold)
            throw RuntimeError(58);

        // Wait until the file shows its length, letting messages through now and then; the
        // wait is bounded, and a file that vanished is an error.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (long poll = 0;; ++poll) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(std::filesystem::path(toUtf8(m_fileName)), ec);
            if (ec)
                throw RuntimeError(err::FileNotFound);
            if (size != 0)
                break;
            if (std::chrono::steady_clock::now() > deadline)
                throw RuntimeError(err::PathFileAccessError);
            if (poll % 1000 == 0)
                m_platform->processEvents();
        }
        requestHtml(m_fileName, true, std::move(fileHold));
        return {};
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        return fail(error.number(), error.description());
    }
}

Variant Corvane::PrintPDFFile(const UString &PDFFileName)
{
    // Exactly one event per call; the result stays Empty.
    try {
        JobHold hold;
        if (!ordinaryFileExists(PDFFileName)) {
            hold.release();
            Variant number = Variant::integer(-1);
            Variant description = Variant::string(u"File Not Found!");
            raisePrintError(number, description);
            return {};
        }
        // The PDF goes to the thread's current printer, as every other job does.
        const int32_t code = ShellDocument(m_platform->shell(), PDFFileName, 1, 0, surface().currentDeviceName());
        hold.release();
        if (code > 32) {
            raisePrintComplete();
            return {};
        }
        Variant number = Variant::longValue(code);
        Variant description = Variant::string(code == 31 ? u"No application is associated with PDF file printing!"
                                                         : u"Error printing PDF file!");
        raisePrintError(number, description);
    } catch (...) {
        const RuntimeError error = currentRuntimeError();
        Variant number = Variant::longValue(error.number());
        Variant description = Variant::string(error.description());
        raisePrintError(number, description);
    }
    return {};
}

void Corvane::About() { m_platform->showAbout(); }

} // namespace corvane
