#pragma once

#include <QList>

#include <chrono>
#include <limits>

#include "platform/async_download.h"

namespace vidmora::platform {

// The download service: HTTP/1.1 GET over a socket of each read's own, http
// and https (where Qt has TLS), redirects followed (at most 20), host names
// mapped through HostMap while the request keeps the original name in its
// Host line. A status of 400 or more, a refused connection, a connection the
// peer resets (also where the close would end a body without a length), a
// body shorter than announced, a body past the limit of the 32-bit counts, or
// `inactivityTimeout` without a byte end a read with status 0. Notifications,
// in order: 11 when the request is on its way, 2 when the connection is being
// made, 4 when the response head has arrived, 5 for every piece of the body,
// then 6 (progress and completion, the body in Value) or a completion with 0.
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
    // Bytes of storage the running reads hold for their bodies.
    qint64 reservedBytes() const;
    // The largest body a read may take (2^31-1 bytes, what the read record's
    // counts express, unless a test sets a smaller one); a longer body fails
    // the read.
    void setBodyLimit(qint64 bytes);

private:
    class Read;
    friend class Read;
    void finishRead(Read *read);

    std::chrono::milliseconds m_inactivityTimeout;
    qint64 m_bodyLimit = std::numeric_limits<qint32>::max();
    QList<Read *> m_reads; // running reads, in start order
};

} // namespace vidmora::platform
