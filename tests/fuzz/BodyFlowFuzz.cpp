// libFuzzer target: PrintDoc's body text flow and page frame on the recording surface, with
// random text, margins, fonts, spacing and decorations. Every job ends in PrintComplete or
// PrintError, never both, and the surface's job is closed afterwards.
#include "jobs/ThreadForms.h"
#include "platform/fake/RecordingSurface.h"

#include <corvane/Corvane.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

struct Outcome : corvane::EventSink {
    int complete = 0, errors = 0;
    void PrintComplete() override { ++complete; }
    void PrintError(corvane::Variant &, corvane::Variant &) override { ++errors; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 16)
        return 0;
    using namespace corvane;
    const auto byte = [&](size_t i) { return data[i]; };
    const auto int16 = [&](size_t i) { return static_cast<int16_t>(data[i] | (data[i + 1] << 8)); };

    fake::RecordingPlatform platform;
    platform.configure = [&](fake::RecordingSurface &s) {
        s.sheetWidth = 2000 + (byte(0) * 100);
        s.sheetHeight = 2000 + (byte(1) * 100);
        s.charWidths[u'i'] = byte(2) / 100.0f;
        s.charWidths[u'0'] = byte(3) / 50.0f;
    };
    Corvane doc(&platform);
    Outcome outcome;
    doc.subscribe(&outcome);
    doc.setMarginLeft(int16(4));
    doc.setMarginRight(int16(6));
    doc.setMarginTop(int16(8));
    doc.setMarginBottom(int16(10));
    doc.setLineSpacing(byte(12) % 5);
    const uint8_t flags = byte(13);
    doc.setPrintBorder(flags & 1);
    doc.setLineBelowHeader(flags & 2);
    doc.setLineAboveFooter(flags & 4);
    doc.setPrintPageNumber(flags & 8);
    doc.setIncludeDateTime(flags & 16);
    doc.setBorderLineWidth(static_cast<int16_t>(byte(14)));
    doc.setDocTextFont(u"Arial," + decimal(byte(15) % 40) + u",0,0,0");
    // The rest: title, header, footer and body, split at the first three 0xFF bytes.
    UString parts[4];
    int part = 0;
    for (size_t i = 16; i < size; ++i) {
        if (data[i] == 0xFF && part < 3) {
            ++part;
            continue;
        }
        parts[part].push_back(static_cast<char16_t>(data[i] < 0x80 ? data[i] : data[i] + 0x100));
    }
    doc.setDocTitle(parts[0]);
    doc.setDocHeader(parts[1]);
    doc.setDocFooter(parts[2]);
    doc.setDocText(parts[3]);

    doc.PrintDoc();
    if (outcome.complete + outcome.errors != 1 || threadSurface(platform).hDC() != 0)
        __builtin_trap();
    resetThreadSurface();
    return 0;
}
