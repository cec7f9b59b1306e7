#include "platform/qt/QtMetafiles.h"

#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStrings.h"
#include "platform/qt/picture/MetafileData.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define CORVANE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define CORVANE_SANITIZED 1
#endif
#endif

namespace corvane::qt {

namespace {

using Clock = std::chrono::steady_clock;

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    {
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

bool setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Waits for the child until the deadline, then kills it and waits for it: no zombie is left.
// The exit status, or nullopt when it had to be killed.
std::optional<int> reap(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 && errno != EINTR)
            return std::nullopt;
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

std::optional<QByteArray> runPictureProgram(const QByteArray &program, const std::vector<QByteArray> &args,
                                            const QByteArray &input, std::size_t maxOutput, const MetafileLimits &limits)
{
    const Clock::time_point deadline = Clock::now() + limits.time;

    // Standard input is a socket, so that writing to a child that has gone raises no SIGPIPE
    // in this process (MSG_NOSIGNAL); every descriptor is close-on-exec for other threads' children.
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return std::nullopt;
    Fd toChild(pair[0]), childIn(pair[1]);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    Fd fromChild(pipeFds[0]), childOut(pipeFds[1]);
    Fd devNull(open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (devNull.get() < 0 || !setNonBlocking(toChild.get()) || !setNonBlocking(fromChild.get()))
        return std::nullopt;

    // Everything the child needs is made before fork: after it, only async-signal-safe calls.
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.constData()));
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    rlimit memory{};
    memory.rlim_cur = memory.rlim_max = limits.memoryBytes;
    bool limitMemory = limits.memoryBytes > 0;
#ifdef CORVANE_SANITIZED
    // A sanitizer's shadow memory alone is larger than any sensible limit.
    limitMemory = false;
#endif
    const rlimit noCore{0, 0};
    // Nothing of the caller's reaches the program: no environment (LD_PRELOAD and the like would
    // act before it can confine itself), no working folder, no terminal.
    char *noEnvironment[] = {nullptr};
    sigset_t noSignals;
    sigemptyset(&noSignals);

    const pid_t pid = fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        if (dup2(childIn.get(), STDIN_FILENO) < 0 || dup2(childOut.get(), STDOUT_FILENO) < 0
            || dup2(devNull.get(), STDERR_FILENO) < 0)
            _exit(127);
        close_range(3, ~0U, 0);
        if (setsid() < 0 || chdir("/") != 0)
            _exit(127);
        pthread_sigmask(SIG_SETMASK, &noSignals, nullptr);
        signal(SIGPIPE, SIG_DFL);
        setrlimit(RLIMIT_CORE, &noCore);
        if (limitMemory && setrlimit(RLIMIT_AS, &memory) != 0)
            _exit(127);
        execve(argv[0], argv.data(), noEnvironment);
        _exit(127);
    }
    childIn.reset();
    childOut.reset();
    devNull.reset();

    // Feed standard input and drain standard output together, so neither side can block the other.
    QByteArray output;
    qsizetype written = 0;
    bool ok = true;
    char chunk[65536];
    while (fromChild.get() >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            ok = false;
            break;
        }
        pollfd fds[2] = {{fromChild.get(), POLLIN, 0}, {toChild.get(), POLLOUT, 0}};
        const nfds_t count = toChild.get() >= 0 ? 2 : 1;
        const int ready = poll(fds, count, int(std::min<decltype(left)>(left, 1000)));
        if (ready < 0 && errno != EINTR) {
            ok = false;
            break;
        }
        if (ready <= 0)
            continue;
        if (count == 2 && (fds[1].revents & POLLOUT)) {
            const ssize_t n = send(toChild.get(), input.constData() + written, std::size_t(input.size() - written),
                                   MSG_NOSIGNAL);
            if (n > 0)
                written += n;
            // All written, or the child stopped reading: either way it has all it will get.
            if (written >= input.size() || (n < 0 && errno != EAGAIN && errno != EINTR))
                toChild.reset();
        } else if (count == 2 && fds[1].revents) {
            toChild.reset();
        }
        if (fds[0].revents) {
            const ssize_t n = read(fromChild.get(), chunk, sizeof chunk);
            if (n > 0) {
                output.append(chunk, n);
                if (std::size_t(output.size()) > maxOutput) {
                    ok = false;
                    break;
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                fromChild.reset();
        }
    }
    toChild.reset();
    fromChild.reset();
    const std::optional<int> status = reap(pid, ok ? deadline : Clock::now());
    if (!ok || !status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
        return std::nullopt;
    return output;
}

QString metafileProgram() { return qs(qtPlatform().libraryFolder()) + QStringLiteral("/corvane-picture"); }

QImage renderMetafile(std::string_view kind, const QByteArray &bytes, QSize pixels)
{
    return renderMetafileWith(metafileProgram(), kind, bytes, pixels, MetafileLimits{});
}

QImage renderMetafileWith(const QString &program, std::string_view kind, const QByteArray &bytes, QSize pixels,
                          const MetafileLimits &limits)
{
    if ((kind != "wmf" && kind != "emf") || pixels.width() < 1 || pixels.height() < 1 || pixels.width() > metafile::maxSide
        || pixels.height() > metafile::maxSide || qint64(pixels.width()) * pixels.height() > metafile::maxPixels
        || bytes.isEmpty() || std::size_t(bytes.size()) > metafile::maxInputBytes)
        return {};
    // The program starts in the root folder: a relative path is made whole first.
    const QByteArray path = program.isEmpty() ? QByteArray() : QFile::encodeName(QFileInfo(program).absoluteFilePath());
    if (path.isEmpty() || access(path.constData(), X_OK) != 0)
        return {};
    // A PNG is never much larger than the raw pixels.
    const std::size_t maxOutput = std::size_t(pixels.width()) * std::size_t(pixels.height()) * 5 + (1u << 20);
    const std::optional<QByteArray> png = runPictureProgram(path,
                                                            {QByteArray(kind.data(), qsizetype(kind.size())),
                                                             QByteArray::number(pixels.width()),
                                                             QByteArray::number(pixels.height())},
                                                            bytes, maxOutput, limits);
    if (!png)
        return {};
    QImage image;
    if (!image.loadFromData(*png, "PNG") || image.size() != pixels)
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace corvane::qt
