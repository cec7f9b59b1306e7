#include "PdfTextWriter.h"

#include "PdfCopies.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cctype>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <system_error>
#include <unordered_map>

namespace corvane::pdf {

namespace {

// Numbers as PDF writes them: at most three decimals, no exponent.
void number(std::string &out, double v)
{
    if (!std::isfinite(v))
        v = 0;
    // Most numbers, to three decimals in whole thousandths: written from an integer, which is
    // several times quicker than the shortest form of a double.
    if (const double thousandths = std::round(v * 1000.0); std::abs(thousandths) < 1e15) {
        auto m = static_cast<long long>(thousandths);
        if (m < 0) {
            out.push_back('-');
            m = -m;
        }
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, m / 1000).ptr);
        if (const int fraction = static_cast<int>(m % 1000); fraction != 0) {
            const char decimals[3] = {static_cast<char>('0' + fraction / 100), static_cast<char>('0' + fraction / 10 % 10),
                                      static_cast<char>('0' + fraction % 10)};
            size_t n = 3;
            while (decimals[n - 1] == '0')
                --n;
            out.push_back('.');
            out.append(decimals, n);
        }
        return;
    }
    double rounded = std::round(v * 1000.0) / 1000.0;
    if (!std::isfinite(rounded)) // v x 1000 overflowed; a number that large has no decimals
        rounded = v;
    // Room for any double in full: up to 309 digits before the point, a sign, the point and
    // three decimals. In a shorter one to_chars fails and leaves whatever bytes it holds.
    char buffer[std::numeric_limits<double>::max_exponent10 + 16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded == 0 ? 0.0 : rounded,
                                      std::chars_format::fixed);
    std::string_view s(buffer, static_cast<size_t>(result.ptr - buffer));
    if (s.find('.') != std::string_view::npos) {
        while (s.back() == '0')
            s.remove_suffix(1);
        if (s.back() == '.')
            s.remove_suffix(1);
    }
    out.append(s);
}

// Numbers separated by spaces, then an operator: "x y m".
void operands(std::string &out, std::initializer_list<double> values, const char *op)
{
    for (const double v : values) {
        number(out, v);
        out += ' ';
    }
    out += op;
}

std::string num(double v)
{
    std::string s;
    number(s, v);
    return s;
}

std::string deflate(const std::string &data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef *>(out.data()), &size, reinterpret_cast<const Bytef *>(data.data()),
                  static_cast<uLong>(data.size()), 1)
        != Z_OK)
        return {};
    out.resize(size);
    return out;
}

// A PDF name from a font name: letters, digits and a few safe characters only.
std::string pdfName(const std::string &name)
{
    std::string out;
    for (const char c : name)
        out.push_back(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '-');
    return out.empty() ? std::string("Font") : out;
}

constexpr char kHex[] = "0123456789ABCDEF";

void hex4(std::string &out, uint16_t v)
{
    out.push_back(kHex[v >> 12]);
    out.push_back(kHex[(v >> 8) & 15]);
    out.push_back(kHex[(v >> 4) & 15]);
    out.push_back(kHex[v & 15]);
}

} // namespace

namespace {
long packed(int red, int green, int blue)
{
    return (long(std::clamp(red, 0, 255)) << 16) | (long(std::clamp(green, 0, 255)) << 8)
         | long(std::clamp(blue, 0, 255));
}
void colour(std::string &out, long rgb, const char *op)
{
    // One channel of the packed colour, from 0 to 1.
    const auto channel = [rgb](int shift) { return static_cast<double>((rgb >> shift) & 0xFF) / 255.0; };
    if (channel(16) == channel(0) && channel(8) == channel(0)) {
        number(out, channel(0));
        out += ' ';
        out += op[0] == 'r' ? "g\n" : "G\n";
        return;
    }
    operands(out, {channel(16), channel(8), channel(0)}, op);
}
} // namespace

struct PdfTextWriter::UsedFont {
    std::shared_ptr<const TrueTypeFont> font;
    int fontId = 0;
    std::vector<bool> glyphs;
    std::vector<char16_t> unicode; // by glyph, the first character it showed
    // Glyphs that stand for more than one UTF-16 unit (a ligature, a character beyond the BMP).
    std::unordered_map<uint16_t, std::u16string> longer;
};

