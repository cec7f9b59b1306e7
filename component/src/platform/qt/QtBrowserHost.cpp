// The browser host on QtWebEngine. It is a module of its own (libcorvane-web.so), loaded the
// first time a page is printed: the browser engine is large, and a process that prints text or
// rich text never has to load it.
#include "QtBrowserHost.h"
#include "ports/Shell.h"

#include "QtStrings.h"

#include <corvane/Errors.h>

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QMimeDatabase>
#include <QUuid>
#include <QVariantMap>
#include <QFileInfo>
#include <QPageLayout>
#include <QPointer>
#include <QSizeF>
#include <QTemporaryFile>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvane::qt {

namespace {
// What the library that loaded the module lends it; set once, by the entry point.
const BrowserModuleServices *g_services = nullptr;
} // namespace

namespace {

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

// The local files a page may read: one file (a page written from source), or a folder and
// everything below it (a local page). Paths are bytes, as the system has them: two names that
// differ only in bytes that are not UTF-8 stay two names.
class LocalReach {
public:
    LocalReach() = default;
    LocalReach(const QString &file, bool onlyItself)
    {
        QByteArray path = QFile::encodeName(QFileInfo(file).absoluteFilePath());
        if (char *real = ::realpath(path.constData(), nullptr)) {
            path = real;
            std::free(real);
        }
        const qsizetype slash = path.lastIndexOf('/');
        m_root = slash <= 0 ? QByteArray("/") : path.left(slash);
        if (onlyItself)
            m_file = path.mid(slash + 1);
    }

    // Opens a file the page asks for, without blocking: resolved beneath the reach's folder only
    // (a link is followed only while it stays beneath; for a page from source, none is), so
    // nothing outside is even opened. A descriptor of a regular file, or -1 with errno set.
    int open(const QByteArray &path) const
    {
        const QByteArray prefix = m_root == "/" ? m_root : m_root + '/';
        if (m_root.isEmpty() || !path.startsWith(prefix)) {
            errno = EACCES;
            return -1;
        }
        const QByteArray relative = path.mid(prefix.size());
        if (relative.isEmpty() || (!m_file.isEmpty() && relative != m_file)) {
            errno = EACCES;
            return -1;
        }
        const int root = ::open(m_root.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (root < 0)
            return -1;
        open_how how{};
        how.flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS | (m_file.isEmpty() ? 0 : RESOLVE_NO_SYMLINKS);
        int fd = static_cast<int>(::syscall(SYS_openat2, root, relative.constData(), &how, sizeof how));
        const int openError = errno;
        ::close(root);
        if (fd < 0 && openError == ENOSYS) {
            // A kernel without openat2: open, then test where what was opened really is.
            fd = ::open(path.constData(),
                        O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (m_file.isEmpty() ? 0 : O_NOFOLLOW));
            if (fd >= 0) {
                char real[PATH_MAX + 1];
                const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
                const ssize_t size = ::readlink(link.constData(), real, PATH_MAX);
                if (size <= 0 || !QByteArray(real, size).startsWith(prefix)) {
                    ::close(fd);
                    errno = EACCES;
                    return -1;
                }
            }
        } else {
            errno = openError;
        }
        if (fd < 0)
            return -1;
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(fd);
            errno = EACCES;
            return -1;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }

private:
    QByteArray m_root;
    QByteArray m_file;
};

// Local pages are not loaded from file: addresses, because the engine opens a file some time
// after its name has been judged, and a link swapped in between would hand the page a file
// outside its reach. A local page is loaded as corvane-local://<key>/<path> instead: every file
// it asks for is opened here, beneath the page's folder only, and served only if it is a
// regular file. The key is drawn anew for each page, so no page reaches into another's files.
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
        const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        const int fd = reach->open(path);
        if (fd < 0) {
            job->fail(errno == ENOENT ? QWebEngineUrlRequestJob::UrlNotFound : QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        auto *file = new QFile(job);
        if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            job->fail(QWebEngineUrlRequestJob::RequestFailed);
            return;
        }
        job->reply(mimeTypeOf(QFile::decodeName(path), file), file);
    }

private:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    // By the name's ending, else by what the file holds (text with no known ending is plain
    // text; anything unknown is not shown). A page whose bytes are UTF-8 is said to be UTF-8, as
    // a browser reading it from a file would find: a page written from source always is (the
    // caller's text, written as UTF-8), and without this the engine would read it as Windows-1252
    // (an invoice's "café" printed as "cafÃ©"). Bytes that are not UTF-8 are left to the page's
    // own declaration.
    static QByteArray mimeTypeOf(const QString &path, QFile *file)
    {
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("htm") || suffix == QLatin1String("html")) {
            const QByteArray bytes = file->readAll();
            file->seek(0);
            return isValidUtf8(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))
                     ? QByteArray("text/html; charset=utf-8")
                     : QByteArray("text/html");
        }
        const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(path, file);
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
        scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed
                        | QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(scheme);
        return true;
    }();
    (void)registered;
}

