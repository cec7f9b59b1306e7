// The browser host on QtWebEngine. It is a module of its own (libcorvane-web.so), loaded the
// first time a page is printed: the browser engine is large, and a process that prints text or
// rich text never has to load it.
#include "QtBrowserHost.h"

#include "QtWeb.h"

#include <QDir>
#include <QPageLayout>
#include <QTemporaryFile>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <unistd.h>

namespace corvane::qt {

// The page, with the navigation hook; one per FrmWB, on the application's thread.
struct QtBrowserHost::Page : QWebEnginePage {
    QtBrowserHost *host = nullptr;
    QString requested; // the address as the caller gave it
    bool loading = false;
    int printing = 0;

    explicit Page(QtBrowserHost *owner)
        : QWebEnginePage(QWebEngineProfile::defaultProfile())
        , host(owner)
    {
        QObject::connect(this, &QWebEnginePage::loadFinished, this, [this](bool) { finished(); });
    }

    QString reported(const QUrl &url) const
    {
        // A local file or a data page reads back as the address the caller gave.
        return requested.isEmpty() || url.isLocalFile() || url.scheme() == QLatin1String("data")
                || url == QUrl::fromUserInput(requested)
            ? requested
            : url.toString();
    }

    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        const QString address = isMainFrame && (url == QUrl(requested) || requested == QLatin1String("http:///"))
            ? requested
            : url.toString();
        const bool cancel = host->beforeNavigate && host->beforeNavigate(address.toStdU16String(), isMainFrame);
        if (cancel && isMainFrame && loading) {
            // A cancelled request never completes: it is over.
            loading = false;
            htmlPrintsChanged(-1);
        }
        return !cancel;
    }

    void finished()
    {
        if (!loading)
            return;
        loading = false;
        const QString address = reported(url());
        const int before = printing;
        if (host->documentComplete)
            host->documentComplete(address.toStdU16String(), true);
        if (printing == before)
            htmlPrintsChanged(-1); // nothing to print: the request is over
    }
};

namespace {
// The browser engine's sandbox cannot run as root; it reads this when it starts.
bool prepareEngine()
{
    if (getuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return true;
}
} // namespace

QtBrowserHost::QtBrowserHost()
    : m_page((prepareEngine(), std::make_unique<Page>(this)))
{
}

QtBrowserHost::~QtBrowserHost()
{
    if (m_page && m_page->loading)
        htmlPrintsChanged(-1);
}

void QtBrowserHost::Navigate(const UString &address)
{
    Page &page = *m_page;
    // BeforeNavigate2 comes first, for addresses the engine would not even start on as well.
    if (beforeNavigate && beforeNavigate(address, true))
        return;
    if (!page.loading)
        htmlPrintsChanged(+1);
    page.loading = true;
    page.requested = QString::fromStdU16String(address);
    // A plain path is a local file; anything else is an address as it stands.
    const QString text = page.requested;
    const QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl(text);
    page.load(url);
}

void QtBrowserHost::printPage()
{
    Page &page = *m_page;
    ++page.printing;
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12));
    page.printToPdf(
        [&page](const QByteArray &pdf) {
            if (!pdf.isEmpty()) {
                QTemporaryFile file(QDir::tempPath() + QStringLiteral("/corvane-html-XXXXXX.pdf"));
                if (file.open() && file.write(pdf) == pdf.size() && file.flush())
                    printPdfOnDefaultPrinter(file.fileName());
            }
            --page.printing;
            htmlPrintsChanged(-1);
        },
        layout);
}

} // namespace corvane::qt

// The module's one entry point, looked up by name when it is loaded.
extern "C" Q_DECL_EXPORT corvane::BrowserHost *corvane_create_browser_host()
{
    return new corvane::qt::QtBrowserHost();
}
