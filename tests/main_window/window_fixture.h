#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <ostream>

#include "converter/avc.h"
#include "event_wait.h"
#include "fake_async_download.h"
#include "fake_message_box.h"
#include "fake_shell.h"
#include "http_client/dgsws_http.h"
#include "http_fixture_server.h"
#include "main_window/form1.h"
#include "platform/async_download_qt.h"
#include "platform/gui/label.h"
#include "platform/gui/list_view.h"
#include "scoped_host.h"
#include "test_files.h"
#include "watch_page.h"

QT_BEGIN_NAMESPACE
// Readable failure messages for texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace vidmora::test {

// Host names of the site as the window knows them; HostMap sends them to the fixture.
inline const QString kSiteHost = QStringLiteral("www.vidsite.test");
inline const QString kSiteDomain = QStringLiteral("vidsite.test");
inline const QString kImageHost = QStringLiteral("img.vidsite.test");
inline const QString kMakerHost = QStringLiteral("www.zevrak.test");

// A small JPEG, as the site's thumbnails are.
QByteArray thumbnailJpeg(const QColor &color = QColor(30, 140, 60));
// A one-second FLV made by ffmpeg (cached for the run); empty when ffmpeg failed.
QByteArray sampleFlv();
// ffprobe's format name of `path`, or "" when it is no media file.
QString probeFormat(const QString &path);

// The real main window on a loopback site, with a recording box and shell.
class WindowTest : public ::testing::Test {
protected:
    enum class Downloads { Real, Fake };

    WindowTest();
    ~WindowTest() override;

    // Builds the window; call once per test, after setting the site's responses.
    void makeWindow(Downloads downloads = Downloads::Real, const QString &programFolder = QString());
    // Changes the test's setup just before makeWindow builds the window.
    std::function<void(main_window::Form1Setup &)> adjustSetup;

    // The standard fixture page, thumbnail and (optionally) video.
    void serveWatchPage(const WatchPageFields &fields = {}, int pageStatus = 200);
    void serveThumbnail(const QString &videoId = WatchPageFields{}.videoId);
    void serveVideo(const HttpFixtureServer::Response &response);

    QString watchAddress(const QString &videoId = WatchPageFields{}.videoId) const;
    void typeAddress(const QString &text);
    void pressDownload();
    void press(const char *buttonName);
    // Waits until the page road has queued its row (the status line says "Downloading ...").
    bool waitForPageDone(int ms = 20000);
    // The standard page and thumbnail, the window with scripted downloads, and
    // the page road run up to the queued row; false when it did not get there.
    bool runStandardPageRoad(int pageStatus = 200);
    // Waits until the window is idle again after a conversion or a failure.
    bool waitUntilIdle(int ms = 90000);

    template <typename T> T *child(const char *name) const
    {
        T *w = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString caption(const char *labelName) const { return child<platform::Label>(labelName)->Caption(); }
    platform::ListView *list() const { return child<platform::ListView>("lstDownload"); }
    QWidget *button(const char *name) const { return child<QWidget>(name); }

    // The folders above the save folder, inside the test's own folder; set before makeWindow.
    QString folderAbove;
    QString saveFolder() const { return m_temp.path() + folderAbove + QStringLiteral("/Vidmora"); }
    QString flvPath() const { return saveFolder() + QStringLiteral("/A Day at the Lake.flv"); }
    QString thumbPath() const { return saveFolder() + QStringLiteral("/fis.tmp"); }
    QString readyText() const { return QStringLiteral("Ready for converting ") + kSiteDomain + QStringLiteral(" movies !"); }

    HttpFixtureServer site;
    ScopedHost siteMap;
    ScopedHost imageMap;
    QTemporaryDir m_temp;
    FakeMessageBox box;
    FakeShell shell;
    std::unique_ptr<platform::QtAsyncDownloadService> realDownloads;
    FakeAsyncDownloadService fakeDownloads;
    std::unique_ptr<main_window::Form1> window;
    DGSwsHTTP *pageClient = nullptr; // the window's page client
    QStringList statuses; // every write of the status line
    int endProgramCalls = 0;
};

} // namespace vidmora::test
