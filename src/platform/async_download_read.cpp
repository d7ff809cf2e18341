#include "platform/async_download_read.h"

#include <QNetworkProxy>
#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif

#include <algorithm>
#include <limits>

#include "platform/host_map.h"
#include "platform/web_address.h"

namespace vidmora::platform {
namespace {

constexpr int kMaxRedirects = 20;
constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();
constexpr qsizetype kMaxHead = 64 * 1024;  // a response head larger than this is no answer
constexpr qsizetype kMaxLine = 4 * 1024;   // nor is a chunk-size line longer than this
constexpr qint64 kGrowthStep = 16 << 20;   // the body's storage grows by at most this beyond what has arrived

qint32 clamp32(qint64 v)
{
    return static_cast<qint32>(std::clamp<qint64>(v, 0, kInt32Max));
}

} // namespace

template <typename F>
void QtAsyncDownloadService::Read::guarded(F &&step)
{
    try {
        step();
    } catch (...) {
        try {
            fail();
        } catch (...) {
        }
    }
}

QtAsyncDownloadService::Read::Read(QtAsyncDownloadService &service, QString name, QUrl url, bool fresh)
    : QObject(&service)
    , m_service(service)
    , m_name(std::move(name))
    , m_url(std::move(url))
    , m_fresh(fresh)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(m_service.m_inactivityTimeout);
    connect(&m_idle, &QTimer::timeout, this, [this] { guarded([this] { fail(); }); });
}

void QtAsyncDownloadService::Read::start()
{
    // The start call returns before any notification: the first one comes from the event loop.
    QTimer::singleShot(0, this, [this] { guarded([this] { reachStage(SendingRequest); }); });
    send();
}

void QtAsyncDownloadService::Read::cancel()
{
    m_ended = true;
    dropSocket();
    m_body = QByteArray();
    deleteLater();
}

void QtAsyncDownloadService::Read::send()
{
    m_phase = Phase::Head;
    m_pending.clear();
    const bool tls = m_url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const QUrl to = HostMap::resolve(m_url);
    const quint16 port = portOf(to);
#if QT_CONFIG(ssl)
    if (tls && QSslSocket::supportsSsl()) {
        auto *ssl = new QSslSocket(this);
        m_socket = ssl;
        watchSocket();
        connect(ssl, &QSslSocket::encrypted, this, [this] { guarded([this] { onConnected(); }); });
        // The certificate names the host, not where HostMap sends us.
        ssl->connectToHostEncrypted(to.host(), port, m_url.host());
    } else
#endif
    {
        m_socket = new QTcpSocket(this);
        watchSocket();
        if (tls) {
            // No TLS here: the read fails as a refused one does, from the event loop.
            QTimer::singleShot(0, this, [this] { guarded([this] { fail(); }); });
            return;
        }
        connect(m_socket, &QTcpSocket::connected, this, [this] { guarded([this] { onConnected(); }); });
        m_socket->connectToHost(to.host(), port);
    }
    QTimer::singleShot(0, this, [this] { guarded([this] { reachStage(Connecting); }); });
    m_idle.start();
}

void QtAsyncDownloadService::Read::watchSocket()
{
    m_socket->setProxy(QNetworkProxy::NoProxy);
    QTcpSocket *s = m_socket;
    connect(s, &QTcpSocket::readyRead, this, [this] { guarded([this] { onBytes(); }); });
    connect(s, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        guarded([this, e] {
            if (e == QAbstractSocket::RemoteHostClosedError)
                onPeerEnd();
            else
                fail();
        });
    });
    connect(s, &QTcpSocket::disconnected, this, [this] { guarded([this] { onPeerEnd(); }); });
}

void QtAsyncDownloadService::Read::onConnected()
{
    if (m_ended || !m_socket)
        return;
    m_peerEnd.watch(m_socket->socketDescriptor());
    m_idle.start();
    QByteArray target = m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    // The Host line names the address's host, whatever HostMap connects to.
    QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + hostHeader(m_url) + "\r\n";
    if (m_fresh)
        request += "Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    // No Accept-Encoding: the body comes as it is stored, and its length can be checked.
    request += "User-Agent: Mozilla/5.0\r\nConnection: close\r\n\r\n";
    m_socket->write(request);
}

void QtAsyncDownloadService::Read::dropSocket()
{
    m_idle.stop();
    m_peerEnd.release();
    if (!m_socket)
        return;
    QTcpSocket *s = m_socket;
    m_socket = nullptr;
    s->disconnect(this);
    s->abort();
    // Possibly inside one of its own signals: let the loop delete it.
    s->deleteLater();
}

bool QtAsyncDownloadService::Read::reachStage(Status stage)
{
    if (m_ended)
        return false;
    if (m_stage < 1) {
        m_stage = 1;
        if (!notify(SendingRequest))
            return false;
    }
    if (stage == Connecting && m_stage < 2) {
        m_stage = 2;
        if (!notify(Connecting))
            return false;
    }
    return true;
}

