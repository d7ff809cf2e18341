#include "platform/url_to_file.h"

#include "platform/async_download_qt.h"
#include "platform/file_beside.h"
#include "platform/web_address.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

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

// The body comes through the download service, so a thumbnail ends as a
// video does: a reset, a short body, an error status or a redirection off
// the web is a failure, wherever the service decides it.
std::optional<QByteArray> fetch(const QUrl &url, int timeoutMs, int idleMs)
{
    QtAsyncDownloadService service{std::chrono::milliseconds(idleMs)};
    QEventLoop loop;
    std::optional<QByteArray> body;
    QObject::connect(&service, &AsyncDownloadService::AsyncReadComplete, &loop, [&](const AsyncProp &prop) {
        if (prop.StatusCode == AsyncDownloadService::EndDownloadData)
            body = prop.Value;
        loop.quit();
    });
    const QString name = QStringLiteral("url-to-file");
    if (service.AsyncRead(url.toString(QUrl::FullyEncoded), AsyncDownloadService::kTypeByteArray, name, 0))
        return std::nullopt;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        service.CancelAsyncRead(name);
        loop.quit();
    });
    deadline.start(timeoutMs);
    loop.exec();
    return body;
}

void transfer(const QString &url, const QString &targetPath, int timeoutMs, int idleMs, Shared &shared)
{
    // Typed addresses are taken leniently (a blank becomes %20); the service
    // then sees them in their strict form.
    const QUrl current(url, QUrl::TolerantMode);
    if (!current.isValid() || current.host().isEmpty() || !isWebScheme(current))
        return;

    // A target that may not be written is refused before anything is fetched.
    FileBeside file(QFile::encodeName(targetPath).toStdString(), FileBeside::Existing::WritableOnly);
    if (!file.open())
        return;
    const std::optional<QByteArray> body = fetch(current, timeoutMs, idleMs);
    if (!body || !file.write(body->constData(), std::size_t(body->size())))
        return; // the temporary file goes with `file`; the target stays as it was
    QMutexLocker lock(&shared.mutex);
    if (!shared.abandoned)
        shared.written = file.commit();
}

} // namespace

bool urlToFile(const QString &url, const QString &targetPath, int timeoutMs, int idleMs)
{
    // Refused here, before a thread is started for it (the rule is FileBeside's).
    if (!isFileName(QFile::encodeName(targetPath).toStdString()))
        return false;
    if (timeoutMs < 0)
        timeoutMs = 0;
    if (idleMs < 0)
        idleMs = 0;
    auto shared = std::make_shared<Shared>();
    QThread *worker = QThread::create([url, targetPath, timeoutMs, idleMs, shared] {
        transfer(url, targetPath, timeoutMs, idleMs, *shared);
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
