#include "profiles/profiles.h"

#include "converter/avc.h"

#include <array>

namespace vidmora::profiles {

namespace {

// Text values go to the converter exactly as written; "WAVE Sound (WAV)" asks
// for 41000 Hz, not 44100.
const std::array<ConversionProfile, 27> kProfiles = {{
    {.name = "WAVE Sound (WAV)", .extension = ".wav", .settings = {.AudioBitrate = "128", .AudioCodec = "pcm_s16le", .AudioSamples = "41000", .AudioChannels = "2", .ForceFormat = "wav"}},
    {.name = "MP3 Sound (MP3)", .extension = ".mp3", .settings = {.AudioBitrate = "128", .AudioCodec = "mp3", .AudioSamples = "44100", .AudioChannels = "2", .ForceFormat = "mp3"}},
    {.name = "3G2 (Mobile)", .extension = ".3g2", .settings = {.VideoSize = "176x144", .VideoBitrate = "120", .VideoFrameRate = "11", .VideoCodec = "mpeg4", .VideoBitrateTolerance = "60", .AudioBitrate = "48", .AudioCodec = "amr_nb", .AudioSamples = "8000", .AudioChannels = "1"}},
    {.name = "3GP (Mobile)", .extension = ".3gp", .settings = {.VideoSize = "176x144", .VideoBitrate = "120", .VideoFrameRate = "11", .VideoCodec = "h263", .VideoBitrateTolerance = "60", .AudioBitrate = "48", .AudioCodec = "amr_nb", .AudioSamples = "8000", .AudioChannels = "1"}},
    {.name = "Zune WMV", .extension = ".wmv", .settings = {.VideoSize = "320x240", .VideoBitrate = "1500", .VideoFrameRate = "29.97", .VideoCodec = "wmv2", .AudioBitrate = "128", .AudioCodec = "mp3", .AudioSamples = "48000", .AudioChannels = "2"}},
    {.name = "Zune MPEG-4 AVC", .extension = ".avi", .settings = {.VideoSize = "320x240", .VideoBitrate = "1500", .VideoFrameRate = "29.97", .VideoCodec = "h264", .AudioBitrate = "64", .AudioCodec = "aac", .AudioSamples = "48000", .AudioChannels = "2", .RateControlBuffer = "128", .GroupOfPictureSize = "250", .VideoQuantiserScale = "25", .MaxVideoBitrate = "1500"}},
    {.name = "Zune MPEG-4 Video", .extension = ".avi", .settings = {.VideoSize = "320x240", .VideoBitrate = "1500", .VideoFrameRate = "29.97", .VideoCodec = "mpeg4", .AudioBitrate = "128", .AudioCodec = "aac", .AudioSamples = "48000", .AudioChannels = "2"}},
    {.name = "Sony PSP", .extension = ".avi", .settings = {.VideoSize = "368x208", .VideoBitrate = "400", .VideoFrameRate = "29.97", .VideoCodec = "h264", .AudioBitrate = "128", .AudioCodec = "aac", .AudioSamples = "48000", .AudioChannels = "2", .RateControlBuffer = "128", .GroupOfPictureSize = "250", .VideoQuantiserScale = "25", .MaxVideoBitrate = "1500"}},
    {.name = "Sony PSP (Minimal Size)", .extension = ".avi", .settings = {.VideoSize = "160x112", .VideoBitrate = "216", .VideoFrameRate = "29.97", .VideoCodec = "xvid", .AudioBitrate = "64", .AudioCodec = "aac", .AudioSamples = "24000", .AudioChannels = "2"}},
    {.name = "Sony PSP (Excellent Quality)", .extension = ".avi", .settings = {.VideoSize = "368x208", .VideoBitrate = "768", .VideoFrameRate = "29.97", .VideoCodec = "xvid", .AudioBitrate = "64", .AudioCodec = "aac", .AudioSamples = "24000", .AudioChannels = "2"}},
    {.name = "Sony PSP (Normal)", .extension = ".avi", .settings = {.VideoSize = "368x208", .VideoBitrate = "512", .VideoFrameRate = "29.97", .VideoCodec = "xvid", .AudioBitrate = "64", .AudioCodec = "aac", .AudioSamples = "24000", .AudioChannels = "2"}},
    {.name = "QuickTime MOV", .extension = ".mov", .settings = {.VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97", .AudioBitrate = "48", .AudioCodec = "aac", .AudioSamples = "44100", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "RM (The RealVideo Format)", .extension = ".rm", .settings = {.VideoCodec = "rv20", .AudioSamples = "44100", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "WMV(WindowsMedia-Best Quality)", .extension = ".wmv", .settings = {.VideoCodec = "wmv2", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "WMV(WindowsMedia)", .extension = ".wmv", .settings = {.VideoCodec = "wmv2", .AudioSamples = "44100", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "MPEG (Best Quality)", .extension = ".mpg", .settings = {.VideoFrameRate = "29.97", .VideoCodec = "mpeg1video", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "MPEG (Max Compatible)", .extension = ".mpg", .settings = {.VideoFrameRate = "29.97", .VideoCodec = "mpeg1video", .AudioSamples = "44100", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "iPOD Nano (MP3)", .extension = ".mp3", .settings = {.AudioCodec = "mp3"}},
    {.name = "iPOD Mini (MP3)", .extension = ".mp3", .settings = {.AudioCodec = "mp3"}},
    {.name = "iPOD Shuffle (MP3)", .extension = ".mp3", .settings = {.AudioCodec = "mp3"}},
    {.name = "iPhone Video", .extension = ".mpg", .settings = {.VideoSize = "320x240", .VideoBitrate = "1200", .VideoCodec = "mpeg4", .AudioBitrate = "80", .AudioCodec = "aac", .AudioSamples = "44100", .AudioChannels = "2", .VideoAspectRatio = "4:3"}},
    {.name = "iPOD Video2 (640x480) MPEG4", .extension = ".mpg", .settings = {.VideoSize = "640x480", .VideoBitrate = "1200", .VideoCodec = "mpeg4", .AudioBitrate = "80", .AudioCodec = "aac", .AudioSamples = "44100", .AudioChannels = "2", .VideoAspectRatio = "4:3"}},
    {.name = "iPOD Video (320x240) MPEG4", .extension = ".mpg", .settings = {.VideoSize = "320x240", .VideoBitrate = "512", .VideoCodec = "mpeg4", .AudioBitrate = "64", .AudioCodec = "aac", .AudioSamples = "44100", .AudioChannels = "2", .VideoAspectRatio = "4:3"}},
    {.name = "AVI (MPEG4-XviD-Best Quality)", .extension = ".avi", .settings = {.VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97", .VideoCodec = "xvid", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "AVI (Compatible - MPEG4-XviD)", .extension = ".avi", .settings = {.VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97", .VideoCodec = "xvid", .AudioBitrate = "48", .AudioSamples = "22050", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "AVI (MPEG4-DivX-Best Quality)", .extension = ".avi", .settings = {.VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97", .VideoCodec = "mpeg4", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
    {.name = "AVI (MPEG4-DivX-Compatible)", .extension = ".avi", .settings = {.VideoSize = "320x240", .VideoBitrate = "360", .VideoFrameRate = "29.97", .VideoCodec = "mpeg4", .AudioBitrate = "48", .AudioSamples = "22050", .AudioChannels = "2", .DeInterlace = true, .SameQuality = true}},
}};

} // namespace

std::span<const ConversionProfile> profileTable()
{
    return kProfiles;
}

const ConversionProfile *findProfile(const QString &formatType)
{
    for (const ConversionProfile &p : kProfiles) {
        if (formatType == QLatin1String(p.name))
            return &p;
    }
    return nullptr;
}

QStringList formatListEntries()
{
    return {
        QStringLiteral("AVI (MPEG4-DivX-Compatible)"),
        QStringLiteral("AVI (MPEG4-DivX-Best Quality)"),
        QStringLiteral("AVI (MPEG4-XviD-Compatible)"),
        QStringLiteral("AVI (MPEG4-XviD-Best Quality)"),
        QStringLiteral("iPOD Video (320x240) MPEG4"),
        QStringLiteral("iPOD Video2 (640x480) MPEG4"),
        QStringLiteral("iPhone Video"),
        QStringLiteral("iPOD Nano (MP3)"),
        QStringLiteral("iPOD Mini (MP3)"),
        QStringLiteral("iPOD Shuffle (MP3)"),
        QStringLiteral("MPEG (Max Compatible)"),
        QStringLiteral("MPEG (Best Quality)"),
        QStringLiteral("WMV(WindowsMedia-Compatible)"),
        QStringLiteral("WMV(WindowsMedia-Best Quality)"),
        QStringLiteral("RM (RealONE/RealPlayer)"),
        QStringLiteral("QuickTime MOV"),
        QStringLiteral("Sony PSP (Normal)"),
        QStringLiteral("Sony PSP (Excellent Quality)"),
        QStringLiteral("Sony PSP (Minimal Size)"),
        QStringLiteral("Sony PSP (PSP AVC)"),
        QStringLiteral("Zune MPEG-4 Video"),
        QStringLiteral("Zune MPEG-4 AVC"),
        QStringLiteral("Zune WMV"),
        QStringLiteral("3GP (for Mobile)"),
        QStringLiteral("3G2 (for Mobile)"),
        QStringLiteral("MP3 Sound (MP3)"),
        QStringLiteral("WAVE Sound (WAV)"),
    };
}

QString notSupportedText(const QString &formatType)
{
    return QStringLiteral("Error: ") + formatType + QStringLiteral(" is not compatible.");
}

QString outputPath(const QString &srcPath, const QString &extension)
{
    // Only the file's own extension: a folder named "x.flv" stays as it is.
    static const QString flv = QStringLiteral(".flv");
    if (srcPath.endsWith(flv, Qt::CaseInsensitive))
        return srcPath.left(srcPath.size() - flv.size()) + extension;
    return srcPath + extension;
}

void applyProfile(AVC &avc, const ConversionProfile &profile)
{
    avc.mergeSettings(profile.settings);
}

ConvertResult ConvertFLV(AVC &AVC1, const QString &FormatType, const QString &SrcPath)
{
    ConvertResult result;
    try {
        const ConversionProfile *profile = findProfile(FormatType);
        if (!profile)
            return result;
        result.matched = true;
        result.extension = QString::fromLatin1(profile->extension);
        applyProfile(AVC1, *profile);
        AVC1.setSourceFile(SrcPath);
        AVC1.setDestFile(outputPath(SrcPath, result.extension));
        AVC1.ConvertMedia(true);
    } catch (...) {
    }
    return result;
}

} // namespace vidmora::profiles
