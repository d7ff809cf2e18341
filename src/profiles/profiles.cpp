#include "profiles/profiles.h"

#include "converter/avc.h"

#include <array>

namespace vidmora::profiles {

namespace {

// Text values go to the converter exactly as written; "WAVE Sound (WAV)" asks
// for 41000 Hz, not 44100.
constexpr std::array<ConversionProfile, 27> kProfiles = {{
    {.name = "WAVE Sound (WAV)", .extension = ".wav", .ForceFormat = "wav", .AudioCodec = "pcm_s16le", .AudioBitrate = "128", .AudioSamples = "41000", .AudioChannels = "2"},
    {.name = "MP3 Sound (MP3)", .extension = ".mp3", .ForceFormat = "mp3", .AudioCodec = "mp3", .AudioBitrate = "128", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "3G2 (Mobile)", .extension = ".3g2", .VideoSize = "176x144", .VideoFrameRate = "11", .VideoBitrate = "120", .VideoBitrateTolerance = "60", .VideoCodec = "mpeg4", .AudioCodec = "amr_nb", .AudioBitrate = "48", .AudioSamples = "8000", .AudioChannels = "1"},
    {.name = "3GP (Mobile)", .extension = ".3gp", .VideoSize = "176x144", .VideoFrameRate = "11", .VideoBitrate = "120", .VideoBitrateTolerance = "60", .VideoCodec = "h263", .AudioCodec = "amr_nb", .AudioBitrate = "48", .AudioSamples = "8000", .AudioChannels = "1"},
    {.name = "Zune WMV", .extension = ".wmv", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "1500", .VideoCodec = "wmv2", .AudioCodec = "mp3", .AudioBitrate = "128", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Zune MPEG-4 AVC", .extension = ".avi", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "1500", .VideoCodec = "h264", .GroupOfPictureSize = "250", .VideoQuantiserScale = "25", .MaxVideoBitrate = "1500", .RateControlBuffer = "128", .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Zune MPEG-4 Video", .extension = ".avi", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "1500", .VideoCodec = "mpeg4", .AudioCodec = "aac", .AudioBitrate = "128", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Sony PSP", .extension = ".avi", .VideoSize = "368x208", .VideoFrameRate = "29.97", .VideoBitrate = "400", .VideoCodec = "h264", .GroupOfPictureSize = "250", .VideoQuantiserScale = "25", .MaxVideoBitrate = "1500", .RateControlBuffer = "128", .AudioCodec = "aac", .AudioBitrate = "128", .AudioSamples = "48000", .AudioChannels = "2"},
    {.name = "Sony PSP (Minimal Size)", .extension = ".avi", .VideoSize = "160x112", .VideoFrameRate = "29.97", .VideoBitrate = "216", .VideoCodec = "xvid", .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "24000", .AudioChannels = "2"},
    {.name = "Sony PSP (Excellent Quality)", .extension = ".avi", .VideoSize = "368x208", .VideoFrameRate = "29.97", .VideoBitrate = "768", .VideoCodec = "xvid", .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "24000", .AudioChannels = "2"},
    {.name = "Sony PSP (Normal)", .extension = ".avi", .VideoSize = "368x208", .VideoFrameRate = "29.97", .VideoBitrate = "512", .VideoCodec = "xvid", .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "24000", .AudioChannels = "2"},
    {.name = "QuickTime MOV", .extension = ".mov", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "360", .DeInterlace = true, .SameQuality = true, .AudioCodec = "aac", .AudioBitrate = "48", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "RM (The RealVideo Format)", .extension = ".rm", .VideoCodec = "rv20", .DeInterlace = true, .SameQuality = true, .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "WMV(WindowsMedia-Best Quality)", .extension = ".wmv", .VideoCodec = "wmv2", .DeInterlace = true, .SameQuality = true, .AudioChannels = "2"},
    {.name = "WMV(WindowsMedia)", .extension = ".wmv", .VideoCodec = "wmv2", .DeInterlace = true, .SameQuality = true, .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "MPEG (Best Quality)", .extension = ".mpg", .VideoFrameRate = "29.97", .VideoCodec = "mpeg1video", .DeInterlace = true, .SameQuality = true, .AudioChannels = "2"},
    {.name = "MPEG (Max Compatible)", .extension = ".mpg", .VideoFrameRate = "29.97", .VideoCodec = "mpeg1video", .DeInterlace = true, .SameQuality = true, .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "iPOD Nano (MP3)", .extension = ".mp3", .AudioCodec = "mp3"},
    {.name = "iPOD Mini (MP3)", .extension = ".mp3", .AudioCodec = "mp3"},
    {.name = "iPOD Shuffle (MP3)", .extension = ".mp3", .AudioCodec = "mp3"},
    {.name = "iPhone Video", .extension = ".mpg", .VideoSize = "320x240", .VideoBitrate = "1200", .VideoCodec = "mpeg4", .VideoAspectRatio = "4:3", .AudioCodec = "aac", .AudioBitrate = "80", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "iPOD Video2 (640x480) MPEG4", .extension = ".mpg", .VideoSize = "640x480", .VideoBitrate = "1200", .VideoCodec = "mpeg4", .VideoAspectRatio = "4:3", .AudioCodec = "aac", .AudioBitrate = "80", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "iPOD Video (320x240) MPEG4", .extension = ".mpg", .VideoSize = "320x240", .VideoBitrate = "512", .VideoCodec = "mpeg4", .VideoAspectRatio = "4:3", .AudioCodec = "aac", .AudioBitrate = "64", .AudioSamples = "44100", .AudioChannels = "2"},
    {.name = "AVI (MPEG4-XviD-Best Quality)", .extension = ".avi", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "360", .VideoCodec = "xvid", .DeInterlace = true, .SameQuality = true, .AudioChannels = "2"},
    {.name = "AVI (Compatible - MPEG4-XviD)", .extension = ".avi", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "360", .VideoCodec = "xvid", .DeInterlace = true, .SameQuality = true, .AudioBitrate = "48", .AudioSamples = "22050", .AudioChannels = "2"},
    {.name = "AVI (MPEG4-DivX-Best Quality)", .extension = ".avi", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "360", .VideoCodec = "mpeg4", .DeInterlace = true, .SameQuality = true, .AudioChannels = "2"},
    {.name = "AVI (MPEG4-DivX-Compatible)", .extension = ".avi", .VideoSize = "320x240", .VideoFrameRate = "29.97", .VideoBitrate = "360", .VideoCodec = "mpeg4", .DeInterlace = true, .SameQuality = true, .AudioBitrate = "48", .AudioSamples = "22050", .AudioChannels = "2"},
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

void applyProfile(AVC &avc, const ConversionProfile &p)
{
    auto set = [&avc](const char *value, void (AVC::*setter)(const QString &)) {
        if (value)
            (avc.*setter)(QString::fromLatin1(value));
    };
    set(p.VideoSize, &AVC::setVideoSize);
    set(p.VideoFrameRate, &AVC::setVideoFrameRate);
    set(p.VideoBitrate, &AVC::setVideoBitrate);
    set(p.VideoBitrateTolerance, &AVC::setVideoBitrateTolerance);
    set(p.VideoCodec, &AVC::setVideoCodec);
    set(p.VideoAspectRatio, &AVC::setVideoAspectRatio);
    set(p.GroupOfPictureSize, &AVC::setGroupOfPictureSize);
    set(p.VideoQuantiserScale, &AVC::setVideoQuantiserScale);
    set(p.MaxVideoBitrate, &AVC::setMaxVideoBitrate);
    set(p.RateControlBuffer, &AVC::setRateControlBuffer);
    if (p.DeInterlace)
        avc.setDeInterlace(true);
    if (p.SameQuality)
        avc.setSameQuality(true);
    set(p.ForceFormat, &AVC::setForceFormat);
    set(p.AudioCodec, &AVC::setAudioCodec);
    set(p.AudioBitrate, &AVC::setAudioBitrate);
    set(p.AudioSamples, &AVC::setAudioSamples);
    set(p.AudioChannels, &AVC::setAudioChannels);
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
