#include "converter/converter_settings.h"

namespace vidmora {

namespace {

using S = ConverterSettings;

// One option and the setting behind it: a text gives the option and its
// value, a switch the option alone. Exactly one of `value` and `isOn` is set.
struct ConverterOption {
    const char *text; // ends in one blank
    QString S::*value = nullptr;
    bool S::*isOn = nullptr;
};

// Every option, in the order in which the command line carries them.
constexpr ConverterOption kOptions[] = {
    {"-b ", &S::VideoBitrate},
    {"-r ", &S::VideoFrameRate},
    {"-s ", &S::VideoSize},
    {"-vcodec ", &S::VideoCodec},
    {"-vtag ", &S::VideoFourCCTag},
    {"-aspect ", &S::VideoAspectRatio},
    {"-bt ", &S::VideoBitrateTolerance},
    {"-f ", &S::ForceFormat},
    {"-target ", &S::TargetFormat},
    {"-bufsize ", &S::RateControlBuffer},
    {"-g ", &S::GroupOfPictureSize},
    {"-qscale ", &S::VideoQuantiserScale},
    {"-maxrate ", &S::MaxVideoBitrate},
    {"-deinterlace ", nullptr, &S::DeInterlace},
    {"-sameq ", nullptr, &S::SameQuality},
    {"-acodec ", &S::AudioCodec},
    {"-atag ", &S::AudioFourCCTag},
    {"-ab ", &S::AudioBitrate},
    {"-ar ", &S::AudioSamples},
    {"-ac ", &S::AudioChannels},
};

} // namespace

QString optionsText(const ConverterSettings &settings)
{
    QString text;
    for (const ConverterOption &option : kOptions) {
        if (option.value && !(settings.*option.value).isEmpty())
            text += QLatin1String(option.text) + settings.*option.value + u' ';
        else if (option.isOn && settings.*option.isOn)
            text += QLatin1String(option.text);
    }
    return text;
}

void overlaySettings(ConverterSettings &onto, const ConverterSettings &named)
{
    for (const ConverterOption &option : kOptions) {
        if (option.value && !(named.*option.value).isEmpty())
            onto.*option.value = named.*option.value;
        else if (option.isOn && named.*option.isOn)
            onto.*option.isOn = true;
    }
    // The two file names are no options, so the table does not hold them.
    for (QString S::*name : {&S::SourceFile, &S::DestFile}) {
        if (!(named.*name).isEmpty())
            onto.*name = named.*name;
    }
}

} // namespace vidmora
