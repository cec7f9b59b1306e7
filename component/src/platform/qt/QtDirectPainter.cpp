#include "QtDirectPainter.h"

#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>

#include <QMutex>

#include <cmath>
#include <deque>
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
        return true;
    return c >= 0x2500 && c < 0x2600;
}

namespace {

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
    Engine(pdf::PdfTextWriter &writer, Faces faces)
        : QPaintEngine(AllFeatures)
        , m_writer(writer)
        , m_faces(std::move(faces))
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
        const QString text = item.text();
        const QFont font = item.font();
        DirectFace *face = m_faces(font);
        if (!face) {
            failed = true;
            return;
        }
        const pdf::TrueTypeFont &program = *face->font;
        // Fonts are sized for the layout's device; the painter's transform takes its pixels to
        // twips.
        const double pixels = font.pointSizeF() > 0 ? font.pointSizeF() * kRichTextLayoutDpi / 72.0 : font.pixelSize();
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
        const bool continues = m_pending && std::abs(origin.y() - m_pending->y) < 1.0 && origin.x() > m_pending->x;
        flush(continues);

        Pending &next = m_pending.emplace();
        next.font = m_writer.font(face->font);
        next.size = size;
        next.x = origin.x();
        next.y = origin.y();
        next.width = item.width() * m_scale;
        next.colour = m_pen.color();
        // Drawn anyway when the face cannot show it as laid out; the job is failed then.
        bool complete = true;
        next.natural = static_cast<double>(face->append(text, next.glyphs, next.shown, complete)) * unit;
        failed |= !complete;
        next.lastInk = next.shown.size();
        while (next.lastInk > 0 && isSpace(next.shown[next.lastInk - 1]))
            --next.lastInk;
        if (next.lastInk == 0)
            m_pending.reset(); // nothing but white space
    }

    // Writes the text item held back; `continues` when the next one follows it on its line.
    void flush(bool continues = false)
    {
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
        m_writer.text(item.font, item.size, item.x, item.y, item.glyphs.data(), item.shown.data(), item.glyphs.size(),
                      justified ? m_extra.data() : nullptr);
        m_pending.reset();
    }

private:
    static bool isSpace(char16_t c) { return c == u' ' || c == 0xA0; }

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

    pdf::PdfTextWriter &m_writer;
    Faces m_faces;
    QTransform m_transform;
    double m_scale = 1;
    QPen m_pen;
    QBrush m_brush;
    std::optional<QRectF> m_clip;
    QHash<QString, int> m_pictures;
    struct Pending {
        // Declared, so that the engine's members may make one before this class is complete.
        Pending() {}
        int font = 0;
        double size = 0, x = 0, y = 0, width = 0, natural = 0;
        QColor colour;
        std::vector<uint16_t> glyphs;
        std::u16string shown;
        size_t lastInk = 0; // glyphs up to the last that is not a space
    };
    std::optional<Pending> m_pending;
    std::vector<double> m_extra;
};

DirectPdfDevice::DirectPdfDevice(pdf::PdfTextWriter &writer, Faces faces, double width, double height)
    : m_engine(std::make_unique<Engine>(writer, std::move(faces)))
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
