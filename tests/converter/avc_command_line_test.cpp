// The command line and the start-up checks. The probe refuses to start the
// process, so every case records its line without running anything.
#include "avc_fixture.h"

#include "platform/process_control.h"

#include <QDir>
#include <QFile>

#include <span>

using vidmora::AVC;
using vidmora::test::AvcFixture;

namespace {

struct LineCase {
    const char *what;
    std::function<void(AVC &)> set;
    bool overWrite;
    const char *options;
};

class CommandLine : public AvcFixture {
protected:
    void SetUp() override
    {
        AvcFixture::SetUp();
        conv = fakeConverter(QStringLiteral("exit 0"));
        avc = makeDriver(conv);
        log->failProcess = true;
    }

    // The whole line for `options` (empty or ending in one blank).
    QString line(const QString &options, const QString &src = QStringLiteral("/v/in.flv"),
                 const QString &dst = QStringLiteral("/v/out.avi")) const
    {
        return u'"' + conv + QStringLiteral("\" -i \"") + src + QStringLiteral("\" ") + options + u'"' + dst + u'"';
    }

    QString lastLine() const { return log->commandLines.isEmpty() ? QString() : log->commandLines.last(); }

    // Each case on a driver of its own that holds nothing from before.
    void expectLines(std::span<const LineCase> cases)
    {
        for (const LineCase &c : cases) {
            auto fresh = makeDriver(conv);
            fresh->setSourceFile("/v/in.flv");
            fresh->setDestFile("/v/out.avi");
            c.set(*fresh);
            fresh->ConvertMedia(c.overWrite);
            EXPECT_EQ(lastLine(), line(QString::fromLatin1(c.options))) << c.what;
        }
    }

