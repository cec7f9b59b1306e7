#include "ToolSupport.h"

#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Enums.h>
#include <corvane/Errors.h>
#include <corvane/Fonts.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <corvane/HtmlPrints.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::tools {

QString qs(const UString &text) { return QString::fromStdU16String(text); }

UString us(const QString &text) { return text.toStdU16String(); }

namespace {

// Every HTML request of the process in the order made, with its outcome once it has one.
struct HtmlRecord {
    QString address;
    std::optional<HtmlOutcome> outcome;
};
std::vector<HtmlRecord> &htmlRecords()
{
    static std::vector<HtmlRecord> records;
    return records;
}

void watchHtmlRequests()
{
    setHtmlOutcomeObserver([](const HtmlOutcome &outcome) {
        auto &records = htmlRecords();
        if (outcome.kind == HtmlOutcome::Kind::Requested) {
            records.push_back({qs(outcome.address), std::nullopt});
            return;
        }
        // Requests end in the order made, on this thread.
        for (HtmlRecord &record : records) {
            if (!record.outcome && record.address == qs(outcome.address)) {
                record.outcome = outcome;
                return;
            }
        }
    });
}

// CORVANE_HTML_TIMEOUT in milliseconds; nullopt when it is not a whole number of seconds.
std::optional<qint64> htmlTimeout()
{
    const QString text = qEnvironmentVariable("CORVANE_HTML_TIMEOUT").trimmed();
    if (text.isEmpty())
        return 60 * 1000;
    qint64 seconds = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        // Past about three hundred million years a longer wait makes no difference.
        seconds = std::min<qint64>(seconds * 10 + (c.unicode() - '0'), qint64(1) << 43);
    }
    return seconds * 1000;
}

} // namespace

std::unique_ptr<QApplication> makeApplication(int &argc, char **argv)
{
    // Print jobs allocate and free large buffers page after page (each page's stream and its
    // compressor): served from the heap instead of fresh mappings, they cost no page faults.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (getuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // the browser's sandbox cannot run as root
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QByteArray dir = QDir::tempPath().toUtf8() + "/corvane-runtime-" + QByteArray::number(getuid());
        mkdir(dir.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
    // The browser engine's start-up report is not the tools' output.
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.webenginecontext=false");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    corvane::qt::useEmbeddableFontsOnly();
    auto app = std::make_unique<QApplication>(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false"));
    watchHtmlRequests();
    return app;
}

bool checkHtmlTimeout(QString *why)
{
    if (htmlTimeout())
        return true;
    *why = QStringLiteral("CORVANE_HTML_TIMEOUT must be a whole number of seconds, not '%1'")
               .arg(qEnvironmentVariable("CORVANE_HTML_TIMEOUT"));
    return false;
}

bool finishHtmlPrints()
{
    const qint64 limit = htmlTimeout().value_or(60 * 1000);
    const bool inTime = qt::waitForHtmlPrints(limit);
    bool allPrinted = true;
    for (const HtmlRecord &record : htmlRecords()) {
        const QByteArray address = record.address.toLocal8Bit();
        if (!record.outcome) {
            allPrinted = false;
            std::fprintf(stderr, "HTML printing: still pending after %lld s: %s\n", limit / 1000, address.constData());
            continue;
        }
        switch (record.outcome->kind) {
        case HtmlOutcome::Kind::Printed:
            std::fprintf(stderr, "HTML printing: printed %s\n", address.constData());
            break;
        case HtmlOutcome::Kind::Cancelled:
            std::fprintf(stderr, "HTML printing: not printed (cancelled) %s\n", address.constData());
            break;
        default:
            allPrinted = false;
            std::fprintf(stderr, "HTML printing: failed %s: %d %s\n", address.constData(), record.outcome->number,
                         qs(record.outcome->description).toLocal8Bit().constData());
            break;
        }
    }
    if (allPrinted && inTime && !htmlRecords().empty())
        std::fprintf(stderr, "HTML printing: every requested page printed\n");
    htmlRecords().clear();
    return allPrinted && inTime;
}

int finish(int status) { return qt::exitStatusAfterHtml(status); }

QString bundledLibrary()
{
    // The versioned name: an installed system without the development files has no other.
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../lib"))
        .absoluteFilePath(QStringLiteral("libcorvane.so.%1").arg(CORVANE_SOVERSION));
}

QObject *createObject(const QString &progId)
{
    const std::string id = progId.toStdString();
    if (id == kProgId && QFileInfo::exists(bundledLibrary())
        && !ensureRegistered(id, QFile::encodeName(bundledLibrary()).toStdString()))
        throw RuntimeError(err::CannotCreateObject,
                           u"ActiveX component can't create object: " + us(bundledLibrary())
                               + u" could not be registered in " + us(QFile::decodeName(registrationFolder().c_str()))
                               + (registrationFolder().empty() ? u"(the account has no home folder)" : u""));
    return CreateObject(id);
}

Variant valueFromText(const QString &text)
{
    for (const Enumeration &enumeration : enumerations()) {
        for (const Enumerator &enumerator : enumeration.enumerators) {
            if (text.compare(QLatin1String(enumerator.name.data(), enumerator.name.size()), Qt::CaseInsensitive) == 0)
                return Variant::longValue(enumerator.value);
        }
    }
    return Variant::string(us(text));
}

QString textOfValue(const Variant &value)
{
    if (value.type() == Variant::Type::Array) {
        QStringList lines;
        for (const Variant &element : value.elements())
            lines << textOfValue(element);
        return lines.join(QLatin1Char('\n'));
    }
    return qs(value.toString());
}

} // namespace corvane::tools
