#include "ThreadForms.h"

#include "core/ThreadLocal.h"

namespace corvane {

namespace {

struct ThreadState {
    Platform *owner = nullptr;
    std::unique_ptr<PrinterSurface> surface;
    Platform *formOwner = nullptr;
    std::unique_ptr<RichTextControl> richText;
    Platform *browserOwner = nullptr;
    std::unique_ptr<WebBrowserForm> browser;
};

ThreadState &threadState() { return threadLocal<ThreadState>(); }

} // namespace

PrinterSurface &threadSurface(Platform &platform)
{
    ThreadState &state = threadState();
    if (state.owner != &platform || !state.surface) {
        state.surface.reset();
        state.surface = platform.createPrinterSurface();
        state.owner = &platform;
    }
    return *state.surface;
}

void resetThreadSurface()
{
    ThreadState &state = threadState();
    state.browser.reset();
    state.browserOwner = nullptr;
    state.richText.reset();
    state.formOwner = nullptr;
    state.surface.reset();
    state.owner = nullptr;
}

RichTextControl &threadRichText(Platform &platform)
{
    ThreadState &state = threadState();
    if (state.formOwner != &platform || !state.richText) {
        state.richText.reset();
        state.richText = platform.createRichTextControl();
        state.formOwner = &platform;
    }
    return *state.richText;
}

WebBrowserForm &threadBrowser(Platform &platform)
{
    ThreadState &state = threadState();
    if (state.browserOwner != &platform || !state.browser) {
        state.browser.reset();
        state.browser = std::make_unique<WebBrowserForm>(platform.createBrowserHost());
        state.browserOwner = &platform;
    }
    return *state.browser;
}

bool threadBrowserLoaded() { return threadState().browser != nullptr; }

void resetThreadBrowser()
{
    ThreadState &state = threadState();
    state.browser.reset();
    state.browserOwner = nullptr;
}

bool threadRichTextLoaded() { return threadState().richText != nullptr; }

void unloadThreadRichText()
{
    ThreadState &state = threadState();
    state.richText.reset();
    state.formOwner = nullptr;
}

} // namespace corvane
