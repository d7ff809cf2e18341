#include "http_client/dgsws_http.h"

#include "http_client/receive_buffer.h"

#include <QPointer>

#include <limits>

namespace vidmora {
namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kHeadEnd = QStringLiteral("\r\n\r\n");

// The head ends at the response's first blank line when that line lies
// within this many characters of the response's start; a response without one
// there has no head (it is taken as a head packet without its blank line).
// Counted from the response's start, not per packet, so that the same bytes
// give the same head and body however the network splits them. Real heads are
// a few hundred bytes; the bound is far above any of them (a hostile head of
// tens of megabytes in one read is still a head) and keeps a response that
// never sends a blank line from being held back whole.
constexpr qsizetype kMaxHeadChars = 64 * 1024 * 1024;
// The header table is filled from this much of the head at most.
constexpr qsizetype kMaxHeadLineChars = 64 * 1024;

qint32 clampToInt32(qint64 v)
{
    if (v > std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    if (v < std::numeric_limits<qint32>::min())
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(v);
}

} // namespace

DGSwsHTTP::DGSwsHTTP(std::unique_ptr<platform::TcpSocket> socket, QString siteHost, QObject *parent)
    : QObject(parent)
    , ws(socket ? std::move(socket) : platform::createTcpSocket())
    , m_siteHost(std::move(siteHost))
{
    connect(ws.get(), &platform::TcpSocket::Connected, this, &DGSwsHTTP::ws_Connect);
    connect(ws.get(), &platform::TcpSocket::DataArrival, this, &DGSwsHTTP::ws_DataArrival);
    connect(ws.get(), &platform::TcpSocket::Closed, this, &DGSwsHTTP::ws_Close);
    connect(ws.get(), &platform::TcpSocket::Error, this, &DGSwsHTTP::ws_Error);
}

DGSwsHTTP::~DGSwsHTTP()
{
    Headers.RemoveAll();
    ws->disconnect(this);
    ws.reset();
}

void DGSwsHTTP::raiseError(const QString &errmsg, const QString &Scode)
{
    QString m = errmsg;
    QString c = Scode;
    emit httpError(m, c);
}

void DGSwsHTTP::geturl(QString &URL)
{
    if (URL.isEmpty()) {
        // The handler may delete this component (a box pumps the event queue).
        const QPointer<DGSwsHTTP> alive(this);
        raiseError(QStringLiteral("No URL specified"), QStringLiteral("0"));
        if (!alive)
            return;
    }

    // 1-based positions throughout.
    const qsizetype scheme = URL.indexOf(QLatin1String("://"));
    const qsizetype a = scheme >= 0 ? scheme + 1 + 3 : 1; // the host's first character
    if (URL.size() <= a + 3) {
        // A refused address must not cut the beginning off a fetch that is
        // still running: the buffer is only emptied when none is.
        if (!m_fetching)
            Module1::BufClear();
        raiseError(QStringLiteral("Invalid URL"), QStringLiteral("0"));
        return;
    }
    Module1::BufClear();
    const qsizetype slash = URL.indexOf(QLatin1Char('/'), a + 3 - 1);
    const qsizetype e = slash >= 0 ? slash + 1 : URL.size() + 1;
    // A ":port" stays part of the host text; the URL's port is never used.
    const QString host = URL.mid(a - 1, e - a);

    this->URL = URL;

    ws->Close();
    ++m_fetchNumber;
    m_fetching = false;
    m_awaitingHead = false;
    m_headSoFar.clear();
    m_headBytes = 0;
    bool ok = false;
    const int port = m_RemotePort.trimmed().toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        // The socket refuses such a port as an invalid argument; the caller
        // hears of it as of any other socket error.
        ws_Error(platform::TcpSocket::ErrInvalidArgument, QStringLiteral("Invalid argument"),
                 platform::TcpSocket::scodeFor(platform::TcpSocket::ErrInvalidArgument), QStringLiteral("geturl"));
        return;
    }
    ws->setRemotePort(port);
    ws->setRemoteHost(host);
    // Set before connecting: a socket may report a failure from inside Connect().
    m_fetching = true;
    ws->Connect();
}

void DGSwsHTTP::ws_Connect()
{
    totalbytesreceived = 0;
    FileSize = QVariant(0);
    ResponseHeaderString = QString();
    filedata = QVariant(QString());
    m_awaitingHead = true;
    m_headSoFar.clear();
    m_headBytes = 0;

    const QString block = QStringLiteral("GET ") + URL + QStringLiteral(" HTTP/1.0") + kCrLf
        + QStringLiteral("Accept-Language: en-us") + kCrLf
        + QStringLiteral("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
                         ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)")
        + kCrLf + QStringLiteral("Host: ") + m_siteHost + kCrLf + QStringLiteral("Connection: Close") + kCrLf
        + QStringLiteral("Cookie: LOCALE_PREFERENCE=0; VISITOR_INFO1_LIVE=0; __utma=0.0.0.0.0.2; "
                         "__utmz=0.0.1.1.utmcsr=(direct)|utmccn=(direct)|utmcmd=(none); GEO=0; "
                         "PREF=cr=US&gl=US&hl=en&ul=en")
        + kCrLf + kCrLf;
    ws->SendData(block);
}

