#include "QtCups.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <chrono>

namespace corvane::qt {

namespace {

// A wait that ran out: the request fails rather than wait again, and the connection knows why.
int giveUp(http_t *, void *timedOut)
{
    *static_cast<bool *>(timedOut) = true;
    return 0;
}

// A wait of a query that ran out: it goes on while the query's time is not up. A query makes
// several requests; each after the first gets what is left.
int untilDeadline(http_t *, void *deadline)
{
    return std::chrono::steady_clock::now() < *static_cast<std::chrono::steady_clock::time_point *>(deadline) ? 1 : 0;
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

CupsConnection::CupsConnection()
{
    const int seconds = cupsTimeoutSeconds();
    const char *server = cupsServer();
    m_http = httpConnect2(server, ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, seconds * 1000, nullptr);
    if (!m_http) {
        const int error = errno;
        m_error = QStringLiteral("the print server %1 cannot be reached (%2)")
                      .arg(QString::fromUtf8(server[0] == '/' ? server : (QByteArray(server) + ':' + QByteArray::number(ippPort())).constData()),
                           QString::fromLocal8Bit(std::strerror(error)));
        return;
    }
    httpSetTimeout(m_http, seconds, giveUp, &m_timedOut);
}

CupsConnection::~CupsConnection()
{
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
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + std::chrono::seconds(seconds);
    CupsConnection connection;
    if (!connection) {
        waitedInVain(std::chrono::steady_clock::now() >= deadline);
        return result;
    }
    auto wait = deadline;
    httpSetTimeout(connection.get(), 1, untilDeadline, &wait);
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(connection.get(), &dests);
    waitedInVain(count == 0 && std::chrono::steady_clock::now() >= deadline);
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromUtf8(dests[i].name);
        if (dests[i].instance)
            name += QLatin1Char('/') + QString::fromUtf8(dests[i].instance);
        if (dests[i].is_default)
            result.defaultName = name;
        result.names << name;
    }
    cupsFreeDests(count, dests);
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
    const auto serverReason = [&connection] {
        if (connection.timedOut())
            return QStringLiteral("the print server did not answer within %1 s").arg(cupsTimeoutSeconds());
        const QString reason = QString::fromUtf8(cupsLastErrorString());
        if (cupsLastError() <= IPP_STATUS_OK_CONFLICTING || reason.isEmpty())
            return QStringLiteral("the print server broke off the connection");
        return reason;
    };
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("the job's file cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
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
    ipp_t *response = cupsDoRequest(http, request, resource.constData());
    int job = 0;
    if (response) {
        if (ipp_attribute_t *id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER))
            job = ippGetInteger(id, 0);
        ippDelete(response);
    }
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING || job <= 0)
        return fail(serverReason());

    const auto cancel = [&](const QString &reason) {
        const QString said = reason;
        CupsConnection again;
        if (again)
            cupsCancelJob2(again.get(), destination.constData(), job, 0);
        return fail(said);
    };
    if (cupsStartDocument(http, destination.constData(), job, title, "application/pdf", 1) != HTTP_STATUS_CONTINUE)
        return cancel(serverReason());
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const QString reason = QStringLiteral("the job's file cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
            cupsFinishDocument(http, destination.constData());
            return cancel(reason);
        }
        if (got == 0)
            break;
        if (cupsWriteRequestData(http, buffer, static_cast<size_t>(got)) != HTTP_STATUS_CONTINUE)
            return cancel(serverReason());
    }
    if (cupsFinishDocument(http, destination.constData()) > IPP_STATUS_OK_CONFLICTING)
        return cancel(serverReason());
    return job;
}

} // namespace corvane::qt
