#include "platform/async_download_qt.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <limits>

#include "platform/host_map.h"

namespace vidmora::platform {
namespace {

constexpr int kMaxRedirects = 20;
constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();

qint32 clamp32(qint64 v)
{
    return static_cast<qint32>(std::clamp<qint64>(v, 0, kInt32Max));
}

bool isServedScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isRedirect(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

// The Host line names the host the address names, whatever HostMap connects to.
QByteArray hostLine(const QUrl &url)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    const int defaultPort = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
    if (url.port() != -1 && url.port() != defaultPort)
        host += ':' + QByteArray::number(url.port());
    return host;
}

} // namespace

// One running read: its reply, its body so far and how far its notifications got.
class QtAsyncDownloadService::Read final : public QObject {
public:
    Read(QtAsyncDownloadService &service, QString name, QUrl url, bool fresh)
        : QObject(&service)
        , m_service(service)
        , m_name(std::move(name))
        , m_url(std::move(url))
        , m_fresh(fresh)
    {
    }

    ~Read() override { dropReply(); }

    const QString &name() const { return m_name; }

    void start()
    {
        // The start call returns before any notification: the first one comes from the event loop.
        QTimer::singleShot(0, this, [this] { guarded([this] { reachStage(SendingRequest); }); });
        send();
    }

    // Stops quietly: no notification follows.
    void cancel()
    {
        m_ended = true;
        dropReply();
        m_body = QByteArray();
        deleteLater();
    }

private:
    void send()
    {
        QNetworkRequest request(HostMap::resolve(m_url));
        request.setRawHeader("Host", hostLine(m_url));
#if QT_CONFIG(ssl)
        request.setPeerVerifyName(m_url.host()); // the certificate names the host, not where HostMap sends us
#endif
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        request.setTransferTimeout(static_cast<int>(m_service.m_inactivityTimeout.count()));
        if (m_fresh) {
            request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
            request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
            request.setRawHeader("Cache-Control", "no-cache");
            request.setRawHeader("Pragma", "no-cache");
        }
        m_reply = m_service.m_nam.get(request);
        QNetworkReply *reply = m_reply;
        connect(reply, &QNetworkReply::socketStartedConnecting, this, [this] { guarded([this] { reachStage(Connecting); }); });
        connect(reply, &QNetworkReply::metaDataChanged, this, [this] { guarded([this] { onHead(); }); });
        connect(reply, &QNetworkReply::readyRead, this, [this] { guarded([this] { onData(); }); });
        connect(reply, &QNetworkReply::finished, this, [this] { guarded([this] { onFinished(); }); });
    }

    void dropReply()
    {
        if (!m_reply)
            return;
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        // Deleting the reply stops its transfer. abort() would record a
        // cancel as the reply's error, and the network thread's own report of
        // the end (an error status, a reset) may already be on its way to the
        // reply: a second error makes Qt complain. Deferred: we may be inside
        // one of the reply's signals.
        reply->deleteLater();
    }

    // A body too large for memory (or a listener that throws) ends the read,
    // never the program: nothing may leave a slot through the event loop.
    template <typename F>
    void guarded(F &&step)
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

    // Raises the start-up stages in their order, each once per read.
    bool reachStage(Status stage)
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

    void onHead()
    {
        if (m_ended || !m_reply)
            return;
        const int code = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (isRedirect(code) && m_reply->hasRawHeader("Location")) {
            m_redirecting = true;
            return;
        }
        m_redirecting = false;
        if (code >= 400) {
            fail();
            return;
        }
        begin();
    }

    // The head of the response that carries the body: announce it once.
    bool begin()
    {
        if (m_begun)
            return !m_ended;
        m_begun = true;
        if (!reachStage(Connecting))
            return false;
        bool known = false;
        const qint64 announced = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        // A length that a coding of the body changes cannot be checked against what arrives.
        const QByteArray coding = m_reply->rawHeader("Content-Encoding").trimmed().toLower();
        if (known && announced >= 0 && (coding.isEmpty() || coding == "identity"))
            m_announced = announced;
        if (known && announced > 0) {
            m_bytesMax = clamp32(announced);
            m_body.reserve(static_cast<qsizetype>(std::min<qint64>(announced, kInt32Max)));
        }
        return notify(BeginDownloadData);
    }

    void onData()
    {
        if (m_ended || !m_reply)
            return;
        if (m_redirecting || !m_begun) {
            if (m_redirecting) {
                m_reply->skip(m_reply->bytesAvailable()); // a redirect's own body is not wanted
                return;
            }
            if (!begin())
                return;
        }
        const qint64 available = m_reply->bytesAvailable();
        if (available <= 0)
            return;
        // Read straight into the body: no intermediate copy per piece.
        const qsizetype old = m_body.size();
        const qsizetype needed = old + static_cast<qsizetype>(available);
        if (m_body.capacity() < needed)
            m_body.reserve(std::max<qsizetype>(needed, old + old / 2));
        m_body.resize(needed);
        const qint64 got = m_reply->read(m_body.data() + old, available);
        m_body.resize(old + static_cast<qsizetype>(std::max<qint64>(got, 0)));
        notify(DownloadingData);
    }

