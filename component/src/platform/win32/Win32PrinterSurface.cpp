#include "Win32PrinterSurface.h"

#include "Win32Strings.h"

#include "pdf/PdfTextWriter.h"
#include "pdf/TrueTypeFont.h"

#include <corvane/Errors.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>

namespace corvane::win32 {

namespace {

[[noreturn]] void invalidValue() { throw RuntimeError(err::InvalidPropertyValue); }

// "Corvane PDF" draws at 1200 dots an inch, as the Linux build's PDF printer does: its pen widths
// and device pixels are of that size.
constexpr double kPdfDpi = 1200;
// The em, in pixels, at which the faces of "Corvane PDF" are read.
constexpr int kReferenceEm = 2048;

// The sheets of the paper codes, in millimetres (those given in inches converted exactly).
struct Paper {
    int16_t code;
    double width, height;
};
constexpr double in = 25.4;
constexpr Paper kPapers[] = {
    {1, 8.5 * in, 11 * in},
    {2, 8.5 * in, 11 * in},
    {3, 11 * in, 17 * in},
    {4, 17 * in, 11 * in},
    {5, 8.5 * in, 14 * in},
    {6, 5.5 * in, 8.5 * in},
    {7, 7.25 * in, 10.5 * in},
    {8, 297, 420},
    {9, 210, 297},
    {10, 210, 297},
    {11, 148, 210},
    {12, 250, 354},
    {13, 182, 257},
    {14, 8.5 * in, 13 * in},
    {15, 215, 275},
    {16, 10 * in, 14 * in},
    {17, 11 * in, 17 * in},
    {18, 8.5 * in, 11 * in},
    {19, 3.875 * in, 8.875 * in},
    {20, 4.125 * in, 9.5 * in},
    {21, 4.5 * in, 10.375 * in},
    {22, 4.75 * in, 11 * in},
    {23, 5 * in, 11.5 * in},
    {24, 17 * in, 22 * in},
    {25, 22 * in, 34 * in},
    {26, 34 * in, 44 * in},
    {27, 110, 220},
    {28, 162, 229},
    {29, 324, 458},
    {30, 229, 324},
    {31, 114, 162},
    {32, 114, 229},
    {33, 250, 353},
    {34, 176, 250},
    {35, 176, 125},
    {36, 110, 230},
    {37, 3.875 * in, 7.5 * in},
    {38, 3.625 * in, 6.5 * in},
    {39, 14.875 * in, 11 * in},
    {40, 8.5 * in, 12 * in},
    {41, 8.5 * in, 13 * in},
};

const Paper *paperOf(int16_t code)
{
    for (const Paper &paper : kPapers)
        if (paper.code == code)
            return &paper;
    return nullptr;
}

bool knownBin(int16_t bin) { return (bin >= 1 && bin <= 11) || bin == 14; }

std::wstring systemMessage(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring message = length ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message.empty() ? L"error " + std::to_wstring(code) : message;
}

// The values a printer offers for a capability (paper codes, bins), as 16-bit codes.
std::vector<int16_t> capabilities(const UString &printer, WORD capability)
{
    const std::wstring name = wide(printer);
    const int count = DeviceCapabilitiesW(name.c_str(), nullptr, capability, nullptr, nullptr);
    if (count <= 0)
        return {};
    std::vector<WORD> values(static_cast<size_t>(count));
    if (DeviceCapabilitiesW(name.c_str(), nullptr, capability, reinterpret_cast<wchar_t *>(values.data()), nullptr) <= 0)
        return {};
    return std::vector<int16_t>(values.begin(), values.end());
}

uint16_t bigEndian16(const std::string &table, size_t at)
{
    return table.size() >= at + 2
             ? static_cast<uint16_t>(static_cast<uint8_t>(table[at]) << 8 | static_cast<uint8_t>(table[at + 1]))
             : 0;
}

// The face's PostScript name (name 6 of its 'name' table), in printable ASCII; empty when it has
// none.
std::string postscriptName(const std::string &table)
{
    const size_t count = bigEndian16(table, 2), strings = bigEndian16(table, 4);
    for (const bool windows : {true, false}) {
        for (size_t i = 0; i < count; ++i) {
            const size_t record = 6 + i * 12;
            const uint16_t platform = bigEndian16(table, record);
            if (bigEndian16(table, record + 6) != 6 || (windows ? platform != 3 : platform != 1))
                continue;
            const size_t length = bigEndian16(table, record + 8), at = strings + bigEndian16(table, record + 10);
            if (at + length > table.size())
                continue;
            std::string name;
            // Windows names are UTF-16 (big-endian), Macintosh ones single bytes.
            for (size_t c = windows ? at + 1 : at; c < at + length; c += windows ? 2 : 1)
                if (table[c] > ' ' && table[c] < 0x7F && table[c] != '/' && table[c] != '(' && table[c] != ')')
                    name += table[c];
            if (!name.empty())
                return name;
        }
    }
    return {};
}

// Reverses the characters of a text (a surrogate pair stays one).
void inVisualOrder(std::u16string &text)
{
    std::reverse(text.begin(), text.end());
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i + 1] >= 0xD800 && text[i + 1] <= 0xDBFF)
            std::swap(text[i], text[i + 1]), ++i;
}

} // namespace

