#include "TextJob.h"

#include "core/Files.h"
#include "core/Steps.h"
#include "text/TextDocument.h"

#include <optional>

namespace corvane {

namespace {

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

void readDocumentFile(JobContext &job)
{
    Properties &p = job.properties;
    checkReadableName(p.FileName);
    UString content = decodeText(job.platform.readFile(p.FileName));
    if (!p.AllDataFromFile) {
        p.setDocText(std::move(content));
        return;
    }
    // Title, header and footer are the first three lines; the body is the rest of the file,
    // whatever its line ends.
    std::u16string_view rest(content);
    UString title, header, footer;
    if (!takeLine(rest, title) || !takeLine(rest, header) || !takeLine(rest, footer))
        throw RuntimeError(err::InputPastEndOfFile);
    p.DocTitle = std::move(title);
    p.DocHeader = std::move(header);
    p.DocFooter = std::move(footer);
    p.setDocText(UString(rest));
}

} // namespace

JobEnd printTextDocument(JobContext &job)
{
    if (!job.properties.FileName.empty())
        readDocumentFile(job);

    PrinterSurface &printer = jobPrinter(job.platform);
    applyPaperSettings(printer, job.properties.layout());
    // The spooler lists the job by its title, else by the file it came from.
    printer.setDocumentName(job.properties.DocTitle.empty() ? fileNameOf(job.properties.FileName)
                                                            : job.properties.DocTitle);

    std::optional<TextDocument> document;
    try {
        document.emplace(job.properties, job.events, job.platform, printer);
        document->PrintBodyText();
    } catch (...) {
        // Nothing of a failed job reaches the spooler, and the pen width is as it was.
        if (document) {
            skipOnError([&] { printer.KillDoc(); });
            if (document->changedDrawWidth())
                skipOnError([&] { printer.setDrawWidth(document->savedDrawWidth()); });
        }
        throw;
    }
    return JobEnd::Printed;
}

} // namespace corvane