    QString conv;
    std::unique_ptr<AVC> avc;
};

TEST_F(CommandLine, OptionsComeInTheirFixedOrder)
{
    const LineCase cases[] = {
        {"nothing set", [](AVC &) {}, false, ""},
        {"overwrite only", [](AVC &) {}, true, "-y "},
        {"worked example",
         [](AVC &a) {
             a.setVideoBitrate("1500");
             a.setVideoFrameRate("29.97");
             a.setVideoSize("320x240");
             a.setVideoCodec("h264");
             a.setRateControlBuffer("128");
             a.setGroupOfPictureSize("250");
             a.setVideoQuantiserScale("25");
             a.setMaxVideoBitrate("1500");
             a.setAudioCodec("aac");
             a.setAudioBitrate("64");
             a.setAudioSamples("48000");
             a.setAudioChannels("2");
         },
         true,
         "-y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac "
         "-ab 64 -ar 48000 -ac 2 "},
        {"every setting, set in reverse",
         [](AVC &a) {
             a.setAudioChannels("c2");
             a.setAudioSamples("c1");
             a.setAudioBitrate("c0");
             a.setAudioFourCCTag("b9");
             a.setAudioCodec("b8");
             a.setSameQuality(true);
             a.setDeInterlace(true);
             a.setMaxVideoBitrate("b5");
             a.setVideoQuantiserScale("b4");
             a.setGroupOfPictureSize("b3");
             a.setRateControlBuffer("b2");
             a.setTargetFormat("b1");
             a.setForceFormat("b0");
             a.setVideoBitrateTolerance("a9");
             a.setVideoAspectRatio("a8");
             a.setVideoFourCCTag("a7");
             a.setVideoCodec("a6");
             a.setVideoSize("a5");
             a.setVideoFrameRate("a4");
             a.setVideoBitrate("a3");
         },
         false,
         "-b a3 -r a4 -s a5 -vcodec a6 -vtag a7 -aspect a8 -bt a9 -f b0 -target b1 -bufsize b2 -g b3 -qscale b4 "
         "-maxrate b5 -deinterlace -sameq -acodec b8 -atag b9 -ab c0 -ar c1 -ac c2 "},
        {"a value with blanks stays unquoted", [](AVC &a) { a.setVideoSize("320 x 240"); }, true, "-y -s 320 x 240 "},
        {"a value of blanks counts as set", [](AVC &a) { a.setAudioCodec("  "); }, false, "-acodec    "},
        {"switches set back to false emit nothing",
         [](AVC &a) {
             a.setDeInterlace(true);
             a.setDeInterlace(false);
             a.setSameQuality(false);
         },
         true, "-y "},
    };
    expectLines(cases);
}

// What a later set does to an earlier one: the last value holds, and a text
// set back to empty drops its option as if it had never been set.
TEST_F(CommandLine, TheLastSetOfASettingHolds)
{
    const LineCase cases[] = {
        {"a text set back to empty", [](AVC &a) {
             a.setVideoCodec("h264");
             a.setAudioChannels("2");
             a.setVideoCodec("");
         },
         true, "-y -ac 2 "},
        {"a text set anew", [](AVC &a) {
             a.setVideoBitrate("1500");
             a.setVideoBitrate("360");
         },
         false, "-b 360 "},
        {"a switch set twice", [](AVC &a) {
             a.setSameQuality(true);
             a.setSameQuality(true);
         },
         true, "-y -sameq "},
        {"only the settings no profile sets", [](AVC &a) {
             a.setAudioFourCCTag("0x55");
             a.setTargetFormat("ntsc-dvd");
             a.setVideoFourCCTag("XVID");
         },
         true, "-y -vtag XVID -target ntsc-dvd -atag 0x55 "},
    };
    expectLines(cases);
}

TEST_F(CommandLine, FileNamesWithBlanksReachTheConverterWhole)
{
    avc->setSourceFile("/my videos/a clip.flv");
    avc->setDestFile("/my videos/a clip.avi");
    avc->setVideoSize("320 240");
    avc->ConvertMedia(true);
    ASSERT_EQ(log->commandLines.size(), 1);
    EXPECT_EQ(vidmora::platform::splitCommandLine(lastLine()),
              QStringList({conv, "-i", "/my videos/a clip.flv", "-y", "-s", "320", "240", "/my videos/a clip.avi"}));
}

// Any name the user can give comes back from the converter's splitting as it
// was: a quote inside is written \", and backslashes are doubled only where
// a quote follows them.
TEST_F(CommandLine, FileNamesComeBackWholeFromTheConvertersSplitting)
{
    struct Case {
        const char *what;
        const char *folder;
        const char *written; // the folder as it stands on the line
    } cases[] = {
        {"a double quote", "/v/the \"best\" clips", "/v/the \\\"best\\\" clips"},
        {"backslashes before a quote", "/v/a\\\\\"b", "/v/a\\\\\\\\\\\"b"},
        {"backslashes elsewhere stay single", "/v/a\\b\\\\c", "/v/a\\b\\\\c"},
    };
    for (const Case &c : cases) {
        const QString folder = QString::fromUtf8(c.folder);
        const QString written = QString::fromUtf8(c.written);
        auto a = makeDriver(conv);
        a->setSourceFile(folder + "/in.flv");
        a->setDestFile(folder + "/out.avi");
        a->ConvertMedia(true);
        EXPECT_EQ(lastLine(), line("-y ", written + "/in.flv", written + "/out.avi")) << c.what;
        EXPECT_EQ(vidmora::platform::splitCommandLine(lastLine()),
                  QStringList({conv, "-i", folder + "/in.flv", "-y", folder + "/out.avi"}))
            << c.what;
    }
    // A name that ends in backslashes keeps its closing quote.
    auto a = makeDriver(conv);
    a->setSourceFile("/v/in\\\\");
    a->setDestFile("/v/out\\");
    a->ConvertMedia(false);
    EXPECT_EQ(lastLine(), line("", "/v/in\\\\\\\\", "/v/out\\\\"));
    EXPECT_EQ(vidmora::platform::splitCommandLine(lastLine()), QStringList({conv, "-i", "/v/in\\\\", "/v/out\\"}));
}

TEST_F(CommandLine, ConverterPathIsQuoted)
{
    // Unquoted, a folder with a blank in its name would start "/tmp/.../my" or nothing.
    const QString spaced = fakeConverter(QStringLiteral("exit 0"), QStringLiteral("my programs"));
    auto a = makeDriver(spaced);
    a->setSourceFile("/v/in.flv");
    a->setDestFile("/v/out.avi");
    a->ConvertMedia(false);
    ASSERT_FALSE(log->commandLines.isEmpty());
    EXPECT_TRUE(lastLine().startsWith(u'"' + spaced + QStringLiteral("\" -i ")));
    EXPECT_EQ(vidmora::platform::splitCommandLine(lastLine()).first(), spaced);
}

TEST_F(CommandLine, ConverterPathIsQuotedAsFileNamesAre)
{
    // A quote in the program folder's name would end the program's word early.
    const QString quoted = fakeConverter(QStringLiteral("exit 0"), QStringLiteral("the \"best\" programs"));
    auto a = makeDriver(quoted);
    a->setSourceFile("/v/in.flv");
    a->setDestFile("/v/out.avi");
    a->ConvertMedia(false);
    ASSERT_FALSE(log->commandLines.isEmpty());
    EXPECT_EQ(vidmora::platform::splitCommandLine(lastLine()), QStringList({quoted, "-i", "/v/in.flv", "/v/out.avi"}));
}

// The converter takes a word beginning with "-" for an option: such relative
// names are handed over absolute, against the folder the converter starts in.
TEST_F(CommandLine, RelativeFileNamesAreHandedOverAbsolute)
{
    const QString here = QDir::currentPath();
    const QPair<QString, QString> cases[] = {
        {QStringLiteral("-clips/in.flv"), here + QStringLiteral("/-clips/in.flv")},
        {QStringLiteral("-in.flv"), here + QStringLiteral("/-in.flv")},
        {QStringLiteral("clips/in.flv"), QStringLiteral("clips/in.flv")}, // means the same as it stands
        {QStringLiteral("/v/-in.flv"), QStringLiteral("/v/-in.flv")}, // already absolute: as it stands
    };
    for (const auto &c : cases) {
        auto a = makeDriver(conv);
        a->setSourceFile(c.first);
        a->setDestFile(c.first + ".avi");
        a->ConvertMedia(true);
        EXPECT_EQ(vidmora::platform::splitCommandLine(lastLine()),
                  QStringList({conv, "-i", c.second, "-y", c.second + ".avi"}))
            << qPrintable(c.first);
    }
}

TEST_F(CommandLine, ChecksRunInOrderAndRaiseOneMessage)
{
    avc->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: No filename for source path - maker.test"}));

    events.clear();
    auto missing = makeDriver(dir.path() + "/nowhere/wqas.pga");
    missing->setSourceFile("/v/in.flv");
    missing->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: No filename for destination path  - maker.test"}));

    events.clear();
    missing->setDestFile("/v/out.avi");
    missing->setVideoCodec("mpeg4");
    missing->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: Unable to locate wqas.pga"}));
    EXPECT_TRUE(log->commandLines.isEmpty()) << "nothing is started";

    // A folder of that name is not the converter file.
    events.clear();
    QDir().mkpath(dir.path() + "/folder/wqas.pga");
    auto folder = makeDriver(dir.path() + "/folder/wqas.pga");
    folder->setSourceFile("/v/in.flv");
    folder->setDestFile("/v/out.avi");
    folder->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: Unable to locate wqas.pga"}));
}

TEST_F(CommandLine, APathHoldingANulStartsNothing)
{
    // Cut at the NUL where the converter is started, the output would be
    // another file of the folder, overwritten by "-y".
    const QString cut = dir.path() + QStringLiteral("/.bashrc");
    const QPair<QString, QString> cases[] = {
        {QStringLiteral("/v/in.flv"), cut + QChar(0) + QStringLiteral(" tail.avi")},
        {cut + QChar(0) + QStringLiteral(" tail.flv"), QStringLiteral("/v/out.avi")},
    };
    for (const auto &c : cases) {
        events.clear();
        avc->setSourceFile(c.first);
        avc->setDestFile(c.second);
        avc->ConvertMedia(true);
        EXPECT_EQ(events, QStringList({"Error: Invalid filename for source or destination path"}));
    }
    EXPECT_TRUE(log->commandLines.isEmpty()) << "nothing is started";
}

TEST_F(CommandLine, SettingsOutliveARefusedStart)
{
    avc->setForceFormat("wav");
    avc->setAudioSamples("41000");
    avc->ConvertMedia(true); // refused: no file names
    avc->setSourceFile("/v/in.flv");
    avc->setDestFile("/v/out.avi");
    avc->setAudioCodec("mp3");
    avc->ConvertMedia(true); // the probe refuses the process: nothing is cleared either
    EXPECT_EQ(lastLine(), line("-y -f wav -acodec mp3 -ar 41000 "));
    avc->setAudioSamples("44100");
    avc->ConvertMedia(false);
    EXPECT_EQ(lastLine(), line("-f wav -acodec mp3 -ar 44100 "));
}

TEST_F(CommandLine, AFailedProcessStartIsReported)
{
    avc->setSourceFile("/v/in.flv");
    avc->setDestFile("/v/out.avi");
    avc->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: Unable to start wqas.pga: refused by the test"}));
    EXPECT_EQ(log->pipesOpen, 0) << "both pipe ends are closed again";
    EXPECT_FALSE(avc->IsRunning());
    EXPECT_EQ(timer.Interval(), 0) << "no poll was started";
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(CommandLine, AFailedPipeIsReported)
{
    log->failPipe = true;
    avc->setSourceFile("/v/in.flv");
    avc->setDestFile("/v/out.avi");
    avc->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: Unable to create the output pipe for wqas.pga"}));
    EXPECT_TRUE(log->commandLines.isEmpty());
    EXPECT_FALSE(timer.Enabled());
}

TEST_F(CommandLine, AConverterThatCannotRunIsReported)
{
    log->failProcess = false;
    const QString plain = dir.path() + "/plain/wqas.pga";
    QDir().mkpath(dir.path() + "/plain");
    ASSERT_TRUE(vidmora::test::writeFile(plain, "not a program"));
    auto a = makeDriver(plain);
    a->setSourceFile("/v/in.flv");
    a->setDestFile("/v/out.avi");
    a->ConvertMedia(true);
    ASSERT_EQ(events.size(), 1);
    EXPECT_TRUE(events[0].startsWith("Error: Unable to start wqas.pga: ")) << qPrintable(events[0]);
    EXPECT_EQ(log->pipesOpen, 0);
    EXPECT_FALSE(a->IsRunning());
}

} // namespace
