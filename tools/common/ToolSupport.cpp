#include "ToolSupport.h"

#include <corvane/ComServer.h>
#include <corvane/CreateObject.h>
#include <corvane/Enums.h>
#include <corvane/Errors.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include "platform/qt/QtWeb.h"

#include <cstdio>

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::tools {

QString qs(const UString &text) { return QString::fromStdU16String(text); }

UString us(const QString &text) { return text.toStdU16String(); }

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
    auto app = std::make_unique<QApplication>(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false"));
    return app;
}

bool finishHtmlPrints()
{
    if (qt::pendingHtmlPrints() == 0)
        return true;
    bool ok = false;
    const int seconds = qEnvironmentVariable("CORVANE_HTML_TIMEOUT", QStringLiteral("60")).toInt(&ok);
    const int limit = ok && seconds > 0 ? seconds : 60;
    if (qt::waitForHtmlPrints(limit * 1000)) {
        std::fprintf(stderr, "HTML printing: every requested page printed\n");
        return true;
    }
    std::fprintf(stderr, "HTML printing: timed out after %d s with %d page(s) not printed\n", limit,
                 qt::pendingHtmlPrints());
    return false;
}

QString bundledLibrary()
{
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../lib"))
        .absoluteFilePath(QStringLiteral("libcorvane.so"));
}

QObject *createObject(const QString &progId)
{
    const std::string id = progId.toStdString();
    if (id == kProgId && QFileInfo::exists(bundledLibrary()))
        ensureRegistered(id, QFile::encodeName(bundledLibrary()).toStdString());
    return CreateObject(id);
}

Variant valueFromText(const QString &text)
{
    for (const Enumeration &enumeration : enumerations()) {
        for (const Enumerator &enumerator : enumeration.enumerators) {
            if (text.compare(QLatin1String(enumerator.name.data(), enumerator.name.size()),
                             Qt::CaseInsensitive)
                == 0)
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
