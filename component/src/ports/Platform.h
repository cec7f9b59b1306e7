// What the jobs need of the platform: the printer, the hidden forms, the shell, files, the clock.
#pragma once

#include "BrowserHost.h"
#include "PrinterSurface.h"
#include "RichTextControl.h"
#include "Shell.h"

#include <functional>
#include <memory>
#include <string>

namespace corvane {

// Which names of a folder are leftover files to delete.
using LeftoverTest = std::function<bool(std::u16string_view name)>;

class Platform {
public:
    virtual ~Platform() = default;
    // A new surface on the platform's default printer; the core keeps one per thread.
    virtual std::unique_ptr<PrinterSurface> createPrinterSurface() = 0;
    // A new hidden rich-text control (the form FrmRTF with RTF1); one per thread at most.
    virtual std::unique_ptr<RichTextControl> createRichTextControl() = 0;
    // A new hidden browser (FrmWB's control), on the browser's thread; one per process at most.
    virtual std::unique_ptr<BrowserHost> createBrowserHost() = 0;
    // Checks, on the asking thread, what HTML printing needs (the browser's module, an
    // application it can run in): raises the run-time error that stops it, before anything is
    // queued.
    virtual void prepareBrowser() {}
    // Runs work on the thread the browser lives on: now when the caller is that thread, else
    // queued to it. Work that runs later reports its own failures.
    virtual void onBrowserThread(std::function<void()> work) { work(); }
    virtual Shell &shell() = 0;
    // Shows the About dialog modally; returns when it is closed.
    virtual void showAbout() = 0;
    // Lets the thread's pending window messages through.
    virtual void processEvents() = 0;
    // The folder that holds the component library, without a trailing separator.
    virtual UString libraryFolder() = 0;
    // The folder of the temporary HTML files, without a trailing separator. It is computed,
    // not checked: createTemporaryFile checks it.
    virtual UString temporaryFolder();
    // Creates a new file holding bytes, readable by the user alone, never an existing file or
    // a link. Returns a hold: while it lives, deleteLeftoverFiles (in any process) keeps the
    // file. Null when a file of that name exists already (draw another name). Raises the
    // run-time's file errors, also when the folder may not be trusted (70).
    virtual std::shared_ptr<void> createTemporaryFile(const UString &path, const std::string &bytes);
    // Deletes the regular files of the folder whose names pass the test and that no hold keeps;
    // ignores every error.
    virtual void deleteLeftoverFiles(const UString &folder, const LeftoverTest &isLeftover);
    // The bytes of a named file for a print method. Raises the run-time's file errors (53 not
    // found, 70 permission denied, 75 access error, also for what is not a regular file). A
    // platform that can should open without blocking and check what it opened, so that a FIFO
    // or device put in the file's place after the existence test cannot stop the caller.
    virtual std::string readFile(const UString &path);
    // The current date in the user's short date form and the time as hours and minutes on
    // the 24-hour clock, read anew at every call.
    virtual UString shortDate() = 0;
    virtual UString shortTime() = 0;
};

// The platform that objects created without one use; set once by the library that hosts the
// core (the Qt adapters) or by a test.
void setDefaultPlatform(Platform *platform);
Platform *defaultPlatform();

} // namespace corvane
