// What corvane-picture does to a metafile before the converting libraries see it, and the limits
// that it and the component share. Plain C++: no Qt, no library of its own (so it is fuzzed).
//
// A metafile whose records do not chain from its header to its end-of-file record inside the
// data, or whose header claims more than the data holds, is refused here: a truncated picture
// would otherwise print half drawn, and the libraries trust those fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane::metafile {

// The largest metafile accepted, the largest side of a picture and its largest area, in pixels.
inline constexpr std::size_t maxInputBytes = 64u << 20;
inline constexpr int maxSide = 16384;
inline constexpr std::int64_t maxPixels = std::int64_t(64) << 20;

// A WMF ready for libwmf. framed: the metafile's window now lies on a viewport of exactly
// width x height device units at (0, 0), so that this rectangle is the whole picture (as when a
// program plays it into a picture box). Otherwise (no window, or a viewport of its own) the
// picture is what libwmf finds drawn. bytes is empty when the data is no WMF, or a damaged one.
struct WmfForPlaying {
    std::string bytes;
    bool framed = false;
};

// data: a WMF as RTF holds it, starting with its METAHEADER; a placeable header before it is
// dropped. width and height: at most maxSide.
WmfForPlaying prepareWmf(std::string_view data, int width, int height);

// An EMF whose bounds are its frame in the reference device's pixels: libemf2svg maps the
// bounds onto the picture, and the bounds of a written EMF are often only what it draws, while
// the frame is the picture. Empty when the data is no EMF, or a damaged one.
std::string prepareEmf(std::string_view data);

// Whether an SVG made from a metafile refers to nothing outside itself: every href attribute
// names an element of it (#id) or holds its data (data:). The libraries copy a metafile's text
// into the SVG unescaped, so a metafile can add elements of its own, such as an image of a local
// file that the SVG renderer would read and draw.
bool svgIsSelfContained(std::string_view svg);

} // namespace corvane::metafile
