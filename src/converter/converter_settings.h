#pragma once

#include <QString>

namespace vidmora {

// What the next conversion is made with. A text counts as set when it is not
// empty (a value of blanks is set), a switch when it is true. Everything is
// empty or false at first and again after each conversion. Every member has
// its own initialiser so that a table row names only what it sets.
struct ConverterSettings {
    QString VideoSize{};
    QString VideoBitrate{};
    QString VideoFrameRate{};
    QString VideoCodec{};
    QString VideoFourCCTag{};
    QString VideoBitrateTolerance{};
    QString AudioBitrate{};
    QString AudioCodec{};
    QString AudioFourCCTag{};
    QString AudioSamples{};
    QString AudioChannels{};
    QString TargetFormat{};
    bool DeInterlace = false;
    bool SameQuality = false;
    QString VideoAspectRatio{};
    QString ForceFormat{};
    QString SourceFile{}; // not an option: the quoted input after "-i"
    QString DestFile{};   // not an option: the quoted output, last on the line
    QString RateControlBuffer{};
    QString GroupOfPictureSize{};
    QString VideoQuantiserScale{};
    QString MaxVideoBitrate{};
};

// The option part of the command line: each set option in the converter's
// fixed order ("-b", "-r", "-s", "-vcodec", ... "-ac"), each option and each
// value followed by one blank; empty when nothing is set. Values go unchanged:
// not quoted, not trimmed. The file names are not part of it.
QString optionsText(const ConverterSettings &settings);

// Copies into `onto` each setting that `named` sets and leaves the others as
// they are; a switch is therefore only ever turned on.
void overlaySettings(ConverterSettings &onto, const ConverterSettings &named);

} // namespace vidmora
