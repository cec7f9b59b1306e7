#include "Bitmaps.h"

#include <algorithm>

namespace corvane {

namespace {

uint32_t read16(const std::string &b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

uint32_t read32(const std::string &b, size_t at) { return read16(b, at) | read16(b, at + 2) << 16; }

void put16(std::string &out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 255));
    out.push_back(static_cast<char>(v >> 8 & 255));
}

void put32(std::string &out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

constexpr uint32_t kMostPixels = 64u << 20;

} // namespace

std::string bmpFromPackedDib(const std::string &dib)
{
    if (dib.size() < 12)
        return {};
    const uint32_t headerSize = read32(dib, 0);
    uint32_t colours = 0, entrySize = 4, masks = 0;
    if (headerSize == 12) { // the old core header: three bytes a colour
        const uint32_t bits = read16(dib, 10);
        colours = bits <= 8 ? 1u << bits : 0;
        entrySize = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
        if (dib.size() < 40)
            return {};
        const uint32_t bits = read16(dib, 14), compression = read32(dib, 16), used = read32(dib, 32);
        if (bits == 0 || bits > 32)
            return {};
        colours = used != 0 ? std::min<uint32_t>(used, 256) : bits <= 8 ? 1u << bits : 0;
        if (headerSize == 40 && (compression == 3 || compression == 6))
            masks = compression == 3 ? 12 : 16; // the colour masks follow the header
    } else {
        return {};
    }
    const uint64_t offset = 14 + uint64_t(headerSize) + uint64_t(colours) * entrySize + masks;
    if (offset > 14 + uint64_t(dib.size()) || dib.size() > 0x7FFFFFF0)
        return {};
    std::string file;
    file.reserve(14 + dib.size());
    file += "BM";
    put32(file, static_cast<uint32_t>(14 + dib.size()));
    put32(file, 0);
    put32(file, static_cast<uint32_t>(offset));
    file += dib;
    return file;
}

std::string bmpFromDeviceBitmap(const std::string &bits, int32_t width, int32_t height, int32_t widthBytes,
                                int32_t bitsPerPixel)
{
    if (width <= 0 || height <= 0 || widthBytes <= 0 || uint64_t(width) * uint64_t(height) > kMostPixels)
        return {};
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return {};
    const uint64_t rowBits = uint64_t(width) * uint64_t(bitsPerPixel);
    if (uint64_t(widthBytes) * 8 < rowBits || uint64_t(widthBytes) * uint64_t(height) > bits.size())
        return {};
    const uint32_t colours = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
    const uint32_t stride = static_cast<uint32_t>((rowBits + 31) / 32 * 4);
    const uint32_t offset = 14 + 40 + colours * 4;
    std::string file;
    file.reserve(offset + size_t(stride) * size_t(height));
    file += "BM";
    put32(file, offset + stride * static_cast<uint32_t>(height));
    put32(file, 0);
    put32(file, offset);
    put32(file, 40);
    put32(file, static_cast<uint32_t>(width));
    put32(file, static_cast<uint32_t>(height));
    put16(file, 1);
    put16(file, static_cast<uint32_t>(bitsPerPixel));
    put32(file, 0); // no compression
    put32(file, stride * static_cast<uint32_t>(height));
    put32(file, 2835); // 72 dots per inch, unused
    put32(file, 2835);
    put32(file, colours);
    put32(file, 0);
    for (uint32_t c = 0; c < colours; ++c) { // a ramp from black to white
        const auto grey = static_cast<char>(colours > 1 ? c * 255 / (colours - 1) : 0);
        file.push_back(grey);
        file.push_back(grey);
        file.push_back(grey);
        file.push_back(0);
    }
    // The bitmap's rows run from the top, a BMP's from the bottom.
    const size_t rowBytes = static_cast<size_t>((rowBits + 7) / 8);
    for (int32_t row = height - 1; row >= 0; --row) {
        const size_t start = size_t(row) * size_t(widthBytes);
        file.append(bits, start, rowBytes);
        file.append(stride - rowBytes, '\0');
    }
    return file;
}

} // namespace corvane
