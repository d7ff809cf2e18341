// Every profile, through the real converter program and the system's ffmpeg,
// gives a file that plays, in the profile's own container. One test per
// profile, so that the runner can spread them.
#include "profiles/profiles.h"

#include "converter/avc.h"

#include "event_wait.h"
#include "flv_media.h"
#include "process_control_probe.h"

#include <QDir>

#include <cctype>
#include <ostream>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using vidmora::AVC;
namespace profiles = vidmora::profiles;

namespace {

struct Expected {
    const char *format;  // ffprobe's format name
    const char *brand;   // ISO family major brand, or ""
    QStringList codecs;  // stream codecs in order
};

Expected expectedFor(int row)
{
    const char *iso = "mov,mp4,m4a,3gp,3g2,mj2";
    switch (row) {
    case 1: return {"wav", "", {"pcm_s16le"}};
    case 2: return {"mp3", "", {"mp3"}};
    case 3: return {iso, "3g2a", {"mpeg4", "aac"}};
    case 4: return {iso, "3gp4", {"h263", "aac"}};
    case 5: return {"asf", "", {"wmv2", "mp3"}};
    case 6: return {"avi", "", {"h264", "aac"}};
    case 7: return {"avi", "", {"mpeg4", "aac"}};
    case 8: return {"avi", "", {"h264", "aac"}};
    case 9:
    case 10:
    case 11: return {"avi", "", {"mpeg4", "aac"}};
    case 12: return {iso, "qt  ", {"h264", "aac"}};
    case 13: return {"rm", "", {"rv20", "ac3"}};
    case 14:
    case 15: return {"asf", "", {"wmv2", "wmav2"}};
    case 16:
    case 17: return {"mpeg", "", {"mpeg1video", "mp2"}};
    case 18:
    case 19:
    case 20: return {"mp3", "", {"mp3"}};
    case 21:
    case 22:
    case 23: return {"mpeg", "", {"mpeg4", "mp2"}};
    default: return {"avi", "", {"mpeg4", "mp3"}}; // 24 to 27
    }
}

// Converts src with the profile of the given row through the real converter
// and returns the output's path.
void convertWith(int row, const QString &src, QString &out)
{
    const profiles::ConversionProfile &profile = profiles::profileTable()[size_t(row - 1)];
    vidmora::platform::Timer timer;
    auto log = std::make_shared<vidmora::test::ProcessControlProbe::Log>();
    AVC avc(timer, vidmora::test::converterProgram(), std::make_unique<vidmora::test::ProcessControlProbe>(log),
            QStringLiteral("maker.test"));
    bool complete = false;
    QStringList errors;
    QObject::connect(&avc, &AVC::Complete, [&] { complete = true; });
    QObject::connect(&avc, &AVC::ErrorEvent, [&](QString &m) { errors << m; });

    const auto r = profiles::ConvertFLV(avc, QString::fromLatin1(profile.name), src);
    ASSERT_TRUE(r.matched);
    ASSERT_TRUE(errors.isEmpty()) << qPrintable(errors.join(';'));
    ASSERT_TRUE(vidmora::test::waitUntil([&] { return complete; }, 240000));
    EXPECT_EQ(avc.ExitCode(), 0) << qPrintable(log->commandLines.value(0));

    out = profiles::outputPath(src, r.extension);
    ASSERT_TRUE(QFileInfo(out).size() > 0) << qPrintable(out);
}

class ProfileConversion : public ::testing::TestWithParam<int> {};

TEST_P(ProfileConversion, GivesAPlayableFile)
{
    const int row = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + "/my videos";
    QDir().mkpath(folder);
    const QString src = folder + "/a clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));

    QString out;
    ASSERT_NO_FATAL_FAILURE(convertWith(row, src, out));
    EXPECT_EQ(out, folder + "/a clip" + QString::fromLatin1(profiles::profileTable()[size_t(row - 1)].extension));
    const Expected want = expectedFor(row);
    const auto info = vidmora::test::probeMedia(out);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.formatName, want.format);
    EXPECT_EQ(info.majorBrand, want.brand);
    EXPECT_EQ(info.codecs, want.codecs);
    EXPECT_TRUE(info.decodes) << "plays to its end without an error";
}

