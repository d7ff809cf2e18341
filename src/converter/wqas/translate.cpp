#include "translate.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

namespace wqas {

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool isBareNumber(const std::string &v)
{
    if (v.empty())
        return false;
    bool digit = false;
    bool dot = false;
    for (char c : v) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = true;
        else if (c == '.' && !dot)
            dot = true;
        else
            return false;
    }
    return digit;
}

std::string formatNumber(double n)
{
    std::string s = std::to_string(n);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    }
    return s;
}

// Below this a bare rate can only have meant kbit/s (100000 bit/s would be a
// 100 kbit/s video, far below any of the day's presets).
constexpr double kBitRateLimit = 100000;

// The ratecontrol buffer was given in kByte.
std::string bufferSize(const std::string &value)
{
    if (!isBareNumber(value))
        return value;
    const double n = std::strtod(value.c_str(), nullptr);
    return n < kBitRateLimit ? formatNumber(n * 8 * 1024) : value;
}

// Frame rates written as decimals meant the NTSC family; MPEG encoders accept
// only the exact ratios.
std::string frameRate(const std::string &value)
{
    static const std::map<std::string, std::string> ntsc = {
        {"29.97", "30000/1001"}, {"23.976", "24000/1001"}, {"23.98", "24000/1001"},
        {"59.94", "60000/1001"}, {"14.985", "15000/1001"}, {"14.98", "15000/1001"},
    };
    const auto it = ntsc.find(value);
    return it != ntsc.end() ? it->second : value;
}

std::string videoEncoder(const std::string &codec)
{
    static const std::map<std::string, std::string> names = {
        {"xvid", "libxvid"}, {"h264", "libx264"}, {"x264", "libx264"},  {"avc", "libx264"},
        {"divx", "mpeg4"},   {"theora", "libtheora"}, {"vp8", "libvpx"}, {"h265", "libx265"},
    };
    const auto it = names.find(lower(codec));
    return it != names.end() ? it->second : codec;
}

// Debian's ffmpeg carries no AMR encoder: AAC is the other audio codec that
// every 3GPP player takes, and it fits the same containers.
std::string audioEncoder(const std::string &codec)
{
    static const std::map<std::string, std::string> names = {
        {"mp3", "libmp3lame"},  {"amr_nb", "aac"}, {"amrnb", "aac"},  {"libamr_nb", "aac"},
        {"libopencore_amrnb", "aac"}, {"amr_wb", "aac"}, {"libamr_wb", "aac"}, {"vorbis", "libvorbis"},
        {"faac", "aac"}, {"libfaac", "aac"},
    };
    const auto it = names.find(lower(codec));
    return it != names.end() ? it->second : codec;
}

// Old options that take a value; those not listed here pass unchanged.
const std::set<std::string> &valueOptions()
{
    static const std::set<std::string> options = {
        "-b", "-ab", "-bt", "-maxrate", "-minrate", "-bufsize", "-r", "-s", "-vcodec", "-acodec", "-vtag",
        "-atag", "-aspect", "-f", "-target", "-g", "-qscale", "-ar", "-ac", "-t", "-ss", "-vframes",
        "-aframes", "-qmin", "-qmax", "-pix_fmt", "-threads", "-map", "-vf", "-af", "-metadata", "-i",
    };
    return options;
}

struct OutputKind {
    bool audioOnly = false;
    bool mpegProgram = false;  // MPEG program stream: no AAC
    bool x264Default = false;  // the muxer's own video codec is H.264
};

OutputKind kindOf(const std::string &format, const std::string &output)
{
    std::string ext;
    const auto dot = output.find_last_of('.');
    const auto slash = output.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        ext = lower(output.substr(dot + 1));
    const std::string f = lower(format);

    static const std::set<std::string> audioFormats = {"mp3", "wav", "mp2", "ac3", "flac", "ogg", "oga", "wma", "aac", "m4a"};
    static const std::set<std::string> mpegFormats = {"mpeg", "vob", "dvd", "svcd", "vcd"};
    static const std::set<std::string> mpegExts = {"mpg", "mpeg", "vob", "m1v", "m2p"};
    static const std::set<std::string> x264Formats = {"mov", "mp4", "ipod", "matroska", "psp"};
    static const std::set<std::string> x264Exts = {"mov", "mp4", "m4v", "mkv", "qt"};

    OutputKind kind;
    if (!f.empty()) {
        kind.audioOnly = audioFormats.count(f) > 0;
        kind.mpegProgram = mpegFormats.count(f) > 0;
        kind.x264Default = x264Formats.count(f) > 0;
    } else {
        kind.audioOnly = audioFormats.count(ext) > 0;
        kind.mpegProgram = mpegExts.count(ext) > 0;
        kind.x264Default = x264Exts.count(ext) > 0;
    }
    return kind;
}

bool isX264(const std::string &encoder)
{
    return encoder == "libx264" || encoder == "libx264rgb" || encoder == "libx265";
}

} // namespace

std::string kilobitRate(const std::string &value)
{
    if (!isBareNumber(value))
        return value;
    const double n = std::strtod(value.c_str(), nullptr);
    return n < kBitRateLimit ? value + "k" : value;
}

