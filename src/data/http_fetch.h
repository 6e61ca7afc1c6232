// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One download over HTTP/1.1 or HTTPS, on a socket of our own: the socket reads no further
// ahead than a small buffer, so what a server sends faster than the file takes it waits in the
// server, never in our memory. Redirects to http(s) are followed (never from https to http);
// the gate judges every head, redirect, piece and tick and words the outcome.

#include <QNetworkReply>
#include <QString>
#include <QUrl>

#include <functional>

namespace bil {

class DownloadGate;

// The socket's own read buffer: all the body we ever hold besides the piece being written.
constexpr qint64 FetchReadAhead = 256 * 1024;

struct FetchOutcome {
    QNetworkReply::NetworkError Error = QNetworkReply::NoError;
    QString Reason; // the network's own words, for errors the gate does not word itself
};

// Fetches the address into the gate; progress is called after each piece of the body.
FetchOutcome FetchIntoGate(const QUrl& address, DownloadGate& gate,
                           const std::function<void()>& progress);

} // namespace bil