void QtAsyncDownloadService::Read::onBytes()
{
    if (m_ended || !m_socket)
        return;
    m_idle.start();
    const qsizetype before = m_body.size();
    while (!m_ended && !m_complete && m_socket && m_socket->bytesAvailable() > 0) {
        if (m_phase == Phase::Body && m_framing != Framing::Chunked) {
            if (!readBodyDirect())
                return;
            continue;
        }
        m_pending += m_socket->read(m_socket->bytesAvailable());
        if (!parsePending())
            return;
    }
    if (!m_ended && m_body.size() > before && !notify(DownloadingData))
        return;
    if (!m_ended && m_phase == Phase::Body && m_framing == Framing::Length && m_body.size() == m_length)
        m_complete = true;
    if (!m_ended && m_complete)
        succeed();
}

bool QtAsyncDownloadService::Read::readBodyDirect()
{
    qint64 take = m_socket->bytesAvailable();
    if (m_framing == Framing::Length)
        take = std::min<qint64>(take, m_length - m_body.size());
    if (take <= 0) {
        m_socket->skip(m_socket->bytesAvailable()); // nothing is wanted past the announced length
        return true;
    }
    const qsizetype old = m_body.size();
    if (!makeRoom(take))
        return false;
    m_body.resize(old + static_cast<qsizetype>(take));
    const qint64 got = m_socket->read(m_body.data() + old, take);
    m_body.resize(old + static_cast<qsizetype>(std::max<qint64>(got, 0)));
    return got > 0;
}

bool QtAsyncDownloadService::Read::makeRoom(qint64 more)
{
    const qint64 needed = m_body.size() + more;
    if (needed > m_service.m_bodyLimit) {
        fail();
        return false;
    }
    if (m_body.capacity() >= needed)
        return true;
    qint64 room = needed + std::min<qint64>(needed / 2, kGrowthStep);
    if (m_framing == Framing::Length)
        room = std::min(room, m_length);
    room = std::min(room, m_service.m_bodyLimit);
    m_body.reserve(static_cast<qsizetype>(std::max(room, needed)));
    return true;
}

bool QtAsyncDownloadService::Read::appendBody(const char *data, qint64 size)
{
    if (size <= 0)
        return true;
    if (!makeRoom(size))
        return false;
    m_body.append(data, static_cast<qsizetype>(size));
    return true;
}

bool QtAsyncDownloadService::Read::parsePending()
{
    qsizetype at = 0;
    bool ok = true;
    while (ok && !m_ended && !m_complete && at < m_pending.size()) {
        switch (m_phase) {
        case Phase::Head: {
            const qsizetype end = m_pending.indexOf("\r\n\r\n", at);
            if (end < 0) {
                if (m_pending.size() - at > kMaxHead) {
                    fail();
                    return false;
                }
                m_pending.remove(0, at);
                return true;
            }
            const QByteArray head = m_pending.mid(at, end - at);
            at = end + 4;
            ok = onHead(head);
            if (ok && !m_ended && m_phase == Phase::Body && m_framing != Framing::Chunked) {
                // The rest is body; later pieces are read straight into it.
                const qint64 rest = m_pending.size() - at;
                const qint64 take = m_framing == Framing::Length ? std::min<qint64>(rest, m_length) : rest;
                ok = appendBody(m_pending.constData() + at, take);
                at = m_pending.size();
            }
            break;
        }
        case Phase::ChunkSize:
        case Phase::ChunkEnd:
        case Phase::Trailer: {
            const qsizetype eol = m_pending.indexOf("\r\n", at);
            if (eol < 0) {
                if (m_pending.size() - at > kMaxLine) {
                    fail();
                    return false;
                }
                m_pending.remove(0, at);
                return true;
            }
            const QByteArray line = m_pending.mid(at, eol - at);
            at = eol + 2;
            ok = onChunkLine(line);
            break;
        }
        case Phase::ChunkData: {
            const qint64 take = std::min<qint64>(m_chunkLeft, m_pending.size() - at);
            ok = appendBody(m_pending.constData() + at, take);
            at += static_cast<qsizetype>(take);
            m_chunkLeft -= take;
            if (m_chunkLeft == 0)
                m_phase = Phase::ChunkEnd;
            break;
        }
        case Phase::Body:
            at = m_pending.size(); // past the announced length: not wanted
            break;
        }
    }
    m_pending.clear();
    return ok && !m_ended;
}

