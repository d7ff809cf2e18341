#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "downloader/down_vidmora.h"

namespace vidmora::test {

// Every event of a DownVidmora, in the order raised, as one line each.
struct EventLog {
    explicit EventLog(DownVidmora &control)
    {
        QObject::connect(&control, &DownVidmora::DownloadProgress, &context, [this](qint32 &cur, qint32 &max, QString &file) {
            lines << QStringLiteral("Progress %1/%2 %3").arg(cur).arg(max).arg(file);
        });
        QObject::connect(&control, &DownVidmora::DownloadError, &context, [this](QString &file) {
            lines << QStringLiteral("Error ") + file;
        });
        QObject::connect(&control, &DownVidmora::DownloadComplete, &context, [this](qint32 &max, QString &file) {
            lines << QStringLiteral("Complete %1 %2").arg(max).arg(file);
        });
        QObject::connect(&control, &DownVidmora::DownloadAllComplete, &context, [this](QStringList &failed) {
            lines << QStringLiteral("AllComplete [") + failed.join(QLatin1Char('|')) + QLatin1Char(']');
            ++batches;
        });
        QObject::connect(&control, &DownVidmora::DownloadStage, &context, [this](QString &stage) {
            lines << QStringLiteral("Stage ") + stage;
        });
    }

    // The lines without progress and connection stages, which depend on how the transfer went.
    QStringList outcome() const
    {
        QStringList out;
        for (const QString &l : lines) {
            if (!l.startsWith(QLatin1String("Progress")) && l != QLatin1String("Stage Attempting Connection")
                && l != QLatin1String("Stage Connecting...") && l != QLatin1String("Stage Beginning to Download")
                && l != QLatin1String("Stage Complete!"))
                out << l;
        }
        return out;
    }

    QObject context; // the connections end with the log
    QStringList lines;
    int batches = 0;
};

} // namespace vidmora::test
