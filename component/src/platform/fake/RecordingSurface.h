// A printer surface that records every operation as one line of text, with fixed font metrics
// so that wrap points and tab stops can be computed by hand: every character is 0.6 em wide
// (120 twips at 10 points), unless charWidths says otherwise, and a line is 1.2 em high (240
// twips at 10 points).
#pragma once

#include "ports/Platform.h"

#include <corvane/Errors.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace corvane::fake {

class RecordingSurface final : public PrinterSurface {
public:
    RecordingSurface();

    // Sheet and printable area in twips (Letter without unprintable border by default).
    float sheetWidth = 12240, sheetHeight = 15840;
    float offsetX = 0, offsetY = 0; // unprintable border

    // Characters whose width differs from 0.6 em, in em.
    std::map<char16_t, float> charWidths;

    std::vector<UString> printers{u"Corvane PDF"};
    int current = 0;

    // Operation name ("EndDoc", "setPaperBin", ...) -> error raised by it.
    std::map<std::string, RuntimeError> failures;
    // Called before each operation is carried out, with its name.
    std::function<void(const std::string &)> onOperation;

    // The log: one line per drawing, job or setting operation.
    std::vector<std::string> log;
    std::string logText() const; // the lines joined with '\n'
    // Only the lines that start with the given kind ("Text", "Line" ...).
    std::vector<std::string> lines(const std::string &kind) const;

    bool jobOpen() const { return m_jobOpen; }
    int jobsEnded = 0;
    int jobsKilled = 0;

    float CurrentX() const override { return m_x; }
    float CurrentY() const override { return m_y; }
    void setCurrentX(float x) override { m_x = x; }
    void setCurrentY(float y) override { m_y = y; }
    void Print(std::u16string_view text, bool endLine) override;
    float TextWidth(std::u16string_view text) override;
    float TextHeight(std::u16string_view text) override;
    float ScaleWidth() const override { return sheetWidth - 2 * offsetX; }
    float ScaleHeight() const override { return sheetHeight - 2 * offsetY; }
    float Width() const override { return sheetWidth; }
    float Height() const override { return sheetHeight; }
    void setScaleMode(int16_t mode) override;
    float ScaleX(float value, int16_t fromMode, int16_t toMode) const override;
    float ScaleY(float value, int16_t fromMode, int16_t toMode) const override;
    void setFontName(std::u16string_view name) override;
    void setFontSize(float points) override;
    void setFontBold(bool on) override;
    void setFontItalic(bool on) override;
    void setFontUnderline(bool on) override;
    int16_t DrawWidth() const override { return m_drawWidth; }
    void setDrawWidth(int16_t width) override;
    void LineBox(float x1, float y1, float x2, float y2) override;
    void LineTo(float x2, float y2) override;
    void NewPage() override;
    void EndDoc() override;
    void KillDoc() override;
    int16_t Page() const override { return m_page; }
    void setOrientation(int16_t value) override;
    void setPaperSize(int16_t value) override;
    void setPaperBin(int16_t value) override;
    void setPrintQuality(int16_t value) override;
    void setCopies(int16_t value) override;
    intptr_t hDC() const override { return m_jobOpen ? 1 : 0; }
    int32_t physicalOffsetX() const override;
    int32_t physicalOffsetY() const override;
    int PrinterCount() override;
    UString DeviceName(int index) override;
    void selectPrinter(int index) override;
    UString currentDeviceName() const override { return printers.at(current); }

    // The current font, as the log writes it ("Arial 10 ---").
    std::string fontText() const;

    // The last plan given, and what the job then drew outside it ("face Tahoma b", "char 'x'").
    void planText(const TextPlan &plan) override;
    bool planned = false;
    std::vector<std::string> unplanned;

private:
    void operation(const std::string &name);
    void openJob();
    void record(std::string line);

    float m_x = 0, m_y = 0;
    UString m_fontName = u"Arial";
    float m_fontSize = 10;
    bool m_bold = false, m_italic = false, m_underline = false;
    std::u16string m_plannedText;
    std::vector<std::string> m_plannedFaces;
    int16_t m_drawWidth = 1;
    int16_t m_page = 1;
    bool m_jobOpen = false;
};

