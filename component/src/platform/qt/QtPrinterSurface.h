// The printer surface on Qt and CUPS. A job is painted into a PDF at 1200 dpi as the layout
// code draws; EndDoc hands the PDF to CUPS or, for the built-in printer "Corvane PDF", links
// it into the PDF folder under a name no other file has. An abandoned or failed job leaves
// nothing behind, and the built-in printer writes its copies itself. A job planned as text whose
// characters need no shaping and whose fonts have TrueType outlines is written straight as PDF:
// plain text measured with the fonts' own advance widths, rich text through a DirectPdfDevice
// at the places its layout gave it, which is several times faster than Qt's PDF engine.
#pragma once

#include "QtDrawingContext.h"
#include "ports/PrinterSurface.h"
#include "QtDirectPainter.h"

#include <QFont>
#include <QPainter>
#include <QFontMetricsF>
#include <QHash>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace corvane::qt {

// The built-in PDF printer, always listed after the CUPS destinations.
inline const QString kPdfPrinterName = QStringLiteral("Corvane PDF");

// The folder the built-in printer writes into: CORVANE_PDF_DIR, else ~/Corvane PDF.
QString pdfOutputFolder();

class QtPrinterSurface final : public PrinterSurface, public DrawingContext {
public:
    QtPrinterSurface();
    ~QtPrinterSurface() override;

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
    void setOrientation(int16_t value) override;
    void setPaperSize(int16_t value) override;
    void setPaperBin(int16_t value) override;
    void setPrintQuality(int16_t value) override;
    void setCopies(int16_t value) override;
    void planText(const TextPlan &plan) override;
    intptr_t hDC() const override;
    int32_t physicalOffsetX() const override;
    int32_t physicalOffsetY() const override;

    // The painter of the open job, in twips from the top left of the printable area (nullptr
    // when no job is open). Text still being collected is drawn first. On a job written straight
    // as PDF it draws through a DirectPdfDevice.
    QPainter *painter() override;
    DrawingContext *drawingContext() override { return this; }
    // Whether the painter drew something the job's plan did not allow for (then the job is
    // not what was laid out and must not be delivered).
    bool drawingFailed() const override;
    int PrinterCount() override;
    UString DeviceName(int index) override;
    void selectPrinter(int index) override;
    bool selectUnlisted(const UString &name) override;
    UString currentDeviceName() const override;

    // The sheet and printable area of the current printer and paper, in twips.
    struct Geometry {
        double sheetWidth = 0, sheetHeight = 0;
        double left = 0, top = 0, right = 0, bottom = 0; // unprintable border
    };
    const Geometry &geometry() const;

    struct Op;

    // Whether the next job is written straight as PDF text (its plan allowed it).
    bool writesTextDirectly() const { return m_direct; }

private:
    struct Job;

    std::shared_ptr<DirectFace> face(const QFont &font);
    void endDirect();

    void openJob();
    void add(Op op);
    void flushRun();
    void fontChanged();
    double measure(const QString &text);
    double measureDirect(std::u16string_view text);
    void finishPdf();
    bool isPdfPrinter() const { return m_printer == kPdfPrinterName; }
    QPageSize pageSize() const;
    void invalidateGeometry() { m_geometryValid = false; }
    void deliverToFolder();
    void deliverToCups();

    float m_x = 0, m_y = 0;
    QFont m_font;
    std::optional<QFontMetricsF> m_metrics;
    QString m_fontKey;
    std::unordered_map<QString, QHash<QString, double>> m_widthCache;
    QHash<QString, double> *m_widths = nullptr;
    size_t m_widthEntries = 0;
    float m_fontSize = 10;
    double m_ascent = 0, m_lineHeight = 0; // of m_font, in twips
    int16_t m_drawWidth = 1;
    int16_t m_page = 1;

    QString m_printer;
    QStringList m_printers;
    bool m_listWhole = true; // the print server answered when m_printers was made
    bool m_unlisted = false; // the current printer was chosen without the server's list
    int16_t m_orientation = 1, m_paperSize = 0, m_paperBin = 7, m_quality = 3, m_copies = 1;
    QString m_inputSlot; // CUPS choice of the paper bin, empty for the printer's default

    mutable Geometry m_geometry;
    mutable bool m_geometryValid = false;

    std::unique_ptr<Job> m_job;

    // Jobs of simple text are written straight as PDF: the faces resolved so far (by family,
    // bold and italic), and the current one while such a job is planned or open.
    std::unordered_map<QString, std::shared_ptr<DirectFace>> m_faces;
    bool m_direct = false;
    DirectFace *m_face = nullptr;
};

} // namespace corvane::qt
