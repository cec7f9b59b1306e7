// CUPS as the component reaches it: the server that CUPS_SERVER or client.conf names (the
// machine's scheduler on its local socket, or a print server on another machine, host:port).
// Every conversation with it is bounded as a whole by the timeout, never asks anyone for a
// password and follows no redirect, so that a server that is down, never answers, answers a
// byte at a time, asks for credentials or sends the request elsewhere holds no caller longer
// than the timeout.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cups/cups.h>

#include <chrono>
#include <memory>
#include <optional>

namespace corvane::qt {

// How long, in seconds, a conversation with the server may take in all: CORVANE_CUPS_TIMEOUT
// (whole seconds, 1 to 3600), 10 when it is unset or empty. Nothing, with the reason in why,
// when it is set to anything else: no conversation is held then.
std::optional<int> cupsTimeout(QString *why = nullptr);

// A connection to the server, closed with the object. Null when the server could not be
// reached within the timeout, or did not answer the last time it was asked within as long, or
// the timeout setting is refused; error() says why. Everything done on it is bounded by the
// timeout: at its end the connection is shut, which ends a server that answers a byte at a time
// too. A connection that ran out marks the server as not answering for as long as the timeout,
// so that the rest of a job, and the next calls, fail at once instead of each waiting again.
class CupsConnection {
public:
    CupsConnection();
    ~CupsConnection();
    CupsConnection(const CupsConnection &) = delete;
    CupsConnection &operator=(const CupsConnection &) = delete;

    http_t *get() const { return m_http; }
    explicit operator bool() const { return m_http != nullptr; }
    QString error() const { return m_error; }
    // Whether the timeout setting is refused (error() names the variable and the value).
    bool badSetting() const { return m_badSetting; }
    // Whether the conversation ran out of time.
    bool timedOut() const;

    // Sends a request (which it takes) and reads its answer, once: no password, no redirect, no
    // second try. The answer, or null when there was none (failure() says why).
    ipp_t *exchange(ipp_t *request, const char *resource);
    // Why the last step failed: the time ran out, the server asked for a password or sent the
    // request elsewhere, the server refused (its reason, when it answered), else `brokeOff`.
    QString failure(bool answered, const QString &brokeOff) const;

private:
    struct Watch;
    http_t *m_http = nullptr;
    QString m_error;
    QByteArray m_server;
    int m_seconds = 0;
    bool m_badSetting = false;
    bool m_timedOut = false;
    std::chrono::steady_clock::time_point m_deadline;
    std::unique_ptr<Watch> m_watch;
};

// The destinations in the server's order ("name" or "name/instance"), and the default one;
// none when the server cannot be reached.
struct CupsDestinations {
    QStringList names;
    QString defaultName;
    bool answered = false; // the server gave its list
};
CupsDestinations cupsDestinations();

// Sends a file to a destination as one job named `title`. The job's id once the server has
// taken the whole document; 0 with the reason in why when it has not. The whole conversation
// takes the timeout at most.
int cupsSubmit(const QByteArray &destination, const QByteArray &file, const char *title, int optionCount,
               cups_option_t *options, QString *why);

} // namespace corvane::qt
