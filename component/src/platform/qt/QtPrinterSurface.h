// The printer surface on Qt and CUPS: the canvas of a job. A job is painted into a PDF at
// 1200 dpi as the layout code draws; EndDoc hands the PDF to its printer (QtPrinterCatalogue,
// which also keeps the printer list and the device settings this surface forwards to it). An
// abandoned or failed job leaves nothing behind, and the built-in printer writes its copies
// itself. A job planned as text whose characters need no shaping and whose fonts have TrueType
// outlines is written straight as PDF: plain text measured with the fonts' own advance widths,
// rich text through a DirectPdfDevice at the places its layout gave it, which is several times
// faster than Qt's PDF engine.
#pragma once

#include "QtDrawingContext.h"
#include "ports/PrinterSurface.h"
#include "QtDirectFaces.h"
#include "QtDirectPainter.h"
#include "QtPrinterCatalogue.h"

#include <QFont>
#include <QPainter>
#include <QFontMetricsF>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <unordered_map>

namespace corvane::qt {

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
    void turnPage(bool turned) override;
    void EndDoc() override;
    void KillDoc() override;
    void setDocumentName(std::u16string_view name) override;
    int16_t Page() const override { return m_page; }
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

    // The printers and device settings, forwarded to m_catalogue; a setting that changes the
    // sheet changes the geometry of the next job.
    int PrinterCount() override;
    UString DeviceName(int index) override;
    void selectPrinter(int index) override;
    bool selectUnlisted(const UString &name) override;
    UString currentDeviceName() const override;
    void setOrientation(int16_t value) override;
    void setPaperSize(int16_t value) override;
    void setPaperBin(int16_t value) override;
    void setPrintQuality(int16_t value) override;
    void setCopies(int16_t value) override;

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

    void endDirect();

    void openJob();
    void add(Op op);
    void flushRun();
    void fontChanged();
    double measure(const QString &text);
    double measureDirect(std::u16string_view text);
    // The device that writes painted text into a direct job, begun the first time it is needed.
    void openDevice();

    void finishPdf();
    void invalidateGeometry() { m_geometryValid = false; }

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

    QtPrinterCatalogue m_catalogue;

    mutable Geometry m_geometry;
    mutable bool m_geometryValid = false;

    std::unique_ptr<Job> m_job;

    // Jobs of simple text are written straight as PDF: the faces resolved so far (by family,
    // bold and italic), and the current one while such a job is planned or open.
    DirectFaces m_faces;
    bool m_direct = false;
    DirectFace *m_face = nullptr;
};

} // namespace corvane::qt
