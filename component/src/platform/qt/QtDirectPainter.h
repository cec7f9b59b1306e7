// A paint device that writes what a QPainter draws straight into a PdfTextWriter, for jobs
// planned as simple text: text items are written with the glyphs of the font's own character
// map at the positions the layout gave them, rectangles, lines, polygons and pictures as PDF
// graphics. The device's unit is the twip (1440 dpi), from the corner of the printable area.
// Anything it cannot write as it was laid out (text that needs shaping, a face that is not a
// real TrueType face) marks the device as failed rather than being drawn wrongly.
#pragma once

#include "pdf/PdfTextWriter.h"

#include <QPaintDevice>
#include <QRawFont>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvane::qt {

// Rich text is laid out at 144 dots per inch, in units of ten twips, with the fonts' design
// metrics, so that the layout is the same at any resolution. In the text engine's fixed-point
// coordinates that reaches some 320 million twips down (about 20,000 pages), and a font keeps its
// metrics up to the largest size a document may ask for (at 1440 dpi they overflowed past 900
// points, and positions past about 2,400 pages).
inline constexpr double kRichTextLayoutDpi = 144;
inline constexpr double kTwipsPerLayoutUnit = 1440 / kRichTextLayoutDpi;

// A font face written straight into PDFs: its TrueType tables and a cache of its character map.
struct DirectFace {
    std::shared_ptr<const pdf::TrueTypeFont> font;
    QRawFont raw;
    std::vector<uint16_t> glyphs = std::vector<uint16_t>(65536, 0xFFFF); // 0xFFFF: not looked up

    // The glyph of a character, 0 when the face has none.
    uint16_t glyph(char16_t c);
    // Appends the glyphs of the characters of `text` that show (control characters and line
    // ends take room but show nothing) to `run`, and the characters to `shown`. Returns
    // their advance in font units; `complete` turns false when a character needs shaping or
    // the face lacks it.
    uint64_t append(QStringView text, std::vector<uint16_t> &run, std::u16string &shown, bool &complete);
};

// Characters that are drawn one glyph each, left to right, without shaping: Latin, Greek,
// Cyrillic, Armenian and common symbols. Anything else (combining marks, right-to-left and
// complex scripts, surrogates, invisible format characters) needs a text engine.
bool drawsWithoutShaping(char16_t c);

// The JPEG file a picture was decoded from, by the cache key of the image or pixmap made of
// it, so that the PDF holds the file as it is rather than its pixels. Held within 256 MB, the
// oldest forgotten first.
void rememberJpeg(qint64 cacheKey, const QByteArray &jpeg);

class DirectPdfDevice final : public QPaintDevice {
public:
    // The face written for a font (family, bold, italic), or null when there is none.
    using Faces = std::function<DirectFace *(const QFont &)>;

    DirectPdfDevice(pdf::PdfTextWriter &writer, Faces faces, double width, double height);
    ~DirectPdfDevice() override;

    QPaintEngine *paintEngine() const override;
    // Whether something was drawn that could not be written as laid out.
    bool failed() const;
    // Writes what is held back; before the page ends.
    void flush();

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
    double m_width, m_height;
};

} // namespace corvane::qt