PdfTextWriter::PdfTextWriter(Sink sink, double widthPt, double heightPt, double originX, double originY)
    : m_sink(std::move(sink))
    , m_widthPt(widthPt)
    , m_heightPt(heightPt)
    , m_originX(originX)
    , m_originY(originY)
{
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    m_pagesId = newObject();
    m_resourcesId = newObject();
}

PdfTextWriter::~PdfTextWriter() = default;

int PdfTextWriter::newObject()
{
    m_offsets.push_back(0);
    return static_cast<int>(m_offsets.size()) - 1;
}

void PdfTextWriter::write(const std::string &bytes)
{
    if (m_ok && !bytes.empty())
        m_ok = m_sink(bytes.data(), bytes.size());
    m_offset += bytes.size();
}

void PdfTextWriter::beginObject(int id)
{
    m_offsets[static_cast<size_t>(id)] = m_offset;
    write(std::to_string(id) + " 0 obj\n");
}

void PdfTextWriter::writeStream(int id, const std::string &dict, const std::string &data, bool compress)
{
    writeStream(id, dict, data, compress ? deflate(data) : std::string());
}

void PdfTextWriter::writeStream(int id, const std::string &dict, const std::string &data, const std::string &packed)
{
    const bool packedOk = !packed.empty();
    const std::string &bytes = packedOk ? packed : data;
    beginObject(id);
    write("<<" + dict + (packedOk ? "/Filter/FlateDecode" : "") + "/Length " + std::to_string(bytes.size())
          + ">>\nstream\n");
    write(bytes);
    write("\nendstream\nendobj\n");
}

int PdfTextWriter::font(const std::shared_ptr<const TrueTypeFont> &font)
{
    for (size_t i = 0; i < m_fonts.size(); ++i)
        if (m_fonts[i]->font == font)
            return static_cast<int>(i);
    auto used = std::make_unique<UsedFont>();
    used->font = font;
    used->fontId = newObject();
    used->glyphs.assign(font->glyphCount(), false);
    used->unicode.assign(font->glyphCount(), 0);
    m_fonts.push_back(std::move(used));
    return static_cast<int>(m_fonts.size()) - 1;
}

void PdfTextWriter::text(int font, double size, double x, double y, const uint16_t *glyphs, const char16_t *text,
                         size_t count, const double *extra)
{
    UsedFont &used = *m_fonts.at(static_cast<size_t>(font));
    std::string &c = m_content;
    openText(font, size);
    textMatrix(x, y);
    c += extra ? "[<" : "<";
    for (size_t i = 0; i < count; ++i) {
        const uint16_t g = glyphs[i] < used.glyphs.size() ? glyphs[i] : 0;
        hex4(c, g);
        if (!used.glyphs[g] || (used.unicode[g] == 0 && !used.longer.count(g))) {
            used.glyphs[g] = true;
            used.unicode[g] = text[i];
        }
        if (extra && extra[i] != 0 && i + 1 < count) {
            // In thousandths of the text size, taken away from the position.
            c += '>';
            number(c, -extra[i] * 1000.0 / size);
            c += '<';
        }
    }
    c += extra ? ">]TJ" : ">Tj";
    closeText();
}

void PdfTextWriter::setTextStyle(bool emboldened, bool slanted)
{
    m_emboldened = emboldened;
    m_slanted = slanted;
}

void PdfTextWriter::openText(int font, double size)
{
    std::string &c = m_content;
    if (m_emboldened) {
        // Filled and stroked in the fill colour, the stroke a thirtieth of the size wide.
        if (m_stroke != m_fill && m_fill >= 0)
            colour(c, m_stroke = m_fill, "RG\n");
        setPen(size / 30.0);
    }
    c += "BT/F";
    c += std::to_string(font);
    c += ' ';
    operands(c, {size}, "Tf ");
    if (m_emboldened)
        c += "2 Tr ";
}

void PdfTextWriter::textMatrix(double x, double y)
{
    // y runs down the page; a slant leans the glyphs' tops to the right by a fifth.
    operands(m_content, {1, 0, m_slanted ? 0.2 : 0.0, -1, x, y}, "Tm");
}

void PdfTextWriter::closeText() { m_content += m_emboldened ? " 0 Tr ET\n" : " ET\n"; }

