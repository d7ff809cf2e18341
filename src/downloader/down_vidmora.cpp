#include "downloader/down_vidmora.h"

#include <QFile>

#include <exception>
#include <new>

#include "platform/file_beside.h"
#include "platform/twips.h"

namespace vidmora {
namespace {

using platform::AsyncDownloadService;

using platform::kTwipsPerPixel;
constexpr int kSidePixels = 32;

constexpr qint32 kErrOutOfMemory = 7;
constexpr qint32 kErrInternal = 51;

// Writes `bytes` beside `path` and moves them over it only when all of them
// are written, so the target never holds a part of a download: it keeps its
// old content (or stays absent) when anything fails.
bool writeWhole(const QString &path, const QByteArray &bytes)
{
    platform::FileBeside file(QFile::encodeName(path).toStdString());
    return file.open() && file.write(bytes.constData(), std::size_t(bytes.size())) && file.commit();
}

} // namespace

DownVidmora::DownVidmora(platform::AsyncDownloadService &service, platform::MessageBox &box, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_box(box)
{
    SizeIt();
    resetQueue();
    connect(&m_service, &AsyncDownloadService::AsyncReadProgress, this, &DownVidmora::UserControl_AsyncReadProgress);
    connect(&m_service, &AsyncDownloadService::AsyncReadComplete, this, &DownVidmora::UserControl_AsyncReadComplete);
}

DownVidmora::~DownVidmora()
{
    disconnect(&m_service, nullptr, this, nullptr);
    if (QueFiles.size() > 1)
        CancelAllDownload();
}

void DownVidmora::BeginDownload(QString URL, QString SaveFile, QVariant AsyncReadOptions)
{
    if (!AsyncReadOptions.isValid())
        AsyncReadOptions = QVariant(qint32(AsyncDownloadService::kForceFreshTransfer));
    try {
        if (const auto failure = m_service.AsyncRead(URL, AsyncDownloadService::kTypeByteArray, SaveFile, AsyncReadOptions)) {
            warn(failure->Number, QStringLiteral("BeginDownload"), failure->Description);
            return;
        }
        QueFiles.append(SaveFile);
        QueStatus.append(kQueued);
    } catch (const std::bad_alloc &) {
        warn(kErrOutOfMemory, QStringLiteral("BeginDownload"), QStringLiteral("Out of memory"));
    } catch (const std::exception &e) {
        warn(kErrInternal, QStringLiteral("BeginDownload"), QString::fromLocal8Bit(e.what()));
    }
}

bool DownVidmora::CancelAllDownload()
{
    // A listener of a stage may re-enter; the walk stays inside what is left.
    const qsizetype upper = QueFiles.size() - 1;
    for (qsizetype i = 1; i <= upper && i < QueFiles.size(); ++i) {
        m_service.CancelAsyncRead(QueFiles.at(i)); // a read that has ended already answers with an error: ignored
        raiseStage(QStringLiteral("Cancelling"));
    }
    resetQueue();
    return true;
}

void DownVidmora::resize(int, int)
{
    SizeIt();
}

void DownVidmora::UserControl_AsyncReadProgress(const platform::AsyncProp &AsyncProp)
{
    if (AsyncProp.BytesMax != 0)
        raiseProgress(AsyncProp);
    switch (AsyncProp.StatusCode) {
    case AsyncDownloadService::BindFailed:
        raiseStage(QStringLiteral("Error!!"));
        m_service.CancelAsyncRead(AsyncProp.PropertyName);
        break;
    case AsyncDownloadService::Connecting:
        raiseStage(QStringLiteral("Connecting..."));
        break;
    case AsyncDownloadService::BeginDownloadData:
        raiseStage(QStringLiteral("Beginning to Download"));
        raiseProgress(AsyncProp);
        break;
    case AsyncDownloadService::EndDownloadData:
        raiseStage(QStringLiteral("Complete!"));
        break;
    case AsyncDownloadService::SendingRequest:
        raiseStage(QStringLiteral("Attempting Connection"));
        break;
    default:
        break;
    }
}

void DownVidmora::UserControl_AsyncReadComplete(const platform::AsyncProp &AsyncProp)
{
    qint32 status = AsyncProp.StatusCode;
    if (status == AsyncDownloadService::BindFailed) {
        m_service.CancelAsyncRead(AsyncProp.PropertyName);
        QString saveFile = AsyncProp.PropertyName;
        emit DownloadError(saveFile);
    } else if (status == AsyncDownloadService::EndDownloadData) {
        const QByteArray bytes = AsyncProp.Value; // shares the service's buffer
        raiseStage(QStringLiteral("Finalizing"));
        QString saveFile = AsyncProp.PropertyName;
        if (writeWhole(AsyncProp.PropertyName, bytes)) {
            qint32 maxBytes = AsyncProp.BytesMax;
            emit DownloadComplete(maxBytes, saveFile);
        } else {
            // A download that did not reach its target is a failure, and counts as one.
            status = AsyncDownloadService::BindFailed;
            emit DownloadError(saveFile);
        }
    }

    // The first item of that name takes the status; a code that is no
    // status byte leaves the item open.
    if (status >= 0 && status <= 255) {
        for (qsizetype i = 1; i < QueFiles.size() && i < QueStatus.size(); ++i) {
            if (QueFiles.at(i) == AsyncProp.PropertyName) {
                QueStatus[i] = static_cast<quint8>(status);
                break;
            }
        }
    }
    CheckAllComplete();
}

void DownVidmora::CheckAllComplete()
{
    QStringList FileNotDownload{QString()};
    bool ended = true;
    for (qsizetype i = 1; i < QueStatus.size(); ++i) {
        const quint8 status = QueStatus.at(i);
        if (status == AsyncDownloadService::BindFailed) {
            FileNotDownload.append(i < QueFiles.size() ? QueFiles.at(i) : QString());
        } else if (status != AsyncDownloadService::EndDownloadData) {
            ended = false;
            break;
        }
    }
    if (!ended)
        return;
    CancelAllDownload();
    emit DownloadAllComplete(FileNotDownload);
}

void DownVidmora::SizeIt()
{
    // Plain arithmetic at one fixed scale: sizing cannot fail here, so its
    // "Error in call to SizeIt()." warning has nothing to report.
    m_width = kSidePixels * kTwipsPerPixel;
    m_height = kSidePixels * kTwipsPerPixel;
}

void DownVidmora::resetQueue()
{
    QueFiles = QStringList{QString()};
    QueStatus = QList<quint8>{0};
}

void DownVidmora::raiseStage(const QString &text)
{
    QString sStage = text;
    emit DownloadStage(sStage);
}

void DownVidmora::raiseProgress(const platform::AsyncProp &AsyncProp)
{
    qint32 curBytes = AsyncProp.BytesRead;
    qint32 maxBytes = AsyncProp.BytesMax;
    QString saveFile = AsyncProp.PropertyName;
    emit DownloadProgress(curBytes, maxBytes, saveFile);
}

void DownVidmora::warn(qint32 number, const QString &where, const QString &description)
{
    m_box.show(QString::number(number) + QLatin1Char(':') + QStringLiteral("Error in call to ") + where
                   + QStringLiteral("().") + QStringLiteral("\r\n\r\n") + QStringLiteral("Error Description: ")
                   + description,
               platform::MessageBox::Icon::Critical, QStringLiteral("Warning"));
}

} // namespace vidmora
