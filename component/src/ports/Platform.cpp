#include "Platform.h"

#include "core/Files.h"

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
                           : errno == ENOENT                 ? err::PathNotFound
                                                             : err::PathFileAccessError);
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(name.c_str());
        throw RuntimeError(err::DiskFull);
    }
    std::lock_guard lock(g_heldMutex);
    g_held.insert(name);
    return std::shared_ptr<void>(new std::string(name), [](void *held) {
        auto *heldName = static_cast<std::string *>(held);
        {
            std::lock_guard heldLock(g_heldMutex);
            if (const auto it = g_held.find(*heldName); it != g_held.end())
                g_held.erase(it);
        }
        delete heldName;
    });
}

void Platform::deleteLeftoverFiles(const UString &folder, const LeftoverTest &isLeftover)
{
    if (folder.empty())
        return;
    namespace fs = std::filesystem;
    std::error_code ec;
    // Paths in UTF-16: a narrow path is the system's code page on Windows, not UTF-8.
    for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        if (!isLeftover(it->path().filename().u16string()) || !it->is_regular_file(ec))
            continue;
        std::lock_guard lock(g_heldMutex);
        if (!g_held.count(toUtf8(it->path().u16string())))
            fs::remove(it->path(), ec);
    }
}

void setDefaultPlatform(Platform *platform) { g_defaultPlatform = platform; }

Platform *defaultPlatform() { return g_defaultPlatform; }

} // namespace corvane
