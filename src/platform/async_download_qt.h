#pragma once

#include <QNetworkAccessManager>

#include <chrono>
#include <QList>

#include "platform/async_download.h"

namespace vidmora::platform {

// The download service over QNetworkAccessManager: http and https, redirects
// followed (at most 20), host names mapped through HostMap while the request
// keeps the original name in its Host line. A status of 400 or more, a refused
// or reset connection, or `inactivityTimeout` without a byte end a read with
// status 0. Notifications, in order: 11 when the request is on its way, 2
// when the connection is being made, 4 when the response head has arrived,
// 5 for every piece of the body, then 6 (progress and completion, the body in
// Value) or a completion with 0.
class QtAsyncDownloadService final : public AsyncDownloadService {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtAsyncDownloadService)
public:
    static constexpr std::chrono::milliseconds kDefaultInactivityTimeout{60000};

    explicit QtAsyncDownloadService(std::chrono::milliseconds inactivityTimeout = kDefaultInactivityTimeout,
                                    QObject *parent = nullptr);
    // Running reads are dropped without notifications.
    ~QtAsyncDownloadService() override;

    std::optional<AsyncReadFailure> AsyncRead(const QString &Target, qint32 AsyncType, const QString &PropertyName,
                                              const QVariant &AsyncReadOptions) override;
    std::optional<AsyncReadFailure> CancelAsyncRead(const QString &PropertyName) override;

    // Number of reads still running (for owners that wait for a quiet service).
    int runningReads() const;

private:
    class Read;
    friend class Read;
    void finishRead(Read *read);

    QNetworkAccessManager m_nam;
    std::chrono::milliseconds m_inactivityTimeout;
    QList<Read *> m_reads; // running reads, in start order
};

} // namespace vidmora::platform
