// CUPS as the component reaches it: the server that CUPS_SERVER or client.conf names (the
// machine's scheduler on its local socket, or a print server on another machine, host:port),
// with every wait for it bounded, so that a server that is down or never answers holds no
// caller longer than the timeout.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cups/cups.h>

#include <chrono>
#include <memory>

namespace corvane::qt {

// How long, in seconds, a request waits for the server before it fails: connecting, and each
// wait for the server to read or answer. CORVANE_CUPS_TIMEOUT (whole seconds, 1 to 3600), 10
// when it is unset or not such a number.
int cupsTimeoutSeconds();

// A connection to the server, closed with the object. Null when the server could not be
// reached within the timeout; error() says why. Each wait for the server is bounded by the
// timeout, or (Whole) everything done on it: at its end the connection is shut, which ends a
// server that answers a byte at a time too.
class CupsConnection {
public:
    enum class Bound { EachWait, Whole };
    explicit CupsConnection(Bound bound = Bound::EachWait);
    ~CupsConnection();
    CupsConnection(const CupsConnection &) = delete;
    CupsConnection &operator=(const CupsConnection &) = delete;

    http_t *get() const { return m_http; }
    explicit operator bool() const { return m_http != nullptr; }
    QString error() const { return m_error; }
    // Whether a wait for the server ran out.
    bool timedOut() const { return m_timedOut; }

private:
    struct Watch;
    http_t *m_http = nullptr;
    QString m_error;
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

// Sends a file to a destination as one job. The job's id once the server has taken the whole
// document; 0 with the server's reason in why when it has not.
int cupsSubmit(const QByteArray &destination, const QByteArray &file, const char *title, int optionCount,
               cups_option_t *options, QString *why);

} // namespace corvane::qt