bool isFileUrl(const QUrl &url) { return url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0; }

// Blocks every request of a page (frame, script, picture, style sheet, XMLHttpRequest) for a
// file: address but the page's own archive, before it is made; and every request at all of a
// page given up.
class ReachInterceptor final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    QUrl ownFile;          // a web archive (.mht) is read from its file: address, and only it
    bool blockAll = false; // a page given up reaches nothing more

    bool allows(const QUrl &url) const
    {
        if (blockAll)
            return false;
        return !isFileUrl(url) || (!ownFile.isEmpty() && url.adjusted(QUrl::RemoveFragment) == ownFile);
    }
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (!allows(info.requestUrl()))
            info.block(true);
    }
};

// What a failed load reports: a number callers can test and a description naming the address.
std::pair<int32_t, UString> loadError(const QString &address, const QWebEngineLoadingInfo &info)
{
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400)
        return {info.errorCode(), us(QStringLiteral("%1 could not be printed: the server answered HTTP status %2")
                                         .arg(address)
                                         .arg(info.errorCode()))};
    switch (info.errorCode()) {
    case -6: // the engine's "file not found"
        return {err::FileNotFound, us(QStringLiteral("File not found: %1").arg(address))};
    case -10: // access denied
        return {err::PermissionDenied, us(QStringLiteral("Permission denied: %1").arg(address))};
    case -20: // blocked before it was made
        return {err::PermissionDenied,
                us(QStringLiteral("Permission denied: %1 is outside what the page may read").arg(address))};
    default: break;
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

    QString localKey;        // of the page's reach, for a local page
    bool fromSource = false; // the caller's HTML source, written to a file of the component's
    QString fileName;        // of a local page

    Page(QtBrowserHost *owner, const QString &address, const QUrl &url, bool onlyItself)
        : QWebEnginePage(QWebEngineProfile::defaultProfile())
        , host(owner)
        , requested(address)
        , fromSource(onlyItself)
        , fileName(url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : QString())
    {
        const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (url.isLocalFile() && (suffix == QLatin1String("mht") || suffix == QLatin1String("mhtml")))
            interceptor->ownFile = url.adjusted(QUrl::RemoveFragment); // the engine reads archives from files only
        else if (url.isLocalFile())
            localKey = LocalFiles::instance().add(LocalReach(url.toLocalFile(), onlyItself));
        setUrlRequestInterceptor(interceptor);
        // A local page may show a remote picture (an invoice's logo).
        settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
        settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        // A page that names no font prints in a browser's defaults (the engine's own are the
        // desktop's, wider, and break lines and pages elsewhere).
        settings()->setFontFamily(QWebEngineSettings::StandardFont, QStringLiteral("Times New Roman"));
        settings()->setFontFamily(QWebEngineSettings::SerifFont, QStringLiteral("Times New Roman"));
        settings()->setFontFamily(QWebEngineSettings::SansSerifFont, QStringLiteral("Arial"));
        settings()->setFontFamily(QWebEngineSettings::FixedFont, QStringLiteral("Monospace"));
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
        if (!interceptor->allows(url)) {
            if (isMainFrame)
                ended(err::PermissionDenied,
                      us(QStringLiteral("Permission denied: %1 is outside what the page %2 may read")
                             .arg(url.toString(), requested)));
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

namespace {
// Lets a page go: deleted later (a report of it may still be on the stack of one of its
// signals), unless its print never came back. The engine stops the process when such a page is
// destroyed, so it is left, idle, to the end of the process.
void letGo(QtBrowserHost::Page *page)
{
    if (page->printing) {
        page->setParent(nullptr);
        g_services->pageLeftPrinting();
    } else {
        page->deleteLater();
    }
}
} // namespace

QtBrowserHost::~QtBrowserHost()
{
    // Pages still printing are kept; the others go with m_pages.
    for (Page *page : m_pages.findChildren<Page *>(Qt::FindDirectChildrenOnly)) {
        if (page->printing)
            letGo(page);
    }
}

void QtBrowserHost::Navigate(const UString &address, bool onlyItself)
{
    const QString text = qs(address);
    // A plain path is a local file; anything else is an address as it stands.
    const QUrl url = withoutLocalHost(text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text));
    if (url.isRelative())
        throw RuntimeError(err::FileNotFound, us(QStringLiteral("File not found: %1").arg(text)));
    if (url.scheme().compare(QLatin1String(kLocalScheme), Qt::CaseInsensitive) == 0)
        throw RuntimeError(err::PermissionDenied, us(QStringLiteral("Permission denied: %1").arg(text)));
    if (url.isLocalFile()) {
        // Only a regular file is loaded; it is opened without blocking to tell, so a FIFO or a
        // device never stops the engine, and a folder is no page either.
        try {
            ::close(g_services->openRegularFile(url.toLocalFile()));
        } catch (const RuntimeError &error) {
            const QString why = error.number() == err::FileNotFound ? QStringLiteral("File not found: %1")
                              : error.number() == err::PermissionDenied
                                  ? QStringLiteral("Permission denied: %1")
                                  : QStringLiteral("Path/File access error: %1 is not a regular file");
            throw RuntimeError(error.number(), us(why.arg(text)));
        }
    }
    // The last page is let go only now, once its print has been reported.
    if (m_page)
        letGo(m_page);
    m_page = new Page(this, text, url, onlyItself);
    m_page->setParent(&m_pages);
    m_page->load(m_page->loadUrl(url));
}

namespace {

// What the page says of its printing, read from its style sheets before it prints: its title,
// and the margins of its @page rules, in points, each side as the cascade gives it (the last
// wins, one marked !important over any that is not). The engine, given margins of ours, lays
// the page out with them and never with the page's own, so they are read here. Lengths in
// other units (em and rem of the root's font size, percentages of the A4 page's width or
// height, calc()) are measured on a hidden element, as the browser computes them.
constexpr char kPageFacts[] = R"js(
(function () {
  var sides = ['top', 'right', 'bottom', 'left'], margins = {}, important = {}, seen = 0;
  var points = {pt: 1, px: 0.75, in: 72, cm: 72 / 2.54, mm: 72 / 25.4, q: 72 / 101.6, pc: 12};
  function measured(value, across) {
    var root = document.documentElement;
    if (!root || !/^[\w\s.+*\/()%-]+$/.test(value) || /auto/i.test(value) || value.length > 200) return undefined;
    var box = document.createElement('div'), inner = document.createElement('div');
    box.style.cssText = 'position:absolute;visibility:hidden;left:0;top:0;padding:0;border:0;font-size:1rem;width:'
                      + (across ? 793.7 : 1122.5) + 'px';
    inner.style.marginLeft = value;
    if (!inner.style.marginLeft) return undefined;
    box.appendChild(inner);
    root.appendChild(box);
    var px = parseFloat(getComputedStyle(inner).marginLeft);
    root.removeChild(box);
    return isFinite(px) ? px * 0.75 : undefined;
  }
  // A media list applies to print when one of its queries names print or all (or no type),
  // without "not"; "not print" and "not all" are queries print never matches.
  function printed(media) {
    if (!media || media.length === 0) return true;
    for (var i = 0; i < media.length; ++i) {
      var m = /^\s*(only\s+|not\s+)?([a-z-]+)?/i.exec(media.item(i));
      var type = m && m[2] && !/^(and)$/i.test(m[2]) ? m[2].toLowerCase() : 'all';
      var matches = type === 'print' || type === 'all';
      if (m && m[1] && /^not/i.test(m[1]) ? !matches : matches) return true;
    }
    return false;
  }
  function read(sheet) {
    var rules;
    try { rules = sheet.cssRules; } catch (e) { return; }
    if (!rules || !printed(sheet.media)) return;
    for (var i = 0; i < rules.length && seen < 100000; ++i, ++seen) {
      var rule = rules[i];
      if (rule.type === CSSRule.PAGE_RULE && !rule.selectorText) {
        for (var k = 0; k < 4; ++k) {
          var value = rule.style.getPropertyValue('margin-' + sides[k]).trim();
          var m = /^(\d*\.?\d+)(pt|px|in|cm|mm|q|pc)?$/i.exec(value);
          var urgent = rule.style.getPropertyPriority('margin-' + sides[k]) === 'important';
          if (!value || (!urgent && important[sides[k]])) continue;
          var length = m ? (m[2] || parseFloat(m[1]) === 0 ? parseFloat(m[1]) * (m[2] ? points[m[2].toLowerCase()] : 0)
                                                            : undefined)
                         : measured(value, k % 2 === 1);
          if (length !== undefined) {
            margins[sides[k]] = length;
            important[sides[k]] = urgent;
          }
        }
      } else if (rule.type === CSSRule.MEDIA_RULE && printed(rule.media)) {
        read(rule);
      } else if (rule.type === CSSRule.SUPPORTS_RULE && CSS.supports(rule.conditionText)) {
        read(rule);
      } else if (!rule.type && rule.cssRules) { // a layer's block
        read(rule);
      } else if (rule.type === CSSRule.IMPORT_RULE && rule.styleSheet) {
        read(rule.styleSheet);
      }
    }
  }
  for (var s = 0; s < document.styleSheets.length; ++s) read(document.styleSheets[s]);
  return {title: document.title, margins: margins};
})()
)js";

// The margins a browser prints a page with that sets none: 1 cm on every side, in whole CSS
// pixels (37 of 96 to the inch), as the engine lays out.
constexpr double kDefaultMargin = 37 * 0.75;

// The layout to print a page with: A4 (a page's own @page size takes its place), its own
// margins where it sets them, the default elsewhere. Margins that leave less than an inch
// between them are not the page's to keep. The engine takes margins in whole points, so text
// lands within half a point of where a browser puts it.
QPageLayout pageLayout(const QVariantMap &margins)
{
    const auto side = [&margins](const char *name) {
        bool ok = false;
        const double value = margins.value(QLatin1String(name)).toDouble(&ok);
        return ok && value >= 0 && value < 1000 ? value : kDefaultMargin;
    };
    QMarginsF chosen(side("left"), side("top"), side("right"), side("bottom"));
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point);
    if (chosen.left() + chosen.right() > a4.width() - 72 || chosen.top() + chosen.bottom() > a4.height() - 72)
        chosen = QMarginsF(kDefaultMargin, kDefaultMargin, kDefaultMargin, kDefaultMargin);
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, chosen, QPageLayout::Point);
}

