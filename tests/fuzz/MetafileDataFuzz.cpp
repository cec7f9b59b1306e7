// libFuzzer target: what corvane-picture checks and changes in a metafile before the converting
// libraries see it, on damaged WMF and EMF data (the first byte chooses which). It must never
// read out of bounds; what it accepts keeps its METAHEADER's size equal to the data it hands on
// (WMF), and is never longer than the data (EMF).
#include "platform/qt/picture/MetafileData.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    if (data[0] & 1) {
        const std::string emf = corvane::metafile::prepareEmf(bytes);
        if (emf.size() > bytes.size())
            __builtin_trap();
    } else {
        const int width = 1 + (data[0] >> 1) * 100, height = 1 + (data[0] >> 4) * 1000;
        const auto wmf = corvane::metafile::prepareWmf(bytes, width, height);
        if (!wmf.bytes.empty()) {
            const auto &b = wmf.bytes;
            const std::uint32_t words = std::uint8_t(b[6]) | std::uint8_t(b[7]) << 8 | std::uint8_t(b[8]) << 16
                                      | std::uint32_t(std::uint8_t(b[9])) << 24;
            if (words != b.size() / 2)
                __builtin_trap();
        }
    }
    return 0;
}
