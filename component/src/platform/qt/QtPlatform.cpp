#include "QtPlatform.h"

#include "FormAbout.h"
#include "QtBrowserHost.h"
#include "QtFiles.h"
#include "QtPrinterSurface.h"
#include "QtRichText.h"
#include "QtStrings.h"
#include "QtWeb.h"

#include <corvane/Errors.h>

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QThread>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::qt {

namespace {

void prepareEnvironment()
{
    const bool hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The browser's sandbox cannot run as root.
    if (getuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QByteArray dir = QDir::tempPath().toUtf8() + "/corvane-runtime-" + QByteArray::number(getuid());
        mkdir(dir.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
    // The browser host shares OpenGL contexts; it must be set before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

// The browser host's module, beside this library; loaded once and kept for the process's life
// (the browser engine cannot be unloaded). A module that is missing or broken is error 48.
CreateBrowserHost loadBrowserModule()
{
    static std::mutex mutex;
    static CreateBrowserHost create = nullptr;
    std::lock_guard lock(mutex);
    if (create)
        return create;
    const UString folder = qtPlatform().libraryFolder();
    const QByteArray path = QFile::encodeName(qs(folder) + QStringLiteral("/libcorvane-web.so"));
    void *module = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (module)
        create = reinterpret_cast<CreateBrowserHost>(dlsym(module, "corvane_create_browser_host"));
    if (!create) {
        const char *why = dlerror();
        throw RuntimeError(err::ErrorLoadingDll,
                           u"Error in loading DLL: " + us(QString::fromLocal8Bit(why ? why : "no entry point")));
    }
    return create;
}

} // namespace

void ensureGuiApplication()
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (QCoreApplication *app = QCoreApplication::instance()) {
        if (!qobject_cast<QGuiApplication *>(app))
            throw RuntimeError(err::PrinterError, u"Printer error: printing needs a Qt GUI application, and this "
                                                  u"process has a QCoreApplication");
        return;
    }
    prepareEnvironment();
    static int argc = 1;
    static char name[] = "corvane";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives for the rest of the process
}

std::unique_ptr<PrinterSurface> QtPlatform::createPrinterSurface()
{
    ensureGuiApplication();
    return std::make_unique<QtPrinterSurface>();
}

std::unique_ptr<RichTextControl> QtPlatform::createRichTextControl()
{
    ensureGuiApplication();
    return std::make_unique<QtRichTextControl>();
}

std::unique_ptr<BrowserHost> QtPlatform::createBrowserHost()
{
    ensureGuiApplication();
    // The browser engine lives on the application's thread; from another thread it would bring
    // the process down, so that is reported instead.
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        throw RuntimeError(err::ObjectDoesNotSupportAction,
                           u"HTML printing is available on the application's main thread only");
    static const BrowserModuleServices services{htmlPageLeftPrinting, printPdfOn, openRegularFile};
    std::unique_ptr<BrowserHost> host(loadBrowserModule()(&services));
    if (!host)
        throw RuntimeError(err::ErrorLoadingDll, u"Error in loading DLL: the browser module made no browser");
    return host;
}

Shell &QtPlatform::shell() { return qtShell(); }

void QtPlatform::showAbout()
{
    ensureGuiApplication();
    FormAbout dialog(qtShell());
    dialog.exec();
}

void QtPlatform::processEvents()
{
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
        QCoreApplication::processEvents();
}

UString libraryPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&libraryPath), &info) == 0 || !info.dli_fname)
        return {};
    const QString path = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
    return us(path);
}

std::string QtPlatform::readFile(const UString &path)
{
    const QByteArray bytes = readRegularFile(qs(path));
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

UString QtPlatform::temporaryFolder() { return us(privateFolder()); }

std::shared_ptr<void> QtPlatform::createTemporaryFile(const UString &path, const std::string &bytes)
{
    return createLockedFile(qs(path), QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

void QtPlatform::deleteLeftoverFiles(const UString &folder, bool (*isLeftover)(std::u16string_view name))
{
    deleteUnlockedFiles(qs(folder), isLeftover);
}

UString QtPlatform::libraryFolder()
{
    const UString path = libraryPath();
    const auto slash = path.rfind(u'/');
    return slash == UString::npos ? UString() : path.substr(0, slash == 0 ? 1 : slash);
}

UString QtPlatform::shortDate() { return us(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat)); }

UString QtPlatform::shortTime() { return us(QTime::currentTime().toString(QStringLiteral("HH:mm"))); }

QtPlatform &qtPlatform()
{
    static QtPlatform platform;
    static std::once_flag installed;
    std::call_once(installed, [] { setDefaultPlatform(&platform); });
    return platform;
}

} // namespace corvane::qt
