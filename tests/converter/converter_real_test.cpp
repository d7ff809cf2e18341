// The driver with the real converter program and the system's ffmpeg, on
// small files made here.
#include "avc_fixture.h"

#include "flv_media.h"
#include "proc_stat.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

using vidmora::AVC;
using vidmora::test::AvcFixture;
using vidmora::test::converterProgram;
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

    // Running, and not merely a zombie waiting for its parent.
    static bool running(qint64 pid)
    {
        vidmora::test::ProcStat stat;
        return vidmora::test::readProcStat(pid, &stat) && vidmora::test::isRunningState(stat.state);
    }

    // The pid of the encoder (ffmpeg) that this test's converter started, once
    // it runs; 0 when the conversion has `ended` first.
    static qint64 encoderOnceRunning(const std::function<bool()> &ended)
    {
        auto pc = vidmora::platform::makeProcessControl(vidmora::platform::ProcessScope::OwnDescendants);
        qint64 encoder = 0;
        waitUntil([&] {
            for (const auto &e : pc->processList())
                if (e.exeFile == "ffmpeg")
                    encoder = e.pid;
            return encoder != 0 || ended();
        }, 60000);
        return encoder;
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
    EXPECT_FALSE(running(encoder)) << "no encoder is left running";
}

TEST_F(RealConverter, ATerminateSignalAlsoStopsTheEncoder)
{
    const QString src = folder + "/long.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 20, 640, 360));
    QProcess p;
    p.start(converterProgram(), {"-i", src, "-y", "-vcodec", "h264", "-s", "640x480", folder + "/long.mov"});
    ASSERT_TRUE(p.waitForStarted());
    const qint64 encoder = encoderOnceRunning([&] { return p.state() == QProcess::NotRunning; });
    ASSERT_NE(encoder, 0);
    p.terminate(); // SIGTERM
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << "it ends by the signal it was sent";
    EXPECT_TRUE(waitUntil([&] { return !running(encoder); }, 5000)) << "no encoder is left running";
}

TEST_F(RealConverter, ItsOutputStaysSmall)
{
    const QString src = folder + "/c.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 3));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(converterProgram(), {"-i", src, "-y", "-vcodec", "mpeg4", "-ab", "64", folder + "/c.avi"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray out = p.readAll();
    EXPECT_LT(out.size(), 512) << out.constData();
    EXPECT_FALSE(out.contains("ffmpeg version"));
    EXPECT_FALSE(out.contains("Stream #"));
}

} // namespace
