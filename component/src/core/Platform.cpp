#include "Platform.h"

#include "text/TextFiles.h"

#include <corvane/Errors.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>

namespace corvane {

namespace {

std::atomic<Platform *> g_defaultPlatform{nullptr};

struct ThreadState {
    Platform *owner = nullptr;
    std::unique_ptr<PrinterSurface> surface;
    Platform *formOwner = nullptr;
    std::unique_ptr<RichTextControl> richText;
    Platform *browserOwner = nullptr;
    std::unique_ptr<WebBrowserForm> browser;
};

ThreadState &threadState()
{
    thread_local ThreadState state;
    return state;
}

} // namespace

std::string Platform::readFile(const UString &path) { return readFileBytes(path); }

// The portable store of temporary files: holds are known inside this process only.
namespace {
std::mutex g_heldMutex;
std::multiset<std::string> g_held;
} // namespace

UString Platform::temporaryFolder() { return libraryFolder(); }

std::shared_ptr<void> Platform::createTemporaryFile(const UString &path, const std::string &bytes)
{
    const std::string name = toUtf8(path);
    // "x": exclusive creation, which also refuses to follow a link.
    std::FILE *file = std::fopen(name.c_str(), "wbx");
    if (!file) {
        if (errno == EEXIST)
            return nullptr;
        throw RuntimeError(errno == EACCES || errno == EROFS ? err::PermissionDenied
                           : errno == ENOENT             ? err::PathNotFound
                                                         : err::PathFileAccessError);
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(name.c_str());
        throw RuntimeError(61);
    }
    std::lock_guard lock(g_heldMutex);
    g_held.insert(name);
    return std::shared_ptr<void>(new std::string(name), [](void *held) {
        auto *heldName = static_cast<std::string *>(held);
        {
            std::lock_guard lock(g_heldMutex);
            if (const auto it = g_held.find(*heldName); it != g_held.end())
                g_held.erase(it);
        }
        delete heldName;
    });
}

void Platform::deleteLeftoverFiles(const UString &folder, bool (*isLeftover)(std::u16string_view))
{
    if (folder.empty())
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(toUtf8(folder)), ec), end; !ec && it != end; it.increment(ec)) {
        if (!isLeftover(fromUtf8(it->path().filename().string())) || !it->is_regular_file(ec))
            continue;
        std::lock_guard lock(g_heldMutex);
        if (!g_held.count(it->path().string()))
            fs::remove(it->path(), ec);
    }
}

void setDefaultPlatform(Platform *platform) { g_defaultPlatform = platform; }

Platform *defaultPlatform() { return g_defaultPlatform; }

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

bool threadRichTextLoaded() { return threadState().richText != nullptr; }

void unloadThreadRichText()
{
    ThreadState &state = threadState();
    state.richText.reset();
    state.formOwner = nullptr;
}

} // namespace corvane
