// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/http_reply_reader.h"

namespace bil {

namespace {

const QString NotHttp = QStringLiteral("сервер прислал ответ не по протоколу HTTP");

// A chunk size: hex digits, then optional extensions after ';'. -1 when not one.
qint64 ChunkSize(QByteArrayView line) {
    const qsizetype semicolon = line.indexOf(';');
    if (semicolon >= 0)
        line = line.first(semicolon);
    line = line.trimmed();
    if (line.isEmpty() || line.size() > 15)
        return -1;
    qint64 value = 0;
    for (const char c : line) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

qint64 ParseDecimal(QByteArrayView text) {
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

HttpReplyReader::HttpReplyReader(HeadSink head, BodySink body, bool noBody)
    : m_head(std::move(head)), m_body(std::move(body)), m_noBody(noBody) {}

bool HttpReplyReader::fail(const QString& why) {
    m_state = State::Failed;
    m_error = why;
    m_line.clear();
    return false;
}

bool HttpReplyReader::takeLine(QByteArrayView& bytes, qsizetype limit) {
    const qsizetype lf = bytes.indexOf('\n');
    const qsizetype take = lf < 0 ? bytes.size() : lf + 1;
    if (m_line.size() + take > limit)
        return fail(NotHttp);
    m_line.append(bytes.first(take));
    bytes = bytes.sliced(take);
    return lf >= 0;
}

bool HttpReplyReader::feed(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        if (m_state == State::Head) {
            // The head ends at the first empty line; it arrives in as many pieces as it likes.
            while (m_state == State::Head && !bytes.isEmpty()) {
                if (!takeLine(bytes, MaxHeadBytes))
                    break;
                if (m_line.endsWith("\n\n") || m_line.endsWith("\n\r\n")) {
                    if (!takeHead())
                        return false;
                }
            }
            if (m_state == State::Failed)
                return false;
            continue;
        }
        if (m_state == State::Body) {
            if (!takeBody(bytes))
                return false;
            continue;
        }
        // Whatever follows a whole reply is not ours (the connection closes after it).
        return false;
    }
    return m_state == State::Head || m_state == State::Body;
}

bool HttpReplyReader::takeHead() {
    const QList<QByteArray> lines = m_line.split('\n');
    m_line.clear();
    const QByteArray statusLine = lines.value(0).trimmed();
    // "HTTP/1.1 200 OK": the version, a three-digit status, an optional reason.
    if (!statusLine.startsWith("HTTP/1.") || statusLine.size() < 12 || statusLine[8] != ' ')
        return fail(NotHttp);
    const qint64 status = ParseDecimal(QByteArrayView(statusLine).sliced(9, 3));
    if (status < 100 || status > 999 || (statusLine.size() > 12 && statusLine[12] != ' '))
        return fail(NotHttp);

    Headers headers;
    qint64 length = -1;
    bool chunked = false;
    for (qsizetype k = 1; k < lines.size(); ++k) {
        const QByteArray line = lines[k].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || headers.size() >= MaxHeaders)
            return fail(NotHttp);
        QByteArray name = line.left(colon).trimmed();
        QByteArray value = line.mid(colon + 1).trimmed();
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
            const qint64 given = ParseDecimal(value);
            // Two different lengths leave the body's end unknown: no way to read it safely.
            if (given < 0 || (length >= 0 && given != length))
                return fail(NotHttp);
            length = given;
        } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
            chunked = value.toLower().split(',').last().trimmed() == "chunked";
        }
        headers.emplace_back(std::move(name), std::move(value));
    }
    // An interim answer (100 Continue and the like) is followed by the real one.
    if (status < 200 && status != 101) {
        m_state = State::Head;
        return true;
    }
    if (!m_head(int(status), headers)) {
        m_state = State::Stopped;
        return false;
    }
    if (m_noBody || status == 204 || status == 304 || status == 101) {
        m_state = State::Done;
        return true;
    }
    m_state = State::Body;
    m_chunk = ChunkStep::Size;
    if (chunked) {
        m_framing = Framing::Chunked;
    } else if (length >= 0) {
        m_framing = Framing::Length;
        m_left = length;
        if (length == 0)
            m_state = State::Done;
    } else {
        m_framing = Framing::UntilClose;
    }
    return true;
}

bool HttpReplyReader::takeBody(QByteArrayView& bytes) {
    if (m_framing == Framing::Chunked)
        return takeChunked(bytes);
    QByteArrayView piece = bytes;
    if (m_framing == Framing::Length && piece.size() > m_left)
        piece = piece.first(m_left);
    bytes = bytes.sliced(piece.size());
    if (m_framing == Framing::Length)
        m_left -= piece.size();
    if (!piece.isEmpty() && !m_body(piece)) {
        m_state = State::Stopped;
        return false;
    }
    if (m_framing == Framing::Length && m_left == 0)
        m_state = State::Done;
    return true;
}

bool HttpReplyReader::takeChunked(QByteArrayView& bytes) {
    constexpr qsizetype MaxLine = 4096;
    switch (m_chunk) {
    case ChunkStep::Size: {
        if (!takeLine(bytes, MaxLine))
            return m_state != State::Failed;
        const qint64 size = ChunkSize(m_line);
        m_line.clear();
        if (size < 0)
            return fail(NotHttp);
        m_left = size;
        m_chunk = size == 0 ? ChunkStep::Trailer : ChunkStep::Data;
        return true;
    }
    case ChunkStep::Data: {
        const QByteArrayView piece = bytes.first(std::min<qint64>(bytes.size(), m_left));
        bytes = bytes.sliced(piece.size());
        m_left -= piece.size();
        if (m_left == 0)
            m_chunk = ChunkStep::DataEnd;
        if (!piece.isEmpty() && !m_body(piece)) {
            m_state = State::Stopped;
            return false;
        }
        return true;
    }
    case ChunkStep::DataEnd:
        // The line break after a chunk's data; nothing else may stand there.
        if (!takeLine(bytes, 2))
            return m_state != State::Failed;
        if (m_line.trimmed().size() != 0)
            return fail(NotHttp);
        m_line.clear();
        m_chunk = ChunkStep::Size;
        return true;
    case ChunkStep::Trailer:
        // Trailer lines up to an empty one end the body.
        if (!takeLine(bytes, MaxLine))
            return m_state != State::Failed;
        if (m_line.trimmed().isEmpty())
            m_state = State::Done;
        m_line.clear();
        return true;
    }
    return true;
}

bool HttpReplyReader::closed() {
    if (m_state == State::Body && m_framing == Framing::UntilClose)
        m_state = State::Done;
    return m_state == State::Done;
}

} // namespace bil
