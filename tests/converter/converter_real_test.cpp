// The driver with the real converter program and the system's ffmpeg, on
// small files made here.
#include "avc_fixture.h"

#include "encoder_watch.h"
#include "flv_media.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "test_files.h"

using vidmora::AVC;
using vidmora::test::AvcFixture;
using vidmora::test::converterProgram;
using vidmora::test::encoderOnceRunning;
using vidmora::test::filesIn;
using vidmora::test::waitUntil;

namespace {

class RealConverter : public AvcFixture {
protected:
    void SetUp() override
    {
        AvcFixture::SetUp();
        ASSERT_TRUE(QFileInfo(converterProgram()).isExecutable()) << qPrintable(converterProgram());
        folder = dir.path() + "/my videos";
        QDir().mkpath(folder);
    }

    // The settings of the default output format, "AVI (MPEG4-DivX-Compatible)".
    static void setDefaultProfile(AVC &a)
    {
        a.setVideoSize("320x240");
        a.setVideoFrameRate("29.97");
        a.setVideoBitrate("360");
        a.setVideoCodec("mpeg4");
        a.setDeInterlace(true);
        a.setSameQuality(true);
        a.setAudioBitrate("48");
        a.setAudioSamples("22050");
        a.setAudioChannels("2");
    }

    QString folder;
};

TEST_F(RealConverter, ConvertsAnFlvWithTheDefaultProfile)
{
    const QString src = folder + "/a clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    auto avc = makeDriver(converterProgram());
    setDefaultProfile(*avc);
    avc->setSourceFile(src);
    avc->setDestFile(folder + "/a clip.avi");
    avc->ConvertMedia(true);
    ASSERT_TRUE(waitForComplete(120000)) << qPrintable(events.join(';'));
    EXPECT_EQ(avc->ExitCode(), 0);
    const auto info = vidmora::test::probeMedia(folder + "/a clip.avi");
    EXPECT_EQ(info.formatName, "avi");
    EXPECT_EQ(info.codecs, QStringList({"mpeg4", "mp3"}));
    EXPECT_TRUE(info.decodes);
    EXPECT_TRUE(QFileInfo::exists(src)) << "the input is the caller's to delete";
}

// Neither the folder the program lives in nor the way the save folder was
// typed may stop a conversion: a double quote in the program folder's name, a
// relative save folder whose name begins with "-" (taken for an option when
// handed over as it stands).
TEST_F(RealConverter, ConvertsWhateverTheFoldersAreCalled)
{
    struct Case {
        const char *what;
        const char *programFolder; // "" for the built one
        const char *saveFolder;    // relative to the current folder
    } cases[] = {
        {"a double quote in the program folder", "the \"best\" programs", "my videos"},
        {"a relative save folder beginning with -", "", "-clips"},
        {"both", "a \"quoted\\\" folder", "-v"},
    };
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QString program = converterProgram();
        if (*c.programFolder) {
            const QString programDir = dir.path() + u'/' + QString::fromUtf8(c.programFolder);
            ASSERT_TRUE(QDir().mkpath(programDir));
            program = programDir + "/wqas.pga";
            ASSERT_TRUE(QFile::copy(converterProgram(), program));
        }
        const QString save = QString::fromUtf8(c.saveFolder);
        ASSERT_TRUE(QDir().mkpath(save));
        ASSERT_TRUE(vidmora::test::makeFlv(dir.path() + u'/' + save + "/clip.flv", 1));
        auto avc = makeDriver(program);
        events.clear();
        setDefaultProfile(*avc);
        avc->setSourceFile(save + "/clip.flv");
        avc->setDestFile(save + "/clip.avi");
        avc->ConvertMedia(true);
        // A refused start raises an error and no Complete.
        ASSERT_TRUE(waitUntil([&] { return events.contains("Complete") || !events.filter("Error").isEmpty(); },
                              120000));
        ASSERT_TRUE(events.contains("Complete")) << qPrintable(events.join(';'));
        EXPECT_EQ(avc->ExitCode(), 0);
        EXPECT_EQ(vidmora::test::probeMedia(dir.path() + u'/' + save + "/clip.avi").formatName, "avi");
    }
    QDir::setCurrent(before);
}

