// Windows bitmaps as RTF holds them, made into BMP files that an image reader takes.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// A device-independent bitmap (\dibitmap: its BITMAPINFO and bits) as a BMP file; empty when
// its header is not one.
std::string bmpFromPackedDib(const std::string &dib);

// A device-dependent bitmap (\wbitmap: rows of widthBytes bytes from the top, bitsPerPixel 1,
// 4, 8, 24 or 32) as a BMP file; empty when its measures do not fit its bytes. A one-bit
// bitmap's 0 is black, and bitmaps of 4 and 8 bits are read as grey levels (their colours
// were the device's).
std::string bmpFromDeviceBitmap(const std::string &bits, int32_t width, int32_t height, int32_t widthBytes,
                                int32_t bitsPerPixel);

} // namespace corvane
