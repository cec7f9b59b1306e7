// The five enumerations of the type library, with their published names and values in
// declaration order.
#pragma once

#include "Export.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace corvane {

#define CORVANE_ENUM_spOrientation(X) X(spOrientationPortrait, 1) X(spOrientationLandscape, 2)

#define CORVANE_ENUM_spLineSpacing(X) X(spLineSpacingSingle, 1) X(spLineSpacingOneHalf, 2) X(spLineSpacingDouble, 3)

#define CORVANE_ENUM_spPrintQuality(X) X(spQualityDraft, 1) X(spQualityLow, 2) X(spQualityMedium, 3) X(spQualityHigh, 4)

#define CORVANE_ENUM_spPaperBin(X)                                                                                     \
    X(spPaperBinUpper, 1) X(spPaperBinLower, 2) X(spPaperBinMiddle, 3) X(spPaperBinManual, 4) X(spPaperBinEnvelope, 5) \
        X(spPaperBinEnvManual, 6) X(spPaperBinAuto, 7) X(spPaperBinTractor, 8) X(spPaperBinSmallFmt, 9)                \
            X(spPaperBinLargeFmt, 10) X(spPaperBinLargeCapacity, 11) X(spPaperBinCassette, 14)

// Declaration order, not value order: EnvC3 and EnvC4 stand before EnvC5.
#define CORVANE_ENUM_spPaperSize(X)                                                                                    \
    X(spPaperLetter, 1) X(spPaperLetterSmall, 2) X(spPaperTabloid, 3) X(spPaperLedger, 4) X(spPaperLegal, 5)           \
        X(spPaperStatement, 6) X(spPaperExecutive, 7) X(spPaperA3, 8) X(spPaperA4, 9) X(spPaperA4Small, 10)            \
            X(spPaperA5, 11) X(spPaperB4, 12) X(spPaperB5, 13) X(spPaperFolio, 14) X(spPaperQuarto, 15)                \
                X(spPaper10x14, 16) X(spPaper11x17, 17) X(spPaperNote, 18) X(spPaperEnv9, 19) X(spPaperEnv10, 20)      \
                    X(spPaperEnv11, 21) X(spPaperEnv12, 22) X(spPaperEnv14, 23) X(spPaperCSheet, 24)                   \
                        X(spPaperDSheet, 25) X(spPaperESheet, 26) X(spPaperEnvDL, 27) X(spPaperEnvC3, 29)              \
                            X(spPaperEnvC4, 30) X(spPaperEnvC5, 28) X(spPaperEnvC6, 31) X(spPaperEnvC65, 32)           \
                                X(spPaperEnvB4, 33) X(spPaperEnvB5, 34) X(spPaperEnvB6, 35) X(spPaperEnvItaly, 36)     \
                                    X(spPaperEnvMonarch, 37) X(spPaperEnvPersonal, 38) X(spPaperFanfoldUS, 39)         \
                                        X(spPaperFanfoldStdGerman, 40) X(spPaperFanfoldLglGerman, 41)

#define CORVANE_ENUMERATOR(name, value) name = value,

enum spOrientation : int32_t { CORVANE_ENUM_spOrientation(CORVANE_ENUMERATOR) };
enum spLineSpacing : int32_t { CORVANE_ENUM_spLineSpacing(CORVANE_ENUMERATOR) };
enum spPaperSize : int32_t { CORVANE_ENUM_spPaperSize(CORVANE_ENUMERATOR) };
enum spPrintQuality : int32_t { CORVANE_ENUM_spPrintQuality(CORVANE_ENUMERATOR) };
enum spPaperBin : int32_t { CORVANE_ENUM_spPaperBin(CORVANE_ENUMERATOR) };

struct Enumerator {
    std::string_view name;
    int32_t value;
};
struct Enumeration {
    std::string_view name;
    std::span<const Enumerator> enumerators; // in declaration order
};

// The enumerations in type-library order: spOrientation, spLineSpacing, spPaperSize,
// spPrintQuality, spPaperBin.
CORVANE_EXPORT std::span<const Enumeration> enumerations();

} // namespace corvane
