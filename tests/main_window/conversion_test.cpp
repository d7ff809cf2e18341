// The whole road in one process: loopback site, real download, real
// "wqas.pga" and ffmpeg, the window driven like a user does.

#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "flv_media.h"

#include "profiles/profiles.h"

namespace vidmora::test {
namespace {

class EndToEndTest : public WindowTest {
protected:
    void SetUp() override
    {
        m_flv = sampleFlv();
        if (m_flv.isEmpty())
            GTEST_SKIP() << "ffmpeg could not make the sample video";
        serveWatchPage();
        serveThumbnail();
    }

    // The video in several packets.
    HttpFixtureServer::Response videoResponse(qsizetype chunk = 4096, int pauseMs = 2) const
    {
        HttpFixtureServer::Response r = HttpFixtureServer::ok(m_flv, "video/x-flv");
        r.chunkSize = chunk;
        r.pauseMs = pauseMs;
        return r;
    }

    void startRoad(const QString &format = QString())
    {
        if (!format.isEmpty())
            child<QComboBox>("Combo1")->setCurrentText(format);
        typeAddress(watchAddress());
        pressDownload();
    }

    QString outputPath(const char *ext) const
    {
        return saveFolder() + QStringLiteral("/A Day at the Lake") + QString::fromLatin1(ext);
    }

