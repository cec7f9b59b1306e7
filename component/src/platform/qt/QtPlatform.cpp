#include "QtPlatform.h"

#include "FormAbout.h"
#include "QtBrowserHost.h"
#include "QtFiles.h"
#include "QtPrinterSurface.h"
#include "QtRichText.h"
#include "QtStrings.h"
#include "QtWeb.h"
#include "jobs/ThreadForms.h"

#include <corvane/Errors.h>
#include <corvane/Fonts.h>

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QThread>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <sys/stat.h>
#include <cstdlib>
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

namespace {

// The thread the component runs the application on when the process has none: it is made once,
// lives to the end of the process and runs the application's event loop, so that pages print
// whichever thread asked for them, and a thread pool's threads may come and go.
std::atomic<bool> g_ownApplicationThread{false};
// Set in a child made by fork() from a process whose application ran on a thread of the
// component's or that had started the browser engine: neither survives into the child.
std::atomic<bool> g_forkedAway{false};
std::atomic<bool> g_browserStarted{false};
// The process whose thread that is (a child made by fork() has none).
std::atomic<pid_t> g_applicationProcess{0};

void forkedChild()
{
    if (g_ownApplicationThread || g_browserStarted)
        g_forkedAway = true;
}

// A process whose browser engine runs on the component's own application thread cannot take
// the engine down at its end: its static objects would go while that thread and the engine's
// own threads still use them. So once the engine has started there, the process ends at its
// exit handlers: the standard streams are flushed and it ends with its status, before any
// static object goes. (A program with its own application takes the pages down with it.)
void endWithTheBrowser(int status, void *)
{
    if (!g_browserStarted || !g_ownApplicationThread || g_applicationProcess != ::getpid())
        return;
    std::fflush(nullptr);
    ::_exit(status);
}

// Registered more than once while the engine starts: exit handlers run last-registered first,
// and the engine makes static objects of its own as its first pages load.
void endWithTheBrowserAtExit()
{
    static std::atomic<int> registered{0};
    if (g_ownApplicationThread && registered.fetch_add(1) < 8)
        ::on_exit(endWithTheBrowser, nullptr);
}

// Made on the application's thread, the first thing there; quiets the one warning that
// thread gives, since it is no error here.
QtMessageHandler g_previousHandler = nullptr;

bool onApplicationThreadNow(QCoreApplication *app) { return QThread::currentThread() == app->thread(); }

void quietThreadWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("was not created in the main() thread")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// At the end of the process the application's thread is stopped where it stands, idle, before
// the process's static objects go: it would otherwise go on using them while they are destroyed.
void parkApplicationThread()
{
    static std::mutex mutex;
    static std::condition_variable parked;
    static bool isParked = false;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || onApplicationThreadNow(app) || g_applicationProcess != ::getpid())
        return;
    QMetaObject::invokeMethod(
        app,
        [] {
            {
                std::lock_guard lock(mutex);
                isParked = true;
                parked.notify_all();
            }
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(1));
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex);
    parked.wait_for(lock, std::chrono::seconds(2), [] { return isParked; });
}

void startApplicationThread()
{
    std::mutex mutex;
    std::condition_variable ready;
    bool made = false;
    std::thread([&] {
        static int argc = 1;
        static char name[] = "corvane";
        static char *argv[] = {name, nullptr};
        g_previousHandler = qInstallMessageHandler(quietThreadWarning);
        auto *app = new QApplication(argc, argv); // lives for the rest of the process
        qInstallMessageHandler(g_previousHandler);
        app->setQuitOnLastWindowClosed(false);
        {
            std::lock_guard lock(mutex);
            made = true;
            ready.notify_all(); // under the lock: the waiter's mutex lives until it is released
        }
        // Nothing ends this loop: the thread stays until the process ends.
        for (;;) {
            QCoreApplication::exec();
            QThread::msleep(10);
        }
    }).detach();
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return made; });
    g_applicationProcess = ::getpid();
    std::atexit(parkApplicationThread);
}

bool onApplicationThread()
{
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void useEmbeddableFontsOnly()
{
    static std::once_flag once;
    std::call_once(once, [] {
        FcConfig *config = FcInitLoadConfig();
        if (!config)
            return;
        static const char rule[] = "<?xml version=\"1.0\"?><fontconfig><selectfont><rejectfont><pattern>"
                                   "<patelt name=\"fontformat\"><string>Type 1</string></patelt>"
                                   "</pattern></rejectfont></selectfont></fontconfig>";
        // (The configuration made current holds a reference of its own.)
        if (FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8 *>(rule), FcTrue)
            && FcConfigBuildFonts(config))
            FcConfigSetCurrent(config);
        FcConfigDestroy(config);
    });
}

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
    useEmbeddableFontsOnly();
    static std::once_flag forkWatch;
    std::call_once(forkWatch, [] { pthread_atfork(nullptr, nullptr, forkedChild); });
    startApplicationThread();
    g_ownApplicationThread = true;
}

