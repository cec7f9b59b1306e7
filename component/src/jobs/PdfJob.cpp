#include "PdfJob.h"

#include "core/Files.h"

namespace corvane {

int32_t ShellDocument(Shell &shell, const UString &file, int32_t print, int32_t windowStyle, const UString &printer)
{
    try {
        return shell.execute(print ? u"print" : u"open", file, windowStyle, printer);
    } catch (...) {
        return 0;
    }
}

JobEnd printPdfFile(JobContext &job, const UString &path)
{
    if (!ordinaryFileExists(path))
        throw RuntimeError(err::DocumentFileNotFound, err::DocumentFileNotFoundText);
    const int32_t code = ShellDocument(job.platform.shell(), path, 1, 0, jobPrinter(job.platform).currentDeviceName());
    if (code > shell::LastError)
        return JobEnd::Printed;
    throw RuntimeError(code, code == shell::NoAssociation ? u"No application is associated with PDF file printing!"
                                                          : u"Error printing PDF file!");
}

} // namespace corvane