void PdfTextWriter::placedText(int font, double size, const uint16_t *glyphs, const double *positions, size_t count,
                               const std::u16string *characters)
{
    if (count == 0)
        return;
    UsedFont &used = *m_fonts.at(static_cast<size_t>(font));
    const TrueTypeFont &program = *used.font;
    const double unit = size / program.unitsPerEm();
    std::string &c = m_content;
    openText(font, size);
    // One array of glyphs as long as they share a baseline; the pen's drift from where the
    // advances leave it is taken up between glyphs.
    bool open = false;
    double penX = 0, penY = 0;
    for (size_t i = 0; i < count; ++i) {
        const double x = positions[2 * i], y = positions[2 * i + 1];
        if (!open || std::abs(y - penY) > 0.01 || std::abs(x - penX) * 1000.0 / size > 30000.0) {
            if (open)
                c += ">]TJ\n";
            textMatrix(x, y);
            c += "[<";
            open = true;
        } else if (std::abs(x - penX) > 0.005) {
            c += '>';
            number(c, -(x - penX) * 1000.0 / size);
            c += '<';
        }
        const uint16_t g = glyphs[i] < used.glyphs.size() ? glyphs[i] : 0;
        hex4(c, g);
        // (A glyph first drawn inside a cluster takes the characters it stands for alone later.)
        if (characters && !characters[i].empty() && used.unicode[g] == 0 && !used.longer.count(g)) {
            if (characters[i].size() == 1)
                used.unicode[g] = characters[i][0];
            else
                used.longer[g] = characters[i];
        }
        used.glyphs[g] = true;
        penX = x + program.advance(g) * unit;
        penY = y;
    }
    c += ">]TJ";
    closeText();
}

std::u16string PdfTextWriter::characters(int font, uint16_t glyph) const
{
    const UsedFont &used = *m_fonts.at(static_cast<size_t>(font));
    if (glyph >= used.glyphs.size())
        return {};
    if (const auto longer = used.longer.find(glyph); longer != used.longer.end())
        return longer->second;
    return used.unicode[glyph] != 0 ? std::u16string(1, used.unicode[glyph]) : std::u16string();
}

void PdfTextWriter::beginActualText(std::u16string_view text)
{
    std::string &c = m_content;
    c += "/Span<</ActualText<FEFF";
    // A surrogate without its partner cannot be read back: it is U+FFFD.
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool lead = unit >= 0xD800 && unit <= 0xDBFF;
        if (lead && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            hex4(c, static_cast<uint16_t>(unit));
            hex4(c, static_cast<uint16_t>(text[++i]));
        } else {
            hex4(c, unit >= 0xD800 && unit <= 0xDFFF ? uint16_t(0xFFFD) : static_cast<uint16_t>(unit));
        }
    }
    c += ">>>BDC\n";
}

void PdfTextWriter::endActualText() { m_content += "EMC\n"; }

void PdfTextWriter::setPen(double width)
{
    if (width == m_pen)
        return;
    m_pen = width;
    operands(m_content, {width}, "w\n");
}

void PdfTextWriter::line(double x1, double y1, double x2, double y2, double width)
{
    setPen(width);
    operands(m_content, {x1, y1}, "m ");
    operands(m_content, {x2, y2}, "l S\n");
}

void PdfTextWriter::rectangle(double x1, double y1, double x2, double y2, double width)
{
    setPen(width);
    operands(m_content, {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)}, "re S\n");
}

void PdfTextWriter::polyline(const double *points, size_t count, bool closed, double width)
{
    if (count < 2)
        return;
    setPen(width);
    for (size_t i = 0; i < count; ++i)
        operands(m_content, {points[2 * i], points[2 * i + 1]}, i == 0 ? "m " : "l ");
    m_content += closed ? "s\n" : "S\n";
}

void PdfTextWriter::fillRectangle(double x1, double y1, double x2, double y2)
{
    operands(m_content, {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)}, "re f\n");
}

void PdfTextWriter::fillPolygon(const double *points, size_t count, bool winding)
{
    if (count < 3)
        return;
    for (size_t i = 0; i < count; ++i)
        operands(m_content, {points[2 * i], points[2 * i + 1]}, i == 0 ? "m " : "l ");
    m_content += winding ? "h f\n" : "h f*\n";
}


