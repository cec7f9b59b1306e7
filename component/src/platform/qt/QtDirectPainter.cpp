#include "QtDirectPainter.h"

#include "richtext/CodePages.h"

#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>
#include <QTextLayout>

#include <QMutex>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <optional>

namespace corvane::qt {

uint16_t DirectFace::glyph(char16_t c)
{
    uint16_t &g = glyphs[c];
    if (g == 0xFFFF) {
        const QChar ch(c);
        quint32 index = 0;
        int count = 1;
        raw.glyphIndexesForChars(&ch, 1, &index, &count);
        g = count == 1 && index < 0xFFFF ? static_cast<uint16_t>(index) : 0;
    }
    return g;
}

uint64_t DirectFace::append(QStringView text, std::vector<uint16_t> &run, std::u16string &shown, bool &complete)
{
    uint64_t units = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x20 || c == 0x2028 || c == 0x2029)
            continue;
        const uint16_t g = glyph(c);
        if (g == 0 || !drawsWithoutShaping(c))
            complete = false;
        run.push_back(g);
        shown.push_back(c);
        units += font->advance(g);
    }
    return units;
}

const std::u16string *DirectFace::characters(uint16_t glyph)
{
    if (!m_formsRead) {
        m_formsRead = true;
        // Presentation forms: Latin, Armenian and Hebrew ligatures, Arabic forms and ligatures.
        for (const auto &[first, last] : {std::pair<char32_t, char32_t>{0xFB00, 0xFDFF}, {0xFE70, 0xFEFF}}) {
            for (char32_t c = first; c <= last; ++c) {
                const QString letters = QChar::decomposition(c);
                const QChar ch(static_cast<char16_t>(c));
                quint32 index = 0;
                int count = 1;
                if (letters.isEmpty() || !raw.glyphIndexesForChars(&ch, 1, &index, &count) || index == 0
                    || index >= 0xFFFF)
                    continue;
                m_forms.emplace(static_cast<uint16_t>(index), letters.toStdU16String());
            }
        }
    }
    const auto found = m_forms.find(glyph);
    return found == m_forms.end() ? nullptr : &found->second;
}

void DirectFace::styleFor(const QFont &request, pdf::PdfTextWriter &writer) const
{
    writer.setTextStyle(request.bold() && !bold, request.italic() && !italic);
}

bool isSymbolFont(const QFont &font)
{
    const QString family = font.family();
    return symbolFontCodePage(std::u16string_view(reinterpret_cast<const char16_t *>(family.utf16()),
                                                  static_cast<size_t>(family.size())))
        != 0;
}

bool drawsWithoutShaping(char16_t c)
{
    if (c < 0x0300)
        return c != 0x00AD; // a soft hyphen shows only where a line breaks
    if (c < 0x0370)
        return false;
    if (c < 0x0590)
        return !(c >= 0x0483 && c <= 0x0489);
    if (c >= 0x1E00 && c < 0x2000)
        return true;
    if (c >= 0x2000 && c < 0x2060)
        return !(c >= 0x200B && c <= 0x200F) && !(c >= 0x2028 && c <= 0x202E);
    if (c >= 0x2070 && c < 0x2400)
        return c < 0x20D0 || c > 0x20FF; // but the marks set over symbols (an arrow, a keycap)
    return c >= 0x2500 && c < 0x2600;
}

namespace {

// A font's size in pixels of the layout's device (a font sized in pixels as it is).
double layoutPixels(const QFont &font)
{
    return font.pointSizeF() > 0 ? font.pointSizeF() * kRichTextLayoutDpi / 72.0 : font.pixelSize();
}

// Spaces and joiners of no width, and variation selectors.
bool showsNothing(char16_t c)
{
    return (c >= 0x200B && c <= 0x200D) || c == 0x2060 || (c >= 0xFE00 && c <= 0xFE0F);
}

// Characters in the reverse order (a pair of surrogates kept as it is).
std::u16string backwards(const std::u16string &text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t end = text.size(); end > 0;) {
        size_t start = end - 1;
        if (start > 0 && QChar::isLowSurrogate(text[start]) && QChar::isHighSurrogate(text[start - 1]))
            --start;
        out.append(text, start, end - start);
        end = start;
    }
    return out;
}

struct Jpegs {
    QMutex lock;
    QHash<qint64, QByteArray> files;
    std::deque<qint64> order;
    qint64 bytes = 0;
};

Jpegs &jpegs()
{
    static Jpegs held;
    return held;
}

QByteArray jpegOf(qint64 cacheKey)
{
    Jpegs &held = jpegs();
    const QMutexLocker locked(&held.lock);
    return held.files.value(cacheKey);
}

// The direction of the strong character at an item's right end as it stands on the line: +1 right
// to left, -1 left to right, 0 when it has none.
int directionAtRight(const std::u16string &text, bool rightToLeft)
{
    const auto strong = [](char16_t c) {
        const QChar::Direction d = QChar::direction(c);
        return d == QChar::DirR || d == QChar::DirAL ? 1 : d == QChar::DirL ? -1 : 0;
    };
    if (rightToLeft) {
        for (const char16_t c : text)
            if (const int d = strong(c))
                return d;
    } else {
        for (auto c = text.rbegin(); c != text.rend(); ++c)
            if (const int d = strong(*c))
                return d;
    }
    return 0;
}

// What a span says: right-to-left text right to left, as a reader takes the line's right-to-left
// characters (turned round here when `inReadingOrder`). A reader takes a mark at the left end of
// a right-to-left run for left-to-right text, and reads it before the run: such a span starts
// with a right-to-left mark (`runStarts`: nothing right to left stands just left of it), or has
// one after the punctuation before its mark.
std::u16string spanText(std::u16string text, bool rightToLeft, bool inReadingOrder, bool runStarts)
{
    if (!rightToLeft)
        return text;
    if (inReadingOrder)
        text = backwards(text);
    // (Punctuation ends a reader's right-to-left run: a mark after it at the span's left end
    // starts a run of its own.)
    size_t lead = 0;
    while (lead < text.size() && !QChar::isMark(text[lead]) && !QChar::isSpace(text[lead])
           && QChar::direction(text[lead]) != QChar::DirR && QChar::direction(text[lead]) != QChar::DirAL)
        ++lead;
    if (lead < text.size() && QChar::isMark(text[lead]) && (lead > 0 || runStarts))
        text.insert(text.begin() + static_cast<std::ptrdiff_t>(lead), u'\u200F');
    return text;
}

} // namespace

