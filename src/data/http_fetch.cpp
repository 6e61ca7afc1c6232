// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/http_fetch.h"

#include "data/download_gate.h"
#include "data/http_reply_reader.h"

#include <QEventLoop>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <optional>

namespace bil {

namespace {

QNetworkReply::NetworkError ReplyError(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QNetworkReply::ConnectionRefusedError;
    case QAbstractSocket::HostNotFoundError:
        return QNetworkReply::HostNotFoundError;
    case QAbstractSocket::RemoteHostClosedError:
        return QNetworkReply::RemoteHostClosedError;
    case QAbstractSocket::SocketTimeoutError:
        return QNetworkReply::TimeoutError;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return QNetworkReply::SslHandshakeFailedError;
    case QAbstractSocket::NetworkError:
        return QNetworkReply::TemporaryNetworkFailureError;
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return QNetworkReply::ProxyConnectionRefusedError;
    default:
        return QNetworkReply::UnknownNetworkError;
    }
}

QByteArray RequestFor(const QUrl& url) {
    QByteArray target =
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty() || !target.startsWith('/'))
        target.prepend('/');
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    // A plain body, asked for explicitly: a compressed one could unpack to any size.
    return "GET " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nUser-Agent: biletoria\r\nAccept: */*\r\nAccept-Encoding: identity\r\n"
           "Connection: close\r\n\r\n";
}

struct Hop {
    FetchOutcome Outcome;
    std::optional<QUrl> Next; // a redirect to follow
};

Hop FetchOnce(const QUrl& url, DownloadGate& gate, const std::function<void()>& progress) {
    const bool tls = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    if (tls && !QSslSocket::supportsSsl())
        return {{QNetworkReply::SslHandshakeFailedError,
                 QStringLiteral("защищённые соединения недоступны")},
                std::nullopt};
    std::unique_ptr<QTcpSocket> socket =
        tls ? std::make_unique<QSslSocket>() : std::make_unique<QTcpSocket>();
    socket->setReadBufferSize(FetchReadAhead);

    Hop hop;
    bool over = false;
    QEventLoop loop;
    const auto end = [&](QNetworkReply::NetworkError error, const QString& reason = QString()) {
        if (over)
            return;
        over = true;
        hop.Outcome = {error, reason};
        loop.quit();
    };

    HttpReplyReader reader(
        [&](int status, const HttpReplyReader::Headers& headers) {
            if (!gate.head(status, headers))
                return false;
            if (status < 300 || status >= 400)
                return true;
            QByteArray location;
            for (const auto& [name, value] : headers)
                if (name.compare("Location", Qt::CaseInsensitive) == 0)
                    location = value;
            if (location.isEmpty())
                return true; // read to its end; the gate calls it an error then
            const QUrl target = url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
            if (tls && target.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0) {
                end(QNetworkReply::InsecureRedirectError);
                return false;
            }
            if (gate.redirect(target))
                hop.Next = target;
            return false;
        },
        [&](QByteArrayView piece) {
            if (!gate.body(piece))
                return false;
            if (progress)
                progress();
            return true;
        });

    // What the reader made of the bytes so far; false once the hop is over.
    const auto judge = [&](bool going) {
        if (going || over)
            return !over;
        switch (reader.state()) {
        case HttpReplyReader::State::Done:
            end(QNetworkReply::NoError);
            break;
        case HttpReplyReader::State::Failed:
            end(QNetworkReply::ProtocolFailure, reader.error());
            break;
        default: // stopped by the gate, or a redirect to follow
            end(hop.Next ? QNetworkReply::NoError : QNetworkReply::OperationCanceledError);
            break;
        }
        return false;
    };
    const auto drain = [&] {
        QByteArray piece;
        while (!over && socket->bytesAvailable() > 0) {
            piece = socket->read(64 * 1024);
            if (piece.isEmpty() || !judge(reader.feed(piece)))
                break;
        }
    };
    const auto closedByServer = [&] {
        drain();
        if (over)
            return;
        if (reader.closed())
            end(QNetworkReply::NoError);
        else
            end(QNetworkReply::RemoteHostClosedError, socket->errorString());
    };

    const auto send = [&] { socket->write(RequestFor(url)); };
    if (tls)
        QObject::connect(static_cast<QSslSocket*>(socket.get()), &QSslSocket::encrypted, &loop,
                         send);
    else
        QObject::connect(socket.get(), &QTcpSocket::connected, &loop, send);
    QObject::connect(socket.get(), &QTcpSocket::readyRead, &loop, drain);
    QObject::connect(socket.get(), &QTcpSocket::disconnected, &loop, closedByServer);
    QObject::connect(socket.get(), &QTcpSocket::errorOccurred, &loop,
                     [&](QAbstractSocket::SocketError error) {
                         if (error == QAbstractSocket::RemoteHostClosedError)
                             return closedByServer();
                         end(ReplyError(error), socket->errorString());
                     });
    QTimer poll; // the gate's window of speed and the cancel flag, set from another thread
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!gate.tick())
            end(QNetworkReply::OperationCanceledError);
    });

    const quint16 port = quint16(url.port(tls ? 443 : 80));
    if (tls)
        static_cast<QSslSocket*>(socket.get())->connectToHostEncrypted(url.host(), port);
    else
        socket->connectToHost(url.host(), port);
    poll.start();
    if (!over)
        loop.exec();
    poll.stop();
    socket->disconnect(&loop);
    socket->abort();
    return hop;
}

} // namespace

FetchOutcome FetchIntoGate(const QUrl& address, DownloadGate& gate,
                           const std::function<void()>& progress) {
    QUrl url = address;
    for (;;) {
        Hop hop = FetchOnce(url, gate, progress);
        if (!hop.Next)
            return hop.Outcome;
        url = *hop.Next;
    }
}

} // namespace bil
