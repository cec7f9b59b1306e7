// PrintDoc's job of plain text: the file named by FileName (or DocText), laid out with the page
// frame on the thread's printer.
#pragma once

#include "Job.h"

namespace corvane {

// Reads FileName when it is set (the first three lines as title, header and footer when
// AllDataFromFile is), applies the paper settings and prints the body text. The file exists.
JobEnd printTextDocument(JobContext &job);

} // namespace corvane
