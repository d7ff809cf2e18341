#include "http_fixture_server.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>

namespace vidmora::test {

using Response = HttpFixtureServer::Response;
using Request = HttpFixtureServer::Request;
using Header = HttpFixtureServer::Header;

namespace {

QByteArray reasonFor(int code)
{
    switch (code) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

Request parseHead(const QByteArray &head)
{
    Request request;
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == 0) {
            request.requestLine = line;
            const QList<QByteArray> parts = line.split(' ');
            request.method = parts.value(0);
            request.target = parts.value(1);
            request.version = parts.value(2);
            continue;
        }
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return request;
}

} // namespace

QByteArray Request::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

// State the test's thread and the server's thread both touch.
class HttpFixtureServer::Shared {
public:
    mutable QMutex mutex;
    QHash<QByteArray, Response> responses;
    Handler handler;
    QList<Request> requests;
    int connections = 0;

    Response responseFor(const Request &request)
    {
        QMutexLocker lock(&mutex);
        requests.append(request);
        auto it = responses.constFind(request.target);
        if (it == responses.constEnd()) {
            const qsizetype q = request.target.indexOf('?');
            if (q >= 0)
                it = responses.constFind(request.target.left(q));
        }
        if (it != responses.constEnd())
            return *it;
        Handler h = handler;
        lock.unlock();
        if (h)
            return h(request);
        return HttpFixtureServer::status(404, "not found");
    }
};

namespace {

// One accepted connection: reads the request head, then plays its response.
class Connection final : public QObject {
public:
    Connection(QTcpSocket *socket, std::shared_ptr<HttpFixtureServer::Shared> shared)
        : QObject(socket)
        , m_socket(socket)
        , m_shared(std::move(shared))
    {
        connect(m_socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(m_socket, &QTcpSocket::disconnected, m_socket, &QObject::deleteLater);
    }

private:
    void onReadyRead()
    {
        if (m_answered) {
            m_socket->readAll();
            return;
        }
        m_head += m_socket->readAll();
        const qsizetype end = m_head.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        m_answered = true;
        m_response = m_shared->responseFor(parseHead(m_head.left(end + 2)));
        play();
    }

    void play()
    {
        const Response &r = m_response;
        if (r.silent)
            return;
        if (!r.raw.isEmpty()) {
            m_socket->write(r.raw);
            finish(Response::Cut::Close);
            return;
        }
        QByteArray head = r.version + ' ' + QByteArray::number(r.status) + ' '
            + (r.reason.isEmpty() ? reasonFor(r.status) : r.reason) + "\r\n";
        if (r.contentLength)
            head += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
        head += "Connection: close\r\n";
        for (const auto &h : r.headers)
            head += h.first + ": " + h.second + "\r\n";
        head += "\r\n";
        m_socket->write(head);
        m_limit = r.cutAfter >= 0 ? std::min<qint64>(r.cutAfter, r.body.size()) : r.body.size();
        if (r.chunkSize <= 0)
            connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::pump);
        pump();
    }

    // Pieces with pauses when asked for; otherwise as fast as the peer reads,
    // without queueing a large body in the socket all at once.
    void pump()
    {
        const Response &r = m_response;
        if (m_finished)
            return;
        while (m_sent < m_limit) {
            if (r.chunkSize <= 0 && m_socket->bytesToWrite() >= kHighWater)
                return; // bytesWritten brings us back
            const qint64 piece = r.chunkSize > 0 ? r.chunkSize : kPiece;
            const qint64 n = std::min<qint64>(m_limit - m_sent, piece);
            m_socket->write(r.body.constData() + m_sent, n);
            m_sent += n;
            if (r.chunkSize > 0 && m_sent < m_limit) {
                QTimer::singleShot(std::max(r.pauseMs, 0), this, &Connection::pump);
                return;
            }
        }
        m_finished = true;
        finish(r.cutAfter >= 0 ? r.cut : Response::Cut::Close);
    }

    void finish(Response::Cut cut)
    {
        switch (cut) {
        case Response::Cut::Close:
            m_socket->disconnectFromHost(); // after what is buffered has gone out
            break;
        case Response::Cut::Reset: {
            m_socket->flush();
            const linger hard{1, 0};
            ::setsockopt(static_cast<int>(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            m_socket->abort();
            m_socket->deleteLater();
            break;
        }
        case Response::Cut::Silence:
            break;
        }
    }

    QTcpSocket *m_socket;
    std::shared_ptr<HttpFixtureServer::Shared> m_shared;
    QByteArray m_head;
    bool m_answered = false;
    Response m_response;
    qint64 m_limit = 0;
    qint64 m_sent = 0;
    bool m_finished = false;
    static constexpr qint64 kPiece = 256 * 1024;
    static constexpr qint64 kHighWater = 1024 * 1024;
};

} // namespace

class HttpFixtureServer::Thread final : public QThread {
public:
    Thread(std::shared_ptr<Shared> shared, quint16 port)
        : m_shared(std::move(shared))
        , m_wantedPort(port)
    {
    }

    quint16 port = 0;
    bool listening = false;
    QSemaphore ready;

protected:
    void run() override
    {
        QTcpServer server;
        listening = server.listen(QHostAddress::LocalHost, m_wantedPort);
        port = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                {
                    QMutexLocker lock(&m_shared->mutex);
                    ++m_shared->connections;
                }
                new Connection(socket, m_shared);
            }
        });
        ready.release();
        exec();
        server.close();
    }

private:
    std::shared_ptr<Shared> m_shared;
    quint16 m_wantedPort;
};

HttpFixtureServer::HttpFixtureServer(quint16 port)
    : m_shared(std::make_shared<Shared>())
    , m_thread(std::make_unique<Thread>(m_shared, port))
{
    m_thread->start();
    m_thread->ready.acquire();
}

HttpFixtureServer::~HttpFixtureServer()
{
    m_thread->quit();
    m_thread->wait();
}

bool HttpFixtureServer::isListening() const
{
    return m_thread->listening;
}

quint16 HttpFixtureServer::port() const
{
    return m_thread->port;
}

QUrl HttpFixtureServer::url(const QString &pathAndQuery) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery));
}

void HttpFixtureServer::setResponse(const QByteArray &target, const Response &response)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->responses.insert(target, response);
}

void HttpFixtureServer::removeResponse(const QByteArray &target)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->responses.remove(target);
}

void HttpFixtureServer::setHandler(Handler handler)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->handler = std::move(handler);
}

QList<Request> HttpFixtureServer::requests() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->requests;
}

QList<QByteArray> HttpFixtureServer::requestLines() const
{
    QList<QByteArray> lines;
    for (const Request &r : requests())
        lines.append(r.requestLine);
    return lines;
}

QList<QByteArray> HttpFixtureServer::hostLines() const
{
    QList<QByteArray> lines;
    for (const Request &r : requests())
        lines.append(r.host());
    return lines;
}

int HttpFixtureServer::connectionCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->connections;
}

Response HttpFixtureServer::ok(const QByteArray &body, const QByteArray &contentType)
{
    Response r;
    r.body = body;
    r.headers.append(Header("Content-Type", contentType));
    return r;
}

Response HttpFixtureServer::status(int code, const QByteArray &body)
{
    Response r;
    r.status = code;
    r.body = body;
    r.headers.append(Header("Content-Type", "text/plain"));
    return r;
}

Response HttpFixtureServer::redirect(int code, const QByteArray &location)
{
    Response r;
    r.status = code;
    r.headers.append(Header("Location", location));
    return r;
}

} // namespace vidmora::test
