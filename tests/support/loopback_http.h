// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A small HTTP/1.1 responder on 127.0.0.1 (an ephemeral port) for the download tests. It lives
// on the test's thread: it answers while the code under test runs its local event loop.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace bil::test {

struct HttpReply {
    HttpReply() = default;
    HttpReply(int code, QByteArray body) : Code(code), Body(std::move(body)) {}

    int Code = 200;
    QByteArray Body;
    bool SendLength = true;    // false: no Content-Length, the end of the body closes
    qint64 ClaimedLength = -1; // Content-Length to announce instead of the body's size
    QByteArray Location;       // for redirects
    QByteArray Encoding;       // Content-Encoding of the body as given (e.g. "deflate")
    qint64 CutAfter = -1;      // close the connection after this many body bytes
    qint64 StallAfter = -1;    // send this many body bytes, then nothing, connection left open
    int ChunkBytes = 0;        // > 0: send the body in chunks of this size ...
    int ChunkIntervalMs = 0;   // ... this far apart
    bool Endless = false;      // with ChunkBytes: the body again and again, never ending
};

class LoopbackHttp : public QObject {
public:
    LoopbackHttp();
    ~LoopbackHttp() override;

    void route(const QString& path, HttpReply reply) { m_routes.insert(path, std::move(reply)); }
    // http://127.0.0.1:<port><path>
    QString url(const QString& path) const;
    int requestCount(const QString& path) const { return m_requests.value(path); }

private:
    void serve(QTcpSocket* socket);

    QTcpServer* m_server;
    QHash<QString, HttpReply> m_routes;
    QHash<QString, int> m_requests;
    std::vector<QTcpSocket*> m_open;
    QHash<QTcpSocket*, QByteArray> m_buffers; // request bytes until the header is complete
};

// A server on its own thread that answers one request with a 200 and no length, then sends
// `total` bytes as fast as the connection takes them: it runs ahead of whatever reads slowly.
class FloodHttp {
public:
    explicit FloodHttp(qint64 total);
    ~FloodHttp();
    QString url() const;
    // Body bytes the connection has taken so far.
    qint64 sent() const { return m_sent.load(); }
    // Waits at most timeoutMs for every byte to be sent; true when they were.
    bool waitAllSent(int timeoutMs);

private:
    int m_listener = -1;
    int m_port = 0;
    qint64 m_total;
    std::atomic<qint64> m_sent{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A gzip stream of `bytes` zero bytes (a few hundred kilobytes for hundreds of megabytes).
QByteArray GzipOfZeros(qint64 bytes);

} // namespace bil::test
