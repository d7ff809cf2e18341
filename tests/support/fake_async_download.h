#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

#include "platform/async_download.h"

namespace vidmora::test {

// A download service whose notifications the test raises itself, in any
// order and with any record, to drive its component through sequences a
// real server cannot produce. It records every start and cancel.
class FakeAsyncDownloadService final : public platform::AsyncDownloadService {
public:
    struct Read {
        QString target;
        qint32 type = 0;
        QString name;
        QVariant options;
    };

    std::optional<platform::AsyncReadFailure> AsyncRead(const QString &Target, qint32 AsyncType,
                                                        const QString &PropertyName,
                                                        const QVariant &AsyncReadOptions) override
    {
        reads.append(Read{Target, AsyncType, PropertyName, AsyncReadOptions});
        if (failNextRead) {
            const auto failure = failNextRead;
            failNextRead.reset();
            return failure;
        }
        return std::nullopt;
    }

    std::optional<platform::AsyncReadFailure> CancelAsyncRead(const QString &PropertyName) override
    {
        cancels.append(PropertyName);
        return platform::AsyncReadFailure{kErrNoSuchRead, QStringLiteral("no such read")};
    }

    // Raises a progress notification as the host would from its event loop.
    void progress(const QString &name, qint32 status, qint32 bytesRead = 0, qint32 bytesMax = 0)
    {
        platform::AsyncProp prop{name, bytesRead, bytesMax, status, {}};
        emit AsyncReadProgress(prop);
    }

    // Raises a completion; `value` is the body (meant for status 6).
    void complete(const QString &name, qint32 status, const QByteArray &value = {}, qint32 bytesMax = -1)
    {
        const qint32 size = static_cast<qint32>(value.size());
        platform::AsyncProp prop{name, size, bytesMax < 0 ? size : bytesMax, status, value};
        emit AsyncReadComplete(prop);
    }

    std::optional<platform::AsyncReadFailure> failNextRead; // the next AsyncRead fails with this
    QList<Read> reads;
    QStringList cancels;
};

} // namespace vidmora::test
