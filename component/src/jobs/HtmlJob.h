// The HTML jobs: a page by address or file, and a page written from source into a temporary
// file. Both queue the page on the thread's hidden browser and return; the page prints later,
// and a failure then reaches the object that asked while it lives.
#pragma once

#include "Job.h"

namespace corvane {

JobEnd printHtmlDocument(JobContext &job, const UString &address);
// Writes the source to a new "$nnnnnn$.htm" in the user's temporary folder; FileName names the
// file before it is created, also when creating it fails.
JobEnd printHtmlSource(JobContext &job, const UString &source);

// The name of a temporary HTML file: "$*$.htm" (a dollar sign, anything, a dollar sign and
// ".htm", letter case ignored).
bool isTemporaryHtmlName(std::u16string_view name);

} // namespace corvane
