// libFuzzer target: the TrueType reader, the subsetter and the PDF text writer (with its
// graphics) on font tables made of random bytes (a damaged font on the machine must not bring printing down). The input
// is cut into the tables a TrueType font needs; the rest chooses glyphs to draw. A document that
// is written must start and end as a PDF does.
#include "pdf/PdfTextWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace corvane::pdf;
    // Six tables, each given its length in two bytes, then the glyph numbers to draw.
    static const char *const tags[] = {"head", "hhea", "maxp", "hmtx", "loca", "glyf"};
    std::string tables[6];
    size_t at = 0;
    for (std::string &table : tables) {
        if (at + 2 > size)
            return 0;
        const size_t length = std::min<size_t>(data[at] | (data[at + 1] << 8), size - at - 2);
        table.assign(reinterpret_cast<const char *>(data + at + 2), length);
        at += 2 + length;
    }
    const auto font = TrueTypeFont::load(
        [&](const char *tag) {
            for (int i = 0; i < 6; ++i)
                if (std::string_view(tag) == tags[i])
                    return tables[i];
            return std::string();
        },
        "Fuzz Font");
    if (!font)
        return 0;

    std::string out;
    PdfTextWriter writer(
        [&](const char *bytes, size_t n) {
            out.append(bytes, n);
            return true;
        },
        612, 792, 0, 0);
    const int f = writer.font(font);
    std::u16string text;
    std::basic_string<uint16_t> glyphs;
    for (; at + 1 < size; at += 2) {
        glyphs.push_back(static_cast<uint16_t>(data[at] | (data[at + 1] << 8)));
        text.push_back(static_cast<char16_t>(0x20 + (data[at] % 0x5F)));
        if (glyphs.size() == 40) {
            writer.text(f, 240, 100, 100 + glyphs.size(), glyphs.data(), text.data(), glyphs.size());
            writer.newPage();
            glyphs.clear();
            text.clear();
        }
    }
    // Justified text, colours, a clip that changes, shapes and a picture made of the input.
    std::vector<double> extra(glyphs.size(), 0.0);
    for (size_t i = 0; i < extra.size(); ++i)
        extra[i] = glyphs[i] % 7 == 0 ? glyphs[i] / 100.0 : 0.0;
    writer.setFillColor(data[0], size % 256, -5);
    writer.text(f, 240, 100, 100, glyphs.data(), text.data(), glyphs.size(), extra.data());
    const double clip[4] = {double(data[1]), 10, 500, double(size)};
    writer.setClip(clip);
    writer.setStrokeColor(300, 0, data[2]);
    writer.setLineCap(data[3] % 3);
    writer.line(0, 0, 100, 100, 12);
    writer.setClip(nullptr);
    const double points[6] = {0, 0, double(data[4]), 50, 30, double(data[5])};
    writer.fillPolygon(points, 3, data[0] & 1);
    writer.polyline(points, 3, data[1] & 1, 2);
    writer.fillRectangle(5, 5, 1, 1);
    const int w = 1 + data[0] % 8, h = 1 + data[1] % 8;
    std::string rgb(static_cast<size_t>(w * h * 3), '\x7f'), alpha(data[2] & 1 ? static_cast<size_t>(w * h) : 0, '\x40');
    writer.drawPicture(writer.picture(w, h, rgb, alpha), 10, 10, 200, 100);
    if (!writer.finish(2, u"fuzz", "fuzz") || out.rfind("%PDF-1.4", 0) != 0 || out.find("%%EOF") == std::string::npos)
        __builtin_trap();
    return 0;
}
