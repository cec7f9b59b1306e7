#include "QtPictureDecoding.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace corvane::qt {

DecodePlan planDecoding(const std::string &type, const QByteArray &data, int32_t width, int32_t height)
{
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, type == "png" ? "png" : type == "jpeg" ? "jpeg" : type == "bmp" ? "bmp" : "");
    DecodePlan plan;
    // Its size on paper in twips: as the document gives it, else its pixels at 96 dots per inch.
    // The header alone says how many pixels it has; nothing is decoded here.
    const QSize pixels = reader.size();
    plan.wide = width > 0 ? width : pixels.width() > 0 ? pixels.width() * 15.0 : 1440;
    plan.high = height > 0 ? height : pixels.height() > 0 ? pixels.height() * 15.0 : 1440;
    if (!pixels.isValid() || pixels.isEmpty())
        return plan; // no header that a reader takes: the framed cross
    // The readers decode every pixel before scaling (JPEG's a part of them): a picture whose
    // whole decoded image would be larger than the budget is not decoded at all.
    const QImage::Format format = reader.imageFormat();
    const double bits = format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(format).bitsPerPixel();
    const double full = double(pixels.width()) * double(pixels.height()) * std::max(bits, 32.0) / 8;
    if (full > double(kPictureBudget))
        return plan;
    // Decoded at the size it prints at, 300 dots per inch at most and never more pixels than it
    // has, within 16 million pixels. Its printed size is not known for certain until the page
    // is (a picture larger than the page is made smaller): it is taken as 11 inches at most on
    // either side.
    const double most = 11 * 1440;
    const double fit = std::min({1.0, most / plan.wide, most / plan.high});
    double w = std::min<double>(pixels.width(), std::ceil(plan.wide * fit / 1440 * 300));
    double h = std::min<double>(pixels.height(), std::ceil(plan.high * fit / 1440 * 300));
    const double cap = 16.0e6;
    if (w * h > cap) {
        const double shrink = std::sqrt(cap / (w * h));
        w *= shrink;
        h *= shrink;
    }
    plan.pixels = QSize(std::max(1, static_cast<int>(w)), std::max(1, static_cast<int>(h)));
    plan.scaled = plan.pixels != pixels;
    plan.keptBytes = qint64(plan.pixels.width()) * plan.pixels.height() * 4;
    plan.decodable = true;
    return plan;
}

QImage decodePicture(const std::string &type, const QByteArray &data, const DecodePlan &plan)
{
    if (!plan.decodable)
        return {};
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, type == "png" ? "png" : type == "jpeg" ? "jpeg" : type == "bmp" ? "bmp" : "");
    if (plan.scaled)
        reader.setScaledSize(plan.pixels);
    return reader.read();
}

} // namespace corvane::qt
