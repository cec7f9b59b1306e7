#include "QtTestSupport.h"

#include <QCollator>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QXmlStreamReader>

#include <algorithm>

namespace corvane::testing {

ProcessResult run(const QString &program, const QStringList &arguments, const QStringList &environment,
                  const QString &stdinText)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(10000))
        return result;
    if (!stdinText.isEmpty())
        process.write(stdinText.toUtf8());
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString cupsDir() { return qEnvironmentVariable("CORVANE_TEST_CUPS_DIR"); }

void addFilePrinter(const QString &name)
{
    const auto r = run(QStringLiteral("lpadmin"), {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                                                   QStringLiteral("file://") + printerOutput(name), QStringLiteral("-m"),
                                                   QStringLiteral("lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
}

void removePrinter(const QString &name) { run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name}); }

QString printerOutput(const QString &name)
{
    return cupsDir() + QStringLiteral("/out/") + name + QStringLiteral(".pdf");
}

bool waitForPrinterOutput(const QString &name, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const auto jobs = run(QStringLiteral("lpstat"), {QStringLiteral("-o"), name});
        if (jobs.out.trimmed().isEmpty() && QFileInfo(printerOutput(name)).size() > 0)
            return true;
        QThread::msleep(100);
    }
    return false;
}

QStringList pdfFiles(const QString &folder)
{
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    QStringList paths;
    for (const QFileInfo &file : files)
        paths << file.absoluteFilePath();
    // Corvane-<date>-<time>-<n>.pdf: the numbers compare as numbers, so -10 comes after -9.
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(paths.begin(), paths.end(), [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    return paths;
}

QString pdfText(const QString &pdf, int firstPage, int lastPage)
{
    QStringList args{QStringLiteral("-layout")};
    if (firstPage > 0)
        args << QStringLiteral("-f") << QString::number(firstPage);
    if (lastPage > 0)
        args << QStringLiteral("-l") << QString::number(lastPage);
    args << pdf << QStringLiteral("-");
    return run(QStringLiteral("pdftotext"), args).out;
}

QString pdfInfo(const QString &pdf, const QString &key)
{
    const QString out = run(QStringLiteral("pdfinfo"), {pdf}).out;
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char(':')))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

QImage pdfPage(const QString &pdf, int page, int dpi)
{
    const QString stem = QDir::tempPath() + QStringLiteral("/corvane-page-")
                       + QString::number(QCoreApplication::applicationPid());
    const QString number = QString::number(page);
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-r"), QString::number(dpi),
         QStringLiteral("-f"), number, QStringLiteral("-l"), number, pdf, stem});
    QImage image(stem + QStringLiteral(".png"));
    QFile::remove(stem + QStringLiteral(".png"));
    return image.convertToFormat(QImage::Format_RGB32);
}

QList<Word> pdfWords(const QString &pdf, bool drawn)
{
    QStringList args{QStringLiteral("-bbox"), pdf, QStringLiteral("-")};
    if (drawn)
        args.prepend(QStringLiteral("-raw"));
    const QString html = run(QStringLiteral("pdftotext"), args).out;
    QList<Word> words;
    QXmlStreamReader xml(html);
    int page = 0;
    double width = 0, height = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page")) {
            ++page;
            width = xml.attributes().value(QLatin1String("width")).toDouble();
            height = xml.attributes().value(QLatin1String("height")).toDouble();
        } else if (xml.name() == QLatin1String("word")) {
            const auto a = xml.attributes();
            Word w;
            w.xMin = a.value(QLatin1String("xMin")).toDouble();
            w.yMin = a.value(QLatin1String("yMin")).toDouble();
            w.xMax = a.value(QLatin1String("xMax")).toDouble();
            w.yMax = a.value(QLatin1String("yMax")).toDouble();
            w.page = page;
            w.pageWidth = width;
            w.pageHeight = height;
            w.text = xml.readElementText();
            words << w;
        }
    }
    return words;
}

bool isCupsRefusal(const std::string &text, const std::string &printer, const std::string &why)
{
    const std::string prefix = "Printer error: " + printer + ": ";
    for (const char *start : {"PrintError 482 ", "482|"}) {
        const std::string head = start + prefix;
        if (text.rfind(head, 0) == 0 && text.size() > head.size())
            return why.empty() || text.find(why, head.size()) != std::string::npos;
    }
    return false;
}

QString freshPdfFolder(const QString &name)
{
    const QString folder = QDir::tempPath() + QStringLiteral("/corvane-pdf-") + name + QLatin1Char('-')
                         + QString::number(QCoreApplication::applicationPid());
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    qputenv("CORVANE_PDF_DIR", QFile::encodeName(folder));
    return folder;
}

} // namespace corvane::testing
