// The profile table: names, extensions, the option part each profile gives a
// clean driver, and what carries over from a conversion that never completed.
#include "profiles/profiles.h"

#include "converter/avc.h"

#include "fake_converter.h"
#include "process_control_probe.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using vidmora::AVC;
namespace profiles = vidmora::profiles;

namespace {

class Profiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        conv = vidmora::test::writeFakeConverter(dir.path(), QStringLiteral("exit 0"));
        log->failProcess = true; // record each line, start nothing
    }

    std::unique_ptr<AVC> makeDriver()
    {
        auto avc = std::make_unique<AVC>(timer, conv, std::make_unique<vidmora::test::ProcessControlProbe>(log),
                                         QStringLiteral("maker.test"));
        QObject::connect(avc.get(), &AVC::ErrorEvent, [this](QString &m) { errors << m; });
        return avc;
    }

    QString line(const QString &src, const QString &dst, const QString &options) const
    {
        return u'"' + conv + QStringLiteral("\" -i \"") + src + QStringLiteral("\" ") + options + u'"' + dst + u'"';
    }

    vidmora::platform::Timer timer;
    QTemporaryDir dir;
    QString conv;
    std::shared_ptr<vidmora::test::ProcessControlProbe::Log> log =
        std::make_shared<vidmora::test::ProcessControlProbe::Log>();
    QStringList errors;
};

struct OptionCase {
    const char *name;
    const char *options;
};

// Each profile's option part on a driver that holds nothing from before.
const OptionCase kOptionParts[] = {
    {"WAVE Sound (WAV)", "-y -f wav -acodec pcm_s16le -ab 128 -ar 41000 -ac 2 "},
    {"MP3 Sound (MP3)", "-y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 "},
    {"3G2 (Mobile)", "-y -b 120 -r 11 -s 176x144 -vcodec mpeg4 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1 "},
    {"3GP (Mobile)", "-y -b 120 -r 11 -s 176x144 -vcodec h263 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1 "},
    {"Zune WMV", "-y -b 1500 -r 29.97 -s 320x240 -vcodec wmv2 -acodec mp3 -ab 128 -ar 48000 -ac 2 "},
    {"Zune MPEG-4 AVC", "-y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac -ab 64 -ar 48000 -ac 2 "},
    {"Zune MPEG-4 Video", "-y -b 1500 -r 29.97 -s 320x240 -vcodec mpeg4 -acodec aac -ab 128 -ar 48000 -ac 2 "},
    {"Sony PSP", "-y -b 400 -r 29.97 -s 368x208 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac -ab 128 -ar 48000 -ac 2 "},
    {"Sony PSP (Minimal Size)", "-y -b 216 -r 29.97 -s 160x112 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2 "},
    {"Sony PSP (Excellent Quality)", "-y -b 768 -r 29.97 -s 368x208 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2 "},
    {"Sony PSP (Normal)", "-y -b 512 -r 29.97 -s 368x208 -vcodec xvid -acodec aac -ab 64 -ar 24000 -ac 2 "},
    {"QuickTime MOV", "-y -b 360 -r 29.97 -s 320x240 -deinterlace -sameq -acodec aac -ab 48 -ar 44100 -ac 2 "},
    {"RM (The RealVideo Format)", "-y -vcodec rv20 -deinterlace -sameq -ar 44100 -ac 2 "},
    {"WMV(WindowsMedia-Best Quality)", "-y -vcodec wmv2 -deinterlace -sameq -ac 2 "},
    {"WMV(WindowsMedia)", "-y -vcodec wmv2 -deinterlace -sameq -ar 44100 -ac 2 "},
    {"MPEG (Best Quality)", "-y -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ac 2 "},
    {"MPEG (Max Compatible)", "-y -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ar 44100 -ac 2 "},
    {"iPOD Nano (MP3)", "-y -acodec mp3 "},
    {"iPOD Mini (MP3)", "-y -acodec mp3 "},
    {"iPOD Shuffle (MP3)", "-y -acodec mp3 "},
    {"iPhone Video", "-y -b 1200 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2 "},
    {"iPOD Video2 (640x480) MPEG4", "-y -b 1200 -s 640x480 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2 "},
    {"iPOD Video (320x240) MPEG4", "-y -b 512 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 64 -ar 44100 -ac 2 "},
    {"AVI (MPEG4-XviD-Best Quality)", "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 "},
    {"AVI (Compatible - MPEG4-XviD)", "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ab 48 -ar 22050 -ac 2 "},
    {"AVI (MPEG4-DivX-Best Quality)", "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -sameq -ac 2 "},
    {"AVI (MPEG4-DivX-Compatible)", "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -sameq -ab 48 -ar 22050 -ac 2 "},
};