void PdfTextWriter::setFillColor(int red, int green, int blue)
{
    const long rgb = packed(red, green, blue);
    if (rgb != m_fill)
        colour(m_content, m_fill = rgb, "rg\n");
}

void PdfTextWriter::setStrokeColor(int red, int green, int blue)
{
    const long rgb = packed(red, green, blue);
    if (rgb != m_stroke)
        colour(m_content, m_stroke = rgb, "RG\n");
}

void PdfTextWriter::setLineCap(int cap)
{
    if (cap != m_cap) {
        m_cap = cap;
        m_content += std::to_string(cap) + " J\n";
    }
}

void PdfTextWriter::resetState()
{
    // What the page's content starts with.
    m_pen = -1;
    m_fill = m_stroke = 0;
    m_cap = 2;
}

void PdfTextWriter::setClip(const double *rectangle)
{
    if (!rectangle && !m_clipped)
        return;
    if (rectangle && m_clipped && std::equal(rectangle, rectangle + 4, m_clip))
        return;
    if (m_clipped) {
        // A clip only narrows within a saved state: going back to the state removes it, and
        // with it the colours and pen set since.
        m_content += "Q\n";
        m_pen = -1;
        m_fill = m_stroke = -1;
        m_cap = -1;
        m_clipped = false;
    }
    if (rectangle) {
        std::copy(rectangle, rectangle + 4, m_clip);
        m_content += "q ";
        operands(m_content, {m_clip[0], m_clip[1], m_clip[2] - m_clip[0], m_clip[3] - m_clip[1]}, "re W n\n");
        m_clipped = true;
    }
}

int PdfTextWriter::picture(int width, int height, const std::string &rgb, const std::string &alpha)
{
    const std::string size = "/Width " + std::to_string(width) + "/Height " + std::to_string(height);
    int mask = 0;
    if (!alpha.empty()) {
        mask = newObject();
        writeStream(mask, "/Type/XObject/Subtype/Image" + size + "/ColorSpace/DeviceGray/BitsPerComponent 8", alpha,
                    true);
    }
    const int id = newObject();
    writeStream(id,
                "/Type/XObject/Subtype/Image" + size + "/ColorSpace/DeviceRGB/BitsPerComponent 8"
                    + (mask ? "/SMask " + std::to_string(mask) + " 0 R" : std::string()),
                rgb, true);
    m_pictures.push_back(id);
    return static_cast<int>(m_pictures.size()) - 1;
}

int PdfTextWriter::jpegPicture(const std::string &jpeg)
{
    // Its size and components from its frame header (SOF0-SOF15 but DHT, JPG and DAC), the
    // segments before it skipped by their lengths.
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(jpeg[i]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return -1;
    size_t at = 2;
    for (int segments = 0; at + 9 < jpeg.size() && segments < 10000; ++segments) {
        if (byte(at) != 0xFF)
            return -1;
        const unsigned char marker = byte(at + 1);
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        const size_t length = size_t(byte(at + 2)) << 8 | byte(at + 3);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            const int height = byte(at + 5) << 8 | byte(at + 6), width = byte(at + 7) << 8 | byte(at + 8);
            const int components = byte(at + 9), bits = byte(at + 4);
            if (width <= 0 || height <= 0 || bits != 8 || (components != 1 && components != 3))
                return -1;
            const int id = newObject();
            writeStream(id,
                        "/Type/XObject/Subtype/Image/Width " + std::to_string(width) + "/Height "
                            + std::to_string(height) + "/ColorSpace/" + (components == 1 ? "DeviceGray" : "DeviceRGB")
                            + "/BitsPerComponent 8/Filter/DCTDecode",
                        jpeg, false);
            m_pictures.push_back(id);
            return static_cast<int>(m_pictures.size()) - 1;
        }
        if (length < 2)
            return -1;
        at += 2 + length;
    }
    return -1;
}

void PdfTextWriter::drawPicture(int picture, double x, double y, double width, double height)
{
    // The picture's unit square, upright in y-down twips.
    m_content += "q ";
    operands(m_content, {width, 0, 0, -height, x, y + height}, "cm/P");
    m_content += std::to_string(picture) + " Do Q\n";
}

