#include "QtPrinterSurface.h"

#include "QtStrings.h"

#include "pdf/PdfCopies.h"
#include "pdf/PdfTextWriter.h"

#include <corvane/Errors.h>

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <vector>

namespace corvane::qt {

namespace {

constexpr double kDeviceDpi = 1200.0;
constexpr double kTwipsPerPixel = 1440.0 / kDeviceDpi;

[[noreturn]] void invalidValue() { throw RuntimeError(err::InvalidPropertyValue); }

// A job written straight as PDF met a face its plan did not name (nothing in PrintDoc does that).
[[noreturn]] void unplannedFont()
{
    throw RuntimeError(err::PrinterError, u"Printer error: a font of this job cannot be written as planned");
}

// The PDF's title: the job's name at the spooler (its title, else its file's name).
QString documentTitle(const JobSettings &settings)
{
    return settings.title.isEmpty() ? QStringLiteral("Corvane document") : settings.title;
}

} // namespace

struct QtPrinterSurface::Op {
    enum Kind { Text, Box, Line } kind;
    QPointF a, b;
    QString text;
    QFont font;
    double pen = 0;
    DirectFace *face = nullptr; // text written straight as PDF: its font
};


// An open job: pages are painted into a PDF as they are drawn. Words that continue one another
// on a line in one font are drawn as one run of text.
struct QtPrinterSurface::Job {
    JobSettings settings;
    Geometry geometry;

    std::unique_ptr<QTemporaryFile> file;
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;

    // A job written straight as PDF text; its painter draws on `device` when asked for.
    std::unique_ptr<pdf::PdfTextWriter> direct;
    std::unique_ptr<DirectPdfDevice> device;

    bool turned = false; // the open page is drawn turned onto the sheet
    bool runOpen = false;
    Op run;
    QString runKey;
    double runY = 0, runEnd = 0;

    ~Job()
    {
        if (painter.isActive())
            painter.end();
    }
};

namespace {

void drawOp(QPainter &painter, const QtPrinterSurface::Op &op)
{
    using Op = QtPrinterSurface::Op;
    switch (op.kind) {
    case Op::Text:
        painter.setFont(op.font);
        painter.setPen(Qt::black);
        painter.drawText(op.a, op.text);
        break;
    case Op::Box:
        painter.setPen(QPen(Qt::black, op.pen));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(op.a, op.b).normalized());
        break;
    case Op::Line:
        painter.setPen(QPen(Qt::black, op.pen));
        painter.drawLine(op.a, op.b);
        break;
    }
}

} // namespace

QtPrinterSurface::QtPrinterSurface()
{
    m_font.setFamily(QStringLiteral("Arial"));
    setFontSize(10);
}

QtPrinterSurface::~QtPrinterSurface() = default;

const QtPrinterSurface::Geometry &QtPrinterSurface::geometry() const
{
    if (m_job)
        return m_job->geometry;
    if (m_geometryValid)
        return m_geometry;
    const QPageSize size = m_catalogue.pageSize();
    const QSizeF points = size.size(QPageSize::Point);
    Geometry g;
    g.sheetWidth = points.width() * 20;
    g.sheetHeight = points.height() * 20;
    // The driver's unprintable border for this paper, from the printer's PPD (none for the
    // built-in printer, or for a printer chosen while the server could not list its queues).
    const QMarginsF margins = m_catalogue.minimumMargins(size);
    g.left = margins.left() * 20;
    g.top = margins.top() * 20;
    g.right = margins.right() * 20;
    g.bottom = margins.bottom() * 20;
    if (m_catalogue.landscape()) {
        // Landscape turns the sheet a quarter to the left.
        g = Geometry{g.sheetHeight, g.sheetWidth, g.top, g.right, g.bottom, g.left};
    }
    m_geometry = g;
    m_geometryValid = true;
    return m_geometry;
}

float QtPrinterSurface::ScaleWidth() const
{
    const Geometry &g = geometry();
    return static_cast<float>(g.sheetWidth - g.left - g.right);
}