TEST_F(Profiles, EachProfileGivesItsOptionPart)
{
    ASSERT_EQ(profiles::profileTable().size(), 27u);
    int row = 0;
    for (const OptionCase &c : kOptionParts) {
        EXPECT_STREQ(profiles::profileTable()[row++].name, c.name) << "rows in table order";
        auto avc = makeDriver();
        const auto r = profiles::ConvertFLV(*avc, QString::fromLatin1(c.name), "/v/clip.flv");
        ASSERT_TRUE(r.matched) << c.name;
        EXPECT_EQ(log->commandLines.last(), line("/v/clip.flv", "/v/clip" + r.extension, QString::fromLatin1(c.options)))
            << c.name;
    }
    EXPECT_EQ(log->commandLines.size(), 27);
}

TEST_F(Profiles, ExtensionsPerRow)
{
    const char *expected[] = {".wav", ".mp3", ".3g2", ".3gp", ".wmv", ".avi", ".avi", ".avi", ".avi",
                              ".avi", ".avi", ".mov", ".rm",  ".wmv", ".wmv", ".mpg", ".mpg", ".mp3",
                              ".mp3", ".mp3", ".mpg", ".mpg", ".mpg", ".avi", ".avi", ".avi", ".avi"};
    for (size_t k = 0; k < 27; ++k)
        EXPECT_STREQ(profiles::profileTable()[k].extension, expected[k]) << profiles::profileTable()[k].name;
}

TEST_F(Profiles, NamesMatchExactly)
{
    auto avc = makeDriver();
    const QStringList misses = {"avi (mpeg4-divx-compatible)", "AVI (MPEG4-DivX-Compatible) ", " MP3 Sound (MP3)", "",
                                "AVI (MPEG4-XviD-Compatible)", "WMV(WindowsMedia-Compatible)", "RM (RealONE/RealPlayer)",
                                "Sony PSP (PSP AVC)", "3GP (for Mobile)", "3G2 (for Mobile)"};
    for (const QString &name : misses) {
        const auto r = profiles::ConvertFLV(*avc, name, "/v/clip.flv");
        EXPECT_FALSE(r.matched) << qPrintable(name);
        EXPECT_TRUE(r.extension.isEmpty());
    }
    EXPECT_TRUE(log->commandLines.isEmpty());
    EXPECT_TRUE(errors.isEmpty()) << "no driver call at all";
    // Nothing was set on the driver: the next profile's line is its own.
    profiles::ConvertFLV(*avc, "iPOD Nano (MP3)", "/v/clip.flv");
    EXPECT_EQ(log->commandLines.last(), line("/v/clip.flv", "/v/clip.mp3", "-y -acodec mp3 "));

    EXPECT_EQ(profiles::notSupportedText("avi (mpeg4-divx-compatible)"),
              "Error: avi (mpeg4-divx-compatible) is not compatible.");
    EXPECT_STREQ(profiles::kNotSupportedTitle, "NOT Supported");
}

