// A PDF writer for jobs of text and simple graphics: text in embedded TrueType fonts (subset to
// the glyphs used, addressed by glyph number, with a ToUnicode map so the text can be
// extracted), lines, rectangles and polygons in colour, a rectangular clip, and RGB pictures.
// Coordinates are twips from the top left of the sheet.
// A page is compressed on another thread while the next one is drawn, and written when that one
// ends, so a long job holds two pages at a time.
// Plain C++ and zlib; the fonts' tables come from whoever knows the fonts.
#pragma once

#include "TrueTypeFont.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::pdf {

class PdfTextWriter {
public:
    // Receives the file's bytes in order; false stops the job with a write error.
    using Sink = std::function<bool(const char *data, size_t size)>;

    // Every page is widthPt x heightPt points; drawing coordinates are twips from (originX,
    // originY) twips right of and below the sheet's top left corner.
    PdfTextWriter(Sink sink, double widthPt, double heightPt, double originX, double originY);
    ~PdfTextWriter();

    // The font's number in this document (the same font object gives the same number).
    int font(const std::shared_ptr<const TrueTypeFont> &font);

    // A run of glyphs on the baseline at (x, y), `size` twips high, in the fill colour; `text`
    // holds the characters they show (one per glyph), for extraction. `extra`, when given, holds
    // for every glyph the twips added after it (a justified line's wider spaces).
    void text(int font, double size, double x, double y, const uint16_t *glyphs, const char16_t *text, size_t count,
              const double *extra = nullptr);
    // Glyphs a text engine shaped, each at its own baseline origin (x, y pairs in `positions`).
    // `characters`, when given, holds for every glyph the characters it alone stands for
    // (empty for a glyph that is part of a cluster), for the font's map back to text.
    void placedText(int font, double size, const uint16_t *glyphs, const double *positions, size_t count,
                    const std::u16string *characters = nullptr);
    // The characters a glyph of a font stands for in the font's map back to text so far (empty
    // while it stands for none).
    std::u16string characters(int font, uint16_t glyph) const;
    // What is drawn between these two is read as `text` when the page's text is extracted: the
    // characters of shaped or reordered glyphs, in reading order.
    void beginActualText(std::u16string_view text);
    void endActualText();
    // How text written next is drawn from its font: thickened by its outline (a bold the font has
    // no face for) and slanted (an italic it has no face for).
    void setTextStyle(bool emboldened, bool slanted);

    // Lines and outlines in the stroke colour, `width` twips wide.
    void line(double x1, double y1, double x2, double y2, double width);
    void rectangle(double x1, double y1, double x2, double y2, double width);
    // A polygon or open polyline through `count` points (x, y pairs).
    void polyline(const double *points, size_t count, bool closed, double width);
    // Filled shapes in the fill colour; a polygon fills by the even-odd rule unless `winding`.
    void fillRectangle(double x1, double y1, double x2, double y2);
    void fillPolygon(const double *points, size_t count, bool winding);

    // Colours, 0 to 255 a component.
    void setFillColor(int red, int green, int blue);
    void setStrokeColor(int red, int green, int blue);
    // 0 butt, 1 round, 2 projecting square (the default).
    void setLineCap(int cap);
    // Everything drawn after this is clipped to the rectangle; nullptr clips nothing. Until the
    // page ends.
    void setClip(const double *rectangle);

    // A picture of width x height pixels: RGB bytes, three a pixel, row after row, and an
    // optional alpha byte a pixel. Returns its number, for drawing it any number of times.
    int picture(int width, int height, const std::string &rgb, const std::string &alpha);
    // A JPEG file as it is (baseline or progressive, of one or three components); -1 for one
    // that cannot be passed on so.
    int jpegPicture(const std::string &jpeg);
    // Draws a picture scaled into the rectangle.
    void drawPicture(int picture, double x, double y, double width, double height);

    void newPage();
    // The open page is as tall as the others are wide and as wide as they are tall.
    void turnPage(bool turned) { m_turned = turned; }
    // Ends the document: every page `copies` times over, then the fonts and the cross-reference
    // table, the document named `title`. Returns false when the sink refused bytes (now or before).
    bool finish(int copies, std::u16string_view title, const std::string &creator);

    int pageCount() const { return static_cast<int>(m_pages.size()) + 1; }

private:
    struct UsedFont;
    int newObject();
    void beginObject(int id);
    void write(const std::string &bytes);
    void writeStream(int id, const std::string &dict, const std::string &data, bool compress);
    void writeStream(int id, const std::string &dict, const std::string &data, const std::string &packed);
    // Writes the page whose content is being compressed, once it is.
    void writePacked();
    void endPage();
    void setPen(double width);
    void resetState();
    // Opens a text object in a font, with the text style set; `closeText` ends it.
    void openText(int font, double size);
    void closeText();
    void textMatrix(double x, double y);

    Sink m_sink;
    bool m_ok = true;
    size_t m_offset = 0;
    std::vector<size_t> m_offsets{0}; // by object number
    double m_widthPt, m_heightPt, m_originX, m_originY;
    int m_pagesId = 0, m_resourcesId = 0;
    std::vector<int> m_pages;        // page objects written
    std::vector<bool> m_turnedPages; // of them, those turned
    bool m_turned = false;           // the open page is
    std::string m_content;           // the open page's content
    // The last page that ended: its content, and the content compressed (empty when that failed).
    struct Packing {
        int id = 0;
        std::string content;
        std::future<std::string> packed;
    };
    std::unique_ptr<Packing> m_packing;
    double m_pen = -1;
    std::vector<std::unique_ptr<UsedFont>> m_fonts;
    std::vector<int> m_pictures; // object numbers
    // Graphics state of the open page; -1 when unknown (restored by the end of a clip).
    long m_fill = 0, m_stroke = 0;
    int m_cap = 2;
    bool m_emboldened = false, m_slanted = false;
    bool m_clipped = false;
    double m_clip[4] = {};
};

} // namespace corvane::pdf