Win32PrinterSurface::Win32PrinterSurface()
{
    PrinterCount();
    // The current printer starts as the system's default one, else the built-in printer.
    wchar_t name[512];
    DWORD length = 512;
    m_printer = GetDefaultPrinterW(name, &length) && name[0] ? us(name) : UString(kPdfPrinterName);
}

Win32PrinterSurface::~Win32PrinterSurface() { KillDoc(); }

int Win32PrinterSurface::PrinterCount()
{
    m_printers.clear();
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed > 0) {
        std::vector<BYTE> buffer(needed);
        if (EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) {
            const auto *info = reinterpret_cast<const PRINTER_INFO_4W *>(buffer.data());
            for (DWORD i = 0; i < count; ++i)
                m_printers.push_back(info[i].pPrinterName ? us(info[i].pPrinterName) : UString());
        }
    }
    m_printers.push_back(kPdfPrinterName);
    return static_cast<int>(m_printers.size());
}

UString Win32PrinterSurface::DeviceName(int index)
{
    if (index < 0 || index >= static_cast<int>(m_printers.size()))
        throw RuntimeError(err::SubscriptOutOfRange);
    return m_printers[static_cast<size_t>(index)];
}

void Win32PrinterSurface::selectPrinter(int index)
{
    m_printer = DeviceName(index);
    m_paperBin = 7;
    settingsChanged();
}

void Win32PrinterSurface::settingsChanged()
{
    // An open job keeps the device it was opened with; the next one takes the new settings.
    if (m_open)
        return;
    m_geometryValid = false;
    releaseFaces();
    if (m_dc) {
        DeleteDC(m_dc);
        m_dc = nullptr;
    }
    if (m_font) {
        DeleteObject(m_font);
        m_font = nullptr;
    }
    m_fontSelected = false;
    m_face = nullptr;
}

void Win32PrinterSurface::setOrientation(int16_t value)
{
    if (value != DMORIENT_PORTRAIT && value != DMORIENT_LANDSCAPE)
        invalidValue();
    m_orientation = value;
    settingsChanged();
}

void Win32PrinterSurface::setPaperSize(int16_t value)
{
    if (!paperOf(value))
        invalidValue();
    // A size the printer does not have is refused: the job would print on another one.
    if (!isPdfPrinter()) {
        const std::vector<int16_t> sizes = capabilities(m_printer, DC_PAPERS);
        if (std::find(sizes.begin(), sizes.end(), value) == sizes.end())
            invalidValue();
    }
    m_paperSize = value;
    settingsChanged();
}

void Win32PrinterSurface::setPaperBin(int16_t value)
{
    if (!knownBin(value))
        invalidValue();
    if (value != DMBIN_AUTO) {
        // A bin the printer does not have is refused; the built-in printer has none.
        const std::vector<int16_t> bins = isPdfPrinter() ? std::vector<int16_t>() : capabilities(m_printer, DC_BINS);
        if (std::find(bins.begin(), bins.end(), value) == bins.end())
            invalidValue();
    }
    m_paperBin = value;
    settingsChanged();
}

void Win32PrinterSurface::setPrintQuality(int16_t value)
{
    if (value < 1 || value > 4)
        invalidValue();
    m_quality = value;
    settingsChanged();
}

void Win32PrinterSurface::setCopies(int16_t value)
{
    if (value < 1)
        invalidValue();
    m_copies = value;
    settingsChanged();
}

void Win32PrinterSurface::printerFailure(const char16_t *what, DWORD code)
{
    throw RuntimeError(err::PrinterError,
                       u"Printer error: " + m_printer + u": " + what + u" (" + us(systemMessage(code)) + u")");
}

