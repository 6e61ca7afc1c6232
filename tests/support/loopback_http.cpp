// SPDX-License-Identifier: GPL-3.0-or-later
#include "loopback_http.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <chrono>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bil::test {

LoopbackHttp::LoopbackHttp() : m_server(new QTcpServer(this)) {
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        ADD_FAILURE() << "cannot listen on 127.0.0.1";
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            m_open.push_back(socket);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

LoopbackHttp::~LoopbackHttp() {
    for (QTcpSocket* socket : m_open)
        socket->abort();
}

QString LoopbackHttp::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server->serverPort()).arg(path);
}

void LoopbackHttp::serve(QTcpSocket* socket) {
    if (socket->property("answered").toBool())
        return;
    QByteArray& request = m_buffers[socket];
    request += socket->readAll();
    if (!request.contains("\r\n\r\n"))
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    m_buffers.remove(socket);
    const QString path = words.size() >= 2 ? QString::fromLatin1(words[1]) : QString();
    ++m_requests[path];

    const HttpReply reply = m_routes.value(path, HttpReply{404, "not found"});
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.Code) + " X\r\n";
    head += "Connection: close\r\nContent-Type: application/octet-stream\r\n";
    if (!reply.Encoding.isEmpty())
        head += "Content-Encoding: " + reply.Encoding + "\r\n";
    if (!reply.Location.isEmpty())
        head += "Location: " + reply.Location + "\r\n";
    if (reply.SendLength)
        head +=
            "Content-Length: " +
            QByteArray::number(reply.ClaimedLength >= 0 ? reply.ClaimedLength : reply.Body.size()) +
            "\r\n";
    head += "\r\n";
    socket->write(head);

    QByteArray body = reply.Body;
    if (reply.StallAfter >= 0) {
        socket->write(body.left(reply.StallAfter));
        return; // the connection stays open and silent
    }
    if (reply.CutAfter >= 0)
        body = body.left(reply.CutAfter);
    if (reply.ChunkBytes <= 0) {
        socket->write(body);
        socket->disconnectFromHost();
        return;
    }
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent, reply] {
        if (socket->state() != QAbstractSocket::ConnectedState) {
            timer->stop();
            return;
        }
        if (reply.Endless && *sent >= body.size())
            *sent = 0;
        socket->write(body.mid(*sent, reply.ChunkBytes));
        *sent += reply.ChunkBytes;
        if (*sent >= body.size() && !reply.Endless) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(reply.ChunkIntervalMs);
}

FloodHttp::FloodHttp(qint64 total) : m_total(total) {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 1) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "cannot listen on 127.0.0.1";
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] {
        // Every wait is short so that the destructor's stop is seen.
        auto ready = [this](int fd, short events) {
            pollfd p{fd, events, 0};
            while (!m_stop.load())
                if (::poll(&p, 1, 50) > 0)
                    return true;
            return false;
        };
        if (!ready(m_listener, POLLIN))
            return;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        QByteArray request;
        char in[4096];
        while (!request.contains("\r\n\r\n") && ready(client, POLLIN)) {
            const ssize_t got = ::recv(client, in, sizeof in, 0);
            if (got <= 0)
                break;
            request.append(in, got);
        }
        const QByteArray head = "HTTP/1.1 200 OK\r\nConnection: close\r\n"
                                "Content-Type: application/octet-stream\r\n\r\n";
        ::send(client, head.constData(), std::size_t(head.size()), MSG_NOSIGNAL);
        const std::vector<char> block(64 * 1024, 'x');
        while (m_sent.load() < m_total && ready(client, POLLOUT)) {
            const std::size_t want =
                std::size_t(std::min<qint64>(qint64(block.size()), m_total - m_sent.load()));
            const ssize_t put = ::send(client, block.data(), want, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put < 0 && errno != EAGAIN)
                break;
            if (put > 0)
                m_sent += put;
        }
        ::close(client);
    });
}

FloodHttp::~FloodHttp() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

QString FloodHttp::url() const {
    return QStringLiteral("http://127.0.0.1:%1/flood.zip").arg(m_port);
}

bool FloodHttp::waitAllSent(int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_sent.load() < m_total && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return m_sent.load() >= m_total;
}

QByteArray GzipOfZeros(qint64 bytes) {
    QByteArray out;
    archive* a = archive_write_new();
    archive_write_set_format_raw(a);
    archive_write_add_filter_gzip(a);
    archive_write_set_bytes_in_last_block(a, 1);
    archive_write_open(
        a, &out, nullptr,
        [](archive*, void* data, const void* buffer, size_t length) -> la_ssize_t {
            static_cast<QByteArray*>(data)->append(static_cast<const char*>(buffer),
                                                   qsizetype(length));
            return la_ssize_t(length);
        },
        nullptr);
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, "zeros");
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_size(entry, bytes);
    archive_write_header(a, entry);
    const std::vector<char> zeros(1024 * 1024, 0);
    for (qint64 left = bytes; left > 0; left -= qint64(zeros.size()))
        archive_write_data(a, zeros.data(),
                           std::size_t(std::min<qint64>(left, qint64(zeros.size()))));
    archive_entry_free(entry);
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

} // namespace bil::test
