// The rich-text jobs: RTF data or files, plain text or text files in one font, and PrintDoc's
// route for ".rtf" files, all printed through the thread's hidden rich-text form.
#pragma once

#include "Job.h"

namespace corvane {

JobEnd printRtfData(JobContext &job, const UString &rtf, const LayoutParameters &layout);
// A file that does not exist raises the document driver's "File Not Found!" (-1).
JobEnd printRtfFile(JobContext &job, const UString &path, const LayoutParameters &layout);
// FontSettings, when given, applies to all the text and becomes the object's current font.
JobEnd printTextFile(JobContext &job, const UString &path, const UString &fontSettings, const LayoutParameters &layout);
JobEnd printText(JobContext &job, const UString &text, const UString &fontSettings, const LayoutParameters &layout);
// FileName with the object's own margins and paper settings; a file that cannot be loaded is
// reported rather than printed as an empty page. The file exists.
JobEnd printRtfDocument(JobContext &job);

} // namespace corvane