    QByteArray m_flv;
};

TEST_F(EndToEndTest, DefaultFormatEndsInAnAviAndPlayOpensIt)
{
    serveVideo(videoResponse());
    makeWindow();
    QStringList rowTextsWhileConverting;
    // The rows take the spinner text after the status line: look at them on the next write.
    QObject::connect(window.get(), &main_window::Form1::statusLineChanged, window.get(), [&](const QString &) {
        if (statuses.size() >= 2 && statuses.at(statuses.size() - 2).startsWith(QStringLiteral("Converting ")))
            rowTextsWhileConverting.append(list()->subItem(1, 2));
        // The window mid-road (details, thumbnail, row, spinner), kept for a look by eye.
        if (statuses.count(QStringLiteral("Converting vidsite.test data |")) == 1 && statuses.last().startsWith(QStringLiteral("Converting ")))
            window->grab().save(QStringLiteral(VIDMORA_TEST_BIN_DIR "/main_window_converting.png"));
    });
    startRoad();
    ASSERT_TRUE(waitUntilIdle()) << statuses.join(QLatin1Char('|')).toStdString();

    // Status texts in order, the spinner from its first frame.
    const qsizetype converting = statuses.indexOf(QStringLiteral("Converting vidsite.test data |"));
    ASSERT_GE(converting, 0) << statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_LT(statuses.indexOf(QStringLiteral("Downloading ...")), converting);
    const QStringList frames = {QStringLiteral("Converting vidsite.test data |"), QStringLiteral("Converting vidsite.test data /"),
                                QStringLiteral("Converting vidsite.test data -"), QStringLiteral("Converting vidsite.test data \\")};
    for (qsizetype i = converting, f = 0; i < statuses.size() && statuses[i].startsWith(QStringLiteral("Converting ")); ++i, ++f)
        EXPECT_EQ(statuses[i], frames[f % 4]);
    ASSERT_FALSE(rowTextsWhileConverting.isEmpty());
    for (const QString &text : rowTextsWhileConverting)
        EXPECT_TRUE(frames.contains(text)) << text.toStdString();
    EXPECT_EQ(statuses.at(statuses.size() - 2), QStringLiteral("Done"));
    EXPECT_EQ(statuses.last(), readyText());

    // The converted file, the download and the thumbnail gone, the row removed.
    EXPECT_EQ(probeFormat(outputPath(".avi")), QStringLiteral("avi"));
    EXPECT_FALSE(QFileInfo::exists(flvPath()));
    EXPECT_FALSE(QFileInfo::exists(thumbPath()));
    EXPECT_EQ(list()->count(), 0);
    EXPECT_EQ(window->OutputExt(), QStringLiteral(".avi"));
    EXPECT_EQ(window->SpinFrame(), 0);
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_FALSE(button("cmdCancel")->isEnabled());
    EXPECT_TRUE(box.shown.isEmpty());

    // The video request went out once, on the site's host.
    int videoRequests = 0;
    for (const QByteArray &line : site.requestLines())
        videoRequests += line.contains("/get_video.php?video_id=") ? 1 : 0;
    EXPECT_EQ(videoRequests, 1);

    ASSERT_TRUE(button("Button1")->isVisible());
    press("Button1");
    EXPECT_EQ(shell.opened.last(), outputPath(".avi"));
}

TEST_F(EndToEndTest, EntryWithoutAProfileKeepsTheDownloadAndReturnsToIdle)
{
    serveVideo(videoResponse());
    makeWindow();
    startRoad(QStringLiteral("RM (RealONE/RealPlayer)"));
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(box.shown.size(), 1);
    EXPECT_EQ(box.shown[0].text, QStringLiteral("Error: RM (RealONE/RealPlayer) is not compatible."));
    EXPECT_EQ(box.shown[0].icon, platform::MessageBox::Icon::Exclamation);
    EXPECT_EQ(box.shown[0].title, QStringLiteral("NOT Supported"));
    EXPECT_EQ(QFileInfo(flvPath()).size(), m_flv.size());
    EXPECT_FALSE(window->IsConverting());
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_EQ(list()->subItem(1, 2), QStringLiteral("NOT Supported"));
}

TEST_F(EndToEndTest, CancelDuringTheDownloadStopsItAndResetsTheWindow)
{
    serveVideo(videoResponse(512, 150)); // several seconds on the wire
    makeWindow();
    startRoad();
    ASSERT_TRUE(waitForPageDone());
    ASSERT_TRUE(waitUntil([this] { return list()->count() == 1 && list()->subItem(1, 2).endsWith(QStringLiteral("%)")); }, 30000));
    press("cmdCancel");
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_EQ(window->statusText(), readyText());
    EXPECT_EQ(realDownloads->runningReads(), 0);
    EXPECT_FALSE(QFileInfo::exists(flvPath()));
    EXPECT_FALSE(window->IsConverting());
}

// With and without a file of the same name from an earlier run, which a failed
// conversion leaves exactly as it was.
class ConverterFailureTest : public EndToEndTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ConverterFailureTest, KeepsTheDownloadAndAnEarlierOutputAndSaysSo)
{
    const bool earlierOutput = GetParam();
    const QByteArray earlier = "the converted file of an earlier run";
    HttpFixtureServer::Response junk = HttpFixtureServer::ok(QByteArray(20000, 'x'), "video/x-flv");
    junk.chunkSize = 4096;
    serveVideo(junk);
    makeWindow();
    if (earlierOutput) {
        ASSERT_TRUE(writeFile(outputPath(".avi"), earlier));
    }
    startRoad();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(window->statusText(), QStringLiteral("Conversion failed - the downloaded video is kept"));
    EXPECT_EQ(QFileInfo(flvPath()).size(), 20000);
    if (earlierOutput) {
        EXPECT_EQ(readFile(outputPath(".avi")), earlier);
    } else {
        EXPECT_FALSE(QFileInfo::exists(outputPath(".avi")));
    }
    EXPECT_EQ(QDir(saveFolder()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".avi")).size(),
              earlierOutput ? 1 : 0);
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_EQ(list()->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(EarlierOutput, ConverterFailureTest, ::testing::Bool());

TEST_F(EndToEndTest, VideoRequestAnswering404MarksTheRowFailed)
{
    serveVideo(HttpFixtureServer::status(404, "gone"));
    makeWindow();
    startRoad();
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->subItem(1, 2), QStringLiteral("Error"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Download failed"));
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_FALSE(button("cmdCancel")->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(flvPath()));
    EXPECT_TRUE(box.shown.isEmpty());
}

TEST_F(EndToEndTest, MissingConverterReportsInTheStatusLineAndKeepsTheDownload)
{
    QTemporaryDir emptyProgramFolder;
    serveVideo(videoResponse());
    makeWindow(Downloads::Real, emptyProgramFolder.path());
    startRoad();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(window->statusText(), AVC::notFoundText());
    EXPECT_EQ(QFileInfo(flvPath()).size(), m_flv.size());
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_EQ(window->OutputExt(), QStringLiteral(".avi"));
}

// Every entry of the format box either converts into its container or ends in
// the "NOT Supported" box.
class EveryFormatTest : public EndToEndTest, public ::testing::WithParamInterface<int> {};

QString expectedContainer(const QString &extension)
{
    if (extension == QLatin1String(".avi")) return QStringLiteral("avi");
    if (extension == QLatin1String(".mpg")) return QStringLiteral("mpeg");
    if (extension == QLatin1String(".wmv")) return QStringLiteral("asf");
    if (extension == QLatin1String(".mov")) return QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2");
    if (extension == QLatin1String(".mp3")) return QStringLiteral("mp3");
    if (extension == QLatin1String(".wav")) return QStringLiteral("wav");
    return QString();
}

TEST_P(EveryFormatTest, ConvertsOrSaysNotSupported)
{
    const QString entry = profiles::formatListEntries().at(GetParam());
    serveVideo(videoResponse());
    makeWindow();
    startRoad(entry);
    ASSERT_TRUE(waitUntilIdle()) << entry.toStdString();
    const profiles::ConversionProfile *profile = profiles::findProfile(entry);
    if (!profile) {
        ASSERT_EQ(box.shown.size(), 1);
        EXPECT_EQ(box.shown[0].title, QStringLiteral("NOT Supported"));
        EXPECT_TRUE(QFileInfo::exists(flvPath()));
        return;
    }
    const QString out = saveFolder() + QStringLiteral("/A Day at the Lake") + QString::fromLatin1(profile->extension);
    EXPECT_EQ(window->statusText(), readyText()) << entry.toStdString() << ": " << statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(probeFormat(out), expectedContainer(QString::fromLatin1(profile->extension))) << entry.toStdString();
    EXPECT_FALSE(QFileInfo::exists(flvPath())) << entry.toStdString();
}

INSTANTIATE_TEST_SUITE_P(FormatBox, EveryFormatTest, ::testing::Range(0, 27));

} // namespace
} // namespace vidmora::test

namespace vidmora::test {
namespace {

// Conversions started from downloads that the test completes itself.
class ConversionBookkeepingTest : public EndToEndTest {
protected:
    void SetUp() override
    {
        EndToEndTest::SetUp();
        if (!IsSkipped())
            makeWindow(Downloads::Fake);
    }
    void requestVideo(const WatchPageFields &fields)
    {
        serveWatchPage(fields);
        typeAddress(watchAddress(fields.videoId));
        statuses.clear();
        pressDownload();
        ASSERT_TRUE(waitForPageDone());
    }
    // A second video queued while the first is listed; its target path.
    QString requestSecondVideo()
    {
        WatchPageFields second;
        second.videoId = QStringLiteral("Second00001");
        second.titleElement = QStringLiteral("Vidmora - Second Clip");
        child<QWidget>("Command1")->setEnabled(true);
        requestVideo(second);
        return saveFolder() + QStringLiteral("/Second Clip.flv");
    }
    QString outputAvi() const { return saveFolder() + QStringLiteral("/A Day at the Lake.avi"); }
    // The ".avi" files in the save folder, the converter's temporary ones too.
    QStringList aviFiles() const
    {
        return QDir(saveFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name).filter(QStringLiteral(".avi"));
    }
    // A download that takes the converter a while (20 s of 640x360), so that
    // "Cancel" can come while it writes.
    static QByteArray longerFlv()
    {
        static const QByteArray bytes = [] {
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("longer.flv"));
            return makeFlv(path, 20, 640, 360) ? readFile(path) : QByteArray();
        }();
        return bytes;
    }
    // Until the converter's temporary output holds bytes.
    bool waitForPartialOutput(int ms = 60000)
    {
        return waitUntil([this] {
            for (const QFileInfo &f : QDir(saveFolder()).entryInfoList(QDir::Files | QDir::Hidden))
                if (f.fileName().startsWith(QStringLiteral(".A Day at the Lake.avi.wqas-")) && f.size() > 0)
                    return true;
            return false;
        }, ms);
    }
};

TEST_F(ConversionBookkeepingTest, TheFileDeletedIsTheOneTheDownloadWrote)
{
    requestVideo({});
    // A new folder chosen while the video downloads does not change which file is converted and deleted.
    QTemporaryDir other;
    child<QLineEdit>("Text1")->setText(other.path());
    const QString decoy = other.path() + QStringLiteral("/A Day at the Lake.flv");
    ASSERT_TRUE(writeFile(decoy, "someone else's file"));

    fakeDownloads.complete(flvPath(), 6, m_flv);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(window->statusText(), readyText());
    EXPECT_FALSE(QFileInfo::exists(flvPath()));
    EXPECT_EQ(probeFormat(saveFolder() + QStringLiteral("/A Day at the Lake.avi")), QStringLiteral("avi"));
    EXPECT_TRUE(QFileInfo::exists(decoy));
}

TEST_F(ConversionBookkeepingTest, PlayOpensTheOutputInTheFolderItWasWrittenIn)
{
    requestVideo({});
    fakeDownloads.complete(flvPath(), 6, m_flv);
    ASSERT_TRUE(window->IsConverting());
    // A new folder chosen while the video converts, holding a file of the
    // output's name: the output is still written in the first folder.
    QTemporaryDir other;
    child<QLineEdit>("Text1")->setText(other.path());
    const QString unrelated = other.path() + QStringLiteral("/A Day at the Lake.avi");
    ASSERT_TRUE(writeFile(unrelated, "someone else's file"));
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(probeFormat(outputAvi()), QStringLiteral("avi"));

    ASSERT_TRUE(button("Button1")->isVisible());
    press("Button1");
    EXPECT_EQ(shell.opened.last(), outputAvi());
    EXPECT_EQ(readFile(unrelated), "someone else's file");
}

TEST_F(ConversionBookkeepingTest, CancelledConversionKeepsTheDownloadAndAnEarlierOutput)
{
    // Two videos queued: while the second is still on its way, the first one
    // converts with the batch open, so "Cancel" is there to press.
    const QByteArray earlier = "the converted file of an earlier run";
    ASSERT_TRUE(writeFile(outputAvi(), earlier));
    requestVideo({});
    requestSecondVideo();
    ASSERT_EQ(list()->count(), 2);

    const QByteArray longer = longerFlv();
    ASSERT_FALSE(longer.isEmpty());
    fakeDownloads.complete(flvPath(), 6, longer);
    ASSERT_TRUE(window->IsConverting());
    ASSERT_TRUE(button("cmdCancel")->isEnabled());
    ASSERT_TRUE(waitForPartialOutput());
    press("cmdCancel");
    ASSERT_TRUE(waitUntil([this] { return statuses.contains(QStringLiteral("Conversion cancelled")); }, 60000))
        << statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(window->IsConverting());
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_EQ(QFileInfo(flvPath()).size(), longer.size());
    EXPECT_EQ(readFile(outputAvi()), earlier);
    EXPECT_EQ(aviFiles(), QStringList({QStringLiteral("A Day at the Lake.avi")})) << "the partial output is gone";
}

TEST_F(ConversionBookkeepingTest, CancelStaysThereWhileTheConversionRunsAndStopsIt)
{
    requestVideo({});
    const QByteArray longer = longerFlv();
    ASSERT_FALSE(longer.isEmpty());
    fakeDownloads.complete(flvPath(), 6, longer); // the batch ends with it
    ASSERT_TRUE(window->IsConverting());
    ASSERT_TRUE(button("cmdCancel")->isEnabled());
    EXPECT_FALSE(button("Command1")->isEnabled());
    // The converter has begun writing when "Cancel" comes.
    ASSERT_TRUE(waitForPartialOutput());
    press("cmdCancel");
    ASSERT_TRUE(waitUntil([this] { return statuses.contains(QStringLiteral("Conversion cancelled")); }, 60000))
        << statuses.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(waitUntilIdle());
    EXPECT_EQ(QFileInfo(flvPath()).size(), longer.size());
    EXPECT_TRUE(aviFiles().isEmpty()) << "the partial output is gone: " << aviFiles().join(u',').toStdString();
    EXPECT_EQ(list()->count(), 0);
    EXPECT_FALSE(button("cmdCancel")->isEnabled()); // as after every conversion
}

// Another window converting the same video into the same folder, or a
// converter that went on alone after the program was killed, may finish the
// same output while this conversion runs. "Cancel" then stops only this one:
// the finished file stays as it was, this converter's temporary file goes.
enum class FinishedElsewhere { AnotherWindow, OrphanedConverter };

class OutputFinishedElsewhereTest : public ConversionBookkeepingTest,
                                    public ::testing::WithParamInterface<FinishedElsewhere> {
protected:
    // The finished output, made while the window's conversion runs.
    QByteArray finishOutputElsewhere()
    {
        if (GetParam() == FinishedElsewhere::AnotherWindow) {
            // The other window's converter has renamed its result into place.
            const QByteArray finished = "the other window's finished video";
            return writeFile(outputAvi(), finished) ? finished : QByteArray();
        }
        // A converter of its own, not the window's, converting the same output to its end.
        QTemporaryDir elsewhere;
        const QString source = elsewhere.filePath(QStringLiteral("A Day at the Lake.flv"));
        if (!writeFile(source, m_flv))
            return {};
        QProcess orphan;
        orphan.start(converterProgram(), {QStringLiteral("-i"), source, QStringLiteral("-y"), outputAvi()});
        if (!orphan.waitForFinished(60000) || orphan.exitStatus() != QProcess::NormalExit || orphan.exitCode() != 0)
            return {};
        return readFile(outputAvi());
    }
};

TEST_P(OutputFinishedElsewhereTest, SurvivesACancelledConversion)
{
    requestVideo({});
    const QByteArray longer = longerFlv();
    ASSERT_FALSE(longer.isEmpty());
    fakeDownloads.complete(flvPath(), 6, longer);
    ASSERT_TRUE(window->IsConverting());
    ASSERT_TRUE(waitForPartialOutput());

    const QByteArray finished = finishOutputElsewhere();
    ASSERT_FALSE(finished.isEmpty());
    ASSERT_TRUE(window->IsConverting()) << "the window's conversion ended before it could be cancelled";
    press("cmdCancel");
    ASSERT_TRUE(waitUntil([this] { return statuses.contains(QStringLiteral("Conversion cancelled")); }, 60000))
        << statuses.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(readFile(outputAvi()), finished);
    EXPECT_EQ(aviFiles(), QStringList({QStringLiteral("A Day at the Lake.avi")})) << "the window's partial output is gone";
    EXPECT_EQ(QFileInfo(flvPath()).size(), longer.size());
}

INSTANTIATE_TEST_SUITE_P(ConversionBookkeeping, OutputFinishedElsewhereTest,
                         ::testing::Values(FinishedElsewhere::AnotherWindow, FinishedElsewhere::OrphanedConverter));

// Whatever the folders above the save folder are called, a conversion that
// is cancelled or fails leaves an earlier output byte for byte and no partial
// file: a "%" in a folder's name is no pattern of numbered files.
enum class ConversionEnd { Cancelled, Failed };
struct SaveFolderCase {
    const char *name;
    const char *folderAbove;
    ConversionEnd end;
};

void PrintTo(const SaveFolderCase &c, std::ostream *os) { *os << '"' << c.folderAbove << '"'; }

class SaveFolderTest : public ConversionBookkeepingTest, public ::testing::WithParamInterface<SaveFolderCase> {
protected:
    void SetUp() override
    {
        folderAbove = QString::fromUtf8(GetParam().folderAbove);
        ConversionBookkeepingTest::SetUp();
    }
};

TEST_P(SaveFolderTest, AnEarlierOutputOutlivesAConversionThatDoesNotFinish)
{
    const QByteArray earlier = "the converted file of an earlier run";
    ASSERT_TRUE(writeFile(outputAvi(), earlier));
    requestVideo({});
    if (GetParam().end == ConversionEnd::Cancelled) {
        // A second video still on its way keeps the batch open, so "Cancel" is there to press.
        requestSecondVideo();
        const QByteArray longer = longerFlv();
        ASSERT_FALSE(longer.isEmpty());
        fakeDownloads.complete(flvPath(), 6, longer);
        // The converter writes beside the output, never onto it.
        ASSERT_TRUE(waitUntil([&] { return readFile(outputAvi()) != earlier || waitForPartialOutput(0); }, 60000));
        ASSERT_EQ(readFile(outputAvi()), earlier) << "the converter writes onto the earlier output";
        ASSERT_TRUE(window->IsConverting());
        press("cmdCancel");
        ASSERT_TRUE(waitUntil([this] { return statuses.contains(QStringLiteral("Conversion cancelled")); }, 60000))
            << statuses.join(QLatin1Char('|')).toStdString();
    } else {
        fakeDownloads.complete(flvPath(), 6, QByteArray(20000, 'x'));
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(window->statusText(), QStringLiteral("Conversion failed - the downloaded video is kept"));
    }
    EXPECT_FALSE(window->IsConverting());
    EXPECT_EQ(readFile(outputAvi()), earlier);
    EXPECT_EQ(aviFiles(), QStringList({QStringLiteral("A Day at the Lake.avi")})) << "no partial output is left";
    EXPECT_TRUE(QFileInfo::exists(flvPath()));
}

INSTANTIATE_TEST_SUITE_P(
    ConversionBookkeeping, SaveFolderTest,
    ::testing::Values(SaveFolderCase{"percent_cancelled", "/100% done", ConversionEnd::Cancelled},
                      SaveFolderCase{"percent_failed", "/100% done", ConversionEnd::Failed},
                      SaveFolderCase{"pattern_cancelled", "/%d clips", ConversionEnd::Cancelled},
                      SaveFolderCase{"pattern_failed", "/%d clips", ConversionEnd::Failed},
                      SaveFolderCase{"escaped_cancelled", "/a%%b", ConversionEnd::Cancelled},
                      SaveFolderCase{"plain_cancelled", "/plain", ConversionEnd::Cancelled},
                      SaveFolderCase{"plain_failed", "/plain", ConversionEnd::Failed}),
    [](const ::testing::TestParamInfo<SaveFolderCase> &info) { return std::string(info.param.name); });

TEST_F(ConversionBookkeepingTest, RowLeftUnselectedGivesWaySoTheSameVideoCanComeAgain)
{
    requestVideo({});
    // A click on the list's empty part takes the selection away from the row.
    QWidget *rows = list()->viewport();
    QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, QPoint(rows->width() / 2, rows->height() - 3));
    ASSERT_EQ(list()->selectedIndex(), 0);
    fakeDownloads.complete(flvPath(), 6, m_flv);
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(list()->count(), 1); // only the selected row is removed
    EXPECT_EQ(list()->subItem(1, 2), QStringLiteral("Done"));

