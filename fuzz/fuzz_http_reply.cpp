// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a server's reply, cut into pieces as a socket would deliver them, read by the
// download's reply reader and judged by its gate without a socket. The file never gets
// more than the limit or other bytes than those received, and every failure is worded.

#include "app/platform.h"
#include "data/download_gate.h"
#include "data/http_reply_reader.h"
#include "fuzz_common.h"

#include <QBuffer>
#include <QTimeZone>
#include <QUrl>

using namespace bil;

namespace {

class FuzzClock final : public Clock {
public:
    QDateTime nowUtc() const override {
        return QDateTime::fromMSecsSinceEpoch(m_ticks, QTimeZone::utc());
    }
    int64_t ticksMs() const override { return m_ticks; }
    void advanceMs(int64_t ms) { m_ticks += ms; }

private:
    int64_t m_ticks = 0;
};

constexpr QNetworkReply::NetworkError Endings[] = {
    QNetworkReply::NoError,
    QNetworkReply::RemoteHostClosedError,
    QNetworkReply::OperationCanceledError,
    QNetworkReply::TooManyRedirectsError,
    QNetworkReply::ProtocolUnknownError,
    QNetworkReply::ProtocolFailure,
    QNetworkReply::UnknownContentError,
    QNetworkReply::ContentNotFoundError,
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The first byte cuts the rest into pieces as a socket would; the second moves the clock
    // by that many seconds before each piece.
    const qsizetype step = qsizetype(data[0]) + 1;
    const int64_t pause = int64_t(data[1]) * 1000;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    FuzzClock clock;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    DownloadLimits limits;
    limits.MaxBytes = 200 * 1024;
    limits.MinBytesPerWindow = 4 * 1024;
    DownloadGate gate(QStringLiteral("http://127.0.0.1/data.zip"), sink, clock, limits);
    int status = 0;
    qint64 bodyBytes = 0;
    HttpReplyReader reader(
        [&](int code, const HttpReplyReader::Headers& headers) {
            status = code;
            FUZZ_CHECK(code >= 100 && code <= 999);
            if (!gate.head(code, headers))
                return false;
            for (const auto& [name, value] : headers)
                if (code >= 300 && code < 400 && name.compare("Location", Qt::CaseInsensitive) == 0)
                    return gate.redirect(QUrl(QString::fromUtf8(value))) && false;
            return true;
        },
        [&](QByteArrayView piece) {
            bodyBytes += piece.size();
            return gate.body(piece);
        });
    bool going = true;
    for (qsizetype at = 0; going && at < input.size(); at += step) {
        clock.advanceMs(pause);
        going = reader.feed(input.mid(at, step)) && gate.tick();
    }
    const bool whole = reader.closed();
    FUZZ_CHECK(bodyBytes <= input.size());
    const Status done = gate.finish(
        whole ? QNetworkReply::NoError : Endings[size % std::size(Endings)], reader.error());

    FUZZ_CHECK(sink.data().size() <= limits.MaxBytes);
    if (gate.stopped() != DownloadGate::Stop::TooBig)
        FUZZ_CHECK(sink.data().size() == gate.received());
    if (done) {
        FUZZ_CHECK(status >= 200 && status < 300);
        FUZZ_CHECK(gate.stopped() == DownloadGate::Stop::None);
        FUZZ_CHECK(gate.received() > 0);
    } else {
        FUZZ_CHECK(done.message().endsWith(QStringLiteral("http://127.0.0.1/data.zip")) ||
                   done.message() == QStringLiteral("Загрузка отменена."));
    }
    return 0;
}
