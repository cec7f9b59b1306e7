// Helpers of the tests that run the real Qt and CUPS path: running programs, reading PDFs back
// with poppler, and managing printers on the private CUPS server that ./test starts.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace corvane::testing {

struct ProcessResult {
    int exitCode = -1;
    QString out, err;
};

// Runs a program (30 s at most) with extra environment entries "NAME=value".
ProcessResult run(const QString &program, const QStringList &arguments, const QStringList &environment = {},
                  const QString &stdinText = {});

// The private CUPS folder of this test run, or empty when ./test did not start one.
QString cupsDir();
// Skips the calling test when no private CUPS server runs.
#define REQUIRE_CUPS()                                                                                                 \
    do {                                                                                                               \
        if (corvane::testing::cupsDir().isEmpty())                                                                     \
            GTEST_SKIP() << "needs the private CUPS server that ./test starts";                                        \
    } while (0)

// Adds a file printer with the generic PDF driver; its jobs overwrite <cups>/out/<name>.pdf.
void addFilePrinter(const QString &name);
void removePrinter(const QString &name);
QString printerOutput(const QString &name);
// Waits (20 s at most) until CUPS has no unfinished job on the printer and its output exists.
bool waitForPrinterOutput(const QString &name, int timeoutMs = 20000);

// The PDF files in a folder, oldest first.
QStringList pdfFiles(const QString &folder);
QString pdfText(const QString &pdf, int firstPage = 0, int lastPage = 0);
// pdfinfo's value for a key ("Pages", "Page size").
QString pdfInfo(const QString &pdf, const QString &key);

struct Word {
    QString text;
    double xMin, yMin, xMax, yMax; // points from the top left of the page
    int page;
    double pageWidth, pageHeight; // of the word's page, in points
};
// Words with their boxes (pdftotext -bbox), in reading order or, with `drawn`, in the order
// the content streams draw them.
QList<Word> pdfWords(const QString &pdf, bool drawn = false);

// A page of a PDF as pixels (poppler's pdftoppm), `dpi` pixels to the inch; null on failure.
QImage pdfPage(const QString &pdf, int page, int dpi);

// A job CUPS did not take ends in 482 "Printer error: <printer>: <CUPS's reason>": whether an
// event (or a result, "482|...") is that, for this printer, with the reason containing `why`.
bool isCupsRefusal(const std::string &text, const std::string &printer, const std::string &why = {});

// A fresh, empty folder for the built-in PDF printer, set as CORVANE_PDF_DIR.
QString freshPdfFolder(const QString &name);

} // namespace corvane::testing