std::vector<BYTE> Win32PrinterSurface::devMode(const std::wstring &printer) const
{
    auto *self = const_cast<Win32PrinterSurface *>(this);
    HANDLE handle = nullptr;
    std::wstring name = printer;
    if (!OpenPrinterW(name.data(), &handle, nullptr))
        self->printerFailure(u"the printer cannot be opened", GetLastError());
    std::vector<BYTE> in, out;
    const LONG size = DocumentPropertiesW(nullptr, handle, name.data(), nullptr, nullptr, 0);
    if (size > 0) {
        in.resize(static_cast<size_t>(size));
        out.resize(static_cast<size_t>(size));
    }
    auto *mode = reinterpret_cast<DEVMODEW *>(in.data());
    if (size <= 0 || DocumentPropertiesW(nullptr, handle, name.data(), mode, nullptr, DM_OUT_BUFFER) < 0) {
        const DWORD code = GetLastError();
        ClosePrinter(handle);
        self->printerFailure(u"the printer's settings cannot be read", code);
    }
    // The driver's answer may hold what an earlier job of this process asked for (wine's does):
    // the printer's own defaults are the spooler's stored ones, where it has them.
    DWORD needed = 0;
    GetPrinterW(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> stored(needed);
    if (needed > 0 && GetPrinterW(handle, 2, stored.data(), needed, &needed)) {
        if (const DEVMODEW *defaults = reinterpret_cast<const PRINTER_INFO_2W *>(stored.data())->pDevMode)
            std::memcpy(mode, defaults, std::min<size_t>(in.size(), size_t(defaults->dmSize) + defaults->dmDriverExtra));
    }
    // The job's settings over the printer's defaults, every one named: copies as whole sets, one
    // after the other; the paper and bin the printer has unless others were chosen.
    mode->dmFields |= DM_ORIENTATION | DM_COPIES | DM_COLLATE | DM_PRINTQUALITY;
    mode->dmFields |= m_paperSize > 0 || mode->dmPaperSize > 0 ? DM_PAPERSIZE : 0;
    mode->dmFields |= m_paperBin != DMBIN_AUTO || mode->dmDefaultSource > 0 ? DM_DEFAULTSOURCE : 0;
    mode->dmOrientation = m_orientation;
    mode->dmCopies = m_copies;
    mode->dmCollate = DMCOLLATE_TRUE;
    mode->dmPrintQuality = static_cast<short>(-m_quality); // DMRES_DRAFT (-1) to DMRES_HIGH (-4)
    if (m_paperSize > 0)
        mode->dmPaperSize = m_paperSize;
    if (m_paperBin != DMBIN_AUTO)
        mode->dmDefaultSource = m_paperBin;
    const LONG merged = DocumentPropertiesW(nullptr, handle, name.data(), reinterpret_cast<DEVMODEW *>(out.data()),
                                            mode, DM_IN_BUFFER | DM_OUT_BUFFER);
    ClosePrinter(handle);
    return merged < 0 ? in : out;
}

HDC Win32PrinterSurface::device()
{
    if (m_dc)
        return m_dc;
    if (isPdfPrinter()) {
        m_dc = CreateCompatibleDC(nullptr);
    } else {
        const std::wstring name = wide(m_printer);
        const std::vector<BYTE> mode = devMode(name);
        m_dc = CreateDCW(L"WINSPOOL", name.c_str(), nullptr, reinterpret_cast<const DEVMODEW *>(mode.data()));
    }
    if (!m_dc)
        printerFailure(u"the printer's device cannot be made", GetLastError());
    SetMapMode(m_dc, MM_TEXT);
    SetBkMode(m_dc, TRANSPARENT);
    SetTextColor(m_dc, RGB(0, 0, 0));
    // Text is written on its baseline, which the faces a line falls back to share.
    SetTextAlign(m_dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    m_fontSelected = false;
    return m_dc;
}

const Win32PrinterSurface::Geometry &Win32PrinterSurface::geometry() const
{
    if (m_geometryValid)
        return m_geometry;
    Geometry g;
    if (isPdfPrinter()) {
        const Paper &paper = *paperOf(m_paperSize > 0 ? m_paperSize : 9); // A4 unless chosen
        g.sheetWidth = paper.width / 25.4 * 1440;
        g.sheetHeight = paper.height / 25.4 * 1440;
        if (m_orientation == DMORIENT_LANDSCAPE)
            std::swap(g.sheetWidth, g.sheetHeight);
        g.width = g.sheetWidth;
        g.height = g.sheetHeight;
        g.dpiX = g.dpiY = kPdfDpi;
    } else {
        HDC dc = const_cast<Win32PrinterSurface *>(this)->device();
        g.dpiX = GetDeviceCaps(dc, LOGPIXELSX);
        g.dpiY = GetDeviceCaps(dc, LOGPIXELSY);
        if (g.dpiX <= 0 || g.dpiY <= 0)
            g.dpiX = g.dpiY = 1440;
        g.sheetWidth = GetDeviceCaps(dc, PHYSICALWIDTH) * 1440 / g.dpiX;
        g.sheetHeight = GetDeviceCaps(dc, PHYSICALHEIGHT) * 1440 / g.dpiY;
        g.left = GetDeviceCaps(dc, PHYSICALOFFSETX) * 1440 / g.dpiX;
        g.top = GetDeviceCaps(dc, PHYSICALOFFSETY) * 1440 / g.dpiY;
        g.width = GetDeviceCaps(dc, HORZRES) * 1440 / g.dpiX;
        g.height = GetDeviceCaps(dc, VERTRES) * 1440 / g.dpiY;
    }
    m_geometry = g;
    m_geometryValid = true;
    return m_geometry;
}

float Win32PrinterSurface::ScaleWidth() const { return static_cast<float>(geometry().width); }

float Win32PrinterSurface::ScaleHeight() const { return static_cast<float>(geometry().height); }

float Win32PrinterSurface::Width() const { return static_cast<float>(geometry().sheetWidth); }

float Win32PrinterSurface::Height() const { return static_cast<float>(geometry().sheetHeight); }

void Win32PrinterSurface::setScaleMode(int16_t mode)
{
    if (mode != 1)
        invalidValue();
}

float Win32PrinterSurface::ScaleX(float value, int16_t fromMode, int16_t toMode) const
{
    const double pixel = 1440 / geometry().dpiX;
    const auto factor = [pixel](int16_t mode) {
        if (mode == 1)
            return 1.0;
        if (mode == 3)
            return pixel;
        invalidValue();
    };
    return static_cast<float>(value * factor(fromMode) / factor(toMode));
}

float Win32PrinterSurface::ScaleY(float value, int16_t fromMode, int16_t toMode) const
{
    const double pixel = 1440 / geometry().dpiY;
    const auto factor = [pixel](int16_t mode) {
        if (mode == 1)
            return 1.0;
        if (mode == 3)
            return pixel;
        invalidValue();
    };
    return static_cast<float>(value * factor(fromMode) / factor(toMode));
}

int Win32PrinterSurface::px(double twips) const
{
    return static_cast<int>(std::lround(twips * geometry().dpiX / 1440));
}

int Win32PrinterSurface::py(double twips) const
{
    return static_cast<int>(std::lround(twips * geometry().dpiY / 1440));
}

void Win32PrinterSurface::setFontName(std::u16string_view name)
{
    flushRun();
    m_fontName = UString(name);
    m_fontSelected = false;
}

void Win32PrinterSurface::setFontSize(float points)
{
    if (!(points > 0 && points <= 2160))
        invalidValue();
    flushRun();
    m_points = points;
    m_fontSelected = false;
}

void Win32PrinterSurface::setFontBold(bool on)
{
    flushRun();
    m_bold = on;
    m_fontSelected = false;
}

void Win32PrinterSurface::setFontItalic(bool on)
{
    flushRun();
    m_italic = on;
    m_fontSelected = false;
}

void Win32PrinterSurface::setFontUnderline(bool on)
{
    flushRun();
    m_underline = on;
    m_fontSelected = false;
}

void Win32PrinterSurface::selectFont()
{
    HDC dc = device();
    if (m_fontSelected)
        return;
    const bool pdf = isPdfPrinter();
    LOGFONTW font{};
    // "Corvane PDF" reads its faces at a fixed em and scales their own measures; a printer's font
    // is made at the size it prints.
    font.lfHeight = pdf ? -kReferenceEm : -static_cast<LONG>(std::lround(m_points * geometry().dpiY / 72));
    font.lfWeight = m_bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = m_italic;
    font.lfUnderline = !pdf && m_underline;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = pdf ? OUT_TT_ONLY_PRECIS : OUT_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    const std::wstring face = wide(m_fontName).substr(0, LF_FACESIZE - 1);
    std::wmemcpy(font.lfFaceName, face.c_str(), face.size() + 1);
    HFONT made = CreateFontIndirectW(&font);
    if (!made)
        printerFailure(u"the font cannot be made", GetLastError());
    releaseFaces();
    SelectObject(dc, made);
    if (m_font)
        DeleteObject(m_font);
    m_font = made;
    m_fontSelected = true;
    wchar_t family[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, family);
    ShapeFace own;
    own.family = wide(m_fontName);
    own.font = made;
    own.map = characterMap(family);
    if (pdf) {
        m_face = &pdfFace(m_fontName);
        own.pdf = m_face;
        const double size = m_points * 20.0;
        m_ascent = m_face->ascent * size;
        m_lineHeight = m_face->lineHeight * size;
    } else {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        m_ascent = metrics.tmAscent * 1440 / geometry().dpiY;
        m_lineHeight = (metrics.tmHeight + metrics.tmExternalLeading) * 1440 / geometry().dpiY;
    }
    m_shapeFaces.push_back(std::move(own));
}

void Win32PrinterSurface::releaseFaces()
{
    for (size_t i = 0; i < m_shapeFaces.size(); ++i) {
        ScriptFreeCache(&m_shapeFaces[i].cache);
        // The font's own face is m_font, which the caller keeps or deletes.
        if (i > 0)
            DeleteObject(m_shapeFaces[i].font);
    }
    if (m_dc && m_font && m_shapeFaces.size() > 1)
        SelectObject(m_dc, m_font);
    m_shapeFaces.clear();
    m_widths.clear();
    m_longText.clear();
}

std::shared_ptr<const CharacterMap> Win32PrinterSurface::characterMap(const std::wstring &family)
{
    const auto key = std::make_tuple(family, m_bold, m_italic);
    if (const auto known = m_maps.find(key); known != m_maps.end())
        return known->second;
    return m_maps[key] = CharacterMap::read(m_dc);
}

SCRIPT_CACHE *Win32PrinterSurface::select(size_t index)
{
    SelectObject(m_dc, m_shapeFaces[index].font);
    return &m_shapeFaces[index].cache;
}

size_t Win32PrinterSurface::face(const std::wstring &family)
{
    for (size_t i = 1; i < m_shapeFaces.size(); ++i)
        if (m_shapeFaces[i].family == family)
            return m_shapeFaces[i].font ? i : none;
    // The fallback face at the size and in the style of the font; none when it is not what GDI
    // gives for its name, or (for "Corvane PDF") has no outlines to embed. Remembered either way.
    LOGFONTW font{};
    GetObjectW(m_font, sizeof font, &font);
    const std::wstring name = family.substr(0, LF_FACESIZE - 1);
    std::wmemset(font.lfFaceName, 0, LF_FACESIZE);
    std::wmemcpy(font.lfFaceName, name.c_str(), name.size());
    ShapeFace fallback;
    fallback.family = family;
    fallback.font = CreateFontIndirectW(&font);
    if (fallback.font) {
        SelectObject(m_dc, fallback.font);
        fallback.map = characterMap(family);
        if (isPdfPrinter()) {
            try {
                fallback.pdf = &pdfFace(us(family));
            } catch (const RuntimeError &) {
                fallback.pdf = nullptr;
            }
        }
        SelectObject(m_dc, m_font);
        if (!fallback.map || (isPdfPrinter() && !fallback.pdf)) {
            DeleteObject(fallback.font);
            fallback.font = nullptr;
        }
    }
    m_shapeFaces.push_back(std::move(fallback));
    return m_shapeFaces.back().font ? m_shapeFaces.size() - 1 : none;
}

Win32PrinterSurface::PdfFace &Win32PrinterSurface::pdfFace(const UString &family)
{
    const auto key = std::make_tuple(family, m_bold, m_italic);
    if (const auto known = m_faces.find(key); known != m_faces.end())
        return known->second;
    HDC dc = m_dc;
    // The tables of the face GDI chose, each as GetFontData gives it for that face (also out of
    // a collection, whose whole file a request for no table would give).
    const auto table = [dc](const char *tag) {
        const DWORD name = static_cast<DWORD>(static_cast<uint8_t>(tag[0]) | static_cast<uint8_t>(tag[1]) << 8
                                              | static_cast<uint8_t>(tag[2]) << 16
                                              | static_cast<uint32_t>(static_cast<uint8_t>(tag[3])) << 24);
        const DWORD size = GetFontData(dc, name, 0, nullptr, 0);
        if (size == GDI_ERROR || size == 0)
            return std::string();
        std::string bytes(size, '\0');
        if (GetFontData(dc, name, 0, bytes.data(), size) != size)
            return std::string();
        return bytes;
    };
    // The face's own name, which says which face GDI took for the name asked for.
    std::string postscript = postscriptName(table("name"));
    if (postscript.empty()) {
        wchar_t given[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, given);
        for (const wchar_t *c = given; *c; ++c)
            if (*c > L' ' && *c < 0x7F)
                postscript += static_cast<char>(*c);
    }
    PdfFace face;
    face.font = pdf::TrueTypeFont::load(table, postscript);
    if (!face.font)
        throw RuntimeError(err::PrinterError, u"Printer error: Corvane PDF: the font " + family
                                                  + u" has no TrueType or OpenType outlines to embed");
    // The design's own weight and slant: a bold or italic the family has no face for is made up.
    const std::string head = table("head"), os2 = table("OS/2");
    const uint16_t macStyle = bigEndian16(head, 44), weightClass = bigEndian16(os2, 4), selection = bigEndian16(os2, 62);
    face.embolden = m_bold && !((macStyle & 1) || weightClass >= 600 || (selection & 0x20));
    face.slant = m_italic && !((macStyle & 2) || (selection & 0x201));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    face.ascent = double(metrics.tmAscent) / kReferenceEm;
    face.lineHeight = double(metrics.tmHeight + metrics.tmExternalLeading) / kReferenceEm;
    return m_faces.emplace(key, std::move(face)).first->second;
}

double Win32PrinterSurface::measure(std::u16string_view text)
{
    selectFont();
    if (text.empty())
        return 0;
    // Short texts (words, spaces) are remembered; a long one until the next, as the layout
    // measures a word before printing it.
    const bool remembered = text.size() <= 64;
    if (remembered) {
        if (const auto known = m_widths.find(std::u16string(text)); known != m_widths.end())
            return known->second;
    } else if (text == m_longText) {
        return m_longWidth;
    }
    const int64_t units = shapeText(m_dc, text, *this, [](const ShapedPart &) {});
    SelectObject(m_dc, m_font);
    const double width = isPdfPrinter() ? static_cast<double>(units) * m_points * 20.0 / kReferenceEm
                                        : static_cast<double>(units) * 1440 / geometry().dpiX;
    if (remembered) {
        if (m_widths.size() >= 4096)
            m_widths.clear();
        m_widths.emplace(text, width);
    } else {
        m_longText.assign(text);
        m_longWidth = width;
    }
    return width;
}

float Win32PrinterSurface::TextWidth(std::u16string_view text) { return static_cast<float>(measure(text)); }

float Win32PrinterSurface::TextHeight(std::u16string_view text)
{
    selectFont();
    const auto lines = 1 + std::count(text.begin(), text.end(), u'\n');
    return static_cast<float>(m_lineHeight * static_cast<double>(lines));
}

void Win32PrinterSurface::openJob()
{
    if (m_open)
        return;
    const UString title = m_documentName.empty() ? UString(u"Corvane document") : m_documentName;
    m_jobPrinter = m_printer;
    m_jobCopies = m_copies;
    m_pdfJob = isPdfPrinter();
    const Geometry g = geometry();
    if (m_pdfJob) {
        m_jobFolder = readyPdfOutputFolder();
        openPartFile(m_jobFolder, m_part);
        HANDLE file = m_part.handle;
        m_writer = std::make_unique<pdf::PdfTextWriter>(
            [file](const char *data, size_t size) {
                DWORD written = 0;
                return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
            },
            g.sheetWidth / 20.0, g.sheetHeight / 20.0, 0.0, 0.0);
    } else {
        HDC dc = device();
        const std::wstring name = wide(title);
        DOCINFOW info{};
        info.cbSize = sizeof info;
        info.lpszDocName = name.c_str();
        if (StartDocW(dc, &info) <= 0)
            printerFailure(u"the spooler did not open the job", GetLastError());
        if (StartPage(dc) <= 0) {
            const DWORD code = GetLastError();
            AbortDoc(dc);
            printerFailure(u"the spooler did not open the job's first page", code);
        }
    }
    m_open = true;
    m_page = 1;
}

void Win32PrinterSurface::Print(std::u16string_view text, bool endLine)
{
    openJob();
    if (!text.empty()) {
        const double width = measure(text);
        // Text that follows on from what this line printed in this font joins it.
        if (m_run.open && m_run.y == m_y && m_run.end == m_x) {
            m_run.text += text;
        } else {
            flushRun();
            m_run.open = true;
            m_run.text.assign(text);
            m_run.x = m_x;
            m_run.y = m_y;
        }
        m_run.end = static_cast<float>(m_x + width);
        if (!endLine)
            m_x = static_cast<float>(m_run.end);
    }
    if (endLine) {
        selectFont();
        m_x = 0;
        m_y += static_cast<float>(m_lineHeight);
    }
}

void Win32PrinterSurface::flushRun()
{
    if (!m_run.open)
        return;
    m_run.open = false;
    draw(m_run.text, m_run.x, m_run.y);
    m_run.text.clear();
}

void Win32PrinterSurface::draw(std::u16string_view text, double x, double y)
{
    selectFont();
    if (m_pdfJob) {
        drawPdf(text, x, y);
        return;
    }
    // Each part in its face, on the line's baseline, its glyphs where Uniscribe placed them.
    int pen = px(x);
    const int baseline = py(y + m_ascent);
    std::vector<INT> advances;
    bool drawn = true;
    shapeText(m_dc, text, *this, [&](const ShapedPart &part) {
        const auto count = static_cast<UINT>(part.glyphs.size());
        const bool offset = std::any_of(part.offsets.begin(), part.offsets.end(),
                                        [](const GOFFSET &o) { return o.du != 0 || o.dv != 0; });
        if (!offset) {
            advances.assign(part.advances.begin(), part.advances.end());
            drawn = drawn
                 && (count == 0
                     || ExtTextOutW(m_dc, pen, baseline, ETO_GLYPH_INDEX, nullptr,
                                    reinterpret_cast<LPCWSTR>(part.glyphs.data()), count, advances.data()));
        } else {
            // Marks set off their letters: each glyph at its own place.
            int at = pen;
            for (UINT k = 0; k < count; ++k) {
                drawn = drawn
                     && ExtTextOutW(m_dc, at + part.offsets[k].du, baseline - part.offsets[k].dv, ETO_GLYPH_INDEX,
                                    nullptr, reinterpret_cast<LPCWSTR>(&part.glyphs[k]), 1, nullptr);
                at += part.advances[k];
            }
        }
        pen += part.width;
    });
    SelectObject(m_dc, m_font);
    if (!drawn)
        printerFailure(u"the text cannot be drawn", GetLastError());
}

void Win32PrinterSurface::drawPdf(std::u16string_view text, double x, double y)
{
    // Blanks alone show nothing (the blank that opens a page).
    if (!std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0x20; }))
        return;
    const double size = m_points * 20.0, scale = size / kReferenceEm, baseline = y + m_ascent;
    double pen = x;
    std::vector<uint16_t> glyphs;
    std::vector<double> positions;
    std::vector<std::u16string> characters;
    shapeText(m_dc, text, *this, [&](const ShapedPart &part) {
        ShapeFace &face = m_shapeFaces[part.face];
        const PdfFace &written = *face.pdf;
        const int font = m_writer->font(written.font);
        auto &claimed = m_claimed[written.font.get()];
        m_writer->setTextStyle(written.embolden, written.slant);
        // Where each glyph stands.
        std::vector<double> at(2 * part.glyphs.size());
        double advance = 0;
        for (size_t k = 0; k < part.glyphs.size(); ++k) {
            at[2 * k] = pen + (advance + part.offsets[k].du) * scale;
            at[2 * k + 1] = baseline - part.offsets[k].dv * scale;
            advance += part.advances[k];
        }
        const auto write = [&]() {
            if (!glyphs.empty())
                m_writer->placedText(font, size, glyphs.data(), positions.data(), glyphs.size(), characters.data());
            glyphs.clear();
            positions.clear();
            characters.clear();
        };
        // Cluster by cluster, left to right: each glyph says the characters of its cluster that
        // the face's map gives it, and the first glyph without any says the rest (a ligature's
        // letters, a joined letter's). A right-to-left cluster's glyphs go in the order of its
        // characters, the letter before its marks, as readers of the page expect.
        std::vector<size_t> order;
        std::vector<std::u16string> says;
        std::u16string rest;
        for (size_t first = 0; first < part.glyphs.size();) {
            size_t last = first + 1;
            while (last < part.glyphs.size() && part.from[last] == part.from[first])
                ++last;
            const std::u16string_view cluster = text.substr(part.from[first], part.to[first] - part.from[first]);
            order.clear();
            for (size_t k = first; k < last; ++k)
                order.push_back(k);
            if (part.rightToLeft)
                std::reverse(order.begin(), order.end());
            says.assign(order.size(), std::u16string());
            rest.clear();
            for (size_t i = 0; i < cluster.size();) {
                size_t units = 1;
                char32_t c = cluster[i];
                if (c >= 0xD800 && c <= 0xDBFF && i + 1 < cluster.size() && cluster[i + 1] >= 0xDC00
                    && cluster[i + 1] <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (cluster[i + 1] - 0xDC00u);
                    units = 2;
                }
                const uint16_t own = face.map ? face.map->glyph(c) : 0;
                size_t match = 0;
                while (match < order.size() && !(own != 0 && part.glyphs[order[match]] == own && says[match].empty()))
                    ++match;
                if (match < order.size())
                    says[match] = cluster.substr(i, units);
                else
                    rest += cluster.substr(i, units);
                i += units;
            }
            if (!rest.empty()) {
                size_t free = 0;
                while (free < order.size() && !says[free].empty())
                    ++free;
                says[free < order.size() ? free : 0] += rest;
            }
            // Readers take a right-to-left line's glyphs as drawn, left to right, and reverse what
            // they say: a glyph of several characters says them in that order too.
            std::u16string actual(cluster);
            if (part.rightToLeft) {
                for (std::u16string &said : says)
                    inVisualOrder(said);
                inVisualOrder(actual);
            }
            // A glyph that already says other characters in this job: the cluster is marked
            // with its own.
            bool marked = false;
            for (size_t i = 0; i < order.size(); ++i) {
                const auto known = claimed.find(part.glyphs[order[i]]);
                marked |= known != claimed.end() && known->second != says[i];
            }
            for (size_t i = 0; i < order.size(); ++i)
                claimed.try_emplace(part.glyphs[order[i]], says[i]);
            if (marked) {
                write();
                m_writer->beginActualText(actual);
            }
            for (size_t i = 0; i < order.size(); ++i) {
                glyphs.push_back(part.glyphs[order[i]]);
                positions.push_back(at[2 * order[i]]);
                positions.push_back(at[2 * order[i] + 1]);
                characters.push_back(says[i]);
            }
            if (marked) {
                write();
                m_writer->endActualText();
            }
            first = last;
        }
        write();
        pen += part.width * scale;
    });
    SelectObject(m_dc, m_font);
    if (m_underline) {
        const pdf::TrueTypeFont &font = *m_face->font;
        const double under = baseline - font.underlinePosition() * size / font.unitsPerEm();
        m_writer->line(x, under, pen, under, std::max(1.0, font.underlineThickness() * size / font.unitsPerEm()));
    }
}

