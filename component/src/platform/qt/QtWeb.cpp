#include "QtWeb.h"

#include <corvane/Desktop.h>

#include "QtCups.h"

#include "QtFiles.h"
#include "QtPrinterCatalogue.h"
#include "QtStrings.h"
#include "core/Apartment.h"
#include "pdf/PdfCopies.h"
#include "web/BrowserForm.h"

#include <corvane/Errors.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QTemporaryFile>
#include <QThread>
#include <QUrl>


#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace corvane::qt {

namespace {

// Hands a PDF file to a printer: the built-in printer's folder (under a name of its own), a
// CUPS destination by name, or, for no name, the CUPS default destination (the folder when
// CUPS has none). The file is streamed, never held whole. Shell codes; why says what failed.
int32_t printPdf(const QString &path, const QString &printer, const QString &title, QString *why)
{
    const auto failed = [why](int32_t code, const QString &reason) {
        if (why)
            *why = reason;
        return code;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return failed(QFileInfo(info.absolutePath()).isDir() ? 2 : 3, QStringLiteral("%1 does not exist").arg(path));
    // The file is opened once, as a regular file, and read only through that descriptor: what
    // is put in its place afterwards (a FIFO, another file) is never read.
    int fd = -1;
    try {
        fd = openRegularFile(path);
    } catch (const RuntimeError &error) {
        return failed(error.number() == err::FileNotFound ? 2 : 5, qs(error.description()));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failed(shell::AccessDenied, QStringLiteral("%1 could not be read").arg(path));
    }
    if (!file.read(5).startsWith("%PDF"))
        return failed(shell::NoAssociation, QStringLiteral("%1 is not a PDF file").arg(path)); // no handler for it
    file.seek(0);

    QByteArray destination = printer == kPdfPrinterName ? QByteArray() : printer.toUtf8();
    if (printer.isEmpty())
        destination = cupsDestinations().defaultName.section(QLatin1Char('/'), 0, 0).toUtf8();

    if (destination.isEmpty()) {
        QString missing;
        const QString folder = readyPdfOutputFolder(&missing);
        if (folder.isEmpty())
            return failed(shell::PathNotFound, missing);
        QTemporaryFile temp(folder + QStringLiteral("/.corvane-XXXXXX.part"));
        if (!temp.open())
            return failed(shell::AccessDenied, QStringLiteral("%1 could not be written").arg(folder));
        char buffer[1 << 16];
        for (qint64 got; (got = file.read(buffer, sizeof buffer)) != 0;) {
            if (got < 0 || temp.write(buffer, got) != got)
                return failed(shell::AccessDenied, QStringLiteral("%1 could not be copied into %2").arg(path, folder));
        }
        if (!temp.flush())
            return failed(shell::AccessDenied, QStringLiteral("%1 could not be copied into %2").arg(path, folder));
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        for (int n = 1; n < 100000; ++n) {
            const QString target = QStringLiteral("%1/Corvane-%2-%3.pdf").arg(folder, stamp).arg(n);
            if (::link(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(target).constData()) == 0)
                return shell::Accepted;
            if (errno != EEXIST)
                return failed(shell::AccessDenied, QStringLiteral("%1 could not be written").arg(target));
        }
        return failed(shell::AccessDenied, QStringLiteral("%1 has no free name left").arg(folder));
    }
    // CUPS reads the file through the same descriptor.
    const QByteArray opened = "/dev/fd/" + QByteArray::number(file.handle());
    QString reason;
    // The spooler lists the job by the file's name.
    if (cupsSubmit(destination, opened, (title.isEmpty() ? info.fileName() : title).toUtf8().constData(), 0, nullptr,
                   &reason)
        > 0)
        return shell::Accepted;
    return failed(shell::AccessDenied,
                  QStringLiteral("CUPS did not take the job for %1: %2").arg(QString::fromUtf8(destination), reason));
}

} // namespace

namespace {

// Opens an address with the desktop's opener, xdg-open, and says whether it did, as a shell code:
// 42 opened, 31 no program for the address, 2 no such file, 5 the program failed. The opener
// ends once the program it chose has started, or runs as long as that program when it stays in
// front: still running after a few seconds counts as opened.
int32_t openAddress(const QString &address)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return shell::NoAssociation;
    auto process = std::make_unique<QProcess>();
    process->setProgram(opener);
    process->setArguments({address});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(5000))
        return shell::NoAssociation;
    if (!process->waitForFinished(5000)) {
        QProcess *running = process.release();
        QObject::connect(running, &QProcess::finished, running, &QObject::deleteLater);
        return shell::Accepted;
    }
    if (process->exitStatus() != QProcess::NormalExit)
        return shell::AccessDenied;
    switch (process->exitCode()) {
    case 0: return shell::Accepted;
    case 2: return shell::FileNotFound;
    case 3: return shell::NoAssociation; // no program can open it
    default: return shell::AccessDenied;
    }
}

} // namespace

