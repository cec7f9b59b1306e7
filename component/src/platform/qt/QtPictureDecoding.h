// Bitmaps of documents (PNG, JPEG, BMP) decoded within bounds: what a picture's header says is
// checked before any of it is decoded, so that hostile data costs no more than the budget.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <string>

namespace corvane::qt {

// How much memory a job's decoded pictures may take, and the largest picture decoded at all.
constexpr qint64 kPictureBudget = qint64(256) << 20;

// How a bitmap is decoded, read from its header alone: its size on paper in twips, and the
// pixels it is decoded at; not decodable when no reader takes its header or its whole image
// would be larger than the budget (it prints as a framed cross).
struct DecodePlan {
    double wide = 1440, high = 1440;
    QSize pixels;
    bool scaled = false;
    bool decodable = false;
    qint64 keptBytes = 0; // what the decoded image holds
};

// The plan for "png", "jpeg" or "bmp" bytes shown at width x height twips (0: their own size).
DecodePlan planDecoding(const std::string &type, const QByteArray &data, int32_t width, int32_t height);

// The picture decoded as planned; a null image when it cannot be.
QImage decodePicture(const std::string &type, const QByteArray &data, const DecodePlan &plan);

} // namespace corvane::qt
