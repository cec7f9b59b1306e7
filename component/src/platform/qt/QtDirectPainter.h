// A paint device that writes what a QPainter draws straight into a PdfTextWriter: text items of
// simple scripts with the glyphs of the font's own character map at the positions the layout
// gave them; text that needs shaping (ligatures, complex and right-to-left scripts, combining
// marks, characters another face supplies) with the glyphs and positions the text engine gives
// it, marked with the characters it shows so that its text extracts as written; rectangles,
// lines, polygons and pictures as PDF graphics. The device's unit is the twip (1440 dpi), from
// the corner of the printable area. Anything it cannot write as it was laid out (a face that is
// not a TrueType face) marks the device as failed rather than being drawn wrongly.
#pragma once

#include "pdf/PdfTextWriter.h"

#include <QPaintDevice>
#include <QRawFont>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
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
    bool bold = false, italic = false;                                   // what the face's own design is
    std::vector<uint16_t> glyphs = std::vector<uint16_t>(65536, 0xFFFF); // 0xFFFF: not looked up

    // The glyph of a character, 0 when the face has none.
    uint16_t glyph(char16_t c);
    // Appends the glyphs of the characters of `text` that show (control characters and line
    // ends take room but show nothing) to `run`, and the characters to `shown`. Returns
    // their advance in font units; `complete` turns false when a character needs shaping or
    // the face lacks it.
    uint64_t append(QStringView text, std::vector<uint16_t> &run, std::u16string &shown, bool &complete);
    // The characters a glyph of a shaped text stands for, from the face's map: the character
    // whose glyph it is, or the letters of the presentation form (a ligature, a joined Arabic
    // letter) the map gives it. Null when the map names it for none.
    const std::u16string *characters(uint16_t glyph);
    // Sets the writer to make up the bold and italic that `font` asks for and this face lacks.
    void styleFor(const QFont &font, pdf::PdfTextWriter &writer) const;

private:
    std::unordered_map<uint16_t, std::u16string> m_forms; // by glyph, read once
    bool m_formsRead = false;
};

// Characters that are drawn one glyph each, left to right, without shaping: Latin, Greek,
// Cyrillic, Armenian and common symbols. Anything else (combining marks, right-to-left and
// complex scripts, surrogates, invisible format characters) needs a text engine.
bool drawsWithoutShaping(char16_t c);

// The JPEG file a picture was decoded from, by the cache key of the image or pixmap made of
// it, so that the PDF holds the file as it is rather than its pixels. Held within 256 MB, the
// oldest forgotten first.
void rememberJpeg(qint64 cacheKey, const QByteArray &jpeg);

// Whether a font is Symbol or Wingdings, whose letters draw symbols: its text says the symbols.
bool isSymbolFont(const QFont &font);

// Whether a font the text engine took is a font file's (not the boxes drawn for characters no
// font has).
bool isFont(const QRawFont &font);

// Whether a font the text engine took is a font file of another kind (a Type 1 face), which the
// direct writer cannot write.
bool isOtherFace(const QRawFont &font);

// The faces a device writes text in.
class FaceSource {
public:
    // The face written for a font (family, bold, italic), or null when there is none.
    virtual DirectFace *find(const QFont &font) = 0;
    // The face of a font the text engine chose (a fallback for characters the font lacks).
    virtual DirectFace *find(const QRawFont &font) = 0;

protected:
    ~FaceSource() = default;
};

class DirectPdfDevice final : public QPaintDevice {
public:
    using Faces = FaceSource &;

    DirectPdfDevice(pdf::PdfTextWriter &writer, FaceSource &faces, double width, double height);
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