TEST_F(Profiles, TheFormatListAndItsProfiles)
{
    const QStringList list = profiles::formatListEntries();
    EXPECT_EQ(list, QStringList({"AVI (MPEG4-DivX-Compatible)", "AVI (MPEG4-DivX-Best Quality)",
                                 "AVI (MPEG4-XviD-Compatible)", "AVI (MPEG4-XviD-Best Quality)",
                                 "iPOD Video (320x240) MPEG4", "iPOD Video2 (640x480) MPEG4", "iPhone Video",
                                 "iPOD Nano (MP3)", "iPOD Mini (MP3)", "iPOD Shuffle (MP3)",
                                 "MPEG (Max Compatible)", "MPEG (Best Quality)", "WMV(WindowsMedia-Compatible)",
                                 "WMV(WindowsMedia-Best Quality)", "RM (RealONE/RealPlayer)", "QuickTime MOV",
                                 "Sony PSP (Normal)", "Sony PSP (Excellent Quality)", "Sony PSP (Minimal Size)",
                                 "Sony PSP (PSP AVC)", "Zune MPEG-4 Video", "Zune MPEG-4 AVC", "Zune WMV",
                                 "3GP (for Mobile)", "3G2 (for Mobile)", "MP3 Sound (MP3)", "WAVE Sound (WAV)"}));
    QStringList without;
    for (const QString &entry : list)
        if (!profiles::findProfile(entry))
            without << entry;
    EXPECT_EQ(without, QStringList({"AVI (MPEG4-XviD-Compatible)", "WMV(WindowsMedia-Compatible)",
                                    "RM (RealONE/RealPlayer)", "Sony PSP (PSP AVC)", "3GP (for Mobile)",
                                    "3G2 (for Mobile)"}));
    // Six profiles are named by no entry, and are reached by their own names only.
    QStringList unlisted;
    for (const auto &p : profiles::profileTable())
        if (!list.contains(QString::fromLatin1(p.name)))
            unlisted << QString::fromLatin1(p.name);
    EXPECT_EQ(unlisted, QStringList({"3G2 (Mobile)", "3GP (Mobile)", "Sony PSP", "RM (The RealVideo Format)",
                                     "WMV(WindowsMedia)", "AVI (Compatible - MPEG4-XviD)"}));
    auto avc = makeDriver();
    const auto r = profiles::ConvertFLV(*avc, "3G2 (Mobile)", "/v/clip.flv");
    EXPECT_EQ(r.extension, ".3g2");
    EXPECT_TRUE(log->commandLines.last().endsWith("\"/v/clip.3g2\""));
}