void Win32PrinterSurface::setDrawWidth(int16_t width)
{
    if (width < 1)
        invalidValue();
    m_drawWidth = width;
}

void Win32PrinterSurface::LineBox(float x1, float y1, float x2, float y2)
{
    openJob();
    flushRun();
    if (m_pdfJob) {
        m_writer->rectangle(x1, y1, x2, y2, m_drawWidth * 1440 / kPdfDpi);
    } else {
        HPEN pen = CreatePen(PS_SOLID, m_drawWidth, RGB(0, 0, 0));
        HGDIOBJ oldPen = SelectObject(m_dc, pen);
        HGDIOBJ oldBrush = SelectObject(m_dc, GetStockObject(NULL_BRUSH));
        Rectangle(m_dc, std::min(px(x1), px(x2)), std::min(py(y1), py(y2)), std::max(px(x1), px(x2)) + 1,
                  std::max(py(y1), py(y2)) + 1);
        SelectObject(m_dc, oldBrush);
        SelectObject(m_dc, oldPen);
        DeleteObject(pen);
    }
    m_x = x2;
    m_y = y2;
}

void Win32PrinterSurface::LineTo(float x2, float y2)
{
    openJob();
    flushRun();
    if (m_pdfJob) {
        m_writer->line(m_x, m_y, x2, y2, m_drawWidth * 1440 / kPdfDpi);
    } else {
        HPEN pen = CreatePen(PS_SOLID, m_drawWidth, RGB(0, 0, 0));
        HGDIOBJ oldPen = SelectObject(m_dc, pen);
        MoveToEx(m_dc, px(m_x), py(m_y), nullptr);
        ::LineTo(m_dc, px(x2), py(y2));
        SelectObject(m_dc, oldPen);
        DeleteObject(pen);
    }
    m_x = x2;
    m_y = y2;
}

