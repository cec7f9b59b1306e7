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

// The thread's FrmWB: created on the first HTML request, kept for the life of the thread.
WebBrowserForm &threadBrowser(Platform &platform);
bool threadBrowserLoaded();

} // namespace corvane