namespace {
// A time limit set in the environment: unset (or empty), or a whole number of seconds in its
// range. Any other value is refused, naming the variable, rather than silently replaced.
void checkSeconds(const char *variable, int lowest, int highest)
{
    if (qEnvironmentVariableIsEmpty(variable))
        return;
    const QString text = qEnvironmentVariable(variable);
    // Digits only, as the print server's timeout is read: no sign, no blanks, no line break.
    static const QRegularExpression digits(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,6}")));
    const qlonglong seconds = digits.match(text).hasMatch() ? text.toLongLong() : -1;
    if (seconds >= lowest && seconds <= highest)
        return;
    throw RuntimeError(err::InvalidProcedureCall,
                       us(QStringLiteral("Invalid procedure call or argument: %1 must be a whole number of seconds "
                                         "from %2 to %3, not \"%4\"")
                              .arg(QLatin1String(variable))
                              .arg(lowest)
                              .arg(highest)
                              .arg(text)));
}
} // namespace

void QtPlatform::prepareBrowser()
{
    checkSeconds("CORVANE_HTML_LOAD_TIMEOUT", 1, 86400);
    if (g_forkedAway)
        throw RuntimeError(err::ObjectDoesNotSupportAction,
                           UString(u"Object doesn't support this action: HTML printing is not available in a process "
                                   u"made by fork() from one in which the component had ")
                               + (g_browserStarted ? u"started its browser engine"
                                                   : u"started its Qt application (to print, or to list or choose "
                                                     u"printers)")
                               + u", which does not survive fork(). Use the component only after the fork, in the "
                                 u"process that prints (for gunicorn: in the worker, not at --preload time)");
    ensureGuiApplication();
    // The browser engine shares OpenGL contexts, which must be asked for before the application
    // object is made: a program that made its own without it would crash on the first page.
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts))
        throw RuntimeError(err::ObjectDoesNotSupportAction,
                           u"Object doesn't support this action: HTML printing needs "
                           u"QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts) before the program makes its "
                           u"QApplication");
    loadBrowserModule();
    if (g_browserStarted)
        endWithTheBrowserAtExit();
}

void QtPlatform::onBrowserThread(std::function<void()> work)
{
    if (onApplicationThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
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
    prepareBrowser();
    // The browser lives on the application's thread; requests from other threads come queued.
    if (!onApplicationThread())
        throw RuntimeError(err::ObjectDoesNotSupportAction,
                           u"Object doesn't support this action: the browser is made on the application's thread");
    static const BrowserModuleServices services{htmlPageLeftPrinting, printPdfOn, openRegularFile, titledPdf};
    std::unique_ptr<BrowserHost> host(loadBrowserModule()(&services));
    if (!host)
        throw RuntimeError(err::ErrorLoadingDll, u"Error in loading DLL: the browser module made no browser");
    // The pages go before the application does: a program's own application object, destroyed
    // when its main returns, would otherwise outlive nothing the pages use.
    static std::once_flag cleanUp;
    std::call_once(cleanUp, [] { qAddPostRoutine([] { resetThreadBrowser(); }); });
    g_browserStarted = true;
    endWithTheBrowserAtExit();
    return host;
}

Shell &QtPlatform::shell() { return qtShell(); }

void QtPlatform::showAbout()
{
    ensureGuiApplication();
    // A dialog nobody can see would hold the caller for ever: a process without a display (a
    // server) is told so at once.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        throw RuntimeError(err::InvalidProcedureCall,
                           u"Invalid procedure call or argument: About shows a dialog, and this process has no "
                           u"display to show it on (the "
                               + us(platform) + u" platform)");
    // The dialog is a window of the application's thread; the caller waits until it is closed.
    const auto show = [] {
        FormAbout dialog(qtShell());
        dialog.exec();
    };
    if (onApplicationThread())
        show();
    else
        QMetaObject::invokeMethod(QCoreApplication::instance(), show, Qt::BlockingQueuedConnection);
}

void QtPlatform::processEvents()
{
    if (onApplicationThread())
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

void QtPlatform::deleteLeftoverFiles(const UString &folder, const LeftoverTest &isLeftover)
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
