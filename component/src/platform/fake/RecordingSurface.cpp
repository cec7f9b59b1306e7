#include "RecordingSurface.h"

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace corvane::fake {

std::string twips(float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
    return buffer;
}

namespace {
std::string number(float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}
} // namespace

RecordingSurface::RecordingSurface() = default;

std::string RecordingSurface::logText() const
{
    std::string text;
    for (const auto &line : log)
        text += line + "\n";
    return text;
}

std::vector<std::string> RecordingSurface::lines(const std::string &kind) const
{
    std::vector<std::string> out;
    for (const auto &line : log) {
        if (line.compare(0, kind.size() + 1, kind + " ") == 0 || line == kind)
            out.push_back(line);
    }
    return out;
}

std::string RecordingSurface::fontText() const
{
    std::string flags;
    flags += m_bold ? 'B' : '-';
    flags += m_italic ? 'I' : '-';
    flags += m_underline ? 'U' : '-';
    return toUtf8(m_fontName) + " " + number(m_fontSize) + " " + flags;
}

void RecordingSurface::operation(const std::string &name)
{
    if (onOperation)
        onOperation(name);
    const auto failure = failures.find(name);
    if (failure != failures.end())
        throw failure->second;
}

void RecordingSurface::record(std::string line) { log.push_back(std::move(line)); }

void RecordingSurface::openJob()
{
    if (!m_jobOpen) {
        m_jobOpen = true;
        m_page = 1;
    }
}

void RecordingSurface::Print(std::u16string_view text, bool endLine)
{
    operation("Print");
    openJob();
    if (planned && !text.empty()) {
        const std::string face = toUtf8(m_fontName) + (m_bold ? " b" : " -") + (m_italic ? "i" : "-");
        if (std::find(m_plannedFaces.begin(), m_plannedFaces.end(), face) == m_plannedFaces.end())
            unplanned.push_back("face " + face);
        for (const char16_t c : text)
            if (m_plannedText.find(c) == std::u16string::npos)
                unplanned.push_back("char " + toUtf8(std::u16string_view(&c, 1)));
    }
    if (!text.empty()) {
        record("Text " + twips(m_x) + " " + twips(m_y) + " " + fontText() + " \"" + toUtf8(text) + "\"");
    }
    if (endLine) {
        m_y += TextHeight(u"");
        m_x = 0;
    } else {
        m_x += TextWidth(text);
    }
}

float RecordingSurface::TextWidth(std::u16string_view text)
{
    operation("TextWidth");
    size_t plain = 0;
    double special = 0;
    for (const char16_t c : text) {
        const auto width = charWidths.find(c);
        if (width == charWidths.end())
            ++plain;
        else
            special += width->second;
    }
    return static_cast<float>((static_cast<double>(plain) * 12.0 + special * 20.0) * m_fontSize);
}

float RecordingSurface::TextHeight(std::u16string_view text)
{
    operation("TextHeight");
    size_t lines = 1;
    for (const char16_t c : text)
        lines += c == u'\n';
    return static_cast<float>(lines) * m_fontSize * 24.0f;
}

void RecordingSurface::setScaleMode(int16_t mode)
{
    operation("setScaleMode");
    if (mode != 1)
        throw RuntimeError(err::InvalidPropertyValue);
}

// Device pixels are 1200 per inch, as on the real surface.
float RecordingSurface::ScaleX(float value, int16_t fromMode, int16_t toMode) const
{
    const auto factor = [](int16_t mode) { return mode == 3 ? 1.2f : 1.0f; };
    return value * factor(fromMode) / factor(toMode);
}

float RecordingSurface::ScaleY(float value, int16_t fromMode, int16_t toMode) const
{
    return ScaleX(value, fromMode, toMode);
}

void RecordingSurface::planText(const TextPlan &plan)
{
    planned = true;
    m_plannedText.clear();
    for (const std::u16string_view text : plan.texts)
        m_plannedText += text;
    m_plannedFaces.clear();
    for (const TextPlan::Face &face : plan.faces)
        m_plannedFaces.push_back(toUtf8(face.name) + (face.bold ? " b" : " -") + (face.italic ? "i" : "-"));
}

void RecordingSurface::setFontName(std::u16string_view name)
{
    operation("setFontName");
    m_fontName = UString(name);
}

void RecordingSurface::setFontSize(float points)
{
    operation("setFontSize");
    m_fontSize = points;
}

void RecordingSurface::setFontBold(bool on)
{
    operation("setFontBold");
    m_bold = on;
}

void RecordingSurface::setFontItalic(bool on)
{
    operation("setFontItalic");
    m_italic = on;
}

void RecordingSurface::setFontUnderline(bool on)
{
    operation("setFontUnderline");
    m_underline = on;
}

void RecordingSurface::setDrawWidth(int16_t width)
{
    operation("setDrawWidth");
    m_drawWidth = width;
    record("DrawWidth " + std::to_string(width));
}

void RecordingSurface::LineBox(float x1, float y1, float x2, float y2)
{
    operation("LineBox");
    openJob();
    record("Box " + twips(x1) + " " + twips(y1) + " " + twips(x2) + " " + twips(y2) + " w" + std::to_string(m_drawWidth));
    m_x = x2;
    m_y = y2;
}

void RecordingSurface::LineTo(float x2, float y2)
{
    operation("LineTo");
    openJob();
    record("Line " + twips(m_x) + " " + twips(m_y) + " " + twips(x2) + " " + twips(y2) + " w"
           + std::to_string(m_drawWidth));
    m_x = x2;
    m_y = y2;
}

void RecordingSurface::NewPage()
{
    operation("NewPage");
    openJob();
    ++m_page;
    m_x = m_y = 0;
    record("NewPage " + std::to_string(m_page));
}

void RecordingSurface::EndDoc()
{
    operation("EndDoc");
    planned = false;
    if (m_jobOpen)
        ++jobsEnded;
    m_jobOpen = false;
    m_page = 1;
    m_x = m_y = 0;
    record("EndDoc");
}

void RecordingSurface::KillDoc()
{
    operation("KillDoc");
    planned = false;
    if (m_jobOpen)
        ++jobsKilled;
    m_jobOpen = false;
    m_page = 1;
    m_x = m_y = 0;
    record("KillDoc");
}

void RecordingSurface::setOrientation(int16_t value)
{
    operation("setOrientation");
    record("Orientation " + std::to_string(value));
}

void RecordingSurface::setPaperSize(int16_t value)
{
    operation("setPaperSize");
    record("PaperSize " + std::to_string(value));
}

void RecordingSurface::setPaperBin(int16_t value)
{
    operation("setPaperBin");
    record("PaperBin " + std::to_string(value));
}

void RecordingSurface::setPrintQuality(int16_t value)
{
    operation("setPrintQuality");
    record("PrintQuality " + std::to_string(value));
}

void RecordingSurface::setCopies(int16_t value)
{
    operation("setCopies");
    record("Copies " + std::to_string(value));
}

int RecordingSurface::PrinterCount()
{
    operation("PrinterCount");
    return static_cast<int>(printers.size());
}

UString RecordingSurface::DeviceName(int index)
{
    operation("DeviceName");
    return printers.at(static_cast<size_t>(index));
}

void RecordingSurface::selectPrinter(int index)
{
    operation("selectPrinter");
    current = index;
    record("Select \"" + toUtf8(printers.at(static_cast<size_t>(index))) + "\"");
}

int32_t RecordingSurface::physicalOffsetX() const
{
    if (!m_jobOpen)
        throw RuntimeError(err::PrinterError);
    return static_cast<int32_t>(std::lround(offsetX / 1.2));
}

int32_t RecordingSurface::physicalOffsetY() const
{
    if (!m_jobOpen)
        throw RuntimeError(err::PrinterError);
    return static_cast<int32_t>(std::lround(offsetY / 1.2));
}

int FakeRichText::created = 0;

void FakeRichText::setTextRTF(const UString &rtf)
{
    calls.push_back("setTextRTF");
    text = rtf;
}

void FakeRichText::setText(const UString &t)
{
    calls.push_back("setText");
    text = t;
}

void FakeRichText::loadFile(const UString &path)
{
    calls.push_back("loadFile");
    std::ifstream in(toUtf8(path), std::ios::binary);
    if (!in)
        throw RuntimeError(err::FileNotFound);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = fromUtf8(bytes.str());
}

void FakeRichText::setSelStart(int32_t start) { calls.push_back("SelStart " + std::to_string(start)); }
void FakeRichText::setSelLength(int32_t length) { calls.push_back("SelLength " + std::to_string(length)); }
void FakeRichText::setSelFontName(const UString &name) { calls.push_back("SelFontName " + toUtf8(name)); }
void FakeRichText::setSelFontSize(int32_t points) { calls.push_back("SelFontSize " + std::to_string(points)); }
void FakeRichText::setSelBold(bool on) { calls.push_back(std::string("SelBold ") + (on ? "1" : "0")); }
void FakeRichText::setSelItalic(bool on) { calls.push_back(std::string("SelItalic ") + (on ? "1" : "0")); }
void FakeRichText::setSelUnderline(bool on) { calls.push_back(std::string("SelUnderline ") + (on ? "1" : "0")); }

int32_t FakeRichText::formatRange(PageCanvas &surface, int32_t first, const TwipsRect &rect, const TwipsRect &page)
{
    auto &recording = static_cast<RecordingSurface &>(surface);
    recording.log.push_back("FormatRange " + std::to_string(first) + " " + std::to_string(rect.left) + " "
                            + std::to_string(rect.top) + " " + std::to_string(rect.right) + " "
                            + std::to_string(rect.bottom) + " page " + std::to_string(page.right) + " "
                            + std::to_string(page.bottom));
    return std::min<int32_t>(first + charsPerPage, static_cast<int32_t>(text.size()));
}

void FakeRichText::freeFormatting() { calls.push_back("freeFormatting"); }

std::unique_ptr<RichTextControl> RecordingPlatform::createRichTextControl()
{
    auto control = std::make_unique<FakeRichText>();
    if (configureRichText)
        configureRichText(*control);
    lastRichText = control.get();
    return control;
}

std::unique_ptr<PrinterSurface> RecordingPlatform::createPrinterSurface()
{
    auto surface = std::make_unique<RecordingSurface>();
    if (configure)
        configure(*surface);
    last = surface.get();
    return surface;
}

} // namespace corvane::fake
