#include "QtFiles.h"

#include <corvane/Errors.h>

#include <QFile>

#include <cerrno>
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
            throw RuntimeError(57);
        }
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    ::close(fd);
    return bytes;
}

} // namespace corvane::qt
