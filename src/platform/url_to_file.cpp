#include "platform/url_to_file.h"

#include "platform/host_map.h"
#include "platform/web_address.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace vidmora::platform {
namespace {

// Shared by the caller and the transfer thread. Once the caller has given up
// waiting, the transfer must not put a file in place any more.
struct Shared {
    QMutex mutex;
    bool abandoned = false;
    bool written = false;
};

// Extra time the caller allows beyond the transfer's own deadline, for the
// thread to wind down after an abort.
constexpr int kWindDownMs = 5000;

// Redirections are followed by hand, so that every hop goes through HostMap
// and names its own host in the Host header.
constexpr int kMaxRedirects = 10;

QNetworkRequest requestFor(const QUrl &url)
{
    QNetworkRequest request(HostMap::resolve(url));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Host", hostHeader(url));
    return request;
}

// Only web addresses are fetched, also at the end of a redirection: a server
// must not make the transfer read a local file (file:) or anything else.
bool isWebAddress(const QUrl &url)
{
    return isWebScheme(url) && (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0 || canSpeakTls());
}

void transfer(const QString &url, const QString &targetPath, int timeoutMs, Shared &shared)
{
    QUrl current(url, QUrl::TolerantMode);
    if (!current.isValid() || current.host().isEmpty() || !isWebAddress(current))
        return;

    QNetworkAccessManager nam;
    // The programs read no environment, so no proxy settings either.
    nam.setProxy(QNetworkProxy::NoProxy);
    QSaveFile file(targetPath);
    if (!file.open(QIODevice::WriteOnly))
        return;

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    bool timedOut = false;
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });

    for (int hop = 0; hop <= kMaxRedirects && !timedOut; ++hop) {
        std::unique_ptr<QNetworkReply> reply(nam.get(requestFor(current)));
        bool writeFailed = false;
        const auto takeBody = [&] {
            const QByteArray chunk = reply->readAll();
            if (file.write(chunk) != chunk.size())
                writeFailed = true;
        };
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status < 300 || status >= 400)
                takeBody();
        });
        if (!reply->isFinished())
            loop.exec();
        if (!reply->isFinished()) { // the deadline passed
            reply->abort();
            break;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (isRedirectStatus(status)) {
            const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
            if (!target.isValid())
                break;
            current = current.resolved(target);
            if (current.host().isEmpty() || !isWebAddress(current))
                break;
            continue;
        }
        takeBody();
        if (reply->error() != QNetworkReply::NoError || status >= 400 || writeFailed)
            break;
        QMutexLocker lock(&shared.mutex);
        if (!shared.abandoned)
            shared.written = file.commit();
        return;
    }
    file.cancelWriting(); // the temporary file goes; the target stays as it was
}

} // namespace

bool urlToFile(const QString &url, const QString &targetPath, int timeoutMs)
{
    // A NUL would cut the name short where the file is opened: the body would
    // land on another file than the one asked for.
    if (targetPath.isEmpty() || targetPath.contains(QChar(0)))
        return false;
    if (timeoutMs < 0)
        timeoutMs = 0;
    auto shared = std::make_shared<Shared>();
    QThread *worker = QThread::create([url, targetPath, timeoutMs, shared] {
        transfer(url, targetPath, timeoutMs, *shared);
    });
    worker->start();
    // Wait without running the caller's event loop: its events stay queued, in order.
    if (worker->wait(QDeadlineTimer(qint64(timeoutMs) + kWindDownMs))) {
        delete worker;
        QMutexLocker lock(&shared->mutex);
        return shared->written;
    }
    {
        QMutexLocker lock(&shared->mutex);
        shared->abandoned = true;
        if (shared->written)
            return true; // committed just before we gave up
    }
    // Let the stuck thread finish in its own time and clean up after itself.
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    if (worker->isFinished())
        worker->deleteLater();
    return false;
}

} // namespace vidmora::platform