std::string rowName(const ::testing::TestParamInfo<int> &info)
{
    std::string name = "row" + std::to_string(info.param) + "_";
    for (const char *p = profiles::profileTable()[size_t(info.param - 1)].name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllProfiles, ProfileConversion, ::testing::Range(1, 28), rowName);

// Some downloads carry no sound at all: a profile that asks for sound still
// gives a playable file, the picture alone, and no refusal for the missing track.
TEST(ProfileConversionWithoutSound, DefaultProfileGivesThePictureAlone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString src = dir.path() + "/silent clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1, 320, 240, false));
    ASSERT_EQ(vidmora::test::probeMedia(src, false).codecs, QStringList{"flv1"});

    QString out;
    ASSERT_NO_FATAL_FAILURE(convertWith(27, src, out)); // AVI (MPEG4-DivX-Compatible)
    const auto info = vidmora::test::probeMedia(out);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.formatName, "avi");
    EXPECT_EQ(info.codecs, QStringList{"mpeg4"});
    EXPECT_NEAR(info.duration, 1.0, 0.3);
    EXPECT_TRUE(info.decodes) << "plays to its end without an error";
}

// Downloads come in sizes that some encoders refuse: sides not a multiple of
// 4 (RealVideo 2), an odd width (WMV), odd sides (x264, XviD). Each profile
// that keeps the source's size, or gives an encoder with such a rule a size
// of its own, converts them, to the nearest size its encoder takes.
struct OddSize {
    int row;
    int width, height;      // the source's
    int outWidth, outHeight; // the converted picture's
};

void PrintTo(const OddSize &c, std::ostream *os)
{
    *os << "row " << c.row << ", " << c.width << "x" << c.height << " -> " << c.outWidth << "x" << c.outHeight;
}

class OddSizedSource : public ::testing::TestWithParam<OddSize> {};

TEST_P(OddSizedSource, GivesAPlayableFileOfTheNearestSize)
{
    const OddSize c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString src = dir.path() + "/a clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1, c.width, c.height));
    const auto source = vidmora::test::probeMedia(src, false);
    ASSERT_TRUE(source.ok);
    ASSERT_EQ(source.width, c.width);

    QString out;
    ASSERT_NO_FATAL_FAILURE(convertWith(c.row, src, out));
    const Expected want = expectedFor(c.row);
    const auto info = vidmora::test::probeMedia(out);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.formatName, want.format);
    EXPECT_EQ(info.codecs, want.codecs);
    EXPECT_EQ(info.width, c.outWidth);
    EXPECT_EQ(info.height, c.outHeight);
    EXPECT_NEAR(info.duration, source.duration, 0.3);
    EXPECT_TRUE(info.decodes) << "plays to its end without an error";
}

const OddSize kOddSizes[] = {
    // The source's own size: RealVideo 2 (multiples of 4), WMV2 (even width), MPEG-1 (any below 4096).
    {13, 400, 226, 400, 228}, {13, 322, 242, 324, 244}, {13, 321, 241, 320, 240},
    {14, 400, 226, 400, 226}, {14, 322, 242, 322, 242}, {14, 321, 241, 322, 241},
    {15, 400, 226, 400, 226}, {15, 322, 242, 322, 242}, {15, 321, 241, 322, 241},
    {16, 400, 226, 400, 226}, {16, 322, 242, 322, 242}, {16, 321, 241, 321, 241},
    {17, 400, 226, 400, 226}, {17, 322, 242, 322, 242}, {17, 321, 241, 321, 241},
    // A size of the profile's own, given to an encoder with a size rule.
    {4, 321, 241, 176, 144},  // H.263
    {5, 321, 241, 320, 240},  // WMV2
    {6, 321, 241, 320, 240},  // x264
    {8, 321, 241, 368, 208},  // x264
    {9, 321, 241, 160, 112},  // XviD
    {10, 321, 241, 368, 208}, // XviD
    {12, 321, 241, 320, 240}, // x264 in QuickTime
    {24, 321, 241, 320, 240}, // XviD
};

std::string oddName(const ::testing::TestParamInfo<OddSize> &info)
{
    return "row" + std::to_string(info.param.row) + "_" + std::to_string(info.param.width) + "x" +
           std::to_string(info.param.height);
}

INSTANTIATE_TEST_SUITE_P(OddSizes, OddSizedSource, ::testing::ValuesIn(kOddSizes), oddName);

} // namespace
