#include <corvane/Corvane.h>
#include <corvane/Errors.h>

#include "Platform.h"

#include <algorithm>
#include <filesystem>

namespace corvane {

namespace {

// Stands in when no platform was installed: every print reports a printer error.
class NoPlatform final : public Platform {
public:
    std::unique_ptr<PrinterSurface> createPrinterSurface() override
    {
        throw RuntimeError(err::PrinterError, u"Printer error: no printing platform is installed");
    }
    UString libraryFolder() override { return {}; }
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

void deleteTemporaryHtmlFiles(const UString &folder)
{
    if (folder.empty())
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir(toUtf8(folder));
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (isTemporaryHtmlName(fromUtf8(name)) && it->is_regular_file(ec))
            fs::remove(it->path(), ec);
    }
}

} // namespace

UString errorResultText(int32_t number, std::u16string_view description)
{
    return decimal(number) + u"|" + UString(description);
}

Corvane::Corvane(Platform *platform)
    : m_platform(&platformOrNone(platform))
{
    deleteTemporaryHtmlFiles(m_platform->libraryFolder());
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

Variant Corvane::notAvailable(std::u16string_view method)
{
    return fail(err::ObjectDoesNotSupportAction,
                UString(method) + u" is not available in this build of the component");
}

PrinterSurface &Corvane::surface() { return threadSurface(*m_platform); }

void Corvane::selectPrinterByName(const UString &name)
{
    PrinterSurface &printer = surface();
    const UString wanted = toUpper(name);
    const int count = printer.PrinterCount();
    for (int i = 0; i < count; ++i) {
        if (toUpper(printer.DeviceName(i)) == wanted) {
            printer.selectPrinter(i);
            return;
        }
    }
}

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
    try {
        selectPrinterByName(PrinterName);
    } catch (const RuntimeError &) {
    }
    return {};
}

Variant Corvane::PrintDoc(const UString &) { return notAvailable(u"PrintDoc"); }

Variant Corvane::PrintRTFData(const UString &, const LayoutParameters &)
{
    return notAvailable(u"PrintRTFData");
}

Variant Corvane::PrintRTFFile(const UString &, const LayoutParameters &)
{
    return notAvailable(u"PrintRTFFile");
}

Variant Corvane::PrintTextFile(const UString &, const UString &, const LayoutParameters &)
{
    return notAvailable(u"PrintTextFile");
}

Variant Corvane::PrintText(const UString &, const UString &, const LayoutParameters &)
{
    return notAvailable(u"PrintText");
}

Variant Corvane::PrintHTMLDocument(const UString &) { return notAvailable(u"PrintHTMLDocument"); }

Variant Corvane::PrintHTMLDocFromSource(const UString &)
{
    return notAvailable(u"PrintHTMLDocFromSource");
}

Variant Corvane::PrintPDFFile(const UString &) { return notAvailable(u"PrintPDFFile"); }

void Corvane::About() { notAvailable(u"About"); }

} // namespace corvane