void rememberJpeg(qint64 cacheKey, const QByteArray &jpeg)
{
    Jpegs &held = jpegs();
    const QMutexLocker locked(&held.lock);
    if (held.files.contains(cacheKey))
        return;
    held.files.insert(cacheKey, jpeg);
    held.order.push_back(cacheKey);
    held.bytes += jpeg.size();
    while (held.bytes > (qint64(256) << 20) && held.order.size() > 1) {
        held.bytes -= held.files.take(held.order.front()).size();
        held.order.pop_front();
    }
}

class DirectPdfDevice::Engine final : public QPaintEngine {
public:
    Engine(pdf::PdfTextWriter &writer, FaceSource &faces)
        : QPaintEngine(AllFeatures)
        , m_writer(writer)
        , m_faces(faces)
    {
    }

    bool failed = false;

    bool begin(QPaintDevice *) override
    {
        setActive(true);
        return true;
    }
    bool end() override
    {
        flush();
        setActive(false);
        return true;
    }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState &changed) override
    {
        const DirtyFlags flags = changed.state();
        if (flags & DirtyTransform) {
            m_transform = changed.transform();
            m_scale = std::sqrt(std::abs(m_transform.determinant()));
        }
        if (flags & DirtyPen)
            m_pen = changed.pen();
        if (flags & DirtyBrush)
            m_brush = changed.brush();
        // Clips arrive in the coordinates of the transform set with them. Text held back is
        // written in the clip it was drawn in.
        if (flags & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled))
            flush();
        if (flags & DirtyClipPath)
            clip(changed.clipOperation(), m_transform.map(changed.clipPath()).boundingRect());
        if (flags & DirtyClipRegion)
            clip(changed.clipOperation(), m_transform.mapRect(QRectF(changed.clipRegion().boundingRect())));
        if ((flags & DirtyClipEnabled) && !changed.isClipEnabled())
            m_clip.reset();
    }

    void drawRects(const QRectF *rects, int count) override
    {
        sync();
        for (int i = 0; i < count; ++i) {
            const QRectF r = m_transform.mapRect(rects[i]);
            if (fills())
                m_writer.fillRectangle(r.left(), r.top(), r.right(), r.bottom());
            if (strokes())
                m_writer.rectangle(r.left(), r.top(), r.right(), r.bottom(), penWidth());
        }
    }

    void drawLines(const QLineF *lines, int count) override
    {
        sync();
        if (!strokes())
            return;
        for (int i = 0; i < count; ++i) {
            const QLineF l = m_transform.map(lines[i]);
            m_writer.line(l.x1(), l.y1(), l.x2(), l.y2(), penWidth());
        }
    }

    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override
    {
        const std::vector<double> xy = coordinates(m_transform.map(QPolygonF(QList<QPointF>(points, points + count))));
        const size_t n = xy.size() / 2;
        sync();
        if (mode != PolylineMode && fills())
            m_writer.fillPolygon(xy.data(), n, mode == WindingMode);
        if (strokes())
            m_writer.polyline(xy.data(), n, mode != PolylineMode, penWidth());
    }

    void drawPath(const QPainterPath &path) override
    {
        sync();
        if (fills()) {
            for (const QPolygonF &polygon : path.toFillPolygons(m_transform)) {
                const std::vector<double> xy = coordinates(polygon);
                m_writer.fillPolygon(xy.data(), xy.size() / 2, path.fillRule() == Qt::WindingFill);
            }
        }
        if (strokes()) {
            for (const QPolygonF &polygon : path.toSubpathPolygons(m_transform)) {
                const std::vector<double> xy = coordinates(polygon);
                m_writer.polyline(xy.data(), xy.size() / 2, polygon.isClosed(), penWidth());
            }
        }
    }

    void drawPixmap(const QRectF &r, const QPixmap &pixmap, const QRectF &source) override
    {
        if (passJpeg(r, pixmap.cacheKey(), pixmap.rect(), source))
            return;
        drawImage(r, pixmap.toImage(), source, Qt::AutoColor);
    }

    // A whole picture decoded from a JPEG file is written as that file.
    bool passJpeg(const QRectF &r, qint64 cacheKey, const QRect &whole, const QRectF &source)
    {
        if (source.toAlignedRect().intersected(whole) != whole)
            return false;
        const QString key = QStringLiteral("jpeg/") + QString::number(cacheKey);
        auto known = m_pictures.constFind(key);
        if (known == m_pictures.constEnd()) {
            const QByteArray jpeg = jpegOf(cacheKey);
            const int picture = jpeg.isEmpty() ? -1 : m_writer.jpegPicture(jpeg.toStdString());
            if (picture < 0)
                return false;
            known = m_pictures.insert(key, picture);
        }
        const QRectF target = m_transform.mapRect(r);
        sync();
        m_writer.drawPicture(*known, target.x(), target.y(), target.width(), target.height());
        return true;
    }

    void drawImage(const QRectF &r, const QImage &image, const QRectF &source, Qt::ImageConversionFlags) override
    {
        const QRect part = source.toAlignedRect().intersected(image.rect());
        if (part.isEmpty())
            return;
        if (passJpeg(r, image.cacheKey(), image.rect(), source))
            return;
        const QString key = QString::number(image.cacheKey()) + QLatin1Char('/') + QString::number(part.x())
                          + QLatin1Char(',') + QString::number(part.y()) + QLatin1Char(',')
                          + QString::number(part.width()) + QLatin1Char(',') + QString::number(part.height());
        auto known = m_pictures.constFind(key);
        if (known == m_pictures.constEnd()) {
            const QImage cut = part == image.rect() ? image : image.copy(part);
            const bool alpha = cut.hasAlphaChannel();
            const QImage pixels = cut.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
            std::string rgb, mask;
            rgb.reserve(static_cast<size_t>(pixels.width()) * pixels.height() * 3);
            for (int y = 0; y < pixels.height(); ++y) {
                const auto *line = reinterpret_cast<const char *>(pixels.constScanLine(y));
                if (!alpha) {
                    rgb.append(line, static_cast<size_t>(pixels.width()) * 3);
                    continue;
                }
                for (int x = 0; x < pixels.width(); ++x) {
                    rgb.append(line + 4 * x, 3);
                    mask.push_back(line[4 * x + 3]);
                }
            }
            known = m_pictures.insert(key, m_writer.picture(pixels.width(), pixels.height(), rgb, mask));
        }
        const QRectF target = m_transform.mapRect(r);
        sync();
        m_writer.drawPicture(*known, target.x(), target.y(), target.width(), target.height());
    }

    // Text items are held back by one: whether an item's trailing spaces were widened (a
    // justified line widens every space but those at its end) shows only when the next item
    // arrives on the same line.
    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        QString text = item.text();
        QFont font = item.font();
        // Capitals the font's format asks for are what the page shows, and what its text says.
        if (font.capitalization() == QFont::AllUppercase || font.capitalization() == QFont::SmallCaps)
            text = text.toUpper();
        // A symbol font's letters show its symbols: the text says those.
        const bool symbols = isSymbolFont(font);
        if (symbols) {
            const std::u16string name = font.family().toStdU16String();
            QString said;
            for (const QChar c : std::as_const(text)) {
                const char32_t symbol = symbolFontCharacter(name, c.unicode());
                said += QString::fromUcs4(&symbol, 1);
            }
            text = said;
        }
        DirectFace *face = m_faces.find(font);
        if (!face) {
            failed = true;
            return;
        }
        const pdf::TrueTypeFont &program = *face->font;
        // Fonts are sized for the layout's device; the painter's transform takes its pixels to
        // twips.
        const double pixels = layoutPixels(font);
        const double size = pixels * m_scale;
        const double unit = size / program.unitsPerEm();
        const QPointF origin = m_transform.map(p);
        // Text the clip hides entirely is not written. The page loop draws a paragraph split
        // over two pages line by line, and the layout around it may hand some of its lines over
        // again under a clip that hides them: written, they would read twice.
        if (m_clip) {
            const pdf::TrueTypeFont::Descriptor &d = program.descriptor();
            const double top = origin.y() - d.ascent / 1000.0 * size, bottom = origin.y() - d.descent / 1000.0 * size;
            const double right = origin.x() + std::max(0.0, item.width() * m_scale);
            if (bottom < m_clip->top() || top > m_clip->bottom() || right < m_clip->left()
                || origin.x() > m_clip->right())
                return;
        }
        const bool continues = (m_pending && std::abs(origin.y() - m_pending->y) < 1.0 && origin.x() > m_pending->x)
                            || (m_shaped && std::abs(origin.y() - m_shaped->origin.y()) < 1.0
                                && origin.x() > m_shaped->origin.x());
        // A variation selector, tag, joiner or space of no width laid out as an item of its own, or
        // at the start of one (a selector the font lacks, with the space after it), is said with
        // the item before it on its line, which is still held back (shaped, so that its text can
        // say more than its glyphs), unless a space stands between them.
        QString laidOut = item.text();
        qsizetype unseen = 0;
        while (unseen < text.size()) {
            const bool pair = text[unseen].isHighSurrogate() && unseen + 1 < text.size() && text[unseen + 1].isLowSurrogate();
            const char32_t c = pair ? QChar::surrogateToUcs4(text[unseen], text[unseen + 1]) : text[unseen].unicode();
            if (!((c < 0x10000 && showsNothing(static_cast<char16_t>(c))) || (c >= 0xE0000 && c <= 0xE007F)
                  || (c >= 0xE0100 && c <= 0xE01EF)))
                break;
            unseen += pair ? 2 : 1;
        }
        // (What begins a right-to-left item follows what stands right of it: it goes with the
        // item held back when that stands there, right to left too; else the item keeps it, and
        // an item of nothing else is said with the word after it.)
        const bool backwardsItem = item.renderFlags() & QTextItem::RightToLeft;
        const bool follows = backwardsItem ? m_shaped && m_shaped->rightToLeft && std::abs(origin.y() - m_shaped->origin.y()) < 1.0
                                                 && origin.x() <= m_shaped->origin.x() + 0.01
                                           : continues;
        if (follows && !m_shapedContinues && unseen > 0 && laidOut.startsWith(text.left(unseen))) {
            if (m_pending) {
                const Pending &held = *m_pending;
                const QString heldText = QString::fromStdU16String(held.shown);
                m_shaped = Shaped{QPointF(held.x, held.y), heldText,   heldText,
                                  held.request,             held.request, held.width,
                                  held.size / layoutPixels(held.request),   held.colour, false};
                m_pending.reset();
            }
            m_shaped->shown += text.left(unseen);
            if (unseen == text.size())
                return;
            text.remove(0, unseen);
            laidOut.remove(0, unseen);
        }
        // A space laid out as an item of its own shows nothing. The shaped item held back waits
        // for the item after it: the text engine gives a right-to-left run's words right to left,
        // and whether that item's text is right to left tells whether a reader's run goes on left
        // of the one held.
        if (m_shaped && !text.isEmpty() && std::abs(origin.y() - m_shaped->origin.y()) < 1.0
            && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); })) {
            if (!m_shapedContinues)
                m_shapedContinues = continues;
            return;
        }
        const double right = origin.x() + item.width() * m_scale, reach = layoutPixels(font) * m_scale;
        const bool leftGoesOn = m_shaped && std::abs(origin.y() - m_shaped->origin.y()) < 1.0
                             && origin.x() < m_shaped->origin.x() - 0.01 && right < m_shaped->origin.x() + reach / 2
                             && right > m_shaped->origin.x() - 2 * reach
                             && directionAtRight(text.toStdU16String(), item.renderFlags() & QTextItem::RightToLeft) > 0;
        flush(continues, leftGoesOn);
        // Spaces and joiners of no width, laid out as an item of their own, are said with the
        // word that follows them on their line.
        const bool unsaid = !m_unsaid.empty() && std::abs(origin.y() - m_unsaidY) < 1.0 && !text.isEmpty()
                         && !text.front().isSpace();
        // (A right-to-left item right of them comes before them in the text.)
        if (unsaid && (item.renderFlags() & QTextItem::RightToLeft) && origin.x() >= m_unsaidX - 0.01)
            text.append(QString::fromStdU16String(m_unsaid));
        else if (unsaid)
            text.prepend(QString::fromStdU16String(m_unsaid));
        m_unsaid.clear();

        Pending &next = m_pending.emplace();
        next.face = face;
        next.request = font;
        next.font = m_writer.font(face->font);
        next.size = size;
        next.x = origin.x();
        next.y = origin.y();
        next.width = item.width() * m_scale;
        next.colour = m_pen.color();
        bool simple = !symbols && !unsaid && font.capitalization() != QFont::SmallCaps && font.letterSpacing() == 0
                   && font.wordSpacing() == 0 && !(item.renderFlags() & QTextItem::RightToLeft);
        next.natural = static_cast<double>(face->append(text, next.glyphs, next.shown, simple)) * unit;
        if (!simple) {
            // Shaped by the text engine, as the layout measured it.
            m_pending.reset();
            m_shaped = Shaped{origin,
                              laidOut,
                              text,
                              font,
                              item.font(),
                              item.width() * m_scale,
                              size / pixels,
                              m_pen.color(),
                              bool(item.renderFlags() & QTextItem::RightToLeft)};
            return;
        }
        next.lastInk = next.shown.size();
        while (next.lastInk > 0 && isSpace(next.shown[next.lastInk - 1]))
            --next.lastInk;
        if (next.lastInk == 0)
            m_pending.reset(); // nothing but white space
    }

    // A text item to be shaped: where it starts, the text laid out and the characters it shows,
    // its font as laid out and as asked for, its width in the layout (in twips), the layout's
    // scale, its colour and direction.
    struct Shaped {
        QPointF origin;
        QString text, shown;
        QFont font, request;
        double width = 0, scale = 1;
        QColor colour;
        bool rightToLeft = false;
    };

    // Writes a text item through the text engine's shaping: each glyph run in the face the
    // engine took for it, at the positions it gave, the whole item marked with `shown`, the
    // characters it shows. `continues` when the next item follows it on its line.
    void drawShaped(const Shaped &shaped, bool continues, bool leftGoesOn)
    {
        const QPointF &origin = shaped.origin;
        const QString &text = shaped.text, &shown = shaped.shown;
        QFont font = shaped.font;
        const double scale = shaped.scale;
        // Laid out again as the document's layout did, at its resolution, so that the text
        // engine takes the faces it already holds; a font sized in pixels is taken as it is.
        QTextOption option;
        option.setUseDesignMetrics(true);
        option.setWrapMode(QTextOption::NoWrap);
        option.setTextDirection(shaped.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        font.setUnderline(false);
        font.setStrikeOut(false);
        font.setOverline(false);
        const double layoutScale = scale;
        QTextLayout layout(text, font, &m_layoutDevice);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid())
            line.setLineWidth(1.0e7);
        layout.endLayout();
        if (!line.isValid())
            return;
        const QList<QGlyphRun> runs = layout.glyphRuns();

        // A justified line gave the item more room than its glyphs take: its spaces got it, all
        // but those that end its line (an item of a line not justified is as wide as its
        // glyphs, to the twip).
        const double natural = line.naturalTextWidth() * layoutScale;
        const double wider = shaped.width - natural;
        std::vector<double> spaces; // where the widened spaces stand, left to right
        if (std::abs(wider) > 1.0) {
            double last = -1e300;
            std::vector<double> all;
            for (const QGlyphRun &run : runs) {
                DirectFace *face = m_faces.find(run.rawFont());
                const quint32 space = face ? face->glyph(u' ') : 0;
                const QList<quint32> indexes = run.glyphIndexes();
                const QList<QPointF> points = run.positions();
                // (A joiner or a space of no width the font lacks is set as its space with no
                // advance: it is not widened.)
                const qsizetype n = std::min(indexes.size(), points.size());
                for (qsizetype k = 0; k < n; ++k) {
                    if (space != 0 && indexes[k] == space) {
                        if (k + 1 == n || std::abs(points[k + 1].x() - points[k].x()) > 0.01)
                            all.push_back(points[k].x());
                    } else {
                        last = std::max(last, points[k].x());
                    }
                }
            }
            std::sort(all.begin(), all.end());
            // (No more than the item's spaces: its last may be such a joiner.)
            const auto blanks = static_cast<size_t>(std::count_if(text.begin(), text.end(), [](QChar c) { return c.isSpace(); }));
            if (all.size() > blanks)
                all.resize(blanks);
            for (const double x : all)
                if (x < last || continues)
                    spaces.push_back(x);
        }
        const double share = spaces.empty() ? 0 : wider / static_cast<double>(spaces.size());

        // Each glyph's characters, from the face's map: when they spell the item's text, the
        // glyphs say what they show; else the whole item is marked with its text.
        struct Run {
            DirectFace *face;
            bool boxes; // characters no font has: the font's empty box
            std::vector<uint16_t> glyphs;
            std::vector<double> positions;
            std::vector<std::u16string> characters;
            double size;
        };
        std::vector<Run> written;
        std::u16string spelt;
        for (const QGlyphRun &run : runs) {
            Run &out = written.emplace_back();
            out.face = m_faces.find(run.rawFont());
            // (A face of another kind, a Type 1 font's, cannot be written here: its glyphs are
            // not the ones this writer would draw.)
            out.boxes = !out.face && !isFont(run.rawFont()) && !isOtherFace(run.rawFont());
            if (out.boxes)
                out.face = m_faces.find(font);
            if (!out.face) {
                failed = true;
                written.pop_back();
                continue;
            }
            QHash<quint32, char16_t> own;
            for (const QChar c : shown)
                if (!c.isSurrogate())
                    if (const quint32 g = out.face->glyph(c.unicode()); g != 0 && !own.contains(g))
                        own.insert(g, c.unicode());
            const QList<quint32> indexes = run.glyphIndexes();
            const QList<QPointF> points = run.positions();
            const size_t count = static_cast<size_t>(std::min(indexes.size(), points.size()));
            out.glyphs.resize(count);
            out.positions.resize(2 * count);
            out.characters.assign(count, {});
            for (size_t k = 0; k < count; ++k) {
                const quint32 g = indexes[static_cast<qsizetype>(k)];
                const QPointF at = points[static_cast<qsizetype>(k)];
                out.glyphs[k] = static_cast<uint16_t>(g < 0xFFFF && !out.boxes ? g : 0);
                if (out.boxes) {
                } else if (const auto found = own.constFind(g); found != own.constEnd())
                    out.characters[k] = std::u16string(1, *found);
                else if (const std::u16string *form = out.face->characters(out.glyphs[k]))
                    out.characters[k] = *form;
                spelt += out.characters[k];
                const auto widened = std::lower_bound(spaces.begin(), spaces.end(), at.x()) - spaces.begin();
                out.positions[2 * k] = origin.x() + at.x() * layoutScale + static_cast<double>(widened) * share;
                out.positions[2 * k + 1] = origin.y() + (at.y() - line.ascent()) * layoutScale;
            }
            // A character that shows nothing (a variation selector, a joiner) the font lacks is
            // given its space glyph, which stands for no character: unwritten, a reader would take
            // its glyph number for the text.
            const uint16_t blank = out.boxes ? 0 : static_cast<uint16_t>(out.face->glyph(u' '));
            size_t kept = 0;
            for (size_t k = 0; k < count; ++k) {
                if (blank != 0 && out.glyphs[k] == blank && out.characters[k].empty())
                    continue;
                if (kept != k) {
                    out.glyphs[kept] = out.glyphs[k];
                    out.characters[kept] = std::move(out.characters[k]);
                    out.positions[2 * kept] = out.positions[2 * k];
                    out.positions[2 * kept + 1] = out.positions[2 * k + 1];
                }
                ++kept;
            }
            out.glyphs.resize(kept);
            out.characters.resize(kept);
            out.positions.resize(2 * kept);
            out.size = (out.boxes ? layoutPixels(font) : run.rawFont().pixelSize()) * layoutScale;
        }
        // What the item says: a soft hyphen that breaks no line, and the marks that steer
        // direction, say nothing.
        std::u16string text16 = shown.toStdU16String();
        std::erase_if(text16, [](char16_t c) { return c < 0x20 || c == 0x00AD || c == 0x200E || c == 0x200F; });
        // Points on one letter mean the same in any order of their classes: a glyph of a letter
        // with its point says them in its own order, the text perhaps in another.
        const auto says = [&text16](const std::u16string &s) {
            const auto canonical = [](const std::u16string &t) {
                return QString::fromStdU16String(t).normalized(QString::NormalizationForm_D);
            };
            return s == text16 || canonical(s) == canonical(text16);
        };
        const bool rightToLeft = shaped.rightToLeft;
        // (Right-to-left text just left of the item goes on the reader's run across this one.)
        const bool runStarts = !leftGoesOn && !followsRightToLeft(origin, layoutPixels(font) * scale);
        if (!says(spelt) && rightToLeft) {
            // A run's glyphs keep the reading order; a right-to-left item's runs come right to
            // left.
            spelt.clear();
            for (auto run = written.rbegin(); run != written.rend(); ++run)
                for (const std::u16string &c : run->characters)
                    spelt += c;
        }
        // Glyphs the face's map cannot name (marks set as one glyph, a word's ligature) stand for
        // the characters between those of the glyphs around them, taken in reading order (a
        // right-to-left item's runs may come either way): the first of several such glyphs in a
        // row for all of them. (A character that shows nothing and has no glyph is not given to
        // the glyph before it: the font's map would say it wherever that glyph stands. The item
        // is marked with its text.)
        const auto spell = [](std::vector<Run> &all, const std::u16string &says16, bool runsBackwards) {
            // (Boxes for characters no font has say nothing: the item is marked with its text.)
            if (std::any_of(all.begin(), all.end(), [](const Run &run) {
                    return run.boxes || std::find(run.glyphs.begin(), run.glyphs.end(), 0) != run.glyphs.end();
                }))
                return false;
            std::vector<std::u16string *> glyphs;
            for (size_t r = 0; r < all.size(); ++r)
                for (std::u16string &characters : all[runsBackwards ? all.size() - 1 - r : r].characters)
                    glyphs.push_back(&characters);
            std::vector<std::u16string> said(glyphs.size());
            size_t at = 0;
            for (size_t i = 0; i < glyphs.size();) {
                if (!glyphs[i]->empty()) {
                    if (says16.compare(at, glyphs[i]->size(), *glyphs[i]) != 0)
                        return false;
                    said[i] = *glyphs[i];
                    at += glyphs[i]->size();
                    ++i;
                    continue;
                }
                size_t next = i;
                while (next < glyphs.size() && glyphs[next]->empty())
                    ++next;
                const size_t end = next < glyphs.size() ? says16.find(*glyphs[next], at + 1) : says16.size();
                if (end == std::u16string::npos || end <= at)
                    return false;
                said[i] = says16.substr(at, end - at);
                at = end;
                i = next;
            }
            if (at != says16.size())
                return false;
            for (size_t i = 0; i < glyphs.size(); ++i)
                *glyphs[i] = std::move(said[i]);
            return true;
        };
        if (!says(spelt) && (spell(written, text16, false) || (rightToLeft && spell(written, text16, true))))
            spelt = text16;
        // Letters set apart read as separate words unless their span says what they are.
        const bool spaced = font.letterSpacingType() == QFont::AbsoluteSpacing ? font.letterSpacing() > 0
                                                                               : font.letterSpacing() > 100;
        bool marked = spaced || !says(spelt);
        // Right-to-left glyphs come in reading order, right to left; they are written left to
        // right, as readers of the page expect a line's glyphs, each letter still ahead of the
        // points and marks on it (a reader parts words where a glyph starts right of the one
        // before it). A reader takes the line's right-to-left characters from right to left, so
        // each glyph's own characters are said right to left too (a letter with its point, a
        // ligature).
        const auto reverse = [](Run &run, size_t from, size_t to) {
            std::reverse(run.glyphs.begin() + static_cast<std::ptrdiff_t>(from),
                         run.glyphs.begin() + static_cast<std::ptrdiff_t>(to));
            std::reverse(run.characters.begin() + static_cast<std::ptrdiff_t>(from),
                         run.characters.begin() + static_cast<std::ptrdiff_t>(to));
            for (size_t k = 0; k < (to - from) / 2; ++k) {
                std::swap(run.positions[2 * (from + k)], run.positions[2 * (to - 1 - k)]);
                std::swap(run.positions[2 * (from + k) + 1], run.positions[2 * (to - 1 - k) + 1]);
            }
        };
        const auto mark = [](const std::u16string &characters) {
            return !characters.empty()
                && std::all_of(characters.begin(), characters.end(), [](char16_t c) { return QChar::isMark(c); });
        };
        for (Run &run : written) {
            const size_t n = run.glyphs.size();
            if (n >= 2 && run.positions[0] > run.positions[2 * (n - 1)])
                reverse(run, 0, n);
        }
        if (rightToLeft) {
            // A right-to-left item's runs left to right, those of one face side by side as one:
            // the text engine may part a word's glyphs into runs of the same face.
            std::erase_if(written, [](const Run &run) { return run.glyphs.empty(); });
            std::stable_sort(written.begin(), written.end(),
                             [](const Run &a, const Run &b) { return a.positions[0] < b.positions[0]; });
            std::vector<Run> merged;
            for (Run &run : written) {
                if (!merged.empty() && merged.back().face == run.face && merged.back().boxes == run.boxes
                    && merged.back().size == run.size) {
                    Run &into = merged.back();
                    into.glyphs.insert(into.glyphs.end(), run.glyphs.begin(), run.glyphs.end());
                    into.positions.insert(into.positions.end(), run.positions.begin(), run.positions.end());
                    into.characters.insert(into.characters.end(), run.characters.begin(), run.characters.end());
                } else {
                    merged.push_back(std::move(run));
                }
            }
            written = std::move(merged);
        }
        for (Run &run : written) {
            const size_t n = run.glyphs.size();
            if (!rightToLeft)
                continue;
            for (std::u16string &characters : run.characters)
                characters = backwards(characters);
            for (size_t k = 0; k < n; ++k) {
                size_t base = k;
                while (base < n && mark(run.characters[base]))
                    ++base;
                if (base < n && base > k)
                    reverse(run, k, base + 1);
                k = base;
            }
        }
        // A glyph the font's map already ties to other characters would read as those: the item
        // is marked with its text instead.
        std::map<std::pair<int, uint16_t>, const std::u16string *> tied;
        for (const Run &run : written) {
            const int id = m_writer.font(run.face->font);
            for (size_t k = 0; k < run.glyphs.size() && !marked && !run.boxes; ++k) {
                const auto [found, added] = tied.try_emplace({id, run.glyphs[k]}, &run.characters[k]);
                const std::u16string known = m_writer.characters(id, run.glyphs[k]);
                marked = (!added && *found->second != run.characters[k])
                      || (!known.empty() && known != run.characters[k]);
            }
        }

        sync();
        m_writer.setFillColor(shaped.colour.red(), shaped.colour.green(), shaped.colour.blue());
        // Spaces at either end stay out of the marked span: the reader parts words by the gaps
        // between glyphs, and a space said inside the span as well would read twice.
        std::vector<std::pair<size_t, size_t>> marks(written.size()); // each run's marked glyphs
        bool inked = false;
        for (size_t r = 0; r < written.size(); ++r) {
            const Run &run = written[r];
            const uint16_t space = run.boxes ? 0 : run.face->glyph(u' ');
            marks[r] = {run.glyphs.size(), run.glyphs.size()};
            for (size_t k = 0; k < run.glyphs.size(); ++k) {
                if (space != 0 && run.glyphs[k] == space)
                    continue;
                if (!inked || marks[r].first == run.glyphs.size())
                    marks[r].first = inked ? 0 : k;
                marks[r].second = k + 1;
                inked = true;
            }
        }
        if (!inked) {
            // (A variation selector belongs to the character before it, which is written.)
            if (std::all_of(text16.begin(), text16.end(), [](char16_t c) { return showsNothing(c) && c < 0xFE00; })) {
                m_unsaid = text16;
                m_unsaidX = origin.x();
                m_unsaidY = origin.y();
            }
            marked = false;
        }
        size_t firstInk = 0, lastInk = 0; // runs
        while (inked && marks[firstInk].first == marks[firstInk].second)
            ++firstInk;
        for (size_t r = 0; r < written.size(); ++r)
            if (marks[r].first < marks[r].second)
                lastInk = r;
        // Inside a span, a reader takes its glyphs to reach from where the first starts to where
        // the last ends: its leftmost letter is written first and the one that ends rightmost
        // last (else a word parted into spans of bold and italic, ending at marks of no width,
        // reads as two words). Marks are placed by offsets from origins of their own and take no
        // room: letters and symbols say where the span reaches.
        // `whole`: the span is the word's alone, and may be parted: a letter with its marks says
        // its text with the letter, and its marks, after it, say nothing (ending the span, a
        // mark would say where it reaches).
        const auto writeSpanned = [&](const Run &run, size_t from, size_t to, bool whole) {
            const auto end = [&run](size_t k) {
                return run.positions[2 * k]
                     + run.size * run.face->font->advance(run.glyphs[k]) / run.face->font->unitsPerEm();
            };
            size_t first = to, last = to;
            for (size_t k = from; k < to; ++k) {
                if (mark(run.characters[k]))
                    continue;
                if (first == to || run.positions[2 * k] < run.positions[2 * first])
                    first = k;
                if (last == to || end(k) > end(last))
                    last = k;
            }
            std::vector<size_t> order;
            if (first != to)
                order.push_back(first);
            for (size_t k = from; k < to; ++k)
                if (k != first && k != last)
                    order.push_back(k);
            if (last != to && last != first)
                order.push_back(last);
            const bool part = whole && first != to && first == last && order.size() > 1;
            if (part) {
                // The letter, then its marks (after it in `order`) in a span of no text.
                m_writer.placedText(m_writer.font(run.face->font), run.size, &run.glyphs[first], &run.positions[2 * first],
                                    1, &run.characters[first]);
                m_writer.endActualText();
                m_writer.beginActualText(std::u16string_view());
                order.erase(order.begin());
            }
            std::vector<uint16_t> glyphs;
            std::vector<double> positions;
            std::vector<std::u16string> characters;
            for (const size_t k : order) {
                glyphs.push_back(run.glyphs[k]);
                positions.insert(positions.end(), {run.positions[2 * k], run.positions[2 * k + 1]});
                characters.push_back(run.characters[k]);
            }
            m_writer.placedText(m_writer.font(run.face->font), run.size, glyphs.data(), positions.data(), glyphs.size(),
                                characters.data());
        };
        const auto write = [&](const Run &run, size_t from, size_t to, bool spanned = false, bool whole = false) {
            if (from >= to)
                return;
            run.face->styleFor(shaped.request, m_writer);
            if (spanned && !run.boxes)
                writeSpanned(run, from, to, whole);
            else
                m_writer.placedText(m_writer.font(run.face->font), run.size, run.glyphs.data() + from,
                                    run.positions.data() + 2 * from, to - from, run.characters.data() + from);
            const auto missing = [&run](size_t k) { return run.boxes || run.glyphs[k] == 0; };
            bool any = false;
            for (size_t k = from; k < to && !any; ++k)
                any = missing(k);
            if (!any)
                return;
            // (A box stands for a character, a space among them for none: an item of boxes alone,
            // left to right, has one a character.)
            std::vector<bool> blanks;
            if (written.size() == 1 && run.boxes && !rightToLeft) {
                for (qsizetype i = 0; i < text.size(); ++i) {
                    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
                    blanks.push_back(!pair && text[i].isSpace());
                    i += pair ? 1 : 0;
                }
                if (blanks.size() != run.glyphs.size())
                    blanks.clear();
            }
            // The font's own box may be empty: each character no font has is shown as a box, so
            // that the page's reader sees that something is missing there.
            m_writer.setStrokeColor(shaped.colour.red(), shaped.colour.green(), shaped.colour.blue());
            for (size_t k = from; k < to; ++k) {
                if (!missing(k) || (!blanks.empty() && blanks[k]))
                    continue;
                const double x = run.positions[2 * k], y = run.positions[2 * k + 1];
                const bool next = k + 1 < run.glyphs.size() && std::abs(run.positions[2 * k + 3] - y) < 0.01
                               && run.positions[2 * k + 2] > x;
                const double wide = std::min(next ? run.positions[2 * k + 2] - x : run.size, run.size);
                m_writer.rectangle(x + wide * 0.1, y - run.size * 0.7, x + wide * 0.9, y, run.size / 20);
            }
        };
        double left = 1e300; // where the item's leftmost glyph that is not a space stands
        for (const Run &run : written) {
            const uint16_t space = run.boxes ? 0 : run.face->glyph(u' ');
            for (size_t k = 0; k < run.glyphs.size(); ++k)
                if (space == 0 || run.glyphs[k] != space)
                    left = std::min(left, run.positions[2 * k]);
        }
        for (size_t r = 0; r < written.size(); ++r) {
            const Run &run = written[r];
            if (!marked) {
                // A word with marks on its letters, each a glyph of its own, is said as one: a
                // reader would part it where a mark starts right of its letter or where the next
                // letter starts at a mark's origin, or end a span of a letter with its marks where
                // its last mark starts. A right-to-left word's characters are given right to left,
                // as the line's are read: each letter's cluster from its last mark back to the
                // letter. The marks of a letter are said in the order the item has them, where its
                // words are the run's.
                // (So is a right-to-left word with a glyph of a letter and its point, which says
                // its point first: at a run's left end a reader would read that point first.)
                const auto spanned = [&](const std::u16string &characters) {
                    return mark(characters) || (rightToLeft && !characters.empty() && QChar::isMark(characters.front()));
                };
                if (std::none_of(run.characters.begin(), run.characters.end(), spanned)) {
                    write(run, 0, run.glyphs.size());
                    continue;
                }
                // (Words part at spaces, no-break ones too.)
                const uint16_t space = run.boxes ? 0 : run.face->glyph(u' ');
                const auto blank = [&](size_t k) {
                    return (space != 0 && run.glyphs[k] == space) || run.characters[k] == u"\u00A0";
                };
                std::vector<std::pair<size_t, size_t>> words;
                for (size_t from = 0, to = 0; from < run.glyphs.size(); from = to + 1) {
                    to = from;
                    while (to < run.glyphs.size() && !blank(to))
                        ++to;
                    if (to > from)
                        words.emplace_back(from, to);
                }
                std::vector<std::u16string> asWritten;
                for (size_t at = 0; at <= text16.size();) {
                    const size_t end = std::min(text16.find_first_of(u" \u00A0", at), text16.size());
                    if (end > at)
                        asWritten.push_back(rightToLeft ? backwards(text16.substr(at, end - at))
                                                        : text16.substr(at, end - at));
                    at = end + 1;
                }
                if (written.size() != 1 || asWritten.size() != words.size())
                    asWritten.clear();
                size_t done = 0;
                for (size_t w = 0; w < words.size(); ++w) {
                    const auto [from, to] = words[w];
                    if (std::none_of(run.characters.begin() + static_cast<std::ptrdiff_t>(from),
                                     run.characters.begin() + static_cast<std::ptrdiff_t>(to), spanned))
                        continue;
                    std::u16string said;
                    for (size_t k = from; k < to;) {
                        size_t end = k + 1;
                        while (end < to && mark(run.characters[end]))
                            ++end;
                        for (size_t g = k; g < end; ++g)
                            said += run.characters[rightToLeft ? end - 1 - (g - k) : g];
                        k = end;
                    }
                    if (!asWritten.empty()) {
                        // (The glyphs of a word are its characters in some order: a mark that
                        // begins the item, belonging to a letter before it, is taken for the mark
                        // of a letter of its own.)
                        const std::u16string &word = asWritten[rightToLeft ? words.size() - 1 - w : w];
                        const auto letters = [](const std::u16string &t) {
                            std::u16string all = QString::fromStdU16String(t).normalized(QString::NormalizationForm_D).toStdU16String();
                            std::sort(all.begin(), all.end());
                            return all;
                        };
                        if (letters(word) == letters(said))
                            said = word;
                    }
                    write(run, done, from);
                    // (Only a word at the item's left end can be a run's left end.)
                    double wordLeft = 1e300;
                    for (size_t k = from; k < to; ++k)
                        wordLeft = std::min(wordLeft, run.positions[2 * k]);
                    const bool leftEnd = wordLeft <= left + 0.01;
                    m_writer.beginActualText(spanText(said, rightToLeft, false, leftEnd && runStarts));
                    write(run, from, to, true, true);
                    m_writer.endActualText();
                    done = to;
                }
                write(run, done, run.glyphs.size());
                continue;
            }
            const size_t from = r < firstInk ? run.glyphs.size() : r == firstInk ? marks[r].first : 0;
            const size_t to = r > lastInk ? 0 : r == lastInk ? marks[r].second : run.glyphs.size();
            write(run, 0, std::min(from, run.glyphs.size()));
            if (r == firstInk)
                m_writer.beginActualText(
                    spanText(QString::fromStdU16String(text16).trimmed().toStdU16String(), rightToLeft, true, runStarts));
            write(run, from, to, true);
            if (r == lastInk)
                m_writer.endActualText();
            write(run, std::max(from, to), run.glyphs.size());
        }
        if (inked)
            ended(origin.y(), origin.x(), origin.x() + shaped.width, text16, rightToLeft);
    }

    // Writes the text item held back; `continues` when the next one follows it on its line,
    // `leftGoesOn` when the next one is right-to-left text just left of it.
    void flush(bool continues = false, bool leftGoesOn = false)
    {
        if (m_shaped) {
            const Shaped shaped = std::move(*m_shaped);
            m_shaped.reset();
            const bool goesOn = m_shapedContinues.value_or(continues);
            m_shapedContinues.reset();
            drawShaped(shaped, goesOn, leftGoesOn);
        }
        if (!m_pending)
            return;
        Pending &item = *m_pending;
        // A justified line is wider than its glyphs: the difference went to its spaces.
        const size_t widened = continues ? item.shown.size() : item.lastInk;
        const auto spaces = std::count_if(item.shown.begin(), item.shown.begin() + static_cast<std::ptrdiff_t>(widened),
                                          isSpace);
        const bool justified = spaces > 0 && std::abs(item.width - item.natural) > 1.0;
        if (justified) {
            const double share = (item.width - item.natural) / static_cast<double>(spaces);
            m_extra.assign(item.glyphs.size(), 0.0);
            for (size_t i = 0; i < widened; ++i)
                if (isSpace(item.shown[i]))
                    m_extra[i] = share;
        }
        sync();
        m_writer.setFillColor(item.colour.red(), item.colour.green(), item.colour.blue());
        item.face->styleFor(item.request, m_writer);
        m_writer.text(item.font, item.size, item.x, item.y, item.glyphs.data(), item.shown.data(), item.glyphs.size(),
                      justified ? m_extra.data() : nullptr);
        ended(item.y, item.x, item.x + item.width, item.shown, false);
        m_pending.reset();
    }

