#include "platform/async_download_qt.h"

#include <QUrl>

#include <algorithm>
#include <limits>

#include "platform/async_download_read.h"
#include "platform/web_address.h"

namespace vidmora::platform {

QtAsyncDownloadService::QtAsyncDownloadService(std::chrono::milliseconds inactivityTimeout, QObject *parent)
    : AsyncDownloadService(parent)
    , m_inactivityTimeout(inactivityTimeout)
{
}

QtAsyncDownloadService::~QtAsyncDownloadService()
{
    const QList<Read *> reads = m_reads;
    m_reads.clear();
    qDeleteAll(reads); // each closes its connection without a notification
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
    if (!isWebScheme(url))
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

qint64 QtAsyncDownloadService::reservedBytes() const
{
    qint64 total = 0;
    for (const Read *read : m_reads)
        total += read->reserved();
    return total;
}

void QtAsyncDownloadService::setBodyLimit(qint64 bytes)
{
    m_bodyLimit = std::clamp<qint64>(bytes, 0, std::numeric_limits<qint32>::max());
}

void QtAsyncDownloadService::finishRead(Read *read)
{
    m_reads.removeOne(read);
    read->deleteLater();
}

} // namespace vidmora::platform