TEST_F(RealConverter, AFailedConversionEndsWithItsStatus)
{
    auto avc = makeDriver(converterProgram());
    setDefaultProfile(*avc);
    avc->setSourceFile(folder + "/missing.flv");
    avc->setDestFile(folder + "/missing.avi");
    avc->ConvertMedia(true);
    ASSERT_TRUE(waitForComplete(120000));
    EXPECT_NE(avc->ExitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(folder + "/missing.avi"));

    // An option value the encoder refuses.
    events.clear();
    const QString src = folder + "/b.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    avc->setSourceFile(src);
    avc->setDestFile(folder + "/b.avi");
    avc->setVideoCodec("no-such-codec");
    avc->ConvertMedia(true);
    ASSERT_TRUE(waitForComplete(120000));
    EXPECT_EQ(avc->ExitCode(), 1);
}

TEST_F(RealConverter, CancelStopsTheEncoderAtOnce)
{
    const QString src = folder + "/long.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 20, 640, 360));
    auto avc = makeDriver(converterProgram());
    avc->setSourceFile(src);
    avc->setDestFile(folder + "/long.mov");
    avc->setVideoCodec("h264");
    avc->setVideoSize("640x480");
    avc->ConvertMedia(true);
    ASSERT_TRUE(avc->IsRunning());

    const qint64 encoder = encoderOnceRunning([&] { return events.contains("Complete"); });
    ASSERT_NE(encoder, 0) << "the conversion ended before it could be cancelled";
    avc->CancelConvert();
    ASSERT_TRUE(waitForComplete(30000));
    EXPECT_EQ(avc->ExitCode(), -1);
    EXPECT_FALSE(vidmora::test::runningProcess(encoder)) << "no encoder is left running";

    // An encoder left to go on would finish its file after all: whatever the
    // cancelled conversion left (at most a temporary file) stays unplayable.
    ASSERT_TRUE(waitUntil([&] { return !vidmora::test::runningProcess(encoder); }, 120000));
    EXPECT_FALSE(QFileInfo::exists(folder + "/long.mov"));
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        if (f.fileName() != "long.flv") {
            EXPECT_LT(vidmora::test::decodedSeconds(f.filePath()), 10.0) << qPrintable(f.fileName());
        }
    }
}

// A file of an earlier run stays as it was unless a conversion succeeds and
// was allowed to replace it; the converter leaves no file of its own behind.
TEST_F(RealConverter, AnEarlierOutputIsReplacedOnlyBySuccess)
{
    const QString src = folder + "/clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    const QString notAVideo = folder + "/junk.flv";
    ASSERT_TRUE(vidmora::test::writeFile(notAVideo, QByteArray(20000, 'x')));
    const QByteArray earlier = "an earlier conversion's file";
    struct Case {
        const char *what;
        QString source;
        const char *videoCodec;
        const char *audioSamples;
        bool overWrite;
        bool replaced;
    } cases[] = {
        {"the input is no video", notAVideo, "", "", true, false},
        {"no such encoder", src, "no-such-codec", "", true, false},
        // The encoder is set up only once the output is open: ffmpeg itself
        // would leave an empty file in the earlier one's place.
        {"the encoder refuses to start", src, "", "12345", true, false},
        {"no leave to overwrite", src, "", "", false, false},
        {"a good conversion", src, "", "", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString out = folder + "/clip.avi";
        ASSERT_TRUE(vidmora::test::writeFile(out, earlier));
        auto avc = makeDriver(converterProgram());
        events.clear();
        setDefaultProfile(*avc);
        avc->setSourceFile(c.source);
        avc->setDestFile(out);
        if (*c.videoCodec)
            avc->setVideoCodec(c.videoCodec);
        if (*c.audioSamples) {
            avc->setAudioCodec("mp3");
            avc->setAudioSamples(c.audioSamples);
        }
        avc->ConvertMedia(c.overWrite);
        ASSERT_TRUE(waitForComplete(120000));
        EXPECT_EQ(avc->ExitCode() == 0, c.replaced);
        if (c.replaced)
            EXPECT_EQ(vidmora::test::probeMedia(out).formatName, "avi");
        else
            EXPECT_EQ(vidmora::test::readFile(out), earlier);
        EXPECT_EQ(filesIn(folder), QStringList({"clip.avi", "clip.flv", "junk.flv"}));
    }
}







} // namespace
