#pragma once

// The download service's reader: one HTTP/1.1 GET and its response, for
// QtAsyncDownloadService alone.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include "platform/async_download_qt.h"
#include "platform/peer_end.h"

namespace vidmora::platform {

// One running read: its connection, its body so far and how far its
// notifications got. The read speaks HTTP/1.1 over its own socket rather than
// through QNetworkAccessManager, which takes a reset connection for the end of
// a body sent without a length; here the socket tells a reset from a close.
class QtAsyncDownloadService::Read final : public QObject {
public:
    Read(QtAsyncDownloadService &service, QString name, QUrl url, bool fresh);

    ~Read() override { dropSocket(); }

    const QString &name() const { return m_name; }
    qint64 reserved() const { return m_body.capacity(); }

    void start();

    // Stops quietly: no notification follows.
    void cancel();

private:
    enum class Framing { Length, Chunked, Close };
    enum class Phase { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer };
    void send();
    void watchSocket();
    void onConnected();
    void dropSocket();

    // A body too large for memory (or a listener that throws) ends the read,
    // never the program: nothing may leave a slot through the event loop.
    template <typename F>
    void guarded(F &&step);

    // Raises the start-up stages in their order, each once per read.
    bool reachStage(Status stage);
    void onBytes();

    // A body of known length or one that ends with the connection is read
    // straight into its place: no copy per piece.
    bool readBodyDirect();

    // Room for `more` bytes of body: never more than has arrived plus a
    // bounded step (nor more than was announced), whatever a peer announces;
    // a body past the limit of the 32-bit counts fails the read.
    bool makeRoom(qint64 more);
    bool appendBody(const char *data, qint64 size);

    // Works through what has arrived outside a plain body: the head, the
    // pieces of a chunked body. Returns false once the read has ended.
    bool parsePending();
    bool onChunkLine(const QByteArray &line);

    // A response head: an interim one is skipped, a redirect followed, an
    // error status ends the read, any other starts the body.
    bool onHead(const QByteArray &head);

    // The head of the response that carries the body: announce it once.
    bool begin();

    // The peer has ended the connection: the end of a body that runs to the
    // close when it was an orderly close, a failure in every other case.
    void onPeerEnd();
    bool follow(const QByteArray &location);
    void succeed();

    void fail() { end(BindFailed); }

    // The completion: the read leaves the service's list before its
    // listeners run, so a cancel of its name from there finds nothing.
    void end(Status status);

    // Returns whether the read still runs after its listeners have seen the notification.
    bool notify(Status status);

    QtAsyncDownloadService &m_service;
    const QString m_name;
    QUrl m_url;
    const bool m_fresh;
    QPointer<QTcpSocket> m_socket;
    PeerEnd m_peerEnd;
    QTimer m_idle; // no byte for the inactivity time-out ends the read
    QByteArray m_pending; // received, not yet taken apart (head, chunk lines)
    QByteArray m_body;
    Phase m_phase = Phase::Head;
    Framing m_framing = Framing::Close;
    qint64 m_length = 0;    // announced body length (Framing::Length)
    qint64 m_chunkLeft = 0; // bytes of the current chunk still to come
    qint32 m_bytesMax = 0;
    int m_stage = 0; // 0 nothing raised, 1 sending raised, 2 connecting raised
    int m_redirects = 0;
    bool m_complete = false; // every byte of the body is in
    bool m_ended = false;
};

} // namespace vidmora::platform
