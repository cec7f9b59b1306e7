// libFuzzer target: the update that repeats a PDF's pages, on damaged PDFs (a file it does not
// understand must be refused, never read out of bounds). When it accepts one, the update must
// end the file as a PDF does and list every added page.
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
    return 0;
}
