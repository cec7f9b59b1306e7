#include "QtCups.h"

#include <QHash>
#include <QRegularExpression>
#include <QtGlobal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace corvane::qt {

namespace {

// The servers a conversation last ran out of time with, and when: conversations with one of
// them right after fail at once instead of waiting again.
std::mutex g_silentMutex;
QHash<QByteArray, int64_t> g_silentSince;

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

QByteArray serverName()
{
    const char *server = cupsServer();
    return server[0] == '/' ? QByteArray(server) : QByteArray(server) + ':' + QByteArray::number(ippPort());
}

bool recentlySilent(const QByteArray &server, int seconds)
{
    std::lock_guard lock(g_silentMutex);
    const auto it = g_silentSince.constFind(server);
    return it != g_silentSince.constEnd() && nowMs() - *it < int64_t(seconds) * 1000;
}

void markSilent(const QByteArray &server, bool silent)
{
    std::lock_guard lock(g_silentMutex);
    if (silent)
        g_silentSince.insert(server, nowMs());
    else
        g_silentSince.remove(server);
}

// A print job has no one to ask for a password: the server's request for one fails at once.
const char *noPassword(const char *, http_t *, const char *, const char *, void *) { return nullptr; }

} // namespace

std::optional<int> cupsTimeout(QString *why)
{
    const QString value = qEnvironmentVariable("CORVANE_CUPS_TIMEOUT");
    if (value.isEmpty())
        return 10;
    static const QRegularExpression digits(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,4}")));
    if (digits.match(value).hasMatch()) {
        const int seconds = value.toInt();
        if (seconds >= 1 && seconds <= 3600)
            return seconds;
    }
    if (why)
        *why = QStringLiteral("CORVANE_CUPS_TIMEOUT must be a whole number of seconds from 1 to 3600, not \"%1\"").arg(value);
    return std::nullopt;
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
    bool hasFired()
    {
        std::lock_guard lock(mutex);
        return fired;
    }
};

CupsConnection::CupsConnection()
{
    // The password callback is the thread's own in libcups: set on every thread that talks to
    // the server, in place of any dialog another library may have put there.
    cupsSetPasswordCB2(noPassword, nullptr);
    const std::optional<int> seconds = cupsTimeout(&m_error);
    if (!seconds) {
        m_badSetting = true;
        return;
    }
    m_seconds = *seconds;
    m_server = serverName();
    if (recentlySilent(m_server, m_seconds)) {
        m_timedOut = true;
        m_error = QStringLiteral("the print server did not answer within %1 s").arg(m_seconds);
        return;
    }
    m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_seconds);
    const char *server = cupsServer();
    m_http = httpConnect2(server, ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, m_seconds * 1000, nullptr);
    if (!m_http) {
        const int error = errno;
        // A server that takes the whole time to refuse is not waited for again right after.
        if (std::chrono::steady_clock::now() >= m_deadline)
            markSilent(m_server, true);
        const QString where = QString::fromUtf8(m_server);
        // The system's word for why, when it is one about connecting (the library may leave
        // another behind).
        const bool known = error == ECONNREFUSED || error == ETIMEDOUT || error == ENOENT || error == EHOSTUNREACH
                        || error == ENETUNREACH || error == EACCES || error == ECONNRESET || error == ENOTSOCK;
        m_error = known ? QStringLiteral("the print server %1 cannot be reached (%2)")
                              .arg(where, QString::fromLocal8Bit(std::strerror(error)))
                        : QStringLiteral("the print server %1 cannot be reached").arg(where);
        return;
    }
    // Waits end at the deadline; a server that keeps sending a little at a time is cut off
    // there by the watch.
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
    const bool ranOut = timedOut();
    m_watch.reset(); // before the connection it watches
    if (m_http) {
        httpClose(m_http);
        markSilent(m_server, ranOut);
    }
}

bool CupsConnection::timedOut() const
{
    return m_timedOut || (m_watch && m_watch->hasFired()) || (m_http && std::chrono::steady_clock::now() >= m_deadline);
}

ipp_t *CupsConnection::exchange(ipp_t *request, const char *resource)
{
    // The library's own request loop follows a redirect to itself for ever and asks for a
    // password again and again: one request, one answer, here.
    if (!m_http) {
        ippDelete(request);
        return nullptr;
    }
    const http_status_t sent = cupsSendRequest(m_http, request, resource, ippLength(request));
    ippDelete(request);
    if (sent != HTTP_STATUS_CONTINUE)
        return nullptr;
    return cupsGetResponse(m_http, resource);
}

