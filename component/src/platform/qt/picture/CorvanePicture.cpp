// corvane-picture: draws one Windows metafile read from standard input as a PNG of a given size
// on standard output.
//   corvane-picture wmf|emf WIDTH HEIGHT < metafile | cat > picture.png
// (standard output must be a pipe: the program may not write any file)
// WMF data is a metafile as RTF holds it (\wmetafile: no placeable header; one is tolerated),
// EMF data a whole enhanced metafile (\emfblip). The picture fills WIDTH x HEIGHT pixels on a
// transparent background. Exit status 0 when a PNG was written, 1 when the metafile cannot be
// read or drawn, 2 for a usage error.
//
// The converting libraries (libwmf, libemf2svg) were not written for hostile input, so the
// component runs this program as a child under a time and a memory limit: a damaged metafile
// that crashes or hangs them ends this process, never the one that prints. It reads the whole
// metafile first and then confines itself (Confinement.h): a metafile that takes a library over
// can only draw.
#include "platform/qt/picture/Confinement.h"
#include "platform/qt/picture/MetafileData.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <emf2svg.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_PICTURE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_PICTURE_SANITIZED 1
#endif
#endif
#ifdef CORVANE_PICTURE_SANITIZED
// The leak check at exit traces this process from a helper process: the confinement forbids both.
extern "C" const char *__lsan_default_options() { return "detect_leaks=0"; }
#endif

namespace {

using corvane::metafile::maxInputBytes;

std::optional<int> parseSide(const char *text)
{
    int value = 0;
    const std::string_view s(text);
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size() || value < 1 || value > corvane::metafile::maxSide)
        return std::nullopt;
    return value;
}

std::optional<std::string> readInput()
{
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
        if (n == 0)
            return bytes;
        if (n < 0)
            return std::nullopt;
        if (bytes.size() + static_cast<size_t>(n) > maxInputBytes)
            return std::nullopt;
        bytes.append(chunk, static_cast<size_t>(n));
    }
}

// libwmf's SVG device maps the rectangle it is given (in its device units) onto width x height.
// When the metafile's window can be placed on a viewport of exactly that size, that rectangle is
// known; otherwise libwmf's bounding box of what is drawn is the best there is.
std::optional<QByteArray> wmfToSvg(const std::string &input, int width, int height)
{
    const corvane::metafile::WmfForPlaying prepared = corvane::metafile::prepareWmf(input, width, height);
    if (prepared.bytes.empty())
        return std::nullopt;
    std::string bytes = prepared.bytes;

    wmfAPI *api = nullptr;
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None || !api)
        return std::nullopt;
    // The process ends right after; on failure the library's memory is left to it.
    if (wmf_mem_open(api, reinterpret_cast<unsigned char *>(bytes.data()), static_cast<long>(bytes.size())) != wmf_E_None)
        return std::nullopt;
    wmfD_Rect box{};
    if (wmf_scan(api, 0, &box) != wmf_E_None)
        return std::nullopt;
    if (prepared.framed)
        box = wmfD_Rect{{0, 0}, {float(width), float(height)}};
    if (!(box.BR.x > box.TL.x) || !(box.BR.y > box.TL.y))
        return std::nullopt;

    wmf_svg_t *svg = WMF_SVG_GetData(api);
    svg->out = wmf_stream_create(api, nullptr);
    if (!svg->out)
        return std::nullopt;
    svg->bbox = box;
    svg->width = static_cast<unsigned int>(width);
    svg->height = static_cast<unsigned int>(height);
    // Raster images go inline: otherwise the device writes them as files.
    svg->flags |= WMF_SVG_INLINE_IMAGES;
    if (wmf_play(api, 0, &box) != wmf_E_None)
        return std::nullopt;
    char *text = nullptr;
    unsigned long length = 0;
    wmf_stream_destroy(api, svg->out, &text, &length);
    if (!text || length == 0)
        return std::nullopt;
    QByteArray result(text, static_cast<qsizetype>(length));
    wmf_api_destroy(api);
    return result;
}

std::optional<QByteArray> emfToSvg(const std::string &input, int width, int height)
{
    std::string bytes = corvane::metafile::prepareEmf(input);
    if (bytes.empty())
        return std::nullopt;
    generatorOptions options{};
    char noNamespace[] = "";
    options.nameSpace = noNamespace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = width;
    options.imgHeight = height;
    char *text = nullptr;
    size_t length = 0;
    const int ok = emf2svg(bytes.data(), bytes.size(), &text, &length, &options);
    if (!ok || !text || length == 0)
        return std::nullopt;
    QByteArray result(text, static_cast<qsizetype>(length));
    free(text);
    return result;
}

// The whole picture, stretched over the image: the RTF picture's box gives its proportions.
std::optional<QByteArray> svgToPng(const QByteArray &svg, int width, int height)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return std::nullopt;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, width, height));
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

bool writeAll(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = write(STDOUT_FILENO, data, left);
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // The tests' look at the confinement: input is read and the process confined as for a picture.
    if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) {
        if (!readInput() || !corvane::picture::confine())
            return 1;
        corvane::picture::probe(argv[2]);
        return 0;
    }
    if (argc != 4 || (std::strcmp(argv[1], "wmf") != 0 && std::strcmp(argv[1], "emf") != 0)) {
        std::fputs("usage: corvane-picture wmf|emf WIDTH HEIGHT < metafile > picture.png\n", stderr);
        return 2;
    }
    const std::optional<int> width = parseSide(argv[2]);
    const std::optional<int> height = parseSide(argv[3]);
    if (!width || !height || qint64(*width) * *height > corvane::metafile::maxPixels) {
        std::fputs("corvane-picture: bad picture size\n", stderr);
        return 2;
    }
    const std::optional<std::string> input = readInput();
    if (!input || !corvane::picture::confine())
        return 1;

    // The conversion runs before the application exists, in the "C" locale a program starts in:
    // the libraries write numbers with printf, and the application sets the user's locale, whose
    // decimal separator may be a comma.
    const std::optional<QByteArray> svg = std::strcmp(argv[1], "wmf") == 0 ? wmfToSvg(*input, *width, *height)
                                                                           : emfToSvg(*input, *width, *height);
    if (!svg || !corvane::metafile::svgIsSelfContained(std::string_view(svg->constData(), std::size_t(svg->size()))))
        return 1;

    // Text needs the font database, which needs a GUI application; it never shows. The platform
    // is named on its command line: the environment stays empty.
    char platformOption[] = "-platform", platform[] = "offscreen";
    char *qtArgv[] = {argv[0], platformOption, platform, nullptr};
    int qtArgc = 3;
    QGuiApplication app(qtArgc, qtArgv);

    const std::optional<QByteArray> png = svgToPng(*svg, *width, *height);
    if (!png || !writeAll(*png))
        return 1;
    return 0;
}