// A rich-text control over plain text: formatRange "draws" up to charsPerPage characters and
// logs the call on the surface ("FormatRange 0 1440 1440 10800 14400").
class FakeRichText final : public RichTextControl {
public:
    UString text;
    int32_t charsPerPage = 1000;
    std::vector<std::string> calls; // setTextRTF, loadFile, setSel..., freeFormatting
    static int created;

    FakeRichText() { ++created; }
    void setTextRTF(const UString &rtf) override;
    void setText(const UString &t) override;
    void loadFile(const UString &path) override;
    UString Text() override { return text; }
    void setSelStart(int32_t start) override;
    void setSelLength(int32_t length) override;
    void setSelFontName(const UString &name) override;
    void setSelFontSize(int32_t points) override;
    void setSelBold(bool on) override;
    void setSelItalic(bool on) override;
    void setSelUnderline(bool on) override;
    int32_t formatRange(PageCanvas &surface, int32_t first, const TwipsRect &rect, const TwipsRect &page) override;
    void freeFormatting() override;
};

// A browser host that records what it is asked; tests fire its events.
class FakeBrowserHost final : public BrowserHost {
public:
    // "Navigate <address>" (with " itself" for a page that reads no other file), "Print <printer>"
    std::vector<std::string> calls;
    Done printing; // the report of the print in progress, given by endPrint
    void Navigate(const UString &address, bool onlyItself) override
    {
        calls.push_back("Navigate " + toUtf8(address) + (onlyItself ? " itself" : ""));
    }
    Claim claiming;
    int handedOver = 0; // pages handed to the printer
    void printPage(const UString &printer, Claim claim, Done done) override
    {
        calls.push_back("Print " + toUtf8(printer));
        claiming = std::move(claim);
        printing = std::move(done);
    }
    // Ends the print in progress: 0 handed over (unless it was cancelled meanwhile), else failed
    // with the number and description.
    void endPrint(int32_t number = 0, const UString &description = {})
    {
        Done done = std::move(printing);
        printing = nullptr;
        UString said = description;
        if (number == 0 && claiming && !claiming()) {
            number = 482;
            said = u"cancelled";
        } else if (number == 0) {
            ++handedOver;
        }
        if (done)
            done(number, said);
    }
};

// A shell that answers with a fixed code and records its requests.
class FakeShell final : public Shell {
public:
    int32_t code = 42;
    std::vector<std::string> calls; // "print <file> 0 <printer>"
    int32_t execute(std::u16string_view verb, const UString &file, int32_t style, const UString &printer) override
    {
        calls.push_back(toUtf8(verb) + " " + toUtf8(file) + " " + std::to_string(style) + " " + toUtf8(printer));
        return code;
    }
};

// A platform whose thread surfaces are recording surfaces; the last one created is kept.
class RecordingPlatform final : public Platform {
public:
    std::function<void(RecordingSurface &)> configure;
    std::function<void(FakeRichText &)> configureRichText;
    RecordingSurface *last = nullptr;
    FakeRichText *lastRichText = nullptr;

    std::unique_ptr<RichTextControl> createRichTextControl() override;
    FakeBrowserHost *lastBrowser = nullptr;
    std::unique_ptr<BrowserHost> createBrowserHost() override
    {
        auto host = std::make_unique<FakeBrowserHost>();
        lastBrowser = host.get();
        return host;
    }
    FakeShell fakeShell;
    Shell &shell() override { return fakeShell; }
    int aboutShown = 0;
    void showAbout() override { ++aboutShown; }
    void processEvents() override {}
    UString folder;
    UString date = u"12/8/2026", time = u"14:05";

    std::unique_ptr<PrinterSurface> createPrinterSurface() override;
    UString libraryFolder() override { return folder; }
    UString shortDate() override { return date; }
    UString shortTime() override { return time; }
};

// Fixed-decimal twips in the classic locale ("1440.00").
std::string twips(float value);

} // namespace corvane::fake