void DGSwsHTTP::ws_DataArrival(qint32 bytesTotal)
{
    Headers.RemoveAll();
    QString d;
    ws->GetData(d);

    if (!m_awaitingHead) {
        Module1::BufAppend(d);
        // A count that would pass the 32-bit range stays where it is.
        const qint64 sum = qint64(totalbytesreceived) + bytesTotal;
        if (sum <= std::numeric_limits<qint32>::max())
            totalbytesreceived = static_cast<qint32>(sum);
        emit ProgressChanged(totalbytesreceived);
        return;
    }

    // Heads arrive split on real networks: collect until the blank line and
    // handle the whole head as one packet.
    const qsizetype searchFrom = qMax<qsizetype>(0, m_headSoFar.size() - 3);
    m_headSoFar += d;
    m_headBytes += bytesTotal;
    // Only a blank line that lies wholly within the bound ends the head.
    const qsizetype blank = searchFrom < kMaxHeadChars
        ? QStringView(m_headSoFar).left(kMaxHeadChars).indexOf(kHeadEnd, searchFrom)
        : -1;
    if (blank < 0 && m_headSoFar.size() < kMaxHeadChars)
        return;
    QString head = std::move(m_headSoFar);
    d = QString(); // the head holds the only reference: it becomes the head text without a copy
    const qint64 headBytes = m_headBytes;
    m_headSoFar.clear();
    m_headBytes = 0;
    m_awaitingHead = false;
    handleHead(std::move(head), blank + 1, clampToInt32(headBytes));
}

void DGSwsHTTP::handleHead(QString d, qsizetype c, qint32 bytesTotal)
{
    // c: 1-based position of the blank line's CR LF CR LF, 0 when there is none.
    const qsizetype headLen = qMin(c + 2, d.size());
    totalbytesreceived = clampToInt32(qint64(bytesTotal) - (headLen + 2));
    QString body = d.mid(headLen + 1);
    Module1::BufAppend(body);
    // The packet's text becomes the head text in place; its storage is let go
    // of when the body took most of it.
    d.truncate(headLen);
    if (d.capacity() - d.size() > d.size() + 4096)
        d.squeeze();
    ResponseHeaderString = std::move(d);

    // The table takes the lines within the head bound only: a peer that sends
    // megabytes of head lines must not cost time and memory per line. A line
    // that the bound cuts is not taken either.
    QStringView parsed(ResponseHeaderString);
    if (parsed.size() > kMaxHeadLineChars) {
        parsed = parsed.left(kMaxHeadLineChars);
        parsed = parsed.left(qMax<qsizetype>(0, parsed.lastIndexOf(kCrLf)));
    }
    const QList<QStringView> pieces = parsed.split(kCrLf);
    for (const QStringView piece : pieces) {
        const qsizetype p = piece.indexOf(QLatin1Char(' ')) + 1;
        if (p > 1)
            Headers.Add(piece.left(p - 1).toString(), piece.mid(p).toString()); // the first line with a key wins
    }
    // Reading the first item fails on an empty table; the step is then skipped.
    if (Headers.Count() > 0)
        ResponseCode = Headers.Items().first().toString().left(3);
    // Looking the length up adds its key when it is absent, so the table has a
    // first item from here on: the status text, or empty for a head without one.
    FileSize = Headers.Item(QStringLiteral("Content-Length:"));
    if (ResponseCode != QLatin1String("200"))
        raiseError(Headers.Items().first().toString(), ResponseCode);
}

void DGSwsHTTP::ws_Close()
{
    m_fetching = false;
    if (m_awaitingHead && !m_headSoFar.isEmpty()) {
        // The peer closed before any blank line: what came is the head packet.
        QString head = std::move(m_headSoFar);
        const qint64 headBytes = m_headBytes;
        m_headSoFar.clear();
        m_headBytes = 0;
        m_awaitingHead = false;
        Headers.RemoveAll();
        // The error the head may raise runs a handler that can delete this
        // component or start the next fetch: this one then ends here, silently.
        const QPointer<DGSwsHTTP> alive(this);
        const quint64 fetch = m_fetchNumber;
        handleHead(std::move(head), 0, clampToInt32(headBytes));
        if (!alive || fetch != m_fetchNumber)
            return;
    }
    m_awaitingHead = false;
    // The counts above were bytes; the page becomes text once, as a whole.
    Module1::BufTakeAsCodePage();
    filedata = QVariant(Module1::BufText());
    Module1::BufClear();
    emit DownloadComplete();
}

void DGSwsHTTP::ws_Error(qint32 Number, const QString &Description, qint32 Scode, const QString &Source)
{
    Q_UNUSED(Number)
    Q_UNUSED(Source)
    m_fetching = false;
    raiseError(Description, QString::number(Scode));
}

} // namespace vidmora
