// libFuzzer target: the RTF reader on any bytes, emitting to a builder that looks at all it is
// given. Sanitizers report what goes wrong.
#include "richtext/RtfReader.h"

#include <cstddef>
#include <cstdint>

namespace {

class TouchingBuilder final : public corvane::DocumentBuilder {
public:
    size_t sum = 0;
    void text(std::u16string_view text, const corvane::CharFormat &format) override
    {
        for (const char16_t c : text)
            sum += c;
        sum += format.fontName.size();
        if (!(format.pointSize >= 1 && format.pointSize <= 1638))
            __builtin_trap(); // the reader keeps sizes to what a font can have
    }
    void lineBreak(const corvane::CharFormat &) override { ++sum; }
    void paragraphEnd(const corvane::ParaFormat &format, const corvane::CharFormat &) override
    {
        sum += format.tabs.size() + static_cast<size_t>(format.leftIndent);
    }
    void pageBreak(const corvane::ParaFormat &) override { ++sum; }
    void documentEnd(const corvane::ParaFormat &) override { ++sum; }
    void tableRowStart(const corvane::TableRow &row) override
    {
        for (const corvane::TableCell &cell : row.cells)
            sum += static_cast<size_t>(cell.right) + static_cast<size_t>(cell.top.width) + cell.shading.value_or(0);
    }
    void tableCellEnd(const corvane::ParaFormat &, const corvane::CharFormat &) override { ++sum; }
    void tableRowEnd() override { ++sum; }
    void picture(const std::string &type, const std::string &bytes, int32_t, int32_t) override
    {
        sum += type.size() + bytes.size();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TouchingBuilder builder;
    corvane::readRtf(std::string_view(reinterpret_cast<const char *>(data), size), builder);
    return builder.sum == 0xFFFFFFFF ? 1 : 0;
}
