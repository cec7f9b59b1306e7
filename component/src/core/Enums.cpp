#include <corvane/Enums.h>

namespace corvane {

namespace {
#define CORVANE_ENUMERATOR_ENTRY(name, value) Enumerator{#name, value},
constexpr Enumerator kOrientation[] = {CORVANE_ENUM_spOrientation(CORVANE_ENUMERATOR_ENTRY)};
constexpr Enumerator kLineSpacing[] = {CORVANE_ENUM_spLineSpacing(CORVANE_ENUMERATOR_ENTRY)};
constexpr Enumerator kPaperSize[] = {CORVANE_ENUM_spPaperSize(CORVANE_ENUMERATOR_ENTRY)};
constexpr Enumerator kPrintQuality[] = {CORVANE_ENUM_spPrintQuality(CORVANE_ENUMERATOR_ENTRY)};
constexpr Enumerator kPaperBin[] = {CORVANE_ENUM_spPaperBin(CORVANE_ENUMERATOR_ENTRY)};
#undef CORVANE_ENUMERATOR_ENTRY

constexpr Enumeration kEnumerations[] = {
    {"spOrientation", kOrientation},   {"spLineSpacing", kLineSpacing}, {"spPaperSize", kPaperSize},
    {"spPrintQuality", kPrintQuality}, {"spPaperBin", kPaperBin},
};
} // namespace

std::span<const Enumeration> enumerations() { return kEnumerations; }

} // namespace corvane