    requestVideo({});
    ASSERT_EQ(fakeDownloads.reads.size(), 2);
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->subItem(1, 2), QStringLiteral("Pending..."));
}

TEST_F(ConversionBookkeepingTest, ClosingDuringAConversionEndsAtOnceAndLeavesTheConverterRunning)
{
    requestVideo({});
    fakeDownloads.complete(flvPath(), 6, m_flv);
    ASSERT_TRUE(window->IsConverting());
    const QString lastStatus = window->statusText();
    window->close();
    EXPECT_EQ(endProgramCalls, 1);
    // The converter goes on to its end on its own; nothing of the window follows it.
    const QString avi = saveFolder() + QStringLiteral("/A Day at the Lake.avi");
    ASSERT_TRUE(waitUntil([&] { return probeFormat(avi) == QLatin1String("avi"); }, 60000));
    EXPECT_EQ(window->statusText(), lastStatus);
    EXPECT_EQ(QFileInfo(flvPath()).size(), m_flv.size());
    EXPECT_FALSE(QFileInfo::exists(thumbPath())); // closing deletes the thumbnail
}

TEST_F(ConversionBookkeepingTest, DownloadEndingDuringAConversionLeavesThatConversionAlone)
{
    requestVideo({});
    const QString secondFlv = requestSecondVideo();

    fakeDownloads.complete(flvPath(), 6, m_flv);
    ASSERT_TRUE(window->IsConverting());
    // The driver converts one file at a time and refuses the second.
    fakeDownloads.complete(secondFlv, 6, m_flv);
    EXPECT_EQ(window->statusText(), AVC::busyText());
    EXPECT_TRUE(window->IsConverting());
    EXPECT_EQ(list()->subItem(2, 2), QStringLiteral("Error"));
    EXPECT_TRUE(button("cmdCancel")->isEnabled());
    // The running conversion's spinner turns in its own row only: the refused
    // one is not being converted and keeps its mark.
    QStringList refusedRowTexts;
    // The rows take the spinner text after the status line: look at them on the next write.
    QObject::connect(window.get(), &main_window::Form1::statusLineChanged, window.get(), [&](const QString &) {
        if (statuses.size() >= 2 && statuses.at(statuses.size() - 2).startsWith(QStringLiteral("Converting ")))
            refusedRowTexts.append(list()->subItem(2, 2));
    });

    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(window->statusText(), readyText());
    EXPECT_FALSE(QFileInfo::exists(flvPath()));
    EXPECT_EQ(probeFormat(saveFolder() + QStringLiteral("/A Day at the Lake.avi")), QStringLiteral("avi"));
    EXPECT_EQ(QFileInfo(secondFlv).size(), m_flv.size());
    ASSERT_FALSE(refusedRowTexts.isEmpty()); // the spinner turned at least once
    EXPECT_EQ(refusedRowTexts.count(QStringLiteral("Error")), refusedRowTexts.size())
        << refusedRowTexts.join(QLatin1Char('|')).toStdString();
    // The converted video's row has gone; the refused one still says so.
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->subItem(1, 2), QStringLiteral("Error"));
}

} // namespace
} // namespace vidmora::test
