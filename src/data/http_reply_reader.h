// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The bytes of one HTTP/1.1 reply as they come off a socket, split into its head (status and
// headers) and its body, with the body's framing (a length, chunks, or up to the close)
// removed. It keeps no more than one header block and one chunk-size line in memory; the body
// passes straight through to the caller. No socket here: the download feeds it, and so do the
// tests and the fuzzer.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

namespace bil {

// A plain decimal number such as a length or a status; -1 for anything else (signs, blanks
// inside, overflow).
qint64 ParseDecimal(QByteArrayView text);

class HttpReplyReader {
public:
    using Headers = QList<std::pair<QByteArray, QByteArray>>;
    // The status and headers of the final answer (interim 1xx answers are skipped). False: stop.
    using HeadSink = std::function<bool(int status, const Headers& headers)>;
    // The next piece of the body, framing removed. False: stop.
    using BodySink = std::function<bool(QByteArrayView piece)>;

    enum class State { Head, Body, Done, Failed, Stopped };

    static constexpr qsizetype MaxHeadBytes = 64 * 1024;
    static constexpr int MaxHeaders = 100;

    // noBody: the request was a HEAD (no body follows whatever the headers say).
    HttpReplyReader(HeadSink head, BodySink body, bool noBody = false);

    // The next bytes from the connection. False once the reply is over, broken or stopped.
    bool feed(QByteArrayView bytes);
    // The connection was closed: true when the reply was whole (a body without a length ends
    // here).
    bool closed();

    State state() const { return m_state; }
    bool done() const { return m_state == State::Done; }
    // Why the reply could not be read, in Russian; empty unless state() is Failed.
    const QString& error() const { return m_error; }

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class ChunkStep { Size, Data, DataEnd, Trailer };

    bool fail(const QString& why);
    bool takeHead();
    bool takeBody(QByteArrayView& bytes);
    bool takeChunked(QByteArrayView& bytes);
    // Moves bytes up to and including the next LF into m_line; false when no LF came yet.
    bool takeLine(QByteArrayView& bytes, qsizetype limit);

    HeadSink m_head;
    BodySink m_body;
    bool m_noBody;
    State m_state = State::Head;
    QByteArray m_line; // the head, or a chunk-size or trailer line, while it is incomplete
    Framing m_framing = Framing::UntilClose;
    ChunkStep m_chunk = ChunkStep::Size;
    qint64 m_left = 0; // bytes of the body (Length) or of the chunk (Chunked) still to come
    QString m_error;
};

} // namespace bil
