// The browser host on QtWebEngine. It is a module of its own (libcorvane-web.so), loaded the
// first time a page is printed: the browser engine is large, and a process that prints text or
// rich text never has to load it.
#include "QtBrowserHost.h"

#include "QtFiles.h"
#include "QtWeb.h"

#include <corvane/Errors.h>

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QMimeDatabase>
#include <QUuid>
#include <QFileInfo>
#include <QPageLayout>
#include <QPointer>
#include <QTemporaryFile>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include <unistd.h>

namespace corvane::qt {

namespace {

UString us(const QString &text) { return text.toStdU16String(); }

// How long a page may take to load, resources included: CORVANE_HTML_LOAD_TIMEOUT seconds
// (1 to 86400), 60 by default.
int loadTimeoutSeconds()
{
    bool ok = false;
    const qlonglong seconds = qEnvironmentVariable("CORVANE_HTML_LOAD_TIMEOUT").trimmed().toLongLong(&ok);
    return ok && seconds >= 1 && seconds <= 86400 ? static_cast<int>(seconds) : 60;
}

// file://localhost/x is file:///x.
QUrl withoutLocalHost(QUrl url)
{
    if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0
        && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        url.setHost(QString());
    return url;
}

// The local files a page may read: none (a remote page), one file (a page written from
// source), or a folder and everything below it (a local page).
class LocalReach {
public:
    LocalReach() = default;
    LocalReach(const QString &file, bool onlyItself)
    {
        QString path = QFileInfo(file).canonicalFilePath();
        if (path.isEmpty())
            path = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
        m_root = onlyItself ? path : QFileInfo(path).path();
        m_onlyFile = onlyItself;
    }

    // The real path of a file already opened (links resolved by the opening itself).
    bool allowsRealPath(const QString &path) const
    {
        if (m_root.isEmpty())
            return false;
        if (m_onlyFile)
            return path == m_root;
        return path == m_root || path.startsWith(m_root == QLatin1String("/") ? m_root : m_root + QLatin1Char('/'));
    }

private:
    QString m_root;
    bool m_onlyFile = false;
};

// Local pages are not loaded from file: addresses, because the engine opens a file some time
// after its name has been judged, and a link swapped in between would hand the page a file
// outside its reach. A local page is loaded as corvane-local://<key>/<path> instead: every file
// it asks for is opened here, without blocking and without a second look-up, and served only if
// what was opened is a regular file within the reach that <key> stands for. The key is drawn
// anew for each page, so no page reaches into another's files.
constexpr char kLocalScheme[] = "corvane-local";

class LocalFiles final : public QWebEngineUrlSchemeHandler {
public:
    static LocalFiles &instance()
    {
        static LocalFiles *files = [] {
            auto *handler = new LocalFiles(QCoreApplication::instance());
            QWebEngineProfile::defaultProfile()->installUrlSchemeHandler(kLocalScheme, handler);
            return handler;
        }();
        return *files;
    }

    QString add(const LocalReach &reach)
    {
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        m_reaches.insert(key, reach);
        return key;
    }
    void remove(const QString &key) { m_reaches.remove(key); }

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QUrl url = job->requestUrl();
        const auto reach = m_reaches.constFind(url.host());
        if (reach == m_reaches.constEnd()) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QString path = url.path(QUrl::FullyDecoded);
        int fd = -1;
        try {
            fd = openRegularFile(path);
        } catch (const RuntimeError &error) {
            job->fail(error.number() == err::FileNotFound ? QWebEngineUrlRequestJob::UrlNotFound
                                                           : QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QString real = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
        if (!reach->allowsRealPath(real)) {
            ::close(fd);
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        auto *file = new QFile(job);
        if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            job->fail(QWebEngineUrlRequestJob::RequestFailed);
            return;
        }
        job->reply(mimeTypeOf(path), file);
    }

private:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    static QByteArray mimeTypeOf(const QString &path)
    {
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("htm") || suffix == QLatin1String("html"))
            return "text/html";
        if (suffix == QLatin1String("mht") || suffix == QLatin1String("mhtml"))
            return "multipart/related";
        const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        return type.isValid() ? type.name().toUtf8() : QByteArray("application/octet-stream");
    }

