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
};

// Turns the converter's arguments ("-i", the input, the options, the output)
// into the arguments today's ffmpeg needs for the same conversion.
Translation translate(const std::vector<std::string> &args);

// A bare rate ("360", "1500") in the old spelling means kbit/s; today's
// ffmpeg reads bit/s. Values with a unit suffix, and large values that can
// only mean bit/s, pass unchanged.
std::string kilobitRate(const std::string &value);

} // namespace wqas
