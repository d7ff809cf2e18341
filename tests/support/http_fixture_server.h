#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace vidmora::test {

// A small HTTP server on loopback for tests: it answers each request with
// the response set for its target, one request per connection, and logs
// every request it reads. It serves from a thread of its own, so a test
// whose own thread blocks (a synchronous download, a modal wait) is served
// all the same. Every connection is closed once its response is out.
class HttpFixtureServer final {
public:
    using Header = QPair<QByteArray, QByteArray>;

    struct Response {
        enum class Cut {
            Close,   // close the connection normally
            Reset,   // abort it with a reset
            Silence, // send nothing more but keep it open
        };

        QByteArray version = "HTTP/1.1"; // of the status line
        int status = 200;
        QByteArray reason;           // empty: the usual phrase for `status`
        QList<Header> headers;       // further header lines, sent as given and in order
        QByteArray body;
        bool contentLength = true;   // false: no Content-Length; the close ends the body
        qsizetype chunkSize = 0;     // > 0: the body goes out in pieces of this size...
        int pauseMs = 0;             // ...with this pause before every piece but the first
        qint64 cutAfter = -1;        // >= 0: only this many body bytes go out, then `cut`
        Cut cut = Cut::Close;
        bool silent = false;         // read the request, answer nothing, keep the connection open
        QByteArray raw;              // not empty: sent as it stands in place of the whole response
    };

    struct Request {
        QByteArray requestLine;      // e.g. "GET /a?b=c HTTP/1.1"
        QByteArray method;
        QByteArray target;           // path and query as sent
        QByteArray version;
        QList<Header> headers;       // in the order received

        // The first header of that name (case-insensitive), empty when there is none.
        QByteArray header(const QByteArray &name) const;
        QByteArray host() const { return header("Host"); }
    };

    // Called on the server's thread for a target that has no response of its own.
    using Handler = std::function<Response(const Request &)>;

    // Listens on 127.0.0.1 at `port` (0: any free port).
    explicit HttpFixtureServer(quint16 port = 0);
    ~HttpFixtureServer();
    HttpFixtureServer(const HttpFixtureServer &) = delete;
    HttpFixtureServer &operator=(const HttpFixtureServer &) = delete;

    bool isListening() const;
    quint16 port() const;
    // "http://127.0.0.1:<port>" followed by `pathAndQuery` (which starts with "/").
    QUrl url(const QString &pathAndQuery) const;

    // The response for `target`: an exact match of path and query wins, then the path alone.
    void setResponse(const QByteArray &target, const Response &response);
    void removeResponse(const QByteArray &target);
    void setHandler(Handler handler);

    // What the server has read so far, oldest first.
    QList<Request> requests() const;
    QList<QByteArray> requestLines() const;
    QList<QByteArray> hostLines() const;
    int connectionCount() const;

    // Ready-made responses.
    static Response ok(const QByteArray &body, const QByteArray &contentType = "application/octet-stream");
    static Response status(int code, const QByteArray &body = {});
    static Response redirect(int code, const QByteArray &location);

    class Shared;

private:
    class Thread;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Thread> m_thread;
};

} // namespace vidmora::test