QString CupsConnection::failure(bool answered, const QString &brokeOff) const
{
    if (timedOut())
        return QStringLiteral("the print server did not answer within %1 s").arg(m_seconds);
    if (!m_http)
        return m_error;
    const http_status_t status = httpGetStatus(m_http);
    const ipp_status_t last = cupsLastError();
    if (status == HTTP_STATUS_UNAUTHORIZED || status == HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED
        || last == IPP_STATUS_ERROR_NOT_AUTHORIZED || last == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED)
        return QStringLiteral("the print server asks for a password, which printing does not give");
    if (status >= HTTP_STATUS_MULTIPLE_CHOICES && status < HTTP_STATUS_BAD_REQUEST) {
        const QString location = QString::fromUtf8(httpGetField(m_http, HTTP_FIELD_LOCATION));
        return location.isEmpty()
                 ? QStringLiteral("the print server redirected the request elsewhere, which is not followed")
                 : QStringLiteral("the print server redirected the request to %1, which is not followed").arg(location);
    }
    const QString reason = QString::fromUtf8(cupsLastErrorString());
    if (!answered || last <= IPP_STATUS_OK_CONFLICTING || reason.isEmpty())
        return brokeOff;
    return reason;
}

CupsDestinations cupsDestinations()
{
    // The whole query, all its requests, within the timeout. The library's listing follows
    // redirects and asks for passwords in a loop of its own: a request of ours goes first, and
    // the listing only when the server answered it as it should.
    CupsDestinations result;
    CupsConnection connection;
    if (!connection)
        return result;
    ipp_t *probe = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
    ippAddString(probe, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t *answer = connection.exchange(probe, "/");
    if (!answer)
        return result;
    ippDelete(answer);
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(connection.get(), &dests);
    const bool ranOut = connection.timedOut();
    for (int i = 0; i < count && !ranOut; ++i) {
        QString name = QString::fromUtf8(dests[i].name);
        if (dests[i].instance)
            name += QLatin1Char('/') + QString::fromUtf8(dests[i].instance);
        if (dests[i].is_default)
            result.defaultName = name;
        result.names << name;
    }
    cupsFreeDests(count, dests);
    // No destination and no answer in time, a connection that failed, or a request for a
    // password, is no list.
    const ipp_status_t status = cupsLastError();
    result.answered = !ranOut
                   && (count > 0
                       || (status != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE && status != IPP_STATUS_ERROR_INTERNAL
                           && status != IPP_STATUS_ERROR_NOT_AUTHORIZED
                           && status != IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED));
    if (!result.answered)
        result = CupsDestinations{};
    return result;
}

int cupsSubmit(const QByteArray &destination, const QByteArray &file, const char *title, int optionCount,
               cups_option_t *options, QString *why)
{
    // A job's name is at most 255 bytes, and a request with a name past what an attribute can
    // hold (32 KB) cannot be sent at all: the title is cut after its last whole UTF-8 character
    // within 255 bytes.
    QByteArray name(title ? title : "");
    if (name.size() > 255) {
        qsizetype end = 255;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            --end;
        name.truncate(end);
    }
    title = name.constData();
    // The job is created, its document sent and finished on one connection of ours, bounded as a
    // whole (the library's own calls open connections of their own, without a bound). A job
    // created but not finished is cancelled: nothing half-done is left to print.
    const auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return 0;
    };
    const QString brokeOff = QStringLiteral("the print server broke off the connection before it had the whole job");
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(
            QStringLiteral("the job's file cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    CupsConnection connection;
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
    ipp_t *response = connection.exchange(request, resource.constData());
    int job = 0;
    const bool answered = response != nullptr;
    const bool created = answered && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING;
    if (response) {
        if (ipp_attribute_t *id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER))
            job = ippGetInteger(id, 0);
        ippDelete(response);
    }
    if (!created || job <= 0)
        return fail(connection.failure(answered, brokeOff));

    const auto cancel = [&](const QString &reason) {
        // On a connection of its own (this one may be cut), unless the server has just run out
        // of time: it would not answer the cancel either.
        if (connection.timedOut())
            return fail(reason);
        CupsConnection again;
        if (again) {
            ipp_t *stop = ippNewRequest(IPP_OP_CANCEL_JOB);
            ippAddString(stop, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
            ippAddInteger(stop, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
            ippAddString(stop, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
            ippDelete(again.exchange(stop, "/jobs/"));
        }
        return fail(reason);
    };
    if (cupsStartDocument(http, destination.constData(), job, title, "application/pdf", 1) != HTTP_STATUS_CONTINUE)
        return cancel(connection.failure(false, brokeOff));
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
            return cancel(connection.failure(false, brokeOff));
    }
    // The job is the server's once it has answered the document's request with success: a
    // connection cut or gone silent before that is a failure, whatever was sent.
    ipp_t *answer = cupsGetResponse(http, resource.constData());
    const bool gotAnswer = answer != nullptr;
    const bool taken = gotAnswer && ippGetStatusCode(answer) <= IPP_STATUS_OK_CONFLICTING;
    ippDelete(answer);
    if (!taken)
        return cancel(connection.failure(gotAnswer, brokeOff));
    return job;
}

} // namespace corvane::qt
