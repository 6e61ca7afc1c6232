// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a server's reply: a status line, header lines up to a blank line, then pieces of
// the body (each led by a byte giving its length in steps of 61 and one giving the seconds
// since the last), fed into the download's handling without a socket. The file never gets
// more than the limit or other bytes than those received, and every failure is worded.

#include "app/platform.h"
#include "data/download_gate.h"
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
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype headEnd = input.indexOf("\r\n\r\n");
    const QByteArray head = headEnd < 0 ? input : input.left(headEnd);
    qsizetype at = headEnd < 0 ? input.size() : headEnd + 4;

    QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> statusWords = lines.value(0).trimmed().split(' ');
    const int status = statusWords.value(1).toInt();
    DownloadGate::Headers headers;
    QByteArray location;
    for (qsizetype k = 1; k < lines.size(); ++k) {
        const qsizetype colon = lines[k].indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = lines[k].left(colon).trimmed();
        const QByteArray value = lines[k].mid(colon + 1).trimmed();
        if (name.compare("Location", Qt::CaseInsensitive) == 0)
            location = value;
        headers.emplace_back(name, value);
    }

    FuzzClock clock;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    DownloadLimits limits;
    limits.MaxBytes = 200 * 1024;
    limits.MinBytesPerWindow = 4 * 1024;
    DownloadGate gate(QStringLiteral("http://127.0.0.1/data.zip"), sink, clock, limits);
    bool going = gate.head(status, headers);
    if (going && status >= 300 && status < 400 && !location.isEmpty())
        going = gate.redirect(QUrl(QString::fromUtf8(location)));
    while (going && at + 2 <= input.size()) {
        const qsizetype length = qsizetype(quint8(input[at])) * 61;
        clock.advanceMs(int64_t(quint8(input[at + 1])) * 1000);
        at += 2;
        const QByteArray piece = input.mid(at, length);
        at += piece.size();
        going = gate.body(piece) && gate.tick();
    }
    const Status done = gate.finish(Endings[size % std::size(Endings)], QStringLiteral("x"));

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
