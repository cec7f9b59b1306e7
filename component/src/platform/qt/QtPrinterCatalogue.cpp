#include "QtPrinterCatalogue.h"

#include "QtCups.h"
#include "QtStrings.h"

#include <corvane/Errors.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSizeF>
#include <QMarginsF>

#include <cups/cups.h>
#include <cups/ppd.h>

#include <cerrno>
#include <unistd.h>

namespace corvane::qt {

namespace {

[[noreturn]] void invalidValue() { throw RuntimeError(err::InvalidPropertyValue); }

// What a printer's PPD says of its paper: the sizes and bins it offers, its default size, and
// each size's unprintable border. Unknown when it has no PPD; `failure` says why the server was
// not asked, or did not answer as it should. Kept a few seconds: a job asks more than once, and
// jobs come in runs.
struct PrinterDriver {
    QStringList pageSizes, inputSlots;
    QPageSize defaultSize;
    QList<std::pair<QPageSize, QMarginsF>> margins; // each size's, in points
    QMarginsF customMargins;
    bool known = false;
    QString failure;
    bool badSetting = false; // the failure is the timeout setting's
};

// A size as Qt names it, from the PPD's name and its size in points.
QPageSize pageSizeOf(const QString &key, const QSizeF &points)
{
    for (int id = 0; id <= QPageSize::LastPageSize; ++id)
        if (QPageSize::key(QPageSize::PageSizeId(id)) == key)
            return QPageSize(QPageSize::PageSizeId(id));
    return QPageSize(points, QPageSize::Point, key);
}

PrinterDriver fetchDriver(const QString &printer)
{
    PrinterDriver driver;
    const QByteArray name = printer.section(QLatin1Char('/'), 0, 0).toUtf8();
    // The PPD as the server serves it, over a connection of ours, bounded as a whole (the
    // library's own fetch may wait without bound and open a password dialog).
    CupsConnection connection;
    if (!connection) {
        driver.failure = connection.error();
        driver.badSetting = connection.badSetting();
        return driver;
    }
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/corvane-ppd-XXXXXX"));
    if (!file.open())
        return driver;
    const QByteArray resource = "/printers/" + name + ".ppd";
    const http_status_t status = cupsGetFd(connection.get(), resource.constData(), file.handle());
    // No PPD (a queue without a driver) is no fault; a server that did not answer in time, asks
    // for a password, sends the request elsewhere or breaks off is.
    const bool redirected = status >= HTTP_STATUS_MULTIPLE_CHOICES && status < HTTP_STATUS_BAD_REQUEST;
    if (connection.timedOut() || redirected || status == HTTP_STATUS_UNAUTHORIZED
        || status == HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED || status == HTTP_STATUS_ERROR) {
        driver.failure = connection.failure(false, QStringLiteral("the print server broke off the connection"));
        return driver;
    }
    if (status != HTTP_STATUS_OK)
        return driver;
    file.flush();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ppd_file_t *ppd = ppdOpenFile(QFile::encodeName(file.fileName()).constData());
    if (!ppd)
        return driver;
    driver.known = true;
    ppdMarkDefaults(ppd);
    const auto list = [ppd](const char *keyword, QStringList &into) {
        if (ppd_option_t *option = ppdFindOption(ppd, keyword)) {
            for (int i = 0; i < option->num_choices; ++i)
                into << QString::fromUtf8(option->choices[i].choice);
        }
    };
    list("PageSize", driver.pageSizes);
    list("InputSlot", driver.inputSlots);
    // The border each size cannot print on, as its imageable area leaves it.
    for (int i = 0; i < ppd->num_sizes; ++i) {
        const ppd_size_t &size = ppd->sizes[i];
        driver.margins.append({pageSizeOf(QString::fromUtf8(size.name), QSizeF(size.width, size.length)),
                               QMarginsF(size.left, size.length - size.top, size.width - size.right, size.bottom)});
    }
    driver.customMargins = QMarginsF(ppd->custom_margins[0], ppd->custom_margins[3], ppd->custom_margins[2],
                                     ppd->custom_margins[1]);
    if (ppd_choice_t *choice = ppdFindMarkedChoice(ppd, "PageSize")) {
        if (ppd_size_t *size = ppdPageSize(ppd, choice->choice))
            driver.defaultSize = pageSizeOf(QString::fromUtf8(size->name), QSizeF(size->width, size->length));
    }
    ppdClose(ppd);
#pragma GCC diagnostic pop
    return driver;
}

const PrinterDriver &printerDriver(const QString &printer)
{
    thread_local QString cachedPrinter;
    thread_local QByteArray cachedServer;
    thread_local PrinterDriver cached;
    thread_local QElapsedTimer age;
    const QByteArray server = cupsServer();
    if (printer != cachedPrinter || server != cachedServer || !age.isValid() || age.elapsed() >= 5000) {
        cached = fetchDriver(printer);
        cachedPrinter = printer;
        cachedServer = server;
        age.start();
    }
    return cached;
}

// The names a printer may give to each paper bin of the type library.
QStringList binNames(int bin)
{
    switch (bin) {
    case 1: return {"Upper", "Tray1", "Top", "Main"};
    case 2: return {"Lower", "Tray2", "Bottom"};
    case 3: return {"Middle", "Tray3"};
    case 4: return {"Manual", "ManualFeed"};
    case 5: return {"Envelope", "EnvFeed"};
    case 6: return {"EnvManual", "ManualEnvelope"};
    case 7: return {"Auto", "AutoSelect", "Default"};
    case 8: return {"Tractor"};
    case 9: return {"SmallFormat", "SmallFmt"};
    case 10: return {"LargeFormat", "LargeFmt"};
    case 11: return {"LargeCapacity"};
    case 14: return {"Cassette"};
    default: return {};
    }
}

RuntimeError fileError(int number) { return RuntimeError(number); }

} // namespace

QString pdfOutputFolder()
{
    const QString configured = qEnvironmentVariable("CORVANE_PDF_DIR");
    if (!configured.isEmpty())
        return configured;
    return QDir::homePath() + QStringLiteral("/Corvane PDF");
}

QString readyPdfOutputFolder(QString *why)
{
    const QString folder = pdfOutputFolder();
    // The default folder is the printer's own: made on first use. A folder the caller named
    // must be there, so that a mistyped name does not scatter documents.
    const bool made = !QFileInfo(folder).exists() && qEnvironmentVariableIsEmpty("CORVANE_PDF_DIR");
    if (made && !QDir().mkpath(folder)) {
        *why = QStringLiteral("the folder of the printer %1, %2, could not be made").arg(kPdfPrinterName, folder);
        return {};
    }
    if (QFileInfo(folder).isDir())
        return folder;
    *why = QStringLiteral("the folder of the printer %1, %2, does not exist").arg(kPdfPrinterName, folder);
    return {};
}

QtPrinterCatalogue::QtPrinterCatalogue()
{
    const CupsDestinations destinations = cupsDestinations();
    m_printers = destinations.names;
    m_listWhole = destinations.answered;
    m_printers << kPdfPrinterName;
    m_printer = destinations.defaultName.isEmpty() ? kPdfPrinterName : destinations.defaultName;
}

int QtPrinterCatalogue::PrinterCount()
{
    const CupsDestinations destinations = cupsDestinations();
    m_printers = destinations.names;
    m_listWhole = destinations.answered;
    m_printers << kPdfPrinterName;
    return static_cast<int>(m_printers.size());
}

UString QtPrinterCatalogue::DeviceName(int index) const
{
    if (index < 0 || index >= m_printers.size())
        throw RuntimeError(err::SubscriptOutOfRange);
    return us(m_printers.at(index));
}

void QtPrinterCatalogue::selectPrinter(int index)
{
    if (index < 0 || index >= m_printers.size())
        throw RuntimeError(err::SubscriptOutOfRange);
    m_printer = m_printers.at(index);
    m_unlisted = false;
    m_inputSlot.clear();
    m_paperBin = 7;
}

bool QtPrinterCatalogue::selectUnlisted(const UString &name)
{
    const QString printer = qs(name);
    if (m_listWhole || printer.isEmpty() || printer.compare(kPdfPrinterName, Qt::CaseInsensitive) == 0)
        return false;
    m_printer = printer;
    m_unlisted = true;
    m_inputSlot.clear();
    m_paperBin = 7;
    return true;
}

UString QtPrinterCatalogue::currentDeviceName() const { return us(m_printer); }

void QtPrinterCatalogue::setOrientation(int16_t value)
{
    if (value != 1 && value != 2)
        invalidValue();
    m_orientation = value;
}

void QtPrinterCatalogue::setPaperSize(int16_t value)
{
    if (value <= 0 || QPageSize::id(value) == QPageSize::Custom)
        invalidValue();
    // A size the printer does not have is an invalid setting: CUPS would print on another one.
    if (!isPdfPrinter()) {
        const PrinterDriver &choices = printerDriver(m_printer);
        const QString key = QPageSize(QPageSize::id(value)).key();
        if (choices.known && !choices.pageSizes.isEmpty() && !choices.pageSizes.contains(key, Qt::CaseInsensitive))
            invalidValue();
    }
    m_paperSize = value;
}

void QtPrinterCatalogue::setPaperBin(int16_t value)
{
    const QStringList names = binNames(value);
    if (names.isEmpty())
        invalidValue();
    if (value == 7) {
        m_paperBin = value;
        m_inputSlot.clear();
        return;
    }
    // A bin the printer does not have is an invalid setting.
    if (!isPdfPrinter()) {
        const QStringList available = printerDriver(m_printer).inputSlots;
        for (const QString &candidate : names) {
            for (const QString &slot : available) {
                if (slot.compare(candidate, Qt::CaseInsensitive) == 0) {
                    m_paperBin = value;
                    m_inputSlot = slot;
                    return;
                }
            }
        }
    }
    invalidValue();
}

void QtPrinterCatalogue::setPrintQuality(int16_t value)
{
    if (value < 1 || value > 4)
        invalidValue();
    m_quality = value;
}

void QtPrinterCatalogue::setCopies(int16_t value)
{
    if (value < 1)
        invalidValue();
    m_copies = value;
}

void QtPrinterCatalogue::requireServerSetting() const
{
    QString why;
    if (!isPdfPrinter() && !cupsTimeout(&why))
        throw RuntimeError(err::InvalidProcedureCall, u"Invalid procedure call or argument: " + us(why));
}

namespace {

// The driver of a printer the server lists; a server that did not answer as it should ends the
// job here, before any page is drawn.
const PrinterDriver &answeredDriver(const QString &printer)
{
    const PrinterDriver &driver = printerDriver(printer);
    if (driver.badSetting)
        throw RuntimeError(err::InvalidProcedureCall, u"Invalid procedure call or argument: " + us(driver.failure));
    if (!driver.failure.isEmpty())
        throw RuntimeError(err::PrinterError, u"Printer error: " + us(printer) + u": " + us(driver.failure));
    return driver;
}

} // namespace

QPageSize QtPrinterCatalogue::pageSize() const
{
    if (m_paperSize > 0)
        return QPageSize(QPageSize::id(m_paperSize));
    if (asksDriver()) {
        const QPageSize size = answeredDriver(m_printer).defaultSize;
        if (size.isValid())
            return size;
    }
    return QPageSize(QPageSize::A4);
}

QMarginsF QtPrinterCatalogue::minimumMargins(const QPageSize &size) const
{
    if (!asksDriver())
        return {};
    const PrinterDriver &driver = answeredDriver(m_printer);
    if (!driver.known)
        return {};
    // The size as the printer names it: the one of its sizes that matches, else its custom border.
    for (const auto &[known, margins] : driver.margins)
        if (known.key() == size.key())
            return margins;
    for (const auto &[known, margins] : driver.margins)
        if (known.isEquivalentTo(size))
            return margins;
    return driver.customMargins;
}

JobSettings QtPrinterCatalogue::jobSettings() const
{
    JobSettings job;
    job.printer = m_printer;
    job.size = pageSize();
    job.orientation = landscape() ? QPageLayout::Landscape : QPageLayout::Portrait;
    job.copies = m_copies;
    job.quality = m_quality;
    job.inputSlot = m_inputSlot;
    job.title = m_documentName;
    return job;
}

std::unique_ptr<QTemporaryFile> openJobFile(const QString &printer)
{
    std::unique_ptr<QTemporaryFile> file;
    if (printer == kPdfPrinterName) {
        QString why;
        const QString folder = readyPdfOutputFolder(&why);
        if (folder.isEmpty())
            throw RuntimeError(err::PathNotFound, us(QStringLiteral("Path not found: ") + why));
        file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/.corvane-XXXXXX.part"));
        if (!file->open()) {
            const bool writable = QFileInfo(folder).isWritable();
            throw RuntimeError(
                writable ? err::PathFileAccessError : err::PermissionDenied,
                us((writable ? QStringLiteral("Path/File access error: ") : QStringLiteral("Permission denied: "))
                   + folder + QStringLiteral(" could not be written")));
        }
    } else {
        file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/corvane-job-XXXXXX.pdf"));
        if (!file->open())
            throw fileError(err::PathFileAccessError);
    }
    return file;
}

namespace {

void deliverToFolder(const QString &temp)
{
    // A hard link never replaces an existing file: take the next free name.
    const QString folder = pdfOutputFolder();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n < 100000; ++n) {
        const QString name = QStringLiteral("%1/Corvane-%2-%3.pdf").arg(folder, stamp).arg(n);
        if (::link(QFile::encodeName(temp).constData(), QFile::encodeName(name).constData()) == 0)
            return;
        if (errno != EEXIST)
            throw fileError(errno == EACCES ? err::PermissionDenied : err::PathFileAccessError);
    }
    throw fileError(err::FileAlreadyExists);
}

void deliverToCups(const JobSettings &job, const QString &file)
{
    cups_option_t *options = nullptr;
    int count = 0;
    // Copies as whole sets of the document, one after the other, as the built-in printer makes
    // them (CUPS would otherwise repeat each page in place).
    count = cupsAddOption("copies", QByteArray::number(job.copies).constData(), count, &options);
    count = cupsAddOption("collate", "true", count, &options);
    const QByteArray media = job.size.key().toUtf8();
    if (!media.isEmpty())
        count = cupsAddOption("media", media.constData(), count, &options);
    if (!job.inputSlot.isEmpty())
        count = cupsAddOption("InputSlot", job.inputSlot.toUtf8().constData(), count, &options);
    const int quality = job.quality <= 2 ? 3 : job.quality == 3 ? 4 : 5;
    count = cupsAddOption("print-quality", QByteArray::number(quality).constData(), count, &options);

    const QByteArray printer = job.printer.section(QLatin1Char('/'), 0, 0).toUtf8();
    QString why;
    const QByteArray title = job.title.isEmpty() ? QByteArray("Corvane document") : job.title.toUtf8();
    const int jobId = cupsSubmit(printer, QFile::encodeName(file), title.constData(), count, options, &why);
    cupsFreeOptions(count, options);
    if (jobId <= 0)
        throw RuntimeError(err::PrinterError, u"Printer error: " + us(job.printer) + u": " + us(why));
}

} // namespace

void deliverJob(const JobSettings &job, const QString &file)
{
    if (job.printer == kPdfPrinterName)
        deliverToFolder(file);
    else
        deliverToCups(job, file);
}

} // namespace corvane::qt
