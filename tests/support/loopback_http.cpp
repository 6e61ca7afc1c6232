#include "loopback_http.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

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
        socket->write(body.mid(*sent, reply.ChunkBytes));
        *sent += reply.ChunkBytes;
        if (*sent >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(reply.ChunkIntervalMs);
}

} // namespace bil::test
