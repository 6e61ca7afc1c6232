// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/download_gate.h"

#include "app/platform.h"
#include "data/http_reply_reader.h"

#include <QIODevice>
#include <QUrl>

namespace bil {

namespace {

// Samples closer than this share one entry, so a fast body costs a few hundred entries per
// window at most.
constexpr int64_t SampleSpacingMs = 100;

QString Megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', bytes % (1024 * 1024) ? 1 : 0);
}

QString Kilobytes(qint64 bytes) {
    return QString::number((bytes + 1023) / 1024);
}

QString Seconds(int64_t ms) {
    return QString::number(double(ms) / 1000.0);
}

bool IsHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// The network's failure in the learner's words where we know it, else its own text.
QString NetworkReason(QNetworkReply::NetworkError error, const QString& reason) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("сервер не принимает соединений");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("сервер не найден");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("сервер закрыл соединение");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("сервер не отвечает");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("не удалось установить защищённое соединение");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("сеть недоступна");
    default:
        return reason;
    }
}

} // namespace

DownloadGate::DownloadGate(QString url, QIODevice& sink, const Clock& clock, DownloadLimits limits,
                           const std::atomic<bool>* cancel)
    : m_url(std::move(url)), m_sink(sink), m_clock(clock), m_limits(limits), m_cancel(cancel) {
    m_arrivals.emplace_back(m_clock.ticksMs(), 0);
}

bool DownloadGate::halt(Stop why) {
    if (m_stop == Stop::None)
        m_stop = why;
    return false;
}

bool DownloadGate::head(int status, const Headers& headers) {
    if (m_stop != Stop::None)
        return false;
    m_status = status;
    m_encoding.clear();
    qint64 length = -1;
    for (const auto& [name, value] : headers) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            length = ParseDecimal(value);
        else if (name.compare("Content-Encoding", Qt::CaseInsensitive) == 0)
            m_encoding = value.trimmed().toLower();
    }
    // A redirect is followed by the network, an interim answer is followed by the real one.
    if (status < 200 || (status >= 300 && status < 400))
        return true;
    if (status < 200 || status >= 300)
        return halt(Stop::HttpError);
    // The request asks for the body as it is; a compressed one could unpack to any size, so
    // it is not taken.
    if (!m_encoding.isEmpty() && m_encoding != "identity")
        return halt(Stop::Compressed);
    if (length > m_limits.MaxBytes)
        return halt(Stop::TooBig);
    m_expected = length;
    return true;
}

bool DownloadGate::redirect(const QUrl& target) {
    if (m_stop != Stop::None)
        return false;
    if (!IsHttp(target)) {
        m_badTarget = target.toString();
        return halt(Stop::BadRedirect);
    }
    if (++m_redirects > m_limits.MaxRedirects)
        return halt(Stop::TooManyRedirects);
    return true;
}

bool DownloadGate::body(QByteArrayView piece) {
    if (m_stop != Stop::None)
        return false;
    if (m_status >= 300 && m_status < 400)
        return true; // the body of a redirect being followed
    if (m_status < 200 || m_status >= 300)
        return halt(Stop::HttpError);
    m_received += piece.size();
    if (m_received > m_limits.MaxBytes)
        return halt(Stop::TooBig);
    if (m_sink.write(piece.data(), piece.size()) != piece.size())
        return halt(Stop::WriteFailed);
    const int64_t now = m_clock.ticksMs();
    if (m_arrivals.size() >= 2 && now - m_arrivals.back().first < SampleSpacingMs)
        m_arrivals.back().second = m_received;
    else
        m_arrivals.emplace_back(now, m_received);
    return tick();
}

