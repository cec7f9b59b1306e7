// The property record of one Corvane object: every property, as the print jobs read it while
// they run. Jobs take the record itself, not a copy, so a value an event handler changes (a
// margin set in PrintProgress) applies from the next line on.
#pragma once

#include <corvane/Enums.h>
#include <corvane/FontSettings.h>
#include <corvane/Layout.h>
#include <corvane/UString.h>

#include <memory>

namespace corvane {

struct Properties {
    UString DocTitleFont = u"Arial,10,0,0,0";
    UString DocTextFont = u"Arial,10,0,0,0";
    UString DocHeaderFont = u"Arial,10,0,0,0";
    UString DocFooterFont = u"Arial,10,0,0,0";
    bool PrintBorder = false;
    bool LineBelowHeader = false;
    bool LineAboveFooter = false;
    UString DocTitle;
    // Shared, never changed in place: the body text flow holds the text it started with while
    // a handler may set a new one, without a copy of a long document.
    std::shared_ptr<const UString> DocText = std::make_shared<const UString>();
    UString DocHeader;
    UString DocFooter;
    UString FileName;
    int16_t MarginLeft = 1440;
    int16_t MarginRight = 1440;
    int16_t MarginTop = 1440;
    int16_t MarginBottom = 1440;
    int16_t Copies = 1;
    bool IncludeDateTime = false;
    bool AllDataFromFile = false;
    int32_t LineSpacing = spLineSpacingSingle;
    int32_t PaperOrientation = spOrientationPortrait;
    int16_t BorderLineWidth = 1;
    int32_t PaperSize = spPaperLetter;
    int32_t PrintQuality = spQualityMedium;
    int32_t PaperBin = spPaperBinAuto;
    bool PrintPageNumber = false;

    // The working font record that the font settings routine fills and callers apply.
    FontSpec CurrentFont;

    void setDocText(UString text) { DocText = std::make_shared<const UString>(std::move(text)); }

    // The object's own margins and paper settings as the layout of a rich-text job.
    LayoutParameters layout() const
    {
        return {MarginLeft, MarginTop, MarginRight,  MarginBottom, PaperOrientation,
                PaperSize,  PaperBin,  PrintQuality, Copies};
    }
};

} // namespace corvane