void PdfTextWriter::endPage()
{
    // Twips from the printable area's corner, y downwards, onto the page's points.
    const double height = m_turned ? m_widthPt : m_heightPt;
    std::string content = "q 0.05 0 0 -0.05 " + num(m_originX / 20.0) + ' ' + num(height - m_originY / 20.0)
                        + " cm 2 J 0 j 0 g 0 G\n";
    content += m_content;
    if (m_clipped)
        content += "Q\n";
    content += "Q\n";
    m_content.clear();
    m_clipped = false;
    resetState();
    const int streamId = newObject();
    writePacked();
    // The page is compressed beside the drawing of the next one; a small page, or one when no
    // thread can be had, here and now (when it is written).
    m_packing = std::make_unique<Packing>();
    m_packing->id = streamId;
    m_packing->content = std::move(content);
    const auto pack = [packing = m_packing.get()] { return deflate(packing->content); };
    constexpr size_t kWorthAThread = 16 * 1024;
    try {
        m_packing->packed = std::async(
            m_packing->content.size() >= kWorthAThread ? std::launch::async : std::launch::deferred, pack);
    } catch (const std::system_error &) {
        m_packing->packed = std::async(std::launch::deferred, pack);
    }
    m_pages.push_back(streamId);
    m_turnedPages.push_back(m_turned);
    m_turned = false;
}

void PdfTextWriter::writePacked()
{
    if (!m_packing)
        return;
    writeStream(m_packing->id, "", m_packing->content, m_packing->packed.get());
    m_packing.reset();
}

void PdfTextWriter::newPage() { endPage(); }