float QtPrinterSurface::ScaleHeight() const
{
    const Geometry &g = geometry();
    return static_cast<float>(g.sheetHeight - g.top - g.bottom);
}

float QtPrinterSurface::Width() const { return static_cast<float>(geometry().sheetWidth); }

float QtPrinterSurface::Height() const { return static_cast<float>(geometry().sheetHeight); }

void QtPrinterSurface::setScaleMode(int16_t mode)
{
    if (mode != 1)
        invalidValue();
}

float QtPrinterSurface::ScaleX(float value, int16_t fromMode, int16_t toMode) const
{
    const auto factor = [](int16_t mode) {
        if (mode == 1)
            return 1.0;
        if (mode == 3)
            return kTwipsPerPixel;
        invalidValue();
    };
    return static_cast<float>(value * factor(fromMode) / factor(toMode));
}

float QtPrinterSurface::ScaleY(float value, int16_t fromMode, int16_t toMode) const
{
    return ScaleX(value, fromMode, toMode);
}

void QtPrinterSurface::setFontName(std::u16string_view name)
{
    m_font.setFamily(qs(name));
    fontChanged();
}

void QtPrinterSurface::setFontSize(float points)
{
    // Sizes in twips: the painter is scaled from twips to device pixels.
    if (!(points > 0 && points <= 2160))
        invalidValue();
    m_fontSize = points;
    m_font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 20))));
    fontChanged();
}

void QtPrinterSurface::setFontBold(bool on)
{
    m_font.setBold(on);
    fontChanged();
}

void QtPrinterSurface::setFontItalic(bool on)
{
    m_font.setItalic(on);
    fontChanged();
}

void QtPrinterSurface::setFontUnderline(bool on)
{
    m_font.setUnderline(on);
    fontChanged();
}

void QtPrinterSurface::fontChanged()
{
    m_metrics.emplace(m_font);
    m_ascent = m_metrics->ascent();
    m_lineHeight = m_metrics->height();
    // Past some 18,000 pixels (900 points in twips) the font engine's vertical metrics overflow:
    // they are taken at a smaller size and scaled, as outlines scale.
    constexpr int reference = 2000;
    if (m_font.pixelSize() > reference) {
        QFont small(m_font);
        small.setPixelSize(reference);
        const QFontMetricsF metrics(small);
        const double scale = double(m_font.pixelSize()) / reference;
        m_ascent = metrics.ascent() * scale;
        m_lineHeight = metrics.height() * scale;
    }
    m_fontKey = m_font.key();
    // Widths of the words seen in each font; bounded, since documents repeat their words.
    if (m_widthEntries > 200000) {
        m_widthCache.clear();
        m_widthEntries = 0;
    }
    m_widths = &m_widthCache[m_fontKey];
    if (m_direct) {
        const std::shared_ptr<DirectFace> current = m_faces.face(m_font);
        m_face = current.get();
    }
}

void QtPrinterSurface::planText(const TextPlan &plan)
{
    if (m_job)
        return;
    endDirect();
    if (qEnvironmentVariable("CORVANE_QT_TEXT_ONLY") == QLatin1String("1"))
        return; // every job through Qt's text engine (for comparisons)
    if (!m_faces.cover(plan))
        return;
    m_direct = true;
    fontChanged();
}

void QtPrinterSurface::endDirect()
{
    m_direct = false;
    m_face = nullptr;
}

double QtPrinterSurface::measureDirect(std::u16string_view text)
{
    if (!m_face)
        unplannedFont();
    const pdf::TrueTypeFont &font = *m_face->font;
    uint64_t units = 0;
    for (const char16_t c : text) {
        if (c < 0x20)
            continue;
        const uint16_t glyph = m_face->glyph(c);
        if (glyph == 0 || !drawsWithoutShaping(c))
            return measure(qs(text)); // drawn as the text engine shapes it
        units += font.advance(glyph);
    }
    return static_cast<double>(units) * m_font.pixelSize() / font.unitsPerEm();
}

