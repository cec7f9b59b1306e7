// The platform of the component library: Qt and CUPS.
#pragma once

#include "ports/Platform.h"

namespace corvane::qt {

class QtPlatform final : public Platform {
public:
    std::unique_ptr<PrinterSurface> createPrinterSurface() override;
    std::unique_ptr<RichTextControl> createRichTextControl() override;
    std::unique_ptr<BrowserHost> createBrowserHost() override;
    void prepareBrowser() override;
    void onBrowserThread(std::function<void()> work) override;
    Shell &shell() override;
    void showAbout() override;
    void processEvents() override;
    UString libraryFolder() override;
    std::string readFile(const UString &path) override;
    UString temporaryFolder() override;
    std::shared_ptr<void> createTemporaryFile(const UString &path, const std::string &bytes) override;
    void deleteLeftoverFiles(const UString &folder, const LeftoverTest &isLeftover) override;
    UString shortDate() override;
    UString shortTime() override;
};

// The one Qt platform of the process; installed as the core's default platform on first use.
QtPlatform &qtPlatform();

// Makes sure a QApplication exists: a program's own is used; a process without one gets one
// (offscreen when there is no display), on a thread of its own that runs its event loop for the
// rest of the process. A QCoreApplication without GUI support cannot print:
// RuntimeError 482 then, instead of letting Qt abort the process.
void ensureGuiApplication();

// The full path of the component library file.
UString libraryPath();

} // namespace corvane::qt
