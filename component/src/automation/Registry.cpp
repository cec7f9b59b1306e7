#include "Registry.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::registry {

namespace fs = std::filesystem;

namespace {

fs::path absoluteOrEmpty(const char *text) { return text && *text == '/' ? fs::path(text) : fs::path(); }

// The account's home as the password database has it; empty when it has none.
fs::path accountHome()
{
    std::string buffer(16384, '\0');
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return absoluteOrEmpty(found->pw_dir);
}

} // namespace

fs::path folder()
{
    if (const fs::path data = absoluteOrEmpty(std::getenv("XDG_DATA_HOME")); !data.empty())
        return data / "corvane" / "registry";
    fs::path home = absoluteOrEmpty(std::getenv("HOME"));
    if (home.empty())
        home = accountHome();
    if (home.empty())
        return {}; // never a folder others share, such as /tmp
    return home / ".local" / "share" / "corvane" / "registry";
}

std::vector<fs::path> sharedFolders()
{
    const char *dirs = std::getenv("XDG_DATA_DIRS");
    const std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    std::vector<fs::path> folders;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(start, end - start);
        if (!entry.empty() && entry[0] == '/')
            folders.push_back(fs::path(entry) / "corvane" / "registry");
        start = end + 1;
    }
    return folders;
}

namespace {
fs::path recordPath(const fs::path &registryFolder, const std::string &progId)
{
    return registryFolder / (progId + ".reg");
}

bool validProgId(const std::string &progId)
{
    if (progId.empty() || progId.size() > 200)
        return false;
    for (const char c : progId) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.'
                     || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return progId.find("..") == std::string::npos && progId.front() != '.';
}
} // namespace

namespace {

std::optional<Record> readIn(const fs::path &registryFolder, const std::string &progId)
{
    // Only a regular file (not a link) of the user's or root's, that no one else may write.
    const int fd = ::open(recordPath(registryFolder, progId).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || (status.st_uid != ::geteuid() && status.st_uid != 0)
        || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0 || status.st_size > 65536) {
        ::close(fd);
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        text.append(buffer, static_cast<size_t>(got));
        if (text.size() > 65536)
            break;
    }
    ::close(fd);
    Record record;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            record[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    return record;
}

} // namespace

std::optional<Record> read(const std::string &progId)
{
    if (!validProgId(progId))
        return std::nullopt;
    if (const fs::path own = folder(); !own.empty()) {
        if (auto record = readIn(own, progId))
            return record;
    }
    for (const fs::path &shared : sharedFolders()) {
        if (auto record = readIn(shared, progId))
            return record;
    }
    return std::nullopt;
}

bool write(const std::string &progId, const Record &record)
{
    return !folder().empty() && writeIn(folder(), progId, record);
}

bool writeIn(const fs::path &registryFolder, const std::string &progId, const Record &record)
{
    if (!validProgId(progId) || registryFolder.empty())
        return false;
    // One line a key: a value holding a line break (or any control character) would add a line
    // of its choosing, such as another library to load.
    for (const auto &[key, value] : record) {
        for (const std::string *text : {&key, &value})
            for (const char c : *text)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                    return false;
        if (key.find('=') != std::string::npos)
            return false;
    }
    std::error_code ec;
    fs::create_directories(registryFolder, ec);
    // A new file of its own name (never an existing file or a link), renamed over the record:
    // a reader never sees half a record, and a link put in the record's place is replaced, not
    // followed.
    const fs::path path = recordPath(registryFolder, progId);
    std::string temp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    std::string text;
    for (const auto &[key, value] : record)
        text += key + '=' + value + '\n';
    bool ok = ::fchmod(fd, 0644) == 0;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        ok = wrote > 0;
        if (ok)
            done += static_cast<size_t>(wrote);
    }
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

namespace {

std::string octal(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Why a file or folder with this status may not stand on the way to a library; empty when it may.
std::string untrusted(const struct stat &status, bool stickyAllowed)
{
    if (status.st_uid != ::geteuid() && status.st_uid != 0)
        return "is owned by another user (uid " + std::to_string(status.st_uid) + ")";
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0
        && !(stickyAllowed && status.st_uid == 0 && (status.st_mode & S_ISVTX) != 0))
        return "may be written by others (mode " + octal(status.st_mode) + ")";
    return {};
}

} // namespace

LibraryCheck checkLibrary(const std::string &path)
{
    LibraryCheck check;
    // A bare name or a relative path would be looked for along the loader's search path.
    if (path.empty() || path.front() != '/') {
        check.refusal = "the library \"" + path + "\" is not named by an absolute path";
        return check;
    }
    char real[PATH_MAX];
    if (!::realpath(path.c_str(), real)) {
        check.refusal = "the library " + path + " cannot be found (" + std::strerror(errno) + ")";
        return check;
    }
    check.path = real;
    const std::string named = check.path == path ? path : path + " (" + check.path + ")";
    struct stat status {};
    if (::lstat(real, &status) != 0 || !S_ISREG(status.st_mode)) {
        check.refusal = "the library " + named + " is not a regular file";
        return check;
    }
    if (std::string why = untrusted(status, false); !why.empty()) {
        check.refusal = "the library " + named + " " + why;
        return check;
    }
    // Every folder from the library's own up to the root: whoever may change one of them may put
    // another file in the library's place.
    fs::path folder = fs::path(check.path).parent_path();
    for (int depth = 0; depth < 4096; ++depth) {
        struct stat folderStatus {};
        if (::lstat(folder.c_str(), &folderStatus) != 0 || !S_ISDIR(folderStatus.st_mode)) {
            check.refusal = "the library " + named + " is in " + folder.string() + ", which is not a folder";
            return check;
        }
        if (std::string why = untrusted(folderStatus, depth > 0); !why.empty()) {
            check.refusal = "the library " + named + " is in the folder " + folder.string() + ", which " + why;
            return check;
        }
        if (folder == folder.root_path())
            break;
        folder = folder.parent_path();
    }
    return check;
}

bool remove(const std::string &progId)
{
    if (!validProgId(progId) || folder().empty())
        return false;
    std::error_code ec;
    fs::remove(recordPath(folder(), progId), ec);
    return !ec;
}

} // namespace corvane::registry
