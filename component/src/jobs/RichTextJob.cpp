#include "RichTextJob.h"

#include "ThreadForms.h"

#include "core/Files.h"
#include "richtext/RichTextRenderer.h"

namespace corvane {

namespace {

// Renders the thread's rich-text form, as a job the spooler lists under `name`; unloads it
// after success.
JobEnd print(JobContext &job, RichTextControl &control, const LayoutParameters &layout, const UString &name = {})
{
    PrinterSurface &printer = jobPrinter(job.platform);
    applyPaperSettings(printer, layout);
    printer.setDocumentName(name);
    renderRichText(control, printer, layout);
    unloadThreadRichText();
    return JobEnd::Printed;
}

void requireFile(const UString &path)
{
    if (!ordinaryFileExists(path))
        throw RuntimeError(err::DocumentFileNotFound, err::DocumentFileNotFoundText);
}

void applyFontToAllText(JobContext &job, RichTextControl &control, const UString &fontSettings)
{
    FontSpec &font = job.properties.CurrentFont;
    font = ParseFontSettings(fontSettings);
    control.setSelStart(0);
    control.setSelLength(static_cast<int32_t>(control.Text().size()));
    control.setSelFontName(font.Name);
    control.setSelFontSize(font.Size);
    control.setSelBold(font.Bold);
    control.setSelItalic(font.Italic);
    control.setSelUnderline(font.Underline);
}

} // namespace

JobEnd printRtfData(JobContext &job, const UString &rtf, const LayoutParameters &layout)
{
    RichTextControl &control = threadRichText(job.platform);
    control.setTextRTF(rtf);
    return print(job, control, layout);
}

JobEnd printRtfFile(JobContext &job, const UString &path, const LayoutParameters &layout)
{
    requireFile(path);
    RichTextControl &control = threadRichText(job.platform);
    control.loadFile(path);
    return print(job, control, layout, fileNameOf(path));
}

JobEnd printTextFile(JobContext &job, const UString &path, const UString &fontSettings, const LayoutParameters &layout)
{
    requireFile(path);
    RichTextControl &control = threadRichText(job.platform);
    control.loadFile(path);
    if (!fontSettings.empty())
        applyFontToAllText(job, control, fontSettings);
    return print(job, control, layout, fileNameOf(path));
}

JobEnd printText(JobContext &job, const UString &text, const UString &fontSettings, const LayoutParameters &layout)
{
    if (text.empty())
        return JobEnd::NoEvent;
    RichTextControl &control = threadRichText(job.platform);
    control.setText(text);
    if (!fontSettings.empty())
        applyFontToAllText(job, control, fontSettings);
    return print(job, control, layout);
}

JobEnd printRtfDocument(JobContext &job)
{
    RichTextControl &control = threadRichText(job.platform);
    control.loadFile(job.properties.FileName);
    const Properties &p = job.properties;
    return print(job, control, p.layout(), p.DocTitle.empty() ? fileNameOf(p.FileName) : p.DocTitle);
}

} // namespace corvane