bool PdfTextWriter::finish(int copies, std::u16string_view title, const std::string &creator)
{
    endPage();
    writePacked();
    // Each page its own box: a turned one is landscape where the others are portrait.
    const std::string box = "[0 0 " + num(m_widthPt) + ' ' + num(m_heightPt) + ']';
    const std::string turnedBox = "[0 0 " + num(m_heightPt) + ' ' + num(m_widthPt) + ']';
    std::vector<int> kids;
    for (int copy = 0; copy < std::max(1, copies); ++copy) {
        for (size_t page = 0; page < m_pages.size(); ++page) {
            const int id = newObject();
            beginObject(id);
            write("<</Type/Page/Parent " + std::to_string(m_pagesId) + " 0 R/MediaBox"
                  + (m_turnedPages[page] ? turnedBox : box) + "/Resources " + std::to_string(m_resourcesId)
                  + " 0 R/Contents " + std::to_string(m_pages[page]) + " 0 R>>\nendobj\n");
            kids.push_back(id);
        }
    }
    std::string list;
    for (const int id : kids)
        list += std::to_string(id) + " 0 R ";
    beginObject(m_pagesId);
    write("<</Type/Pages/Count " + std::to_string(kids.size()) + "/Kids[" + list + "]>>\nendobj\n");

    std::string fonts;
    for (size_t i = 0; i < m_fonts.size(); ++i)
        fonts += "/F" + std::to_string(i) + ' ' + std::to_string(m_fonts[i]->fontId) + " 0 R";
    beginObject(m_resourcesId);
    std::string pictures;
    for (size_t i = 0; i < m_pictures.size(); ++i)
        pictures += "/P" + std::to_string(i) + ' ' + std::to_string(m_pictures[i]) + " 0 R";
    write("<</ProcSet[/PDF/Text/ImageC]/Font<<" + fonts + ">>"
          + (pictures.empty() ? std::string() : "/XObject<<" + pictures + ">>") + ">>\nendobj\n");

    bool postscript = false; // an OpenType font of CFF outlines is embedded: PDF 1.6
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        UsedFont &used = *m_fonts[i];
        const TrueTypeFont &font = *used.font;
        // A six-letter tag per subset, as subsets are named.
        std::string tag;
        for (size_t n = i + 1, k = 0; k < 6; ++k, n /= 26)
            tag.push_back(char('A' + n % 26));
        // PostScript outlines go whole, under the font's own name.
        const bool whole = font.postscriptOutlines();
        postscript |= whole;
        const std::string name = (whole ? std::string() : tag + '+') + pdfName(font.postscriptName());
        const double scale = 1000.0 / font.unitsPerEm();

        const int cidFont = newObject(), descriptor = newObject(), file = newObject(), toUnicode = newObject();
        std::string widths;
        std::string cmap;
        int mapped = 0;
        std::string ranges;
        for (uint32_t g = 0; g < used.glyphs.size(); ++g) {
            if (!used.glyphs[g])
                continue;
            widths += std::to_string(g) + '[';
            number(widths, font.advance(static_cast<uint16_t>(g)) * scale);
            widths += ']';
            // A glyph drawn only inside a cluster stands for no text of its own.
            const auto longer = used.longer.find(static_cast<uint16_t>(g));
            if (used.unicode[g] == 0 && longer == used.longer.end())
                continue;
            ranges += '<';
            hex4(ranges, static_cast<uint16_t>(g));
            ranges += "><";
            if (longer != used.longer.end())
                for (const char16_t unit : longer->second)
                    hex4(ranges, static_cast<uint16_t>(unit));
            else
                hex4(ranges, used.unicode[g]);
            ranges += ">\n";
            if (++mapped == 100) {
                cmap += "100 beginbfchar\n" + ranges + "endbfchar\n";
                ranges.clear();
                mapped = 0;
            }
        }
        if (mapped)
            cmap += std::to_string(mapped) + " beginbfchar\n" + ranges + "endbfchar\n";

        beginObject(used.fontId);
        write("<</Type/Font/Subtype/Type0/BaseFont/" + name + "/Encoding/Identity-H/DescendantFonts["
              + std::to_string(cidFont) + " 0 R]/ToUnicode " + std::to_string(toUnicode) + " 0 R>>\nendobj\n");
        beginObject(cidFont);
        write(std::string("<</Type/Font/Subtype/") + (whole ? "CIDFontType0" : "CIDFontType2") + "/BaseFont/" + name
              + "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>/FontDescriptor "
              + std::to_string(descriptor) + (whole ? " 0 R" : " 0 R/CIDToGIDMap/Identity") + "/DW 0/W[" + widths
              + "]>>\nendobj\n");
        const auto &d = font.descriptor();
        beginObject(descriptor);
        write("<</Type/FontDescriptor/FontName/" + name + "/Flags " + std::to_string(d.flags) + "/FontBBox["
              + num(d.bbox[0]) + ' ' + num(d.bbox[1]) + ' ' + num(d.bbox[2]) + ' ' + num(d.bbox[3]) + "]/ItalicAngle "
              + num(d.italicAngle) + "/Ascent " + num(d.ascent) + "/Descent " + num(d.descent) + "/CapHeight "
              + num(d.capHeight) + "/StemV " + num(d.stemV) + (whole ? "/FontFile3 " : "/FontFile2 ")
              + std::to_string(file) + " 0 R>>\nendobj\n");
        const std::string program = font.subset(used.glyphs);
        writeStream(file, whole ? std::string("/Subtype/OpenType") : "/Length1 " + std::to_string(program.size()),
                    program, true);
        writeStream(toUnicode, "",
                    "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                    "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
                    "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
                    "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n"
                        + cmap + "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n",
                    true);
    }

    // The document's information: its title as written, the creator ASCII.
    const auto literal = [](const std::string &s) { return textString(std::u16string(s.begin(), s.end())); };
    const int info = newObject();
    beginObject(info);
    write("<</Title" + textString(title) + "/Creator" + literal(creator) + "/Producer" + literal(creator)
          + ">>\nendobj\n");
    const int catalog = newObject();
    beginObject(catalog);
    write("<</Type/Catalog" + std::string(postscript ? "/Version/1.6" : "") + "/Pages " + std::to_string(m_pagesId)
          + " 0 R>>\nendobj\n");

    const size_t xref = m_offset;
    std::string table = "xref\n0 " + std::to_string(m_offsets.size()) + "\n0000000000 65535 f \n";
    char entry[24];
    for (size_t id = 1; id < m_offsets.size(); ++id) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", m_offsets[id]);
        table += entry;
    }
    write(table);
    write("trailer\n<</Size " + std::to_string(m_offsets.size()) + "/Root " + std::to_string(catalog) + " 0 R/Info "
          + std::to_string(info) + " 0 R>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
    return m_ok;
}

} // namespace corvane::pdf
