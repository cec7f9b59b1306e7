#include "platform/qt/picture/MetafileData.h"

#include <algorithm>
#include <cmath>

namespace corvane::metafile {

namespace {

std::uint32_t u16(std::string_view d, std::size_t at)
{
    return std::uint32_t(std::uint8_t(d[at])) | std::uint32_t(std::uint8_t(d[at + 1])) << 8;
}

std::int32_t s16(std::string_view d, std::size_t at) { return std::int16_t(std::uint16_t(u16(d, at))); }

std::uint32_t u32(std::string_view d, std::size_t at) { return u16(d, at) | u16(d, at + 2) << 16; }

std::int32_t s32(std::string_view d, std::size_t at) { return std::int32_t(u32(d, at)); }

void put16(std::string &d, std::size_t at, std::uint32_t v)
{
    d[at] = char(v & 0xff);
    d[at + 1] = char((v >> 8) & 0xff);
}

void put32(std::string &d, std::size_t at, std::uint32_t v)
{
    put16(d, at, v & 0xffff);
    put16(d, at + 2, v >> 16);
}

void appendRecord(std::string &out, std::uint32_t function, std::initializer_list<std::int32_t> words)
{
    const std::size_t at = out.size();
    out.resize(at + 6 + 2 * words.size());
    put32(out, at, std::uint32_t(3 + words.size()));
    put16(out, at + 4, function);
    std::size_t p = at + 6;
    for (const std::int32_t w : words) {
        put16(out, p, std::uint32_t(w) & 0xffff);
        p += 2;
    }
}

constexpr std::uint32_t placeableKey = 0x9AC6CDD7;
constexpr std::size_t placeableSize = 22;
constexpr std::size_t metaHeaderSize = 18;
constexpr std::uint32_t setMapMode = 0x0103, setWindowExt = 0x020C, setViewportOrg = 0x020D, setViewportExt = 0x020E;
constexpr std::int32_t mmIsotropic = 7, mmAnisotropic = 8;

} // namespace

WmfForPlaying prepareWmf(std::string_view data, int width, int height)
{
    if (data.size() >= placeableSize && u32(data, 0) == placeableKey)
        data.remove_prefix(placeableSize);
    if (data.size() < metaHeaderSize || (u16(data, 0) != 1 && u16(data, 0) != 2) || u16(data, 2) != 9)
        return {};

    // The header's size in words must fit the data (more data is left out), and so must its
    // largest record, which libwmf reads records into; that field is set to the truth below.
    const std::uint64_t totalWords = u32(data, 6), claimedMaxRecord = u32(data, 12);
    if (totalWords * 2 > data.size() || claimedMaxRecord > totalWords)
        return {};
    data = data.substr(0, std::size_t(totalWords) * 2);

    // The records must chain to the end-of-file record. On the way: the first window and the map
    // mode it is set under; whether the metafile sets a viewport.
    std::int32_t mapMode = 0;
    bool window = false, viewport = false, ended = false;
    std::uint32_t maxRecord = 3;
    std::int32_t windowX = 0, windowY = 0;
    for (std::size_t at = metaHeaderSize; at + 6 <= data.size();) {
        const std::uint32_t words = u32(data, at);
        const std::uint32_t function = u16(data, at + 4);
        if (words < 3 || words > (data.size() - at) / 2)
            return {};
        maxRecord = std::max(maxRecord, words);
        if (function == 0) {
            ended = true;
            break;
        }
        if (function == setMapMode && words >= 4 && !window)
            mapMode = s16(data, at + 6);
        else if (function == setWindowExt && words >= 5 && !window) {
            window = true;
            windowY = s16(data, at + 6);
            windowX = s16(data, at + 8);
        } else if (function == setViewportOrg || function == setViewportExt)
            viewport = true;
        at += 2 * std::size_t(words);
    }
    if (!ended)
        return {};

    WmfForPlaying result;
    result.framed = window && windowX != 0 && windowY != 0 && !viewport
                 && (mapMode == 0 || mapMode == mmIsotropic || mapMode == mmAnisotropic) && width > 0 && height > 0
                 && width <= maxSide && height <= maxSide;
    // What a program does before it plays a metafile into a box: the anisotropic map mode and a
    // viewport the size of the box; the metafile's own records then set its window.
    std::string records;
    if (result.framed) {
        appendRecord(records, setMapMode, {mmAnisotropic});
        appendRecord(records, setViewportOrg, {0, 0});
        appendRecord(records, setViewportExt, {height, width});
        maxRecord = std::max<std::uint32_t>(maxRecord, 5);
    }
    result.bytes.reserve(data.size() + records.size());
    result.bytes.append(data.substr(0, metaHeaderSize));
    result.bytes.append(records);
    result.bytes.append(data.substr(metaHeaderSize));
    put32(result.bytes, 6, std::uint32_t(result.bytes.size() / 2));
    put32(result.bytes, 12, maxRecord);
    return result;
}

std::string prepareEmf(std::string_view data)
{
    constexpr std::size_t headerSize = 88;
    constexpr std::uint32_t headerType = 1, signature = 0x464D4520, endOfFile = 14;
    if (data.size() < headerSize || u32(data, 0) != headerType || u32(data, 4) < headerSize
        || u32(data, 4) > data.size() || u32(data, 40) != signature)
        return {};
    // The header's size in bytes and count of records must fit the data; records are at least
    // 8 bytes, in whole 4-byte units, and chain to the end-of-file record.
    const std::uint32_t totalBytes = u32(data, 48), recordCount = u32(data, 52);
    if (totalBytes > data.size() || totalBytes < headerSize)
        return {};
    data = data.substr(0, totalBytes);
    std::uint64_t records = 0;
    bool ended = false;
    for (std::size_t at = 0; at + 8 <= data.size();) {
        const std::uint32_t type = u32(data, at), size = u32(data, at + 4);
        if (size < 8 || size % 4 != 0 || size > data.size() - at)
            return {};
        ++records;
        if (type == endOfFile) {
            ended = true;
            break;
        }
        at += size;
    }
    if (!ended || records != recordCount)
        return {};
    std::string result(data);

    // The frame is in 0.01 mm; the reference device's size in pixels and millimetres converts it.
    const double left = s32(data, 24), top = s32(data, 28), right = s32(data, 32), bottom = s32(data, 36);
    const double devX = s32(data, 72), devY = s32(data, 76), mmX = s32(data, 80), mmY = s32(data, 84);
    if (!(right > left && bottom > top && devX > 0 && devY > 0 && mmX > 0 && mmY > 0))
        return result;
    const double sx = devX / (mmX * 100), sy = devY / (mmY * 100);
    const double x0 = std::floor(left * sx), y0 = std::floor(top * sy);
    const double x1 = x0 + std::round((right - left) * sx), y1 = y0 + std::round((bottom - top) * sy);
    constexpr double limit = 1e8;
    if (!(x1 > x0 && y1 > y0) || std::fabs(x0) > limit || std::fabs(y0) > limit || std::fabs(x1) > limit
        || std::fabs(y1) > limit)
        return result;
    put32(result, 8, std::uint32_t(std::int32_t(x0)));
    put32(result, 12, std::uint32_t(std::int32_t(y0)));
    put32(result, 16, std::uint32_t(std::int32_t(x1)));
    put32(result, 20, std::uint32_t(std::int32_t(y1)));
    return result;
}

bool svgIsSelfContained(std::string_view svg)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    for (std::size_t at = svg.find("href"); at != std::string_view::npos; at = svg.find("href", at + 4)) {
        std::size_t i = at + 4;
        while (i < svg.size() && isSpace(svg[i]))
            ++i;
        // "href" in text, not an attribute.
        if (i >= svg.size() || svg[i] != '=')
            continue;
        ++i;
        while (i < svg.size() && isSpace(svg[i]))
            ++i;
        if (i >= svg.size() || (svg[i] != '"' && svg[i] != '\''))
            return false;
        // Taken as written: a value spelt with character references is refused too.
        const std::string_view value = svg.substr(i + 1);
        if (!value.starts_with('#') && !value.starts_with("data:"))
            return false;
    }
    return true;
}

} // namespace corvane::metafile