    void onFinished()
    {
        if (m_ended || !m_reply)
            return;
        if (m_redirecting) {
            follow();
            return;
        }
        if (m_reply->error() != QNetworkReply::NoError) {
            fail();
            return;
        }
        const int code = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (code >= 400) {
            fail();
            return;
        }
        if (!begin())
            return;
        if (m_reply->bytesAvailable() > 0) {
            onData();
            if (m_ended)
                return;
        }
        // A connection that broke off early can look like a normal end: the length tells.
        if (m_announced >= 0 && m_body.size() != m_announced) {
            fail();
            return;
        }
        if (!notify(EndDownloadData))
            return;
        end(EndDownloadData);
    }

    void follow()
    {
        const QUrl next = m_url.resolved(QUrl::fromEncoded(m_reply->rawHeader("Location")));
        if (++m_redirects > kMaxRedirects || !next.isValid() || !isServedScheme(next) || next.host().isEmpty()) {
            fail();
            return;
        }
        dropReply();
        m_url = next;
        m_redirecting = false;
        if (!notify(Redirecting))
            return;
        send();
    }

    void fail() { end(BindFailed); }

    // The completion: the read leaves the service's list before its
    // listeners run, so a cancel of its name from there finds nothing.
    void end(Status status)
    {
        if (m_ended)
            return;
        dropReply();
        AsyncProp prop;
        prop.PropertyName = m_name;
        prop.BytesRead = clamp32(m_body.size());
        prop.BytesMax = m_bytesMax;
        prop.StatusCode = status;
        if (status == EndDownloadData)
            prop.Value = std::move(m_body); // handed over, not copied
        m_body = QByteArray();
        m_ended = true;
        m_service.finishRead(this);
        emit m_service.AsyncReadComplete(prop);
    }

    // Returns whether the read still runs after its listeners have seen the notification.
    bool notify(Status status)
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

    QtAsyncDownloadService &m_service;
    const QString m_name;
    QUrl m_url;
    const bool m_fresh;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    qint32 m_bytesMax = 0;
    qint64 m_announced = -1; // the body's announced length when it can be checked
    int m_stage = 0; // 0 nothing raised, 1 sending raised, 2 connecting raised
    int m_redirects = 0;
    bool m_redirecting = false;
    bool m_begun = false;
    bool m_ended = false;
};

QtAsyncDownloadService::QtAsyncDownloadService(std::chrono::milliseconds inactivityTimeout, QObject *parent)
    : AsyncDownloadService(parent)
    , m_inactivityTimeout(inactivityTimeout)
{
    // The programs take no settings from the environment, a proxy included.
    m_nam.setProxy(QNetworkProxy::NoProxy);
    m_nam.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

QtAsyncDownloadService::~QtAsyncDownloadService()
{
    const QList<Read *> reads = m_reads;
    m_reads.clear();
    qDeleteAll(reads); // each drops its reply without a notification
}

std::optional<AsyncReadFailure> QtAsyncDownloadService::AsyncRead(const QString &Target, qint32 AsyncType,
                                                                  const QString &PropertyName,
                                                                  const QVariant &AsyncReadOptions)
{
    if (AsyncType != kTypeByteArray)
        return AsyncReadFailure{kErrInvalidArgument, QStringLiteral("Invalid procedure call or argument")};
    qint32 options = 0;
    if (AsyncReadOptions.isValid() && !AsyncReadOptions.isNull()) {
        bool ok = false;
        options = AsyncReadOptions.toInt(&ok);
        if (!ok)
            return AsyncReadFailure{kErrTypeMismatch, QStringLiteral("Type mismatch")};
    }
    const QUrl url(Target, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return AsyncReadFailure{kErrInvalidUrl, QStringLiteral("Invalid URL: ") + Target};
    if (!isServedScheme(url))
        return AsyncReadFailure{kErrUnknownProtocol, QStringLiteral("Unsupported protocol: ") + url.scheme()};
    if (url.host().isEmpty())
        return AsyncReadFailure{kErrInvalidUrl, QStringLiteral("Invalid URL: ") + Target};

    auto *read = new Read(*this, PropertyName, url, (options & kForceFreshTransfer) != 0);
    m_reads.append(read);
    read->start();
    return std::nullopt;
}

std::optional<AsyncReadFailure> QtAsyncDownloadService::CancelAsyncRead(const QString &PropertyName)
{
    bool found = false;
    for (qsizetype i = m_reads.size() - 1; i >= 0; --i) {
        Read *read = m_reads.at(i);
        if (read->name() != PropertyName)
            continue;
        m_reads.removeAt(i);
        read->cancel();
        found = true;
    }
    if (!found)
        return AsyncReadFailure{kErrNoSuchRead, QStringLiteral("No download named ") + PropertyName + QStringLiteral(" is running")};
    return std::nullopt;
}

int QtAsyncDownloadService::runningReads() const
{
    return static_cast<int>(m_reads.size());
}

void QtAsyncDownloadService::finishRead(Read *read)
{
    m_reads.removeOne(read);
    read->deleteLater();
}

} // namespace vidmora::platform
