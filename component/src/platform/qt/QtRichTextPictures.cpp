// The pictures of the document builder: bitmaps decoded at the size they print at, metafiles
// drawn by the picture program, each put into the document as an image resource.
#include "QtRichTextBuilder.h"

#include "QtDirectPainter.h"
#include "QtMetafiles.h"
#include "QtPictureDecoding.h"

#include <corvane/Errors.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QTextImageFormat>
#include <QThread>
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
    if (m_part)
        return m_part->picture(type, bytes, width, height);
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (type == "wmf" || type == "emf") {
        metafile(type, data, width, height);
        return;
    }
    const DecodePlan plan = planDecoding(type, data, width, height);
    // A picture the document repeats (a logo on each page) at the same size is decoded once
    // and shared by every place that shows it.
    const QByteArray key = QByteArray::fromStdString(type) + QByteArray::number(plan.pixels.width()) + 'x'
                         + QByteArray::number(plan.pixels.height())
                         + QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    if (const auto known = m_pictureNames.constFind(key); known != m_pictureNames.constEnd()) {
        insertImageNamed(*known, plan.wide, plan.high);
        return;
    }
    QImage image;
    if (plan.decodable) {
        holdPicture(plan.keptBytes);
        image = decodePicture(type, data, plan);
    }
    // A JPEG file decoded at its own size goes into a PDF written directly as it is (a copy:
    // the bytes are the reader's); one larger than it prints at goes in as its decoded pixels.
    const QByteArray jpeg = type == "jpeg" && !image.isNull() && !plan.scaled ? QByteArray(data.constData(), data.size())
                                                                              : QByteArray();
    if (image.isNull())
        image = missingPicture();
    m_pictureNames.insert(key, insertImage(image, plan.wide, plan.high, jpeg));
}

void QtDocumentBuilder::holdPicture(qint64 bytes)
{
    // Decoded pictures stay in the document until it is printed: past the budget the job ends,
    // rather than the system ending the process.
    if (m_heldPictureBytes + bytes > kPictureBudget)
        throw RuntimeError(err::OutOfMemory,
                           u"Out of memory: the pictures of this document take more than 256 MB once decoded");
    m_heldPictureBytes += bytes;
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
    if (const auto known = m_pictureNames.constFind(key); known != m_pictureNames.constEnd()) {
        insertImageNamed(*known, wide, high);
        return;
    }
    QImage image;
    {
        holdPicture(qint64(pixels.width()) * pixels.height() * 4);
        // A document's metafiles are drawn within a minute in all: past it, they keep their
        // places as frames, and the job goes on.
        QElapsedTimer timer;
        timer.start();
        if (m_metafileTime < 60000)
            image = renderMetafile(type, data, pixels);
        m_metafileTime += timer.elapsed();
        if (image.isNull())
            image = missingPicture();
    }
    m_pictureNames.insert(key, insertImage(image, wide, high));
}

QString QtDocumentBuilder::insertImage(const QImage &image, double wide, double high, const QByteArray &jpeg)
{
    const QUrl name(QStringLiteral("corvane-image:%1").arg(++m_images));
    // The layout draws pictures as pixmaps in the application's thread, converting an image
    // anew each time it is drawn (and the PDF then holds it once for each time): there it is
    // kept as the pixmap, which every place that shows it shares. Other threads draw images.
    const auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (application && QThread::currentThread() == application->thread()) {
        const QPixmap pixmap = QPixmap::fromImage(image);
        if (!jpeg.isEmpty())
            rememberJpeg(pixmap.cacheKey(), jpeg);
        m_document.addResource(QTextDocument::ImageResource, name, pixmap);
    } else {
        if (!jpeg.isEmpty())
            rememberJpeg(image.cacheKey(), jpeg);
        m_document.addResource(QTextDocument::ImageResource, name, image);
    }
    insertImageNamed(name.toString(), wide, high);
    return name.toString();
}

void QtDocumentBuilder::insertImageNamed(const QString &name, double wide, double high)
{
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(std::clamp(wide, 1.0, double(1 << 20)) / 15.0);
    format.setHeight(std::clamp(high, 1.0, double(1 << 20)) / 15.0);
    m_cursor.insertImage(format);
}

} // namespace corvane::qt