int32_t printPdfOn(const QString &path, const QString &printer, const QString &title, QString *why)
{
    return printPdf(path, printer, title, why);
}

QByteArray titledPdf(const QByteArray &pdf, const QString &title)
{
    const auto update = pdf::retitle(std::string_view(pdf.constData(), static_cast<size_t>(pdf.size())),
                                     title.toStdU16String());
    if (!update)
        return pdf;
    return pdf + QByteArray(update->data(), static_cast<qsizetype>(update->size()));
}

int32_t QtShell::execute(std::u16string_view verb, const UString &file, int32_t, const UString &printer)
{
    if (verb == u"print")
        return printPdf(qs(file), qs(printer), {}, nullptr);
    if (verb == u"open")
        return openAddress(qs(file));
    return shell::NoAssociation;
}

QtShell &qtShell()
{
    static QtShell shell;
    return shell;
}

namespace {
std::atomic<int> g_leftPrinting{0};
}

void htmlPageLeftPrinting() { ++g_leftPrinting; }

int htmlPagesLeftPrinting() { return g_leftPrinting; }

int exitStatusAfterHtml(int status)
{
    if (g_leftPrinting > 0) {
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(status);
    }
    return status;
}

int pendingHtmlPrints() { return pendingHtmlRequests(); }

namespace {
bool onApplicationThread()
{
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
} // namespace

int deliverThreadEvents() { return Apartment::current()->deliver(); }

bool waitForHtmlPrintsFor(int64_t milliseconds)
{
    const std::shared_ptr<Apartment> home = Apartment::current();
    // Past some thirty years a longer wait makes no difference (and the clock's sum would overflow).
    const int64_t bounded = std::clamp<int64_t>(milliseconds, 0, int64_t(1) << 40);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bounded);
    for (;;) {
        home->deliver();
        if (home->pendingPages() <= 0) {
            home->deliver(); // what the last page left, posted before it ended
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        if (onApplicationThread()) {
            // The browser is this thread's: it works while the wait lets the events through.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            home->waitUntil(std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)));
        } else {
            home->waitUntil(std::min(deadline, now + std::chrono::milliseconds(200)));
        }
    }
}

int cancelHtmlPrints(int64_t waitedMilliseconds)
{
    const std::shared_ptr<Apartment> home = Apartment::current();
    const auto cancelled = home->cancelPages();
    const UString why = u"it had not printed when the wait for it ran out after "
                      + decimal((waitedMilliseconds + 999) / 1000) + u" s, and it was cancelled: it will not print";
    for (const auto &ticket : cancelled) {
        if (ticket->cancelled)
            ticket->cancelled(why);
    }
    home->deliver();
    return static_cast<int>(cancelled.size());
}

bool waitForHtmlPrints(int64_t milliseconds)
{
    if (waitForHtmlPrintsFor(milliseconds))
        return true;
    // What has not begun printing is cancelled; a page already being handed to the printer
    // ends as the printer says, within the print server's bound.
    cancelHtmlPrints(milliseconds);
    waitForHtmlPrintsFor((cupsTimeout().value_or(10) + 5) * int64_t(1000));
    return false;
}

int32_t openAddress(const UString &address) { return qtShell().execute(u"open", address, 1, {}); }

} // namespace corvane::qt