bool DownloadGate::tick() {
    if (m_stop != Stop::None)
        return false;
    if (m_cancel && m_cancel->load())
        return halt(Stop::Cancelled);
    const int64_t start = m_clock.ticksMs() - m_limits.WindowMs;
    while (m_arrivals.size() >= 2 && m_arrivals[1].first <= start)
        m_arrivals.pop_front();
    if (m_arrivals.front().first > start)
        return true; // the first window has not passed yet
    const qint64 inWindow = m_received - m_arrivals.front().second;
    if (inWindow == 0)
        return halt(Stop::Stalled);
    if (inWindow < m_limits.MinBytesPerWindow)
        return halt(Stop::Slow);
    return true;
}

Status DownloadGate::finish(QNetworkReply::NetworkError error, const QString& reason) {
    switch (m_stop) {
    case Stop::Cancelled:
        return Status::Error(QStringLiteral("Загрузка отменена."));
    case Stop::Stalled:
        return Status::Error(
            QStringLiteral("Сервер не присылает данных %1 с; загрузка прервана: %2")
                .arg(Seconds(m_limits.WindowMs), m_url));
    case Stop::Slow:
        return Status::Error(slowText());
    case Stop::TooBig:
        return Status::Error(QStringLiteral("Архив больше %1 МБ; загрузка прервана: %2")
                                 .arg(Megabytes(m_limits.MaxBytes), m_url));
    case Stop::WriteFailed:
        return Status::Error(QStringLiteral("Не удалось записать загруженный архив (%1): %2")
                                 .arg(m_sink.errorString(), m_url));
    case Stop::BadRedirect:
        return Status::Error(QStringLiteral("Сервер перенаправил загрузку на адрес не по протоколу "
                                            "http или https (%1): %2")
                                 .arg(m_badTarget, m_url));
    case Stop::Compressed:
        return Status::Error(QStringLiteral("Сервер прислал сжатые данные (%1), хотя программа "
                                            "просила несжатые: %2")
                                 .arg(QString::fromLatin1(m_encoding.left(40)), m_url));
    case Stop::TooManyRedirects:
        return Status::Error(QStringLiteral("Слишком много перенаправлений: %1").arg(m_url));
    case Stop::HttpError:
    case Stop::None:
        break;
    }
    switch (error) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::TooManyRedirectsError:
        return Status::Error(QStringLiteral("Слишком много перенаправлений: %1").arg(m_url));
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
        return Status::Error(QStringLiteral("Сервер перенаправил загрузку на адрес не по протоколу "
                                            "http или https: %1")
                                 .arg(m_url));
    default:
        if (m_status != 0 && (m_status < 200 || m_status >= 300))
            return Status::Error(
                QStringLiteral("Сервер ответил ошибкой %1: %2").arg(m_status).arg(m_url));
        if (m_received > 0)
            return Status::Error(QStringLiteral("Загрузка оборвалась после %1 байт (%2): %3")
                                     .arg(m_received)
                                     .arg(NetworkReason(error, reason), m_url));
        return Status::Error(QStringLiteral("Нет связи с сервером (%1): %2")
                                 .arg(NetworkReason(error, reason), m_url));
    }
    if (m_status == 0)
        return Status::Error(QStringLiteral("Сервер не прислал ответа: %1").arg(m_url));
    if (m_status < 200 || m_status >= 300)
        return Status::Error(
            QStringLiteral("Сервер ответил ошибкой %1: %2").arg(m_status).arg(m_url));
    if (m_expected >= 0 && m_received != m_expected)
        return Status::Error(QStringLiteral("Загрузка оборвалась: получено %1 байт из %2: %3")
                                 .arg(m_received)
                                 .arg(m_expected)
                                 .arg(m_url));
    if (m_received == 0)
        return Status::Error(QStringLiteral("Сервер прислал пустой ответ: %1").arg(m_url));
    return Status::Ok();
}

QString DownloadGate::slowText() const {
    return QStringLiteral("Сервер присылает данные слишком медленно (меньше %1 КБ за %2 с); "
                          "загрузка прервана: %3")
        .arg(Kilobytes(m_limits.MinBytesPerWindow), Seconds(m_limits.WindowMs), m_url);
}

} // namespace bil
