#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "platform/async_download.h"
#include "platform/message_box.h"

namespace vidmora {

// The download manager component. It starts one asynchronous read per
// BeginDownload, named by its target path, writes each finished read to
// that path and reports per-item progress, stages, failures, completions and
// the end of the batch. The service must be one given to this component only
// (it takes every notification of the service as its own) and must outlive it.
class DownVidmora final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownVidmora)
public:
    DownVidmora(platform::AsyncDownloadService &service, platform::MessageBox &box, QObject *parent = nullptr);
    // Cancels what is still queued (with its "Cancelling" stages).
    ~DownVidmora() override;

    // An invalid (omitted) AsyncReadOptions means 16: a fresh transfer.
    void BeginDownload(QString URL, QString SaveFile, QVariant AsyncReadOptions = {});
    // Cancels every queued read and empties the queue; always true.
    bool CancelAllDownload();

    // The component keeps itself at 32 x 32 pixels, in the host's twips.
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // What a container's resize asks for; the component sizes itself back.
    void resize(int width, int height);

    // The queue as it stands: element 0 is always there and never used.
    const QStringList &queuedFiles() const { return QueFiles; }
    const QList<quint8> &queuedStatus() const { return QueStatus; }

    static constexpr quint8 kQueued = 255;

signals:
    void DownloadProgress(qint32 &CurBytes, qint32 &MaxBytes, QString &SaveFile);
    void DownloadError(QString &SaveFile);
    void DownloadComplete(qint32 &MaxBytes, QString &SaveFile);
    void DownloadAllComplete(QStringList &FileNotDownload);
    void DownloadStage(QString &sStage);

private:
    void UserControl_AsyncReadProgress(const platform::AsyncProp &AsyncProp);
    void UserControl_AsyncReadComplete(const platform::AsyncProp &AsyncProp);
    void CheckAllComplete();
    void SizeIt();
    void resetQueue();
    void raiseStage(const QString &text);
    void raiseProgress(const platform::AsyncProp &AsyncProp);
    void warn(qint32 number, const QString &where, const QString &description);

    platform::AsyncDownloadService &m_service;
    platform::MessageBox &m_box;
    QStringList QueFiles;
    QList<quint8> QueStatus;
    int m_width = 0;
    int m_height = 0;
};

} // namespace vidmora
