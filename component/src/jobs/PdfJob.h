// The PDF job: the file goes to the handler the system associates with PDF files, for the
// thread's current printer.
#pragma once

#include "Job.h"

namespace corvane {

// A file that does not exist raises the document driver's "File Not Found!" (-1); a shell that
// refuses raises its code with "No application is associated with PDF file printing!" (31) or
// "Error printing PDF file!".
JobEnd printPdfFile(JobContext &job, const UString &path);

// ShellDocument: the "print" verb when print is non-zero, "open" otherwise. Never raises; a
// shell that failed gives 0.
int32_t ShellDocument(Shell &shell, const UString &file, int32_t print, int32_t windowStyle, const UString &printer = {});

} // namespace corvane
