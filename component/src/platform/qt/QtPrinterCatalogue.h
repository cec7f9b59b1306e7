// The printers of the Qt surface and where its jobs go: the CUPS destinations in the server's
// order and the built-in printer "Corvane PDF" after them, the current one, the paper sizes and
// bins its PPD offers, and the device settings the next job is opened with. A finished job's
// PDF is handed to CUPS or, for the built-in printer, linked into the PDF folder under a name no
// other file has.
#pragma once

#include <corvane/UString.h>

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <cstdint>
#include <memory>

namespace corvane::qt {

// The built-in PDF printer, always listed after the CUPS destinations.
inline const QString kPdfPrinterName = QStringLiteral("Corvane PDF");

// The folder the built-in printer writes into: CORVANE_PDF_DIR, else ~/Corvane PDF.
QString pdfOutputFolder();
// The folder, ready for a job: the default one is made when it is missing; one named by
// CORVANE_PDF_DIR must exist. Empty, with the reason in why, when it is not there.
QString readyPdfOutputFolder(QString *why);

// The device settings a job was opened with; it keeps them whatever is chosen afterwards.
struct JobSettings {
    QString printer;
    QPageSize size;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int copies = 1;
    int quality = 3;
    QString inputSlot; // CUPS choice of the paper bin, empty for the printer's default
    QString title;     // the job's name at the spooler, empty for "Corvane document"
};

class QtPrinterCatalogue {
public:
    QtPrinterCatalogue();

    // The Printers collection, listed again from the server on each count.
    int PrinterCount();
    UString DeviceName(int index) const;
    void selectPrinter(int index);
    // A printer the server's list could not show; false, and nothing changes, when it was whole.
    bool selectUnlisted(const UString &name);
    UString currentDeviceName() const;

    // Device settings for the next job, values of the type library's enumerations. A paper
    // size or bin the printer's PPD does not offer is an invalid value.
    void setOrientation(int16_t value);
    void setPaperSize(int16_t value);
    void setPaperBin(int16_t value);
    void setPrintQuality(int16_t value);
    void setCopies(int16_t value);

    const QString &printer() const { return m_printer; }
    bool isPdfPrinter() const { return m_printer == kPdfPrinterName; }
    // Whether the printer's driver can be asked about its paper: not the built-in printer, and
    // not one chosen without the server's list (the server did not answer then).
    bool asksDriver() const { return !isPdfPrinter() && !m_unlisted; }
    bool landscape() const { return m_orientation == 2; }
    // The paper chosen, else the printer's default, else A4. Raises PrintError 482 naming the
    // printer when its server did not answer as it should when asked for its driver.
    QPageSize pageSize() const;
    // The border of a sheet of this size the printer cannot print on, in points, as its driver
    // gives it (none for the built-in printer); raises as pageSize() does.
    QMarginsF minimumMargins(const QPageSize &size) const;
    // Raises error 5 naming CORVANE_CUPS_TIMEOUT when a CUPS printer is current and the setting
    // is refused.
    void requireServerSetting() const;
    // The name the next job goes by at the spooler: its title or its file's name.
    void setDocumentName(const QString &name) { m_documentName = name; }
    // The settings a job opened now takes.
    JobSettings jobSettings() const;

private:
    QString m_printer;
    QStringList m_printers;
    bool m_listWhole = true; // the print server answered when m_printers was made
    bool m_unlisted = false; // the current printer was chosen without the server's list
    int16_t m_orientation = 1, m_paperSize = 0, m_paperBin = 7, m_quality = 3, m_copies = 1;
    QString m_inputSlot; // CUPS choice of the paper bin, empty for the printer's default
    QString m_documentName;
};

// The file a job's PDF is written to, open: beside its final place (the built-in printer's
// folder) or in the temporary folder (CUPS), under a name of its own, removed unless the job is
// delivered.
std::unique_ptr<QTemporaryFile> openJobFile(const QString &printer);

// Hands a job's finished PDF to its printer: links it into the PDF folder for the built-in
// printer, submits it to CUPS with the job's settings otherwise.
void deliverJob(const JobSettings &job, const QString &file);

} // namespace corvane::qt
