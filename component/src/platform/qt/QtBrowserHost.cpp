// The browser host on QtWebEngine. It is a module of its own (libcorvane-web.so), loaded the
// first time a page is printed: the browser engine is large, and a process that prints text or
// rich text never has to load it.
#include "QtBrowserHost.h"

#include "QtWeb.h"

#include <corvane/Errors.h>

#include <QDir>
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

// The local files a page may read: none (a remote page), one file (a page written from
// source), or a folder and everything below it (a local page). Links are followed before the
// test, so a link inside the folder to a file outside it is outside.
class LocalReach {
public:
    LocalReach() = default;
    LocalReach(const QUrl &page, bool onlyItself)
    {
        if (!page.isLocalFile())
            return;
        const QFileInfo info(page.toLocalFile());
        QString file = info.canonicalFilePath();
        if (file.isEmpty())
            file = QDir::cleanPath(info.absoluteFilePath()); // missing: its load reports that
        m_root = onlyItself ? file : QFileInfo(file).path();
        m_onlyFile = onlyItself;
    }

    bool allows(const QUrl &url) const
    {
        if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return true; // the engine keeps remote pages from local files itself
        if (m_root.isEmpty() || !url.host().isEmpty())
            return false;
        QString path = QFileInfo(url.toLocalFile()).canonicalFilePath();
        if (path.isEmpty())
            path = QDir::cleanPath(url.toLocalFile()); // a file that is not there reads nothing
        if (m_onlyFile)
            return path == m_root;
        return path == m_root || path.startsWith(m_root == QLatin1String("/") ? m_root : m_root + QLatin1Char('/'));
    }

private:
    QString m_root;
    bool m_onlyFile = false;
};

// Blocks every request of a page (frame, script, picture, style sheet, XMLHttpRequest) for a
// local file outside its reach, before it is made.
class ReachInterceptor final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    LocalReach reach;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (!reach.allows(info.requestUrl()))
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

    Page(QtBrowserHost *owner, const QString &address, const QUrl &url, bool onlyItself)
        : QWebEnginePage(QWebEngineProfile::defaultProfile())
        , host(owner)
        , requested(address)
    {
        interceptor->reach = LocalReach(url, onlyItself);
        setUrlRequestInterceptor(interceptor);
        // A local page may show a remote picture (an invoice's logo); which local files it
        // reads is the interceptor's to decide.
        settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
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

    QString stopMessage() const
    {
        return QStringLiteral("%1 could not be printed: it did not finish loading within %2 s")
            .arg(requested)
            .arg(loadTimeoutSeconds());
    }

    QString reported(const QUrl &url) const
    {
        // A local file or a data page reads back as the address the caller gave.
        return url.isLocalFile() || url.scheme() == QLatin1String("data") || url == QUrl::fromUserInput(requested)
            ? requested
            : url.toString();
    }

    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        if (!interceptor->reach.allows(url)) {
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
        if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus || timedOut) {
            ended(err::PathFileAccessError, us(stopMessage()));
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

QtBrowserHost::QtBrowserHost() { prepareEngine(); }

QtBrowserHost::~QtBrowserHost() = default;

void QtBrowserHost::Navigate(const UString &address, bool onlyItself)
{
    const QString text = QString::fromStdU16String(address);
    // A plain path is a local file; anything else is an address as it stands.
    const QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text);
    // The last page is let go only now, once its print has been reported; later, because that
    // report may still be on the stack of one of its signals.
    if (m_page)
        m_page->deleteLater();
    m_page = new Page(this, text, url, onlyItself);
    m_page->setParent(&m_pages);
    m_page->load(url);
}

void QtBrowserHost::printPage(const UString &printer, Done done)
{
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12));
    const QString target = QString::fromStdU16String(printer);
    const QString address = m_page->requested;
    QPointer<Page> page(m_page);
    m_page->printToPdf(
        [page, target, address, done](const QByteArray &pdf) {
            if (!page)
                return; // the host went first; its form reports what was left
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