Translation translate(const std::vector<std::string> &args)
{
    Translation t;
    if (args.empty()) {
        t.error = "no arguments: expected -i <input> [options] <output>";
        return t;
    }
    const std::string output = args.back();
    if (output.empty() || (output.size() > 1 && output[0] == '-')) {
        t.error = "no output file named";
        return t;
    }

    std::vector<std::string> inputPart;  // up to and including the last -i
    std::vector<std::string> optionPart; // everything after it
    std::string videoCodec; // encoder named by the options
    std::string audioCodec;
    std::string format;
    std::string filters;
    bool deinterlace = false;
    bool sameQuality = false;
    bool haveInput = false;
    std::size_t audioCodecAt = std::string::npos; // index of -c:a's value in optionPart
    std::size_t qscaleAt = std::string::npos;     // index of -q:v in optionPart

    const std::size_t end = args.size() - 1;
    for (std::size_t k = 0; k < end; ++k) {
        const std::string &a = args[k];
        const bool hasValue = valueOptions().count(a) > 0;
        if (hasValue && k + 1 >= end) {
            t.error = "option " + a + " has no value";
            return t;
        }
        const std::string value = hasValue ? args[k + 1] : std::string();
        if (hasValue)
            ++k;
        std::vector<std::string> &out = haveInput ? optionPart : inputPart;

        if (a == "-i") {
            // Options between inputs belong to the next input: keep them with it.
            inputPart.insert(inputPart.end(), optionPart.begin(), optionPart.end());
            optionPart.clear();
            audioCodecAt = qscaleAt = std::string::npos;
            inputPart.push_back("-i");
            inputPart.push_back(value);
            haveInput = true;
        } else if (a == "-b") {
            out.insert(out.end(), {"-b:v", kilobitRate(value)});
        } else if (a == "-ab") {
            out.insert(out.end(), {"-b:a", kilobitRate(value)});
        } else if (a == "-bt" || a == "-maxrate" || a == "-minrate") {
            out.insert(out.end(), {a, kilobitRate(value)});
        } else if (a == "-bufsize") {
            out.insert(out.end(), {a, bufferSize(value)});
        } else if (a == "-r") {
            out.insert(out.end(), {a, frameRate(value)});
        } else if (a == "-vcodec") {
            videoCodec = videoEncoder(value);
            out.insert(out.end(), {"-c:v", videoCodec});
        } else if (a == "-acodec") {
            audioCodec = audioEncoder(value);
            out.push_back("-c:a");
            audioCodecAt = haveInput ? out.size() : std::string::npos;
            out.push_back(audioCodec);
        } else if (a == "-vtag") {
            out.insert(out.end(), {"-tag:v", value});
        } else if (a == "-atag") {
            out.insert(out.end(), {"-tag:a", value});
        } else if (a == "-qscale") {
            qscaleAt = haveInput ? out.size() : std::string::npos;
            out.insert(out.end(), {"-q:v", value});
        } else if (a == "-f") {
            if (haveInput)
                format = value;
            out.insert(out.end(), {a, value});
        } else if (a == "-vf") {
            filters = filters.empty() ? value : filters + "," + value;
        } else if (a == "-deinterlace") {
            deinterlace = true;
        } else if (a == "-sameq") {
            sameQuality = true;
        } else if (hasValue) {
            out.insert(out.end(), {a, value});
        } else {
            out.push_back(a);
            // An option unknown here takes the next word as its value unless
            // that word is an option itself.
            if (!a.empty() && a[0] == '-' && k + 1 < end && !args[k + 1].empty() && args[k + 1][0] != '-') {
                out.push_back(args[k + 1]);
                ++k;
            }
        }
    }
    if (!haveInput) {
        t.error = "no input file named (-i)";
        return t;
    }

    const OutputKind kind = kindOf(format, output);
    const std::string encoder = !videoCodec.empty() ? videoCodec : (kind.x264Default ? "libx264" : "");

    if (kind.mpegProgram && audioCodecAt != std::string::npos && optionPart[audioCodecAt] == "aac")
        optionPart[audioCodecAt] = "mp2"; // an MPEG program stream cannot carry AAC
    if (qscaleAt != std::string::npos && isX264(encoder))
        optionPart.erase(optionPart.begin() + long(qscaleAt), optionPart.begin() + long(qscaleAt) + 2);

    if (kind.audioOnly) {
        optionPart.push_back("-vn");
    } else {
        if (deinterlace)
            filters = filters.empty() ? "yadif" : "yadif," + filters;
        if (!filters.empty())
            optionPart.insert(optionPart.end(), {"-vf", filters});
        // "Same quantiser as the source" is gone; the finest fixed quantiser
        // (or x264's near-transparent constant quality) keeps what it meant.
        if (sameQuality) {
            if (isX264(encoder))
                optionPart.insert(optionPart.end(), {"-crf", "18"});
            else
                optionPart.insert(optionPart.end(), {"-q:v", "2"});
        }
    }

    t.arguments = inputPart;
    t.arguments.insert(t.arguments.end(), optionPart.begin(), optionPart.end());
    t.arguments.push_back(output);
    t.ok = true;
    return t;
}

} // namespace wqas
