#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "downloader/down_vidmora.h"
#include "event_log.h"
#include "fake_async_download.h"
#include "fake_message_box.h"

namespace vidmora::test {

// What is in the file at `path`, or "<missing>" when it cannot be read.
inline QByteArray fileContent(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

// One control on a scripted service, its events logged, and a folder for its targets.
class ScriptedControlTest : public ::testing::Test {
protected:
    QString target(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    QTemporaryDir dir;
    FakeAsyncDownloadService service;
    FakeMessageBox box;
    DownVidmora control{service, box};
    EventLog log{control};
};

} // namespace vidmora::test