    QHash<QString, LocalReach> m_reaches;
};

// Registered once, before the engine starts: the module is loaded on the first request for a
// page, before any page exists.
void registerLocalScheme()
{
    static const bool registered = [] {
        QWebEngineUrlScheme scheme(kLocalScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
        // Remote pages may not load it; its own pages may load from it.
        scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
        QWebEngineUrlScheme::registerScheme(scheme);
        return true;
    }();
    (void)registered;
}

// No page reads a file: address (local pages go through corvane-local, above).
bool allowed(const QUrl &url) { return url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0; }

// Blocks every request of a page (frame, script, picture, style sheet, XMLHttpRequest) for a
// file: address, before it is made.
class ReachInterceptor final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (!allowed(info.requestUrl()))
            info.block(true);
    }
};

// What a failed load reports: a number callers can test and a description naming the address.
std::pair<int32_t, UString> loadError(const QString &address, const QWebEngineLoadingInfo &info)
{
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400)
        return {info.errorCode(), us(QStringLiteral("%1 could not be printed: the server answered HTTP status %2")
                                         .arg(address).arg(info.errorCode()))};
    switch (info.errorCode()) {
    case -6: // the engine's "file not found"
        return {err::FileNotFound, us(QStringLiteral("File not found: %1").arg(address))};
    case -10: // access denied
        return {err::PermissionDenied, us(QStringLiteral("Permission denied: %1").arg(address))};
    case -20: // blocked before it was made
        return {err::PermissionDenied,
                us(QStringLiteral("Permission denied: %1 is outside what the page may read").arg(address))};
    default:
        break;
    }
    QString reason = info.errorString();
    if (reason.isEmpty() || reason.contains(QLatin1Char('<')))
        reason = QStringLiteral("error %1").arg(info.errorCode());
    const int32_t number = info.errorCode() != 0 ? info.errorCode() : err::PathFileAccessError;
    return {number, us(QStringLiteral("%1 could not be loaded: %2").arg(address, reason))};
}

} // namespace

// One request's page, with the navigation hook and the interceptor; on the application's thread.
struct QtBrowserHost::Page : QWebEnginePage {
    QtBrowserHost *host = nullptr;
    QString requested; // the address as the caller gave it
    // A child: it outlives the page's own destructor, which may still ask it.
    ReachInterceptor *interceptor = new ReachInterceptor(this);
    QTimer timer;
    bool loading = true;
    bool timedOut = false;
    bool printing = false; // printToPdf has not called back yet

    QString localKey; // of the page's reach, for a local page

    Page(QtBrowserHost *owner, const QString &address, const QUrl &url, bool onlyItself)
        : QWebEnginePage(QWebEngineProfile::defaultProfile())
        , host(owner)
        , requested(address)
    {
        if (url.isLocalFile())
            localKey = LocalFiles::instance().add(LocalReach(url.toLocalFile(), onlyItself));
        setUrlRequestInterceptor(interceptor);
        // A local page may show a remote picture (an invoice's logo).
        settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        QObject::connect(this, &QWebEnginePage::loadingChanged, this,
                         [this](const QWebEngineLoadingInfo &info) { loadingChanged(info); });
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, this, [this] {
            timedOut = true;
            triggerAction(QWebEnginePage::Stop);
            // A load that does not even stop still ends here.
            QTimer::singleShot(5000, this, [this] { ended(err::PathFileAccessError, us(stopMessage())); });
        });
        timer.start(loadTimeoutSeconds() * 1000);
    }

    ~Page() override
    {
        if (!localKey.isEmpty())
            LocalFiles::instance().remove(localKey);
    }

    // Where the page is loaded from: a local file through corvane-local, anything else as it is.
    QUrl loadUrl(const QUrl &url) const
    {
        if (localKey.isEmpty())
            return url;
        QUrl local;
        local.setScheme(QString::fromLatin1(kLocalScheme));
        local.setHost(localKey);
        local.setPath(url.toLocalFile());
        return local;
    }

    QString stopMessage() const
    {
        return QStringLiteral("%1 could not be printed: it did not finish loading within %2 s")
            .arg(requested)
            .arg(loadTimeoutSeconds());
    }

    QString reported(const QUrl &url) const
    {
        // A local file or a data page reads back as the address the caller gave.
        return url.isLocalFile() || url.scheme() == QLatin1String(kLocalScheme) || url.scheme() == QLatin1String("data")
                || url == QUrl::fromUserInput(requested)
            ? requested
            : url.toString();
    }

    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        if (!allowed(url)) {
            if (isMainFrame)
                ended(err::PermissionDenied,
                      us(QStringLiteral("Permission denied: %1 is outside what the page %2 may read").arg(url.toString(), requested)));
            return false;
        }
        const QString address = isMainFrame && url == QUrl(requested) ? requested : url.toString();
        const bool cancel = host->beforeNavigate && host->beforeNavigate(us(address), isMainFrame);
        if (cancel && isMainFrame && loading)
            ended(0, {}); // a cancelled request never completes: it is over
        return !cancel;
    }

    void loadingChanged(const QWebEngineLoadingInfo &info)
    {
        if (!loading || info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            return;
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
            loading = false;
            timer.stop();
            if (host->documentComplete)
                host->documentComplete(us(reported(info.url())), true);
            return;
        }
        if (timedOut) {
            ended(err::PathFileAccessError, us(stopMessage()));
            return;
        }
        if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus) {
            ended(err::PathFileAccessError,
                  us(QStringLiteral("%1 could not be printed: its load stopped without a page to print (a download, "
                                    "no content, or a page that closed itself)")
                         .arg(requested)));
            return;
        }
        const auto [number, description] = loadError(requested, info);
        ended(number, description);
    }

    // The load is over without a page to print.
    void ended(int32_t number, const UString &description)
    {
        if (!loading)
            return;
        loading = false;
        timer.stop();
        triggerAction(QWebEnginePage::Stop);
        if (host->loadFailed)
            host->loadFailed(us(requested), number, description);
    }
};

