// libFuzzer target: the updates that repeat a PDF's pages and retitle it, on damaged PDFs (a
// file they do not understand must be refused, never read out of bounds). When one accepts a
// file, its update must end the file as a PDF does.
#include "pdf/PdfCopies.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view pdf(reinterpret_cast<const char *>(data), size);
    const int copies = size > 0 ? 2 + data[0] % 3 : 2;
    const auto update = corvane::pdf::repeatPages(pdf, copies);
    if (update && (update->find("startxref") == std::string::npos || update->rfind("%%EOF\n") != update->size() - 6))
        __builtin_trap();
    const auto titled = corvane::pdf::retitle(pdf, u"Fuzz (\u00e9)");
    if (titled && (titled->find("/Title <FEFF") == std::string::npos || titled->rfind("%%EOF\n") != titled->size() - 6))
        __builtin_trap();
    return 0;
}
