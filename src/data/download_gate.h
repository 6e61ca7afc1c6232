// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a download does with what the server sends, apart from the network: the status and
// headers of a reply, each redirect, each piece of the body, and the passing of time come in;
// the gate writes the body to its file as it arrives, says when to stop, and words the outcome
// for the learner. The network code feeds it from its socket; tests and the fuzzer feed it
// directly.
//
//     DownloadGate gate(url, file, clock, limits, &cancel);
//     if (!gate.head(200, headers)) abort;       // a status other than 2xx stops at once
//     if (!gate.body(piece)) abort;              // too big, write failed
//     if (!gate.tick()) abort;                   // every few tens of milliseconds: slow, cancel
//     Status done = gate.finish(reply->error(), reply->errorString());

#include "data/status.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QNetworkReply>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <utility>

class QIODevice;
class QUrl;

namespace bil {

class Clock;

struct DownloadLimits {
    qint64 MaxBytes = 300LL * 1024 * 1024; // body bytes received (after any transfer encoding)
    // Fewer than MinBytesPerWindow arriving within any WindowMs fails the download: a server
    // trickling a byte a second must not keep it alive.
    int64_t WindowMs = 30000;
    qint64 MinBytesPerWindow = 64 * 1024;
    int MaxRedirects = 10;
};

class DownloadGate {
public:
    enum class Stop {
        None,
        Cancelled,
        Slow,
        Stalled,
        TooBig,
        WriteFailed,
        HttpError,
        BadRedirect,
        Compressed,
        TooManyRedirects
    };
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    // url names the download in messages; the sink is open for writing.
    DownloadGate(QString url, QIODevice& sink, const Clock& clock, DownloadLimits limits,
                 const std::atomic<bool>* cancel = nullptr);

    // The reply's status and headers, again after each redirect. False: stop now.
    bool head(int status, const Headers& headers);
    // The server sends the download elsewhere; only http and https are followed.
    bool redirect(const QUrl& target);
    // The next piece of the body, written to the sink at once. False: stop now.
    bool body(QByteArrayView piece);
    // Time has passed (or a cancel may have come). False: stop now.
    bool tick();
    // The outcome once the reply is over, from the network's own error.
    Status finish(QNetworkReply::NetworkError error, const QString& reason);

    Stop stopped() const { return m_stop; }
    qint64 received() const { return m_received; }
    // The announced length; -1 when unknown.
    qint64 expected() const { return m_expected; }

private:
    bool halt(Stop why);
    QString slowText() const;

    QString m_url;
    QIODevice& m_sink;
    const Clock& m_clock;
    DownloadLimits m_limits;
    const std::atomic<bool>* m_cancel;
    Stop m_stop = Stop::None;
    int m_status = 0;
    QByteArray m_encoding; // Content-Encoding of the last head, lower case
    QString m_badTarget;   // a redirect that was refused
    int m_redirects = 0;
    qint64 m_received = 0;
    qint64 m_expected = -1;
    // (tick, bytes received by then), oldest first; the first is at or before the window's
    // start once the window has passed.
    std::deque<std::pair<int64_t, qint64>> m_arrivals;
};

} // namespace bil
