// One code page's bytes to UTF-16, by the system's converter: the C library's iconv, or on
// Windows the system's own code pages. The only part of rich-text reading that differs between
// them; each has a file of its own (ByteConverterIconv.cpp, ByteConverterWindows.cpp).
#pragma once

#include <cstddef>
#include <memory>

namespace corvane {

class ByteConverter {
public:
    // The converter of a Windows code page number; null when the system does not know the page.
    static std::unique_ptr<ByteConverter> open(int codePage);
    virtual ~ByteConverter() = default;
    // Bytes (at most 4) to UTF-16 code units; 0 when they are not one whole character.
    virtual int convert(const unsigned char *bytes, size_t length, char16_t out[2]) = 0;
};

} // namespace corvane
