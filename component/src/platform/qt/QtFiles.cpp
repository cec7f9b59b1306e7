#include "QtFiles.h"

#include "QtStrings.h"

#include <corvane/Errors.h>

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <sys/file.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::qt {

int openRegularFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR: throw RuntimeError(err::FileNotFound);
        case EACCES:
        case EPERM: throw RuntimeError(err::PermissionDenied);
        default: throw RuntimeError(err::PathFileAccessError);
        }
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw RuntimeError(err::PathFileAccessError, u"Path/File access error: not a regular file");
    }
    // A regular file reads the same either way; blocking reads keep the loops simple.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

QByteArray readRegularFile(const QString &path)
{
    const int fd = openRegularFile(path);
    struct stat status {};
    ::fstat(fd, &status);
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            throw RuntimeError(err::DeviceIOError);
        }
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    ::close(fd);
    return bytes;
}

} // namespace corvane::qt

namespace corvane::qt {

namespace {

[[noreturn]] void untrusted(const QString &folder, const char16_t *why)
{
    throw RuntimeError(err::PermissionDenied, u"Permission denied: the folder " + us(folder)
                                                  + u" for temporary files may not be trusted (" + why + u")");
}

// The folder a private folder sits in: only its owner (the user or root) may rename or replace
// what it holds, unless it is sticky (as /tmp is).
bool trustedParent(const QString &parent)
{
    struct stat status {};
    if (::stat(QFile::encodeName(parent).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return false;
    if (status.st_uid != ::geteuid() && status.st_uid != 0)
        return false;
    return (status.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (status.st_mode & S_ISVTX) != 0;
}

bool privateDirectory(const QByteArray &path)
{
    struct stat status {};
    return ::lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid()
        && (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

QString privateFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && privateDirectory(runtime))
        return QFile::decodeName(runtime) + QStringLiteral("/corvane");
    QString temp = QFile::decodeName(qgetenv("TMPDIR"));
    if (!temp.startsWith(QLatin1Char('/')))
        temp = QStringLiteral("/tmp");
    while (temp.size() > 1 && temp.endsWith(QLatin1Char('/')))
        temp.chop(1);
    return temp + QStringLiteral("/corvane-") + QString::number(::geteuid());
}

void ensurePrivateFolder(const QString &folder)
{
    if (!trustedParent(parentOf(folder)))
        untrusted(folder, u"others may replace it in the folder it is in");
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw RuntimeError(err::PathNotFound);
        throw RuntimeError(errno == EACCES || errno == EROFS ? err::PermissionDenied : err::PathFileAccessError);
    }
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        untrusted(folder, u"it is not a folder");
    if (status.st_uid != ::geteuid())
        untrusted(folder, u"it belongs to another user");
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        untrusted(folder, u"others may write in it");
}

std::shared_ptr<void> createLockedFile(const QString &path, const QByteArray &bytes)
{
    ensurePrivateFolder(parentOf(path));
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            return nullptr;
        throw RuntimeError(errno == EACCES || errno == EROFS ? err::PermissionDenied
                           : errno == ENOENT                 ? err::PathNotFound
                                                             : err::PathFileAccessError);
    }
    // Locked before anything else; a process that deleted the file as a leftover between its
    // creation and the lock leaves another file (or none) under the name: draw another then.
    struct stat opened {
    }, named{};
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &opened) != 0 || ::lstat(name.constData(), &named) != 0
        || opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
        ::close(fd);
        return nullptr;
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            ::unlink(name.constData());
            ::close(fd);
            throw RuntimeError(err::DiskFull);
        }
        done += wrote;
    }
    return std::shared_ptr<void>(new int(fd), [](void *held) {
        ::close(*static_cast<int *>(held)); // ends the lock
        delete static_cast<int *>(held);
    });
}

void deleteUnlockedFiles(const QString &folder, const std::function<bool(std::u16string_view name)> &isLeftover)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat status {};
    if (!trustedParent(parentOf(folder)) || ::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::geteuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return;
    const int dirFd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        if (!isLeftover(us(QFile::decodeName(entry->d_name))))
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat opened {
        }, named{};
        // Deleted only while this process holds the lock, and only if the name still names the
        // file locked.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == opened.st_ino
            && named.st_dev == opened.st_dev)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace corvane::qt