// Prints a page laid out: the PDF, titled, goes to the printer.
void print(QPointer<QtBrowserHost::Page> page, const QPageLayout &layout, const QString &pageTitle,
           const QString &target, const QString &address, BrowserHost::Claim claim, BrowserHost::Done done,
           std::shared_ptr<bool> reported, std::weak_ptr<char> alive);

} // namespace

void QtBrowserHost::printPage(const UString &printer, Claim claim, Done done)
{
    const QString target = qs(printer);
    const QString address = m_page->requested;
    QPointer<Page> page(m_page);
    m_page->printing = true;
    const std::weak_ptr<char> alive = m_alive;
    // A page whose scripts keep the engine busy never gives its print back: after the same
    // time a load may take, the request fails and the page is left alone.
    auto reported = std::make_shared<bool>(false);
    QTimer::singleShot(loadTimeoutSeconds() * 1000, m_page, [page, reported, address, done, alive] {
        if (*reported || alive.expired())
            return;
        *reported = true;
        page->interceptor->blockAll = true; // it reaches nothing more while it is kept
        done(err::PrinterError, us(QStringLiteral("Printer error: the page %1 did not finish printing within %2 s")
                                       .arg(address)
                                       .arg(loadTimeoutSeconds())));
    });
    // The page's title and margins first; then it prints with them.
    m_page->runJavaScript(QString::fromLatin1(kPageFacts), QWebEngineScript::ApplicationWorld,
                          [page, target, address, claim, done, reported, alive](const QVariant &facts) {
                              if (!page || *reported || alive.expired())
                                  return;
                              const QVariantMap map = facts.toMap();
                              print(page, pageLayout(map.value(QStringLiteral("margins")).toMap()),
                                    map.value(QStringLiteral("title")).toString().simplified(), target, address, claim,
                                    done, reported, alive);
                          });
}

