#include "QtCups.h"

#include <QtGlobal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <chrono>

namespace corvane::qt {

namespace {

// A wait that ran out: the request fails rather than wait again, and the connection knows why.
int giveUp(http_t *, void *timedOut)
{
    *static_cast<bool *>(timedOut) = true;
    return 0;
}


// The server a query last waited for in vain, and when: queries to it right after do not wait
// again. A server that refuses at once is asked again at once.
std::mutex g_unreachableMutex;
QByteArray g_unreachableServer;
int64_t g_unreachableSince = 0;

QByteArray serverName() { return QByteArray(cupsServer()) + ':' + QByteArray::number(ippPort()); }

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

int cupsTimeoutSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariable("CORVANE_CUPS_TIMEOUT").toInt(&ok);
    return ok && seconds >= 1 && seconds <= 3600 ? seconds : 10;
}

// Shuts a connection down at its deadline, unless ended before.
struct CupsConnection::Watch {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool fired = false;
    std::thread thread;

    Watch(http_t *http, std::chrono::steady_clock::time_point deadline)
        : thread([this, http, deadline] {
            std::unique_lock lock(mutex);
            if (!ended.wait_until(lock, deadline, [this] { return done; })) {
                fired = true;
                httpShutdown(http);
            }
        })
    {
    }
    ~Watch()
    {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        ended.notify_all();
        thread.join();
    }
};

namespace {

// A wait of a connection bounded as a whole that ran out: it goes on while its time is not up.
struct WholeWait {
    std::chrono::steady_clock::time_point deadline;
    bool *timedOut;
};

} // namespace

CupsConnection::CupsConnection(Bound bound)
{
    const int seconds = cupsTimeoutSeconds();
    m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const char *server = cupsServer();
    m_http = httpConnect2(server, ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, seconds * 1000, nullptr);
    if (!m_http) {
        const int error = errno;
        const QString where = QString::fromUtf8(
            server[0] == '/' ? server : (QByteArray(server) + ':' + QByteArray::number(ippPort())).constData());
        // The system's word for why, when it is one about connecting (the library may leave
        // another behind).
        const bool known = error == ECONNREFUSED || error == ETIMEDOUT || error == ENOENT || error == EHOSTUNREACH
                        || error == ENETUNREACH || error == EACCES || error == ECONNRESET || error == ENOTSOCK;
        m_error = known ? QStringLiteral("the print server %1 cannot be reached (%2)")
                              .arg(where, QString::fromLocal8Bit(std::strerror(error)))
                        : QStringLiteral("the print server %1 cannot be reached").arg(where);
        return;
    }
    if (bound == Bound::EachWait) {
        httpSetTimeout(m_http, seconds, giveUp, &m_timedOut);
        return;
    }
    httpSetTimeout(
        m_http, 1,
        [](http_t *, void *data) {
            auto *self = static_cast<CupsConnection *>(data);
            if (std::chrono::steady_clock::now() < self->m_deadline)
                return 1;
            self->m_timedOut = true;
            return 0;
        },
        this);
    m_watch = std::make_unique<Watch>(m_http, m_deadline);
}

CupsConnection::~CupsConnection()
{
    m_watch.reset(); // before the connection it watches
    if (m_http)
        httpClose(m_http);
}

CupsDestinations cupsDestinations()
{
    // The whole query, all its requests, within the timeout; and a server found unreachable
    // is not waited for again for as long.
    CupsDestinations result;
    const int64_t seconds = cupsTimeoutSeconds();
    const QByteArray server = serverName();
    const auto waitedInVain = [&](bool inVain) {
        std::lock_guard lock(g_unreachableMutex);
        g_unreachableServer = inVain ? server : QByteArray();
        g_unreachableSince = nowMs();
    };
    {
        std::lock_guard lock(g_unreachableMutex);
        if (g_unreachableServer == server && nowMs() - g_unreachableSince < seconds * 1000)
            return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    CupsConnection connection(CupsConnection::Bound::Whole);
    if (!connection) {
        waitedInVain(std::chrono::steady_clock::now() >= deadline);
        return result;
    }
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(connection.get(), &dests);
    waitedInVain(count == 0 && (connection.timedOut() || std::chrono::steady_clock::now() >= deadline));
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromUtf8(dests[i].name);
        if (dests[i].instance)
            name += QLatin1Char('/') + QString::fromUtf8(dests[i].instance);
        if (dests[i].is_default)
            result.defaultName = name;
        result.names << name;
    }
    cupsFreeDests(count, dests);
    // No destination and no answer in time, or a connection that failed, is no list.
    const ipp_status_t status = cupsLastError();
    result.answered = count > 0
                   || (status != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE && status != IPP_STATUS_ERROR_INTERNAL
                       && std::chrono::steady_clock::now() < deadline);
    return result;
}

int cupsSubmit(const QByteArray &destination, const QByteArray &file, const char *title, int optionCount,
               cups_option_t *options, QString *why)
{
    // The job is created, its document sent and finished on one connection of ours, so that each
    // wait is bounded (the library's own calls open connections of their own, without a
    // bound). A job created but not finished is cancelled: nothing half-done is left to print.
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return 0;
    };
    CupsConnection connection;
    // Why a step failed: the server's own refusal when it answered, else how the connection ended.
    const auto serverReason = [&connection](bool answered) {
        if (connection.timedOut())
            return QStringLiteral("the print server did not answer within %1 s").arg(cupsTimeoutSeconds());
        const QString reason = QString::fromUtf8(cupsLastErrorString());
        if (!answered || cupsLastError() <= IPP_STATUS_OK_CONFLICTING || reason.isEmpty())
            return QStringLiteral("the print server broke off the connection before it had the whole job");
        return reason;
    };
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(
            QStringLiteral("the job's file cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (!connection)
        return fail(connection.error());
    http_t *http = connection.get();

    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     destination.constData());
    ipp_t *request = ippNewRequest(IPP_OP_CREATE_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title);
    cupsEncodeOptions2(request, optionCount, options, IPP_TAG_OPERATION);
    cupsEncodeOptions2(request, optionCount, options, IPP_TAG_JOB);
    const QByteArray resource = "/printers/" + destination;
    // Each step is judged by its own answer: the library's last status may be an older one's.
    ipp_t *response = cupsDoRequest(http, request, resource.constData());
    int job = 0;
    const bool answered = response != nullptr;
    const bool created = answered && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING;
    if (response) {
        if (ipp_attribute_t *id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER))
            job = ippGetInteger(id, 0);
        ippDelete(response);
    }
    if (!created || job <= 0)
        return fail(serverReason(answered));

    const auto cancel = [&](const QString &reason) {
        const QString said = reason;
        CupsConnection again;
        if (again)
            cupsCancelJob2(again.get(), destination.constData(), job, 0);
        return fail(said);
    };
    if (cupsStartDocument(http, destination.constData(), job, title, "application/pdf", 1) != HTTP_STATUS_CONTINUE)
        return cancel(serverReason(false));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const QString reason =
                QStringLiteral("the job's file cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
            cupsFinishDocument(http, destination.constData());
            return cancel(reason);
        }
        if (got == 0)
            break;
        if (cupsWriteRequestData(http, buffer, static_cast<size_t>(got)) != HTTP_STATUS_CONTINUE)
            return cancel(serverReason(false));
    }
    // The job is the server's once it has answered the document's request with success: a
    // connection cut or gone silent before that is a failure, whatever was sent.
    ipp_t *answer = cupsGetResponse(http, resource.constData());
    const bool gotAnswer = answer != nullptr;
    const bool taken = gotAnswer && ippGetStatusCode(answer) <= IPP_STATUS_OK_CONFLICTING;
    ippDelete(answer);
    if (!taken)
        return cancel(serverReason(gotAnswer));
    return job;
}

} // namespace corvane::qt
