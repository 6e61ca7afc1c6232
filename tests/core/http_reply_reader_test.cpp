// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/http_reply_reader.h"

#include <gtest/gtest.h>

using namespace bil;

namespace {

struct Read {
    int Status = 0;
    HttpReplyReader::Headers Headers;
    QByteArray Body;
    bool Done = false;
    QString Error;
};

// Feeds the reply in pieces of `step` bytes, then closes the connection.
Read ReadInPieces(const QByteArray& reply, qsizetype step) {
    Read read;
    HttpReplyReader reader(
        [&](int status, const HttpReplyReader::Headers& headers) {
            read.Status = status;
            read.Headers = headers;
            return true;
        },
        [&](QByteArrayView piece) {
            read.Body.append(piece);
            return true;
        });
    for (qsizetype at = 0; at < reply.size(); at += step)
        if (!reader.feed(reply.mid(at, step)))
            break;
    read.Done = reader.closed();
    read.Error = reader.error();
    return read;
}

} // namespace

// Each framing gives the same body however the bytes are cut on the way.
TEST(HttpReplyReader, FramingsGiveTheBodyWhateverThePieces) {
    const QByteArray body = "PK\x03\x04 archive bytes\r\n\r\nand more";
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "5;name=x\r\nPK\x03\x04 \r\n19\r\narchive bytes\r\n\r\nand more\r\n"
                               "0\r\nTrailer: x\r\n\r\n";
    const QByteArray length = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\n\r\n" + body + "trailing";
    const QByteArray untilClose = "HTTP/1.0 200 OK\nServer: x\n\n" + body;
    for (const QByteArray& reply : {chunked, length, untilClose})
        for (qsizetype step : {1, 2, 7, 4096}) {
            SCOPED_TRACE(reply.left(40).toStdString() + " step " + std::to_string(step));
            const Read read = ReadInPieces(reply, step);
            EXPECT_EQ(read.Status, 200);
            EXPECT_EQ(read.Body, body);
            EXPECT_TRUE(read.Done);
        }
}

// Broken or cut replies are never taken as whole, and the head's size is bounded.
TEST(HttpReplyReader, BrokenOrCutRepliesAreNotWhole) {
    const QByteArray cases[] = {
        "<html>not http</html>\r\n\r\n",
        "HTTP/1.1 2000 OK\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello",
        "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nhello",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloXX\r\n0\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello",              // cut short
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello", // no last chunk
        "HTTP/1.1 200 OK\r\nX: " + QByteArray(HttpReplyReader::MaxHeadBytes, 'a') + "\r\n\r\n",
    };
    for (const QByteArray& reply : cases) {
        SCOPED_TRACE(reply.left(60).toStdString());
        EXPECT_FALSE(ReadInPieces(reply, 3).Done);
    }
    EXPECT_EQ(ReadInPieces(cases[0], 100).Error,
              QStringLiteral("сервер прислал ответ не по протоколу HTTP"));
}
