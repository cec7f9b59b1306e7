// The printer surface on Windows. The printers are the spooler's (EnumPrintersW: the local ones
// and the connections, in its order) and then the built-in printer "Corvane PDF". A job on a
// spooler printer is drawn through GDI on the printer's device context, opened with a DEVMODE
// that carries the job's paper, orientation, bin, quality and collated copies; fonts and their
// measures are GDI's. A job on "Corvane PDF" is written by the component's PDF writer in the
// fonts GDI finds (their files read with GetFontData), measured by the fonts' own advances, into
// a new file of the printer's folder. An abandoned or refused job leaves nothing behind.
// Text is shaped (Win32TextShaping.h), each character in a face that has it, measured as it is
// drawn; what one line prints in one font is drawn at once, so that right-to-left words in it
// stand in their order.
#pragma once

#include "ports/PrinterSurface.h"

#include "Win32PdfFolder.h"
#include "Win32Strings.h"
#include "Win32TextShaping.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include <windows.h>

namespace corvane::pdf {
class TrueTypeFont;
class PdfTextWriter;
} // namespace corvane::pdf

namespace corvane::win32 {

class Win32PrinterSurface final : public PrinterSurface, private ShapingFaces {
public:
    Win32PrinterSurface();
    ~Win32PrinterSurface() override;

    // The printers and the device settings of the next job.
    int PrinterCount() override;
    UString DeviceName(int index) override;
    void selectPrinter(int index) override;
    UString currentDeviceName() const override { return m_printer; }
    void setOrientation(int16_t value) override;
    void setPaperSize(int16_t value) override;
    void setPaperBin(int16_t value) override;
    void setPrintQuality(int16_t value) override;
    void setCopies(int16_t value) override;

    float CurrentX() const override { return m_x; }
    float CurrentY() const override { return m_y; }
    void setCurrentX(float x) override { m_x = x; }
    void setCurrentY(float y) override { m_y = y; }
    void Print(std::u16string_view text, bool endLine) override;
    float TextWidth(std::u16string_view text) override;
    float TextHeight(std::u16string_view text) override;
    float ScaleWidth() const override;
    float ScaleHeight() const override;
    float Width() const override;
    float Height() const override;
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
    void setDocumentName(std::u16string_view name) override { m_documentName = UString(name); }
    intptr_t hDC() const override;
    int32_t physicalOffsetX() const override;
    int32_t physicalOffsetY() const override;

private:
    // A face of "Corvane PDF": the font's tables, and whether the writer must make up its bold or
    // italic (the family has no such face).
    struct PdfFace {
        std::shared_ptr<const pdf::TrueTypeFont> font;
        bool embolden = false, slant = false;
        double ascent = 0, lineHeight = 0; // per em
    };
    // The sheet and printable area in twips, and the device's resolution.
    struct Geometry {
        double sheetWidth = 0, sheetHeight = 0, left = 0, top = 0, width = 0, height = 0;
        double dpiX = 1440, dpiY = 1440;
    };

    bool isPdfPrinter() const { return m_printer == kPdfPrinterName; }
    // Whether a setting change may still reach the device (no job open, which keeps its own).
    void settingsChanged();
    // The device context of the current printer and settings (the printer's, or a memory one for
    // "Corvane PDF"), made when first needed, with the current font selected.
    HDC device();
    void selectFont();
    const Geometry &geometry() const;
    std::vector<BYTE> devMode(const std::wstring &printer) const;
    // The face of "Corvane PDF" for the font selected into the device, which GDI gave for
    // `family`, in the current bold and italic.
    PdfFace &pdfFace(const UString &family);
    // The map of the font selected into the device, read once per family, bold and italic.
    std::shared_ptr<const CharacterMap> characterMap(const std::wstring &family);

    // The faces text of the current font is shaped with (ShapingFaces): the font's own, then
    // those it falls back to, at its size and in its style.
    struct ShapeFace {
        std::wstring family;
        HFONT font = nullptr;
        SCRIPT_CACHE cache = nullptr;
        std::shared_ptr<const CharacterMap> map;
        PdfFace *pdf = nullptr;
    };
    SCRIPT_CACHE *select(size_t index) override;
    const CharacterMap *map(size_t index) override { return m_shapeFaces[index].map.get(); }
    size_t face(const std::wstring &family) override;
    void releaseFaces();
    // The width of a text as it is drawn, in twips.
    double measure(std::u16string_view text);
    // Draws a text at (x, y), the top of its line: shaped, each part in its face.
    void draw(std::u16string_view text, double x, double y);
    void drawPdf(std::u16string_view text, double x, double y);
    // Draws the text held back for its line, if any.
    void flushRun();
    void openJob();
    void closeJob();
    [[noreturn]] void printerFailure(const char16_t *what, DWORD code);
    int px(double twips) const;
    int py(double twips) const;

    std::vector<UString> m_printers;
    UString m_printer;
    int16_t m_orientation = 1, m_paperSize = 0, m_paperBin = 7, m_quality = 3, m_copies = 1;
    UString m_documentName;

    float m_x = 0, m_y = 0;
    int16_t m_drawWidth = 1;
    int16_t m_page = 1;
    UString m_fontName = u"Arial";
    float m_points = 10;
    bool m_bold = false, m_italic = false, m_underline = false;

    HDC m_dc = nullptr;
    HFONT m_font = nullptr;
    bool m_fontSelected = false;
    double m_ascent = 0, m_lineHeight = 0; // of the current font, twips
    mutable Geometry m_geometry;
    mutable bool m_geometryValid = false;
    std::map<std::tuple<UString, bool, bool>, PdfFace> m_faces;
    PdfFace *m_face = nullptr;
    std::map<std::tuple<std::wstring, bool, bool>, std::shared_ptr<const CharacterMap>> m_maps;
    std::vector<ShapeFace> m_shapeFaces;
    std::unordered_map<std::u16string, double> m_widths; // of short texts in the current font
    std::u16string m_longText;                           // the last long text measured
    double m_longWidth = 0;

    // The text printed on a line in one font and not drawn yet: where it starts and ends.
    struct Run {
        bool open = false;
        std::u16string text;
        double x = 0, y = 0, end = 0;
    } m_run;
    // For "Corvane PDF": the characters each glyph of a face stands for in the open job.
    std::map<const pdf::TrueTypeFont *, std::unordered_map<uint16_t, std::u16string>> m_claimed;

    // The open job.
    bool m_open = false;
    bool m_pdfJob = false;
    UString m_jobPrinter;
    int16_t m_jobCopies = 1;
    std::wstring m_jobFolder;
    PartFile m_part;
    std::unique_ptr<pdf::PdfTextWriter> m_writer;
};

} // namespace corvane::win32
