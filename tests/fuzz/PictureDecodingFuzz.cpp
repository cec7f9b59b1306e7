// libFuzzer target: the decoding of a document's bitmaps (the first byte chooses PNG, JPEG or BMP
// and the printed size), as the printing process does it. Whatever the header says, a picture is
// decoded only within the budget: a plan never keeps more than it, and a decoded image is never
// larger than its plan.
#include "platform/qt/QtPictureDecoding.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The JPEG reader is a plugin, found through the application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const types[] = {"png", "jpeg", "bmp", "png"};
    const std::string type = types[data[0] & 3];
    // 0 (its own size), or up to some 25 inches either way.
    const int32_t width = (data[0] >> 2 & 7) * 5000, height = (data[0] >> 5 & 7) * 5000;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    const corvane::qt::DecodePlan plan = corvane::qt::planDecoding(type, bytes, width, height);
    if (plan.keptBytes > corvane::qt::kPictureBudget)
        std::abort();
    const QImage image = corvane::qt::decodePicture(type, bytes, plan);
    if (!plan.decodable && !image.isNull())
        std::abort();
    if (!image.isNull() && (image.width() > plan.pixels.width() || image.height() > plan.pixels.height()))
        std::abort();
    return 0;
}
