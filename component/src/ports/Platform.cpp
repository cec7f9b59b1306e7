#include "Platform.h"

#include "core/Files.h"

#include <corvane/Errors.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

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
    const std::filesystem::path file = systemPath(path);
    // Exclusive creation, which also refuses to follow a link. The C library's "x" mode is not
    // known to every Windows run-time (an older one ignores it and overwrites), so the flag goes
    // to open itself.
#ifdef _WIN32
    const int fd = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
#endif
    if (fd < 0) {
        if (errno == EEXIST)
            return nullptr;
        throw RuntimeError(errno == EACCES || errno == EROFS ? err::PermissionDenied
                           : errno == ENOENT                 ? err::PathNotFound
                                                             : err::PathFileAccessError);
    }
    bool written = true;
    for (size_t at = 0; written && at < bytes.size();) {
        const size_t chunk = std::min<size_t>(bytes.size() - at, 1u << 30);
#ifdef _WIN32
        const long n = _write(fd, bytes.data() + at, static_cast<unsigned>(chunk));
#else
        const long n = ::write(fd, bytes.data() + at, chunk);
        if (n < 0 && errno == EINTR)
            continue;
#endif
        written = n > 0;
        at += written ? static_cast<size_t>(n) : 0;
    }
#ifdef _WIN32
    const bool closed = _close(fd) == 0;
#else
    const bool closed = ::close(fd) == 0;
#endif
    if (!written || !closed) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
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
