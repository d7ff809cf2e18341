#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

namespace vidmora::platform {

// The read record that comes with every notification of the asynchronous
// download service.
struct AsyncProp {
    QString PropertyName; // the name the read was started under
    qint32 BytesRead = 0; // bytes received so far
    qint32 BytesMax = 0;  // length the server announced, 0 when it announced none
    qint32 StatusCode = 0;
    QByteArray Value;     // the whole body, on completion with status 6 only
};

// Why a read could not be started (or a cancel found nothing to cancel): an
// error number and its description, as the caller shows them.
struct AsyncReadFailure {
    qint32 Number = 0;
    QString Description;
};

// The host's asynchronous download service of a hosted component: reads
// started by name, running in the background, reported by notifications on
// the thread that owns the service (the user-interface thread). A service
// instance serves one component: every notification it raises belongs to it.
class AsyncDownloadService : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AsyncDownloadService)
public:
    // Bind-status numbers carried in AsyncProp::StatusCode.
    enum Status : qint32 {
        BindFailed = 0,
        FindingResource = 1,
        Connecting = 2,
        Redirecting = 3,
        BeginDownloadData = 4,
        DownloadingData = 5,
        EndDownloadData = 6,
        SendingRequest = 11,
    };
    // Read types: only the byte array is offered here.
    static constexpr qint32 kTypeByteArray = 2;
    // Option flag: a fresh transfer that takes nothing from any cache.
    static constexpr qint32 kForceFreshTransfer = 16;

    // Error numbers of a failed start.
    static constexpr qint32 kErrInvalidArgument = 5;            // read type not offered
    static constexpr qint32 kErrTypeMismatch = 13;              // options not a number
    static constexpr qint32 kErrInvalidUrl = -2146697214;       // 0x800C0002: malformed address
    static constexpr qint32 kErrUnknownProtocol = -2146697203;  // 0x800C000D: scheme not served
    static constexpr qint32 kErrNoSuchRead = -2147024809;       // 0x80070057: cancel of an unknown name

    explicit AsyncDownloadService(QObject *parent = nullptr) : QObject(parent) {}
    ~AsyncDownloadService() override = default;

    // Starts reading `Target` in the background and returns at once: nothing
    // when the read runs (its notifications follow from the event loop, never
    // from inside this call), the failure when it cannot start (no
    // notification follows then). Several reads may run under one name.
    virtual std::optional<AsyncReadFailure> AsyncRead(const QString &Target, qint32 AsyncType,
                                                      const QString &PropertyName,
                                                      const QVariant &AsyncReadOptions) = 0;
    // Stops every running read of that name; no notification follows for them.
    // Fails (callers usually ignore it) when no read of that name runs.
    virtual std::optional<AsyncReadFailure> CancelAsyncRead(const QString &PropertyName) = 0;

signals:
    void AsyncReadProgress(const vidmora::platform::AsyncProp &AsyncProp);
    void AsyncReadComplete(const vidmora::platform::AsyncProp &AsyncProp);
};

} // namespace vidmora::platform
