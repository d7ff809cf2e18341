#pragma once

#include <string>
#include <vector>

namespace wqas {

// The outcome of reading a converter command line written in the FFmpeg
// spelling of the converter's day.
struct Translation {
    bool ok = false;
    std::string error;                  // why it was refused, when !ok
    std::vector<std::string> arguments; // today's ffmpeg arguments (no program name, no logging options)
    bool numberedFiles = false;         // the output names a sequence of files that ffmpeg numbers itself
};

// Turns the converter's arguments ("-i", the input, the options, the output)
// into the arguments today's ffmpeg needs for the same conversion.
Translation translate(const std::vector<std::string> &args);

// A bare rate ("360", "1500") in the old spelling means kbit/s; today's
// ffmpeg reads bit/s. Values with a unit suffix, and large values that can
// only mean bit/s, pass unchanged.
std::string kilobitRate(const std::string &value);

// Whether ffmpeg writes `output` as files it names itself rather than as that
// one file: an image sequence or segments whose path holds a frame-number
// pattern ffmpeg expands ("%d", "%03d"; "%%" is a percent sign), with strftime
// names, or a muxer that writes several files. `format` is the -f value ("" to
// let the output's extension choose); `strftime` is the image muxer's option.
bool writesNumberedFiles(const std::string &output, const std::string &format, bool strftime = false);

} // namespace wqas
