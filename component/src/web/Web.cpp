#include "BrowserHost.h"
#include "Shell.h"

#include <corvane/Errors.h>

namespace corvane {

WebBrowserForm::WebBrowserForm(std::unique_ptr<BrowserHost> host)
    : m_host(std::move(host))
{
    m_host->beforeNavigate = [](const UString &url, bool) { return BeforeNavigate2(url); };
    m_host->documentComplete = [this](const UString &url, bool topLevel) { DocumentComplete(url, topLevel); };
}

bool WebBrowserForm::BeforeNavigate2(const UString &url) { return url == u"http:///"; }

void WebBrowserForm::DocumentComplete(const UString &url, bool topLevel)
{
    // Only the top-level document prints, once; nothing is reported.
    if (!topLevel || url.empty() || url == u"http:///")
        return;
    try {
        m_host->printPage();
    } catch (...) {
    }
}

int32_t ShellDocument(Shell &shell, const UString &file, int32_t print, int32_t windowStyle)
{
    try {
        return shell.execute(print ? u"print" : u"open", file, windowStyle);
    } catch (...) {
        return 0;
    }
}

} // namespace corvane
