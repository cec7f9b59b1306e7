// The pictures of the document builder: bitmaps decoded at the size they print at, metafiles
// drawn by the picture program, each put into the document as an image resource.
#include "QtRichTextBuilder.h"

#include "QtMetafiles.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QImageReader>
#include <QPainter>
#include <QTextImageFormat>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace corvane::qt {

namespace {

// A picture that cannot be decoded keeps its place as a visible frame with a cross.
QImage missingPicture()
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(QColor(128, 128, 128), 2));
    painter.drawRect(QRectF(1, 1, 62, 62));
    painter.drawLine(QPointF(1, 1), QPointF(63, 63));
    painter.drawLine(QPointF(1, 63), QPointF(63, 1));
    return image;
}

} // namespace

void QtDocumentBuilder::picture(const std::string &type, const std::string &bytes, int32_t width, int32_t height)
{
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (type == "wmf" || type == "emf") {
        metafile(type, data, width, height);
        return;
    }
    QBuffer buffer(&data);
    QImageReader reader(&buffer, type == "png" ? "png" : type == "jpeg" ? "jpeg" : type == "bmp" ? "bmp" : "");
    // Its size on paper in twips: as the document gives it, else its pixels at 96 dots per inch.
    const QSize pixels = reader.size();
    const double wide = width > 0 ? width : pixels.width() > 0 ? pixels.width() * 15.0 : 1440;
    const double high = height > 0 ? height : pixels.height() > 0 ? pixels.height() * 15.0 : 1440;
    // Decoded at the size it prints at, 300 dots per inch at most and never more pixels than it
    // has, within 16 million pixels: a photograph of any size prints, under Qt's allocation limit.
    // Its printed size is not known for certain until the page is (a picture larger than the
    // page is made smaller): it is taken as 11 inches at most on either side.
    if (pixels.isValid() && !pixels.isEmpty()) {
        const double most = 11 * 1440;
        const double fit = std::min({1.0, most / wide, most / high});
        double w = std::min<double>(pixels.width(), std::ceil(wide * fit / 1440 * 300));
        double h = std::min<double>(pixels.height(), std::ceil(high * fit / 1440 * 300));
        const double cap = 16.0e6;
        if (w * h > cap) {
            const double shrink = std::sqrt(cap / (w * h));
            w *= shrink;
            h *= shrink;
        }
        const QSize decoded(std::max(1, static_cast<int>(w)), std::max(1, static_cast<int>(h)));
        if (decoded != pixels)
            reader.setScaledSize(decoded);
    }
    QImage image = reader.read();
    if (image.isNull())
        image = missingPicture();
    insertImage(image, wide, high);
}

void QtDocumentBuilder::metafile(const std::string &type, const QByteArray &data, int32_t width, int32_t height)
{
    // Drawn at 300 dots per inch (within 16 million pixels) by the picture program, at the size
    // the document gives it, an inch square when it gives none. One that cannot be drawn keeps
    // its place as a frame.
    const double wide = width > 0 ? width : 1440, high = height > 0 ? height : 1440;
    const double most = 11 * 1440;
    const double fit = std::min({1.0, most / wide, most / high});
    double w = std::ceil(wide * fit / 1440 * 300), h = std::ceil(high * fit / 1440 * 300);
    if (w * h > 16.0e6) {
        const double shrink = std::sqrt(16.0e6 / (w * h));
        w *= shrink;
        h *= shrink;
    }
    const QSize pixels(std::max(1, static_cast<int>(w)), std::max(1, static_cast<int>(h)));
    // A picture the document repeats (a logo on each page) is drawn once.
    const QByteArray key = QByteArray::fromStdString(type) + QByteArray::number(pixels.width()) + 'x'
                         + QByteArray::number(pixels.height())
                         + QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    QImage image = m_metafiles.value(key);
    if (image.isNull()) {
        // A document's metafiles are drawn within a minute in all: past it, they keep their
        // places as frames, and the job goes on.
        QElapsedTimer timer;
        timer.start();
        if (m_metafileTime < 60000)
            image = renderMetafile(type, data, pixels);
        m_metafileTime += timer.elapsed();
        if (image.isNull())
            image = missingPicture();
        m_metafiles.insert(key, image);
    }
    insertImage(image, wide, high);
}

void QtDocumentBuilder::insertImage(const QImage &image, double wide, double high)
{
    const QUrl name(QStringLiteral("corvane-image:%1").arg(++m_images));
    m_document.addResource(QTextDocument::ImageResource, name, image);
    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(std::clamp(wide, 1.0, double(1 << 20)) / 15.0);
    format.setHeight(std::clamp(high, 1.0, double(1 << 20)) / 15.0);
    m_cursor.insertImage(format);
}

} // namespace corvane::qt