bool QtAsyncDownloadService::Read::onChunkLine(const QByteArray &line)
{
    if (m_phase == Phase::ChunkEnd) {
        if (!line.isEmpty()) {
            fail();
            return false;
        }
        m_phase = Phase::ChunkSize;
        return true;
    }
    if (m_phase == Phase::Trailer) {
        if (line.isEmpty())
            m_complete = true; // the last chunk and its trailer are in
        return true;
    }
    QByteArray digits = line;
    const qsizetype ext = digits.indexOf(';');
    if (ext >= 0)
        digits.truncate(ext);
    bool ok = false;
    const qint64 size = digits.trimmed().toLongLong(&ok, 16);
    if (!ok || size < 0 || size > m_service.m_bodyLimit) {
        fail();
        return false;
    }
    if (size == 0) {
        m_phase = Phase::Trailer;
        return true;
    }
    m_chunkLeft = size;
    m_phase = Phase::ChunkData;
    return true;
}

bool QtAsyncDownloadService::Read::onHead(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    bool ok = false;
    const int code = status.value(1).toInt(&ok);
    if (!status.value(0).startsWith("HTTP/") || !ok || code < 100 || code > 999) {
        fail();
        return false;
    }
    if (code >= 100 && code < 200)
        return true; // an interim answer: the real head follows
    QByteArray location;
    QByteArray length;
    bool chunked = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray key = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (key == "location" && location.isEmpty()) {
            location = value;
        } else if (key == "content-length") {
            // Two different lengths leave the body's end unknown.
            if (!length.isEmpty() && length != value) {
                fail();
                return false;
            }
            length = value;
        } else if (key == "transfer-encoding") {
            chunked = value.toLower().endsWith("chunked");
        }
    }
    if (isRedirectStatus(code) && !location.isEmpty())
        return follow(location);
    if (code >= 400) {
        fail();
        return false;
    }
    if (chunked) {
        m_framing = Framing::Chunked;
    } else if (!length.isEmpty()) {
        const qint64 n = length.toLongLong(&ok);
        if (!ok || n < 0) {
            fail();
            return false;
        }
        m_framing = Framing::Length;
        m_length = n;
    } else {
        m_framing = Framing::Close;
    }
    if (m_framing == Framing::Length && m_length > m_service.m_bodyLimit) {
        // More than the 32-bit counts can express: it cannot end well.
        fail();
        return false;
    }
    if (code == 204 || code == 304) {
        m_framing = Framing::Length;
        m_length = 0;
    }
    m_phase = m_framing == Framing::Chunked ? Phase::ChunkSize : Phase::Body;
    if (!begin())
        return false;
    m_complete = m_framing == Framing::Length && m_length == 0;
    return true;
}

bool QtAsyncDownloadService::Read::begin()
{
    if (!reachStage(Connecting))
        return false;
    if (m_framing == Framing::Length && m_length > 0)
        m_bytesMax = clamp32(m_length);
    return notify(BeginDownloadData);
}

void QtAsyncDownloadService::Read::onPeerEnd()
{
    if (m_ended || !m_socket)
        return;
    const bool reset = m_peerEnd.wasReset();
    // What arrived before the end still counts.
    if (m_socket->bytesAvailable() > 0) {
        onBytes();
        if (m_ended)
            return;
    }
    // A close that ends a body without a length, or that comes after the
    // last chunk but before the end of its trailer, loses nothing.
    if (!reset && ((m_phase == Phase::Body && m_framing == Framing::Close) || m_phase == Phase::Trailer)) {
        succeed();
        return;
    }
    fail();
}

bool QtAsyncDownloadService::Read::follow(const QByteArray &location)
{
    const QUrl next = m_url.resolved(QUrl::fromEncoded(location));
    if (++m_redirects > kMaxRedirects || !next.isValid() || !isWebScheme(next) || next.host().isEmpty()) {
        fail();
        return false;
    }
    dropSocket();
    m_url = next;
    if (!notify(Redirecting))
        return false;
    send();
    return false; // what is left of this connection is not wanted
}

void QtAsyncDownloadService::Read::succeed()
{
    if (m_ended)
        return;
    dropSocket();
    if (!notify(EndDownloadData))
        return;
    end(EndDownloadData);
}

void QtAsyncDownloadService::Read::end(Status status)
{
    if (m_ended)
        return;
    dropSocket();
    AsyncProp prop;
    prop.PropertyName = m_name;
    prop.BytesRead = clamp32(m_body.size());
    prop.BytesMax = m_bytesMax;
    prop.StatusCode = status;
    if (status == EndDownloadData)
        prop.Value = std::move(m_body); // handed over, not copied
    m_body = QByteArray();
    m_pending = QByteArray();
    m_ended = true;
    m_service.finishRead(this);
    emit m_service.AsyncReadComplete(prop);
}

bool QtAsyncDownloadService::Read::notify(Status status)
{
    AsyncProp prop;
    prop.PropertyName = m_name;
    prop.BytesRead = clamp32(m_body.size());
    prop.BytesMax = m_bytesMax;
    prop.StatusCode = status;
    QPointer<Read> alive(this);
    emit m_service.AsyncReadProgress(prop);
    return alive && !m_ended;
}

} // namespace vidmora::platform
