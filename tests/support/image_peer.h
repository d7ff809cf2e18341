#pragma once

// Scripts for a loopback peer that serves a thumbnail, and how to read the
// request it took.

#include <QByteArray>
#include <QList>

#include "loopback_peer.h"

namespace vidmora::test {

// Bytes that start as a JPEG does.
inline QByteArray jpegLike(qsizetype n)
{
    QByteArray b("\xff\xd8\xff\xe0", 4);
    for (qsizetype i = 4; i < n; ++i)
        b.append(char(i * 31));
    return b;
}

// An HTTP/1.1 answer with `status`, an image type, the length and `body`,
// sent whole or in pieces of `pieceSize` bytes `pauseMs` apart, then closed.
inline LoopbackPeer::Script imageResponse(const QByteArray &status, const QByteArray &body, int pieceSize = 0,
                                          int pauseMs = 0)
{
    const QByteArray all = "HTTP/1.1 " + status + "\r\nContent-Type: image/jpeg\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    return LoopbackPeer::Script{pieceSize > 0 ? LoopbackPeer::split(all, pieceSize) : QList<QByteArray>{all}, pauseMs, true};
}

// The value of the request's header `name` (matched without regard to case), or empty.
inline QByteArray headerOf(const QByteArray &request, const QByteArray &name)
{
    for (const QByteArray &line : request.split('\n'))
        if (line.toLower().startsWith(name.toLower() + ":"))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

} // namespace vidmora::test