private:
    static bool isSpace(char16_t c) { return c == u' ' || c == 0xA0; }

    // Whether the text last written stands left of `at` on its baseline, ending no more than a
    // wide space (`size`, the font's) before it, in right-to-left text. (Written before it, text
    // may as well stand right of it: the text engine gives a right-to-left run's words right to
    // left.)
    bool followsRightToLeft(const QPointF &at, double size) const
    {
        return m_lineEnd && m_lineEnd->direction > 0 && std::abs(at.y() - m_lineEnd->y) < 1.0
            && m_lineEnd->left < at.x() - 0.01 && m_lineEnd->x < at.x() + size / 2 && m_lineEnd->x > at.x() - 2 * size;
    }

    // Text written on baseline `y` from `left` to `right`; its strong characters, if any, say the
    // direction in which a reader's run goes on.
    void ended(double y, double left, double right, const std::u16string &text, bool rightToLeft)
    {
        const int direction = directionAtRight(text, rightToLeft);
        const bool sameLine = m_lineEnd && std::abs(y - m_lineEnd->y) < 1.0;
        const bool after = sameLine && left >= m_lineEnd->x - 1.0; // (right after it)
        m_lineEnd = LineEnd{y, left, right, direction != 0 || !after ? direction : m_lineEnd->direction};
    }

    // x, y pairs, as the writer takes points.
    static std::vector<double> coordinates(const QPolygonF &polygon)
    {
        std::vector<double> xy;
        xy.reserve(static_cast<size_t>(polygon.size()) * 2);
        for (const QPointF &p : polygon) {
            xy.push_back(p.x());
            xy.push_back(p.y());
        }
        return xy;
    }

    void clip(Qt::ClipOperation operation, const QRectF &rect)
    {
        if (operation == Qt::NoClip)
            m_clip.reset();
        else if (operation == Qt::IntersectClip && m_clip)
            m_clip = m_clip->intersected(rect);
        else
            m_clip = rect;
    }

    // Brings the writer's clip to the painter's before anything is drawn.
    void sync()
    {
        if (!m_clip) {
            m_writer.setClip(nullptr);
            return;
        }
        const double r[4] = {m_clip->left(), m_clip->top(), m_clip->right(), m_clip->bottom()};
        m_writer.setClip(r);
    }

    bool fills()
    {
        if (m_brush.style() == Qt::NoBrush)
            return false;
        const QColor c = m_brush.color();
        m_writer.setFillColor(c.red(), c.green(), c.blue());
        return true;
    }

    bool strokes()
    {
        if (m_pen.style() == Qt::NoPen)
            return false;
        const QColor c = m_pen.color();
        m_writer.setStrokeColor(c.red(), c.green(), c.blue());
        m_writer.setLineCap(m_pen.capStyle() == Qt::FlatCap ? 0 : m_pen.capStyle() == Qt::RoundCap ? 1 : 2);
        return true;
    }

    double penWidth() const
    {
        // A cosmetic pen is a device pixel wide whatever the transform; ours are twips.
        if (m_pen.isCosmetic())
            return std::max(1.0, m_pen.widthF());
        return m_pen.widthF() * m_scale;
    }

    // The resolution rich text is laid out at, for laying text out again.
    class LayoutDevice final : public QPaintDevice {
    public:
        QPaintEngine *paintEngine() const override { return nullptr; }

    protected:
        int metric(PaintDeviceMetric metric) const override
        {
            switch (metric) {
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY: return static_cast<int>(kRichTextLayoutDpi);
            case PdmDepth: return 32;
            case PdmDevicePixelRatio: return 1;
            case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
            default: return 1000;
            }
        }
    };

    pdf::PdfTextWriter &m_writer;
    FaceSource &m_faces;
    LayoutDevice m_layoutDevice;
    QTransform m_transform;
    double m_scale = 1;
    QPen m_pen;
    QBrush m_brush;
    std::optional<QRectF> m_clip;
    QHash<QString, int> m_pictures;
    struct Pending {
        // Declared, so that the engine's members may make one before this class is complete.
        Pending() {}
        DirectFace *face = nullptr;
        QFont request; // the font the layout asked for
        int font = 0;
        double size = 0, x = 0, y = 0, width = 0, natural = 0;
        QColor colour;
        std::vector<uint16_t> glyphs;
        std::u16string shown;
        size_t lastInk = 0; // glyphs up to the last that is not a space
    };
    std::optional<Pending> m_pending;
    std::optional<Shaped> m_shaped; // an item to be shaped, held back as `m_pending` is
    std::optional<bool> m_shapedContinues; // whether a space of its own followed it on its line
    std::vector<double> m_extra;
    std::u16string m_unsaid; // characters of an item that showed nothing, and its baseline
    double m_unsaidX = 0, m_unsaidY = 0;
    struct LineEnd {
        double y = 0, left = 0, x = 0;
        int direction = 0; // of its last strong character as the line stands: +1 right to left
    };
    std::optional<LineEnd> m_lineEnd; // of the text last written
};

DirectPdfDevice::DirectPdfDevice(pdf::PdfTextWriter &writer, FaceSource &faces, double width, double height)
    : m_engine(std::make_unique<Engine>(writer, faces))
    , m_width(width)
    , m_height(height)
{
}

DirectPdfDevice::~DirectPdfDevice() = default;

QPaintEngine *DirectPdfDevice::paintEngine() const { return m_engine.get(); }

bool DirectPdfDevice::failed() const { return m_engine->failed; }

void DirectPdfDevice::flush() { m_engine->flush(); }

int DirectPdfDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth: return static_cast<int>(m_width);
    case PdmHeight: return static_cast<int>(m_height);
    case PdmWidthMM: return static_cast<int>(m_width * 25.4 / 1440.0);
    case PdmHeightMM: return static_cast<int>(m_height * 25.4 / 1440.0);
    case PdmNumColors: return INT_MAX;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return 1440;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    default: return 0;
    }
}

} // namespace corvane::qt