double QtPrinterSurface::measure(const QString &text)
{
    const auto cached = m_widths->constFind(text);
    if (cached != m_widths->constEnd())
        return *cached;
    const double width = m_metrics->horizontalAdvance(text);
    if (text.size() <= 64) {
        m_widths->insert(text, width);
        ++m_widthEntries;
    }
    return width;
}

float QtPrinterSurface::TextWidth(std::u16string_view text)
{
    if (m_direct)
        return static_cast<float>(measureDirect(text));
    return static_cast<float>(measure(qs(text)));
}

float QtPrinterSurface::TextHeight(std::u16string_view text)
{
    qsizetype lines = 1;
    for (const char16_t c : text)
        lines += c == u'\n';
    return static_cast<float>(m_lineHeight * static_cast<double>(lines));
}

void QtPrinterSurface::openJob()
{
    if (m_job)
        return;
    m_catalogue.requireServerSetting();
    auto job = std::make_unique<Job>();
    job->geometry = geometry();
    job->settings = m_catalogue.jobSettings();
    job->file = openJobFile(job->settings.printer);
    if (m_direct) {
        QFile *file = job->file.get();
        const Geometry &g = job->geometry;
        job->direct = std::make_unique<pdf::PdfTextWriter>(
            [file](const char *data, size_t size) {
                return file->write(data, static_cast<qint64>(size)) == qint64(size);
            },
            g.sheetWidth / 20.0, g.sheetHeight / 20.0, g.left, g.top);
        m_job = std::move(job);
        m_page = 1;
        return;
    }
    job->writer = std::make_unique<QPdfWriter>(job->file.get());
    job->writer->setCreator(QStringLiteral("Corvane"));
    job->writer->setTitle(documentTitle(job->settings));
    job->writer->setResolution(static_cast<int>(kDeviceDpi));
    job->writer->setPageLayout(
        QPageLayout(job->settings.size, job->settings.orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    if (!job->painter.begin(job->writer.get()))
        throw RuntimeError(err::PrinterError);
    job->painter.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
    job->painter.translate(job->geometry.left, job->geometry.top);
    m_job = std::move(job);
    m_page = 1;
}

void QtPrinterSurface::add(Op op)
{
    openJob();
    if (pdf::PdfTextWriter *direct = m_job->direct.get()) {
        switch (op.kind) {
        case Op::Text: {
            if (std::all_of(op.text.cbegin(), op.text.cend(), [](QChar c) { return c.unicode() <= 0x20; }))
                break; // nothing to see (the blank that opens a page)
            if (!op.face)
                unplannedFont();
            const pdf::TrueTypeFont &font = *op.face->font;
            std::vector<uint16_t> glyphs;
            std::u16string shown;
            bool complete = true;
            const uint64_t units = op.face->append(op.text, glyphs, shown, complete);
            if (!complete || isSymbolFont(op.font)) {
                // Text to shape, or with characters from another face, or in a symbol font
                // whose letters stand for other characters: the device writes what the text
                // engine lays out, and what it says.
                openDevice();
                drawOp(m_job->painter, op);
                break;
            }
            const double size = op.font.pixelSize();
            const double scale = size / font.unitsPerEm();
            op.face->styleFor(op.font, *direct);
            direct->text(direct->font(op.face->font), size, op.a.x(), op.a.y(), glyphs.data(), shown.data(),
                         glyphs.size());
            if (op.font.underline()) {
                const double y = op.a.y() - font.underlinePosition() * scale;
                direct->line(op.a.x(), y, op.a.x() + static_cast<double>(units) * scale, y,
                             font.underlineThickness() * scale);
            }
            break;
        }
        case Op::Box: direct->rectangle(op.a.x(), op.a.y(), op.b.x(), op.b.y(), op.pen); break;
        case Op::Line: direct->line(op.a.x(), op.a.y(), op.b.x(), op.b.y(), op.pen); break;
        }
        return;
    }
    drawOp(m_job->painter, op);
}

void QtPrinterSurface::flushRun()
{
    if (m_job && m_job->runOpen) {
        m_job->runOpen = false;
        add(std::move(m_job->run));
    }
}

void QtPrinterSurface::Print(std::u16string_view text, bool endLine)
{
    openJob();
    if (!text.empty()) {
        const QString string = qs(text);
        const double width = m_direct ? measureDirect(text) : measure(string);
        Job &job = *m_job;
        if (job.runOpen && job.runKey == m_fontKey && job.runY == m_y && job.runEnd == m_x) {
            job.run.text += string;
        } else {
            flushRun();
            job.run = Op{Op::Text, QPointF(m_x, m_y + m_ascent), {}, string, m_font, 0, m_face};
            job.runKey = m_fontKey;
            job.runY = m_y;
            job.runOpen = true;
        }
        job.runEnd = static_cast<float>(m_x + width);
        if (!endLine)
            m_x = static_cast<float>(job.runEnd);
    }
    if (endLine) {
        m_x = 0;
        m_y += static_cast<float>(m_lineHeight);
    }
}

void QtPrinterSurface::setDrawWidth(int16_t width)
{
    if (width < 1)
        invalidValue();
    m_drawWidth = width;
}

void QtPrinterSurface::LineBox(float x1, float y1, float x2, float y2)
{
    flushRun();
    add(Op{Op::Box, QPointF(x1, y1), QPointF(x2, y2), {}, {}, m_drawWidth * kTwipsPerPixel});
    m_x = x2;
    m_y = y2;
}

void QtPrinterSurface::LineTo(float x2, float y2)
{
    flushRun();
    add(Op{Op::Line, QPointF(m_x, m_y), QPointF(x2, y2), {}, {}, m_drawWidth * kTwipsPerPixel});
    m_x = x2;
    m_y = y2;
}

void QtPrinterSurface::NewPage()
{
    openJob();
    flushRun();
    if (m_job->direct) {
        if (m_job->device)
            m_job->device->flush();
        m_job->direct->newPage();
    } else {
        m_job->writer->newPage();
        turnPage(false); // each page starts as the sheet is
    }
    ++m_page;
    m_x = m_y = 0;
}

void QtPrinterSurface::turnPage(bool turned)
{
    openJob();
    flushRun();
    Job &job = *m_job;
    if (job.direct) {
        // Written straight: the page gets a landscape box of its own.
        job.direct->turnPage(turned);
        return;
    }
    // Drawn by Qt's engine, whose page size holds for the whole job: the page stays as the sheet
    // is, and what is drawn on it is turned a quarter onto it, its top along the sheet's left
    // edge, as a printer prints a landscape page.
    if (turned == job.turned)
        return;
    job.turned = turned;
    QPainter &painter = job.painter;
    painter.resetTransform();
    painter.scale(1.0 / kTwipsPerPixel, 1.0 / kTwipsPerPixel);
    if (turned) {
        painter.translate(0, job.geometry.sheetHeight);
        painter.rotate(-90);
    }
    painter.translate(job.geometry.left, job.geometry.top);
}

intptr_t QtPrinterSurface::hDC() const { return reinterpret_cast<intptr_t>(m_job.get()); }

int32_t QtPrinterSurface::physicalOffsetX() const
{
    if (!m_job)
        throw RuntimeError(err::PrinterError);
    return static_cast<int32_t>(std::lround(m_job->geometry.left / kTwipsPerPixel));
}

int32_t QtPrinterSurface::physicalOffsetY() const
{
    if (!m_job)
        throw RuntimeError(err::PrinterError);
    return static_cast<int32_t>(std::lround(m_job->geometry.top / kTwipsPerPixel));
}

QPainter *QtPrinterSurface::painter()
{
    if (!m_job)
        return nullptr;
    flushRun();
    openDevice();
    return &m_job->painter;
}

void QtPrinterSurface::openDevice()
{
    Job &job = *m_job;
    if (job.direct && !job.device) {
        job.device = std::make_unique<DirectPdfDevice>(*job.direct, m_faces,
                                                       job.geometry.sheetWidth - job.geometry.left - job.geometry.right,
                                                       job.geometry.sheetHeight - job.geometry.top - job.geometry.bottom);
        if (!job.painter.begin(job.device.get()))
            throw RuntimeError(err::PrinterError);
    }
}

bool QtPrinterSurface::drawingFailed() const { return m_job && m_job->device && m_job->device->failed(); }

void QtPrinterSurface::KillDoc()
{
    m_job.reset(); // the unfinished PDF goes with it
    endDirect();
    m_page = 1;
    m_x = m_y = 0;
}

void QtPrinterSurface::finishPdf()
{
    Job &job = *m_job;
    flushRun();
    bool written = true;
    // Copies on the built-in printer are made once: by the direct writer, which lists every page
    // again itself, or by an update at the end of a PDF that Qt's engine drew.
    const bool drawnByQt = !job.direct;
    const bool toFolder = job.settings.printer == kPdfPrinterName; // the job's printer, whatever is chosen now
    if (job.direct) {
        if (job.painter.isActive())
            job.painter.end();
        if (job.device && job.device->failed())
            unplannedFont();
        // The built-in printer writes its copies itself; CUPS is asked for them.
        written = job.direct->finish(toFolder ? job.settings.copies : 1, documentTitle(job.settings).toStdU16String(),
                                     "Corvane");
        job.direct.reset();
    } else {
        job.painter.end();
        job.writer.reset();
    }
    QFile &file = *job.file;
    if (written && drawnByQt && toFolder && job.settings.copies > 1) {
        // The built-in printer writes its copies itself: every page again, by reference, in an
        // update at the end of the file (whatever drew the pages, text or a rich-text layout).
        file.flush();
        file.seek(0);
        const QByteArray pdf = file.readAll();
        const auto update = pdf::repeatPages(std::string_view(pdf.constData(), static_cast<size_t>(pdf.size())),
                                             job.settings.copies);
        if (!update)
            throw RuntimeError(err::PrinterError);
        file.seek(file.size());
        written = file.write(update->data(), static_cast<qint64>(update->size())) == qint64(update->size());
    }
    if (!written || !file.flush() || file.error() != QFileDevice::NoError) {
        // Out of room: the disk is full, or the file reached the process's size limit.
        const bool full = file.error() == QFileDevice::ResourceError || errno == ENOSPC || errno == EFBIG
                       || file.errorString() == qt_error_string(EFBIG);
        throw RuntimeError(full ? err::DiskFull : err::DeviceIOError);
    }
}

void QtPrinterSurface::EndDoc()
{
    if (!m_job) {
        endDirect();
        return;
    }
    // The job ends here whatever happens: a failed delivery leaves nothing behind.
    struct Reset {
        QtPrinterSurface *surface;
        ~Reset() { surface->KillDoc(); }
    } reset{this};
    finishPdf();
    deliverJob(m_job->settings, m_job->file->fileName());
}

void QtPrinterSurface::setDocumentName(std::u16string_view name) { m_catalogue.setDocumentName(qs(name)); }

int QtPrinterSurface::PrinterCount() { return m_catalogue.PrinterCount(); }

UString QtPrinterSurface::DeviceName(int index) { return m_catalogue.DeviceName(index); }

void QtPrinterSurface::selectPrinter(int index)
{
    m_catalogue.selectPrinter(index);
    invalidateGeometry();
}

bool QtPrinterSurface::selectUnlisted(const UString &name)
{
    if (!m_catalogue.selectUnlisted(name))
        return false;
    invalidateGeometry();
    return true;
}

UString QtPrinterSurface::currentDeviceName() const { return m_catalogue.currentDeviceName(); }

void QtPrinterSurface::setOrientation(int16_t value)
{
    m_catalogue.setOrientation(value);
    invalidateGeometry();
}

void QtPrinterSurface::setPaperSize(int16_t value)
{
    m_catalogue.setPaperSize(value);
    invalidateGeometry();
}

void QtPrinterSurface::setPaperBin(int16_t value) { m_catalogue.setPaperBin(value); }

void QtPrinterSurface::setPrintQuality(int16_t value) { m_catalogue.setPrintQuality(value); }

void QtPrinterSurface::setCopies(int16_t value) { m_catalogue.setCopies(value); }

} // namespace corvane::qt