namespace {
// The browser engine's sandbox cannot run as root; it reads this when it starts.
void prepareEngine()
{
    if (getuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}
} // namespace

QtBrowserHost::QtBrowserHost()
{
    prepareEngine();
    registerLocalScheme();
}

QtBrowserHost::~QtBrowserHost()
{
    // A page whose print never came back is left to the end of the process: the engine stops
    // the process when such a page is destroyed.
    for (Page *page : m_pages.findChildren<Page *>(Qt::FindDirectChildrenOnly)) {
        if (page->printing) {
            page->setParent(nullptr);
            htmlPageLeftPrinting();
        }
    }
}

void QtBrowserHost::Navigate(const UString &address, bool onlyItself)
{
    const QString text = QString::fromStdU16String(address);
    // A plain path is a local file; anything else is an address as it stands.
    const QUrl url = withoutLocalHost(text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text));
    if (url.isRelative())
        throw RuntimeError(err::FileNotFound, us(QStringLiteral("File not found: %1").arg(text)));
    if (url.isLocalFile()) {
        // Only a regular file is loaded; it is opened without blocking to tell, so a FIFO or a
        // device never stops the engine, and a folder is no page either.
        try {
            ::close(openRegularFile(url.toLocalFile()));
        } catch (const RuntimeError &error) {
            const QString why = error.number() == err::FileNotFound ? QStringLiteral("File not found: %1")
                : error.number() == err::PermissionDenied            ? QStringLiteral("Permission denied: %1")
                                                                     : QStringLiteral("Path/File access error: %1 is not a regular file");
            throw RuntimeError(error.number(), us(why.arg(text)));
        }
    }
    // The last page is let go only now, once its print has been reported; later, because that
    // report may still be on the stack of one of its signals.
    // A page whose print never came back is not destroyed: the engine stops the process when
    // such a page goes. It is left, idle, to the end of the process.
    if (m_page && m_page->printing) {
        m_page->setParent(nullptr);
        htmlPageLeftPrinting();
    } else if (m_page)
        m_page->deleteLater();
    m_page = new Page(this, text, url, onlyItself);
    m_page->setParent(&m_pages);
    m_page->load(m_page->loadUrl(url));
}

void QtBrowserHost::printPage(const UString &printer, Done done)
{
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12));
    const QString target = QString::fromStdU16String(printer);
    const QString address = m_page->requested;
    QPointer<Page> page(m_page);
    m_page->printing = true;
    // A page whose scripts keep the engine busy never gives its print back: after the same
    // time a load may take, the request fails and the page is left alone.
    auto reported = std::make_shared<bool>(false);
    QTimer::singleShot(loadTimeoutSeconds() * 1000, m_page, [reported, address, done] {
        if (*reported)
            return;
        *reported = true;
        done(err::PrinterError, us(QStringLiteral("Printer error: the page %1 did not finish printing within %2 s")
                                       .arg(address)
                                       .arg(loadTimeoutSeconds())));
    });
    m_page->printToPdf(
        [page, target, address, done, reported](const QByteArray &pdf) {
            if (!page || *reported)
                return; // the host went first (its form reports what was left), or time ran out
            *reported = true;
            page->printing = false;
            if (pdf.isEmpty()) {
                done(err::PrinterError, us(QStringLiteral("Printer error: the page %1 could not be laid out").arg(address)));
                return;
            }
            QTemporaryFile file(QDir::tempPath() + QStringLiteral("/corvane-html-XXXXXX.pdf"));
            if (!file.open() || file.write(pdf) != pdf.size() || !file.flush()) {
                done(err::PathFileAccessError,
                     us(QStringLiteral("Path/File access error: the page %1 could not be written to %2")
                            .arg(address, QDir::tempPath())));
                return;
            }
            QString why;
            const int32_t code = printPdfOn(file.fileName(), target, &why);
            if (code > 32)
                done(0, {});
            else if (code == 2 || code == 3)
                done(err::PathNotFound, us(QStringLiteral("Path not found: the page %1 could not be printed: %2").arg(address, why)));
            else
                done(err::PrinterError, us(QStringLiteral("Printer error: the page %1 could not be printed on %2: %3")
                                              .arg(address, target, why)));
        },
        layout);
}

} // namespace corvane::qt

// The module's one entry point, looked up by name when it is loaded.
extern "C" Q_DECL_EXPORT corvane::BrowserHost *corvane_create_browser_host()
{
    return new corvane::qt::QtBrowserHost();
}