void Win32PrinterSurface::NewPage()
{
    openJob();
    flushRun();
    if (m_pdfJob) {
        m_writer->newPage();
    } else {
        if (EndPage(m_dc) <= 0 || StartPage(m_dc) <= 0)
            printerFailure(u"the spooler did not take the page", GetLastError());
        // A new page may start with the device's defaults: the font is selected again.
        SetBkMode(m_dc, TRANSPARENT);
        SetTextAlign(m_dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
        if (m_font && m_fontSelected)
            SelectObject(m_dc, m_font);
    }
    ++m_page;
    m_x = m_y = 0;
}

void Win32PrinterSurface::closeJob()
{
    m_open = false;
    m_run = Run();
    m_claimed.clear();
    m_writer.reset();
    m_part.discard();
    m_page = 1;
    m_x = m_y = 0;
    settingsChanged(); // the next job takes the settings chosen meanwhile
}

void Win32PrinterSurface::KillDoc()
{
    if (m_open && !m_pdfJob && m_dc)
        AbortDoc(m_dc);
    closeJob();
}

void Win32PrinterSurface::EndDoc()
{
    if (!m_open)
        return;
    // The job ends here whatever happens: a refused one leaves nothing behind.
    struct Close {
        Win32PrinterSurface *surface;
        ~Close() { surface->KillDoc(); }
    } close{this};
    flushRun();
    if (m_pdfJob) {
        const UString title = m_documentName.empty() ? UString(u"Corvane document") : m_documentName;
        bool written = m_writer->finish(m_jobCopies, title, "Corvane");
        m_writer.reset();
        written = m_part.close() && written;
        if (!written) {
            const DWORD code = GetLastError();
            const int32_t number = code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL ? err::DiskFull
                                                                                             : err::DeviceIOError;
            throw RuntimeError(number, fileFailure(number, m_jobFolder + L" could not be written", code));
        }
        deliverPartFile(m_jobFolder, m_part);
    } else {
        if (EndPage(m_dc) <= 0 || ::EndDoc(m_dc) <= 0) {
            const DWORD code = GetLastError();
            AbortDoc(m_dc);
            m_open = false;
            // The spooler gives no reason of its own for a queue that refuses jobs or is gone
            // (an invalid handle, or none): the caller is told what that means.
            const bool told = code != ERROR_SUCCESS && code != ERROR_INVALID_HANDLE;
            throw RuntimeError(
                err::PrinterError,
                u"Printer error: " + m_jobPrinter + u": the spooler did not take the job: "
                    + (told ? us(systemMessage(code)) : UString(u"the printer refused it or is no longer there"))
                    + u"; nothing of it prints");
        }
    }
    m_open = false;
}

intptr_t Win32PrinterSurface::hDC() const { return m_open ? reinterpret_cast<intptr_t>(m_dc ? m_dc : HDC(1)) : 0; }

int32_t Win32PrinterSurface::physicalOffsetX() const
{
    if (!m_open)
        throw RuntimeError(err::PrinterError);
    return m_pdfJob ? 0 : GetDeviceCaps(m_dc, PHYSICALOFFSETX);
}

int32_t Win32PrinterSurface::physicalOffsetY() const
{
    if (!m_open)
        throw RuntimeError(err::PrinterError);
    return m_pdfJob ? 0 : GetDeviceCaps(m_dc, PHYSICALOFFSETY);
}

} // namespace corvane::win32
