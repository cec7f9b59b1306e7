// The thread's printer and hidden forms. Objects of one thread share them; objects of different
// threads never do.
#pragma once

#include "ports/Platform.h"
#include "web/BrowserForm.h"

#include <corvane/Threads.h>

namespace corvane {

// The thread's printer surface for a platform, created on first use. Objects of one thread
// share it; objects of different threads never do.
PrinterSurface &threadSurface(Platform &platform);

// The thread's FrmRTF: created on first use, unloaded after each successful rich-text job.
RichTextControl &threadRichText(Platform &platform);
bool threadRichTextLoaded();
void unloadThreadRichText();

// FrmWB of the browser's thread (see Platform::onBrowserThread): created on the first HTML
// request, kept for the life of that thread, or until resetThreadBrowser.
WebBrowserForm &threadBrowser(Platform &platform);
bool threadBrowserLoaded();
// Lets the calling thread's FrmWB go: its waiting pages fail.
void resetThreadBrowser();

} // namespace corvane