TEST_F(Profiles, OutputPathReplacesOnlyTheFinalExtension)
{
    const struct {
        const char *src;
        const char *ext;
        const char *dst;
    } cases[] = {
        {"D:\\Videos\\clip.flv", ".mp3", "D:\\Videos\\clip.mp3"},
        {"D:\\a.flv\\clip.flv", ".avi", "D:\\a.flv\\clip.avi"}, // a folder named *.flv stays
        {"D:\\X.FLV\\clip.flv", ".avi", "D:\\X.FLV\\clip.avi"},
        {"/v/x.flv.flv", ".avi", "/v/x.flv.avi"},
        {"/v/clip.FLV", ".avi", "/v/clip.avi"},
        {"/v/clip", ".avi", "/v/clip.avi"},      // never the input itself
        {"/v/clip.flv.bak", ".avi", "/v/clip.flv.bak.avi"},
        {"/v/.flv", ".wav", "/v/.wav"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(profiles::outputPath(c.src, c.ext), c.dst) << c.src;
}

TEST_F(Profiles, TheMp3Example)
{
    auto avc = makeDriver();
    const auto r = profiles::ConvertFLV(*avc, "MP3 Sound (MP3)", "D:\\Videos\\clip.flv");
    EXPECT_TRUE(r.matched);
    EXPECT_EQ(r.extension, ".mp3");
    EXPECT_EQ(log->commandLines.last(),
              line("D:\\Videos\\clip.flv", "D:\\Videos\\clip.mp3", "-y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 "));
}

TEST_F(Profiles, SettingsCarryOverFromAConversionThatNeverCompleted)
{
    auto avc = makeDriver();
    profiles::ConvertFLV(*avc, "WAVE Sound (WAV)", "/v/clip.flv"); // refused by the probe: nothing cleared
    profiles::ConvertFLV(*avc, "iPOD Nano (MP3)", "/v/clip.flv");
    EXPECT_EQ(log->commandLines.last(), line("/v/clip.flv", "/v/clip.mp3", "-y -f wav -acodec mp3 -ab 128 -ar 41000 -ac 2 "));
}

// A profile over what a refused start left: it overwrites what it names,
// switches included only towards True, and keeps every other value.
TEST_F(Profiles, AProfileOverwritesOnlyWhatItNames)
{
    const struct {
        const char *first;
        const char *second;
        const char *options; // the second profile's option part
    } cases[] = {
        {"QuickTime MOV", "iPOD Nano (MP3)",
         "-y -b 360 -r 29.97 -s 320x240 -deinterlace -sameq -acodec mp3 -ab 48 -ar 44100 -ac 2 "},
        {"Zune MPEG-4 AVC", "3G2 (Mobile)",
         "-y -b 120 -r 11 -s 176x144 -vcodec mpeg4 -bt 60 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 "
         "-acodec amr_nb -ab 48 -ar 8000 -ac 1 "},
        {"iPhone Video", "WAVE Sound (WAV)",
         "-y -b 1200 -s 320x240 -vcodec mpeg4 -aspect 4:3 -f wav -acodec pcm_s16le -ab 128 -ar 41000 -ac 2 "},
        {"AVI (MPEG4-DivX-Compatible)", "Zune WMV",
         "-y -b 1500 -r 29.97 -s 320x240 -vcodec wmv2 -deinterlace -sameq -acodec mp3 -ab 128 -ar 48000 -ac 2 "},
    };
    for (const auto &c : cases) {
        auto avc = makeDriver();
        profiles::ConvertFLV(*avc, QString::fromLatin1(c.first), "/v/clip.flv"); // refused by the probe
        const auto r = profiles::ConvertFLV(*avc, QString::fromLatin1(c.second), "/v/clip.flv");
        EXPECT_EQ(log->commandLines.last(), line("/v/clip.flv", "/v/clip" + r.extension, QString::fromLatin1(c.options)))
            << c.first << " then " << c.second;
    }
    // What a caller set by hand and no profile names stays too.
    auto avc = makeDriver();
    avc->setVideoFourCCTag("XVID");
    avc->setTargetFormat("ntsc-dvd");
    avc->setAudioFourCCTag("0x55");
    profiles::ConvertFLV(*avc, "iPOD Nano (MP3)", "/v/clip.flv");
    EXPECT_EQ(log->commandLines.last(),
              line("/v/clip.flv", "/v/clip.mp3", "-y -vtag XVID -target ntsc-dvd -acodec mp3 -atag 0x55 "));
}

TEST_F(Profiles, ARefusalArrivesBeforeConvertFlvReturns)
{
    auto avc = std::make_unique<AVC>(timer, dir.path() + "/missing/wqas.pga",
                                     std::make_unique<vidmora::test::ProcessControlProbe>(log), "maker.test");
    bool returned = false;
    bool errorBeforeReturn = false;
    QObject::connect(avc.get(), &AVC::ErrorEvent, [&](QString &m) {
        errorBeforeReturn = !returned && m == "Unable to locate wqas.pga";
    });
    const auto r = profiles::ConvertFLV(*avc, "QuickTime MOV", "/v/clip.flv");
    returned = true;
    EXPECT_TRUE(errorBeforeReturn);
    EXPECT_TRUE(r.matched) << "the extension is reported whatever the driver did";
    EXPECT_EQ(r.extension, ".mov");
}

} // namespace