namespace {

void print(QPointer<QtBrowserHost::Page> page, const QPageLayout &layout, const QString &pageTitle,
           const QString &target, const QString &address, BrowserHost::Claim claim, BrowserHost::Done done,
           std::shared_ptr<bool> reported, std::weak_ptr<char> alive)
{
    page->printToPdf(
        [page, pageTitle, target, address, claim, done, reported, alive](const QByteArray &drawn) {
            if (!page || *reported || alive.expired())
                return; // the host went first (its form reports what was left), or time ran out
            *reported = true;
            page->printing = false;
            if (drawn.isEmpty()) {
                done(err::PrinterError,
                     us(QStringLiteral("Printer error: the page %1 could not be laid out").arg(address)));
                return;
            }
            // The document and a queue's job are named as the page names itself (its title), else
            // by its file's name or its address; the caller's source without a title names nothing.
            const QString title = !pageTitle.isEmpty()      ? pageTitle
                                : page->fromSource          ? QStringLiteral("Corvane document")
                                : !page->fileName.isEmpty() ? page->fileName
                                                            : address;
            const QByteArray pdf = g_services->titledPdf(drawn, title);
            QTemporaryFile file(QDir::tempPath() + QStringLiteral("/corvane-html-XXXXXX.pdf"));
            if (!file.open() || file.write(pdf) != pdf.size() || !file.flush()) {
                done(err::PathFileAccessError,
                     us(QStringLiteral("Path/File access error: the page %1 could not be written to %2")
                            .arg(address, QDir::tempPath())));
                return;
            }
            // Handed over only while the thread that asked still waits for it.
            if (claim && !claim()) {
                done(err::PrinterError, us(QStringLiteral("Printer error: the page %1 was cancelled").arg(address)));
                return;
            }
            QString why;
            const int32_t code = g_services->printPdfOn(file.fileName(), target, title, &why);
            if (code > shell::LastError)
                done(0, {});
            else if (code == shell::FileNotFound || code == shell::PathNotFound)
                done(err::PathNotFound,
                     us(QStringLiteral("Path not found: the page %1 could not be printed: %2").arg(address, why)));
            else
                done(err::PrinterError, us(QStringLiteral("Printer error: the page %1 could not be printed on %2: %3")
                                               .arg(address, target, why)));
        },
        layout);
}

} // namespace

} // namespace corvane::qt

// The module's one entry point, looked up by name when it is loaded.
extern "C" Q_DECL_EXPORT corvane::BrowserHost *
corvane_create_browser_host(const corvane::qt::BrowserModuleServices *services)
{
    corvane::qt::g_services = services;
    return new corvane::qt::QtBrowserHost();
}
