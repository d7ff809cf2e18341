#include "translate.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <utility>

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
    std::string videoEncoder;  // what ffmpeg picks when no video codec is named ("" when not known here)
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
    // The muxers' own video codecs in Debian's ffmpeg (`ffmpeg -h muxer=NAME`).
    static const std::map<std::string, std::string> formatEncoders = {
        {"avi", "mpeg4"},   {"mov", "libx264"},      {"mp4", "libx264"},      {"ipod", "libx264"},
        {"psp", "libx264"}, {"matroska", "libx264"}, {"rm", "rv10"},          {"asf", "msmpeg4"},
        {"3gp", "h263"},    {"3g2", "h263"},         {"mpeg", "mpeg1video"},  {"vcd", "mpeg1video"},
        {"vob", "mpeg2video"}, {"svcd", "mpeg2video"}, {"dvd", "mpeg2video"}, {"flv", "flv"},
    };
    static const std::map<std::string, std::string> extEncoders = {
        {"avi", "mpeg4"},  {"mov", "libx264"}, {"mp4", "libx264"},        {"m4v", "libx264"},
        {"mkv", "libx264"}, {"qt", "libx264"}, {"rm", "rv10"},            {"wmv", "msmpeg4"},
        {"asf", "msmpeg4"}, {"3gp", "h263"},   {"3g2", "h263"},           {"mpg", "mpeg1video"},
        {"mpeg", "mpeg1video"}, {"m1v", "mpeg1video"}, {"vob", "mpeg2video"}, {"flv", "flv"},
    };

    OutputKind kind;
    const std::string &key = f.empty() ? ext : f;
    const auto &encoders = f.empty() ? extEncoders : formatEncoders;
    kind.audioOnly = audioFormats.count(key) > 0;
    kind.mpegProgram = (f.empty() ? mpegExts : mpegFormats).count(key) > 0;
    if (const auto it = encoders.find(key); it != encoders.end())
        kind.videoEncoder = it->second;
    return kind;
}

bool isX264(const std::string &encoder)
{
    return encoder == "libx264" || encoder == "libx264rgb" || encoder == "libx265";
}

// The picture sizes an encoder opens with, as Debian's ffmpeg 5.1 enforces
// them for 4:2:0 pictures (each encoder tried against odd, unaligned and
// oversized pictures). Encoders not listed take any size a download comes in.
// A rule is one of three kinds: sides in steps, a largest size, or a list.
struct SizeRule {
    int widthStep = 1;  // width must be a multiple of this
    int heightStep = 1;
    int maxSide = 0;    // largest width and largest height (0: none)
    std::vector<std::pair<int, int>> only; // the encoder takes these sizes and no others
};

const SizeRule *sizeRuleFor(const std::string &encoder)
{
    static const std::map<std::string, SizeRule> rules = {
        {"libx264", {2, 2, 0, {}}},       // "width not divisible by 2" (4:2:0)
        {"libxvid", {2, 2, 0, {}}},       // "Could not create encoder reference"
        {"wmv1", {2, 1, 0, {}}},          // "width must be multiple of 2"; any height
        {"wmv2", {2, 1, 0, {}}},
        {"rv20", {4, 4, 0, {}}},          // "width and height must be a multiple of 4"
        {"rv10", {16, 16, 0, {}}},        // "... a multiple of 16"
        {"mpeg1video", {1, 1, 4095, {}}}, // "does not support resolutions above 4095x4095"
        {"mpeg4", {1, 1, 8191, {}}},      // "dimensions too large for MPEG-4" from 8192 on
        // "Valid sizes are 128x96, 176x144, 352x288, 704x576, and 1408x1152"
        {"h263", {1, 1, 0, {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}}}},
    };
    const auto it = rules.find(encoder);
    return it != rules.end() ? &it->second : nullptr;
}

// ffmpeg's size abbreviations (ffmpeg-utils, "Video size").
std::optional<std::pair<int, int>> parseSize(const std::string &value)
{
    static const std::map<std::string, std::pair<int, int>> names = {
        {"ntsc", {720, 480}},     {"pal", {720, 576}},      {"qntsc", {352, 240}},    {"qpal", {352, 288}},
        {"sntsc", {640, 480}},    {"spal", {768, 576}},     {"film", {352, 240}},     {"ntsc-film", {352, 240}},
        {"sqcif", {128, 96}},     {"qcif", {176, 144}},     {"cif", {352, 288}},      {"4cif", {704, 576}},
        {"16cif", {1408, 1152}},  {"qqvga", {160, 120}},    {"qvga", {320, 240}},     {"vga", {640, 480}},
        {"svga", {800, 600}},     {"xga", {1024, 768}},     {"uxga", {1600, 1200}},   {"qxga", {2048, 1536}},
        {"sxga", {1280, 1024}},   {"qsxga", {2560, 2048}},  {"hsxga", {5120, 4096}},  {"wvga", {852, 480}},
        {"wxga", {1366, 768}},    {"wsxga", {1600, 1024}},  {"wuxga", {1920, 1200}},  {"woxga", {2560, 1600}},
        {"wqsxga", {3200, 2048}}, {"wquxga", {3840, 2400}}, {"whsxga", {6400, 4096}}, {"whuxga", {7680, 4800}},
        {"cga", {320, 200}},      {"ega", {640, 350}},      {"hd480", {852, 480}},    {"hd720", {1280, 720}},
        {"hd1080", {1920, 1080}}, {"2k", {2048, 1080}},     {"2kflat", {1998, 1080}}, {"2kscope", {2048, 858}},
        {"4k", {4096, 2160}},     {"4kflat", {3996, 2160}}, {"4kscope", {4096, 1716}}, {"nhd", {640, 360}},
        {"hqvga", {240, 160}},    {"wqvga", {400, 240}},    {"fwqvga", {432, 240}},   {"hvga", {480, 320}},
        {"qhd", {960, 540}},      {"2kdci", {2048, 1080}},  {"4kdci", {4096, 2160}},  {"uhd2160", {3840, 2160}},
        {"uhd4320", {7680, 4320}},
    };
    if (const auto it = names.find(value); it != names.end())
        return it->second;
    const auto x = value.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == value.size() || x > 5 || value.size() - x - 1 > 5)
        return std::nullopt;
    int size[2] = {0, 0};
    const std::string parts[2] = {value.substr(0, x), value.substr(x + 1)};
    for (int k = 0; k < 2; ++k) {
        for (char c : parts[k]) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
            size[k] = size[k] * 10 + (c - '0');
        }
        if (size[k] == 0)
            return std::nullopt;
    }
    return std::make_pair(size[0], size[1]);
}

// Of a fixed set of sizes, the one nearest in picture area (by ratio; a tie
// goes to the larger): the threshold between two neighbours is the geometric
// mean of their areas, as in the scale filter that scaleFilter writes.
std::pair<int, int> nearestListed(const std::vector<std::pair<int, int>> &sizes, int w, int h)
{
    const std::int64_t area = std::int64_t(w) * h;
    for (std::size_t k = 0; k + 1 < sizes.size(); ++k) {
        const std::int64_t a = std::int64_t(sizes[k].first) * sizes[k].second;
        const std::int64_t b = std::int64_t(sizes[k + 1].first) * sizes[k + 1].second;
        if (area * area < a * b)
            return sizes[k];
    }
    return sizes.back();
}

int stepped(int v, int step)
{
    return std::max(step, (v + step / 2) / step * step);
}

// The size nearest to w x h that the rule takes: each side to its nearest
// allowed multiple (half a step rounds up), a picture too large shrunk as a
// whole to the largest that fits, aspect kept, or the nearest listed size.
std::pair<int, int> fittedSize(const SizeRule &rule, int w, int h)
{
    if (!rule.only.empty())
        return nearestListed(rule.only, w, h);
    if (rule.maxSide > 0) {
        // As the scale filter's force_original_aspect_ratio=decrease rounds.
        const auto rescale = [](std::int64_t a, std::int64_t b, std::int64_t c) { return int((a * b + c / 2) / c); };
        const int boxW = std::min(w, rule.maxSide);
        const int boxH = std::min(h, rule.maxSide);
        return {std::min(boxW, rescale(boxH, w, h)), std::min(boxH, rescale(boxW, h, w))};
    }
    return {stepped(w, rule.widthStep), stepped(h, rule.heightStep)};
}

// The same choice as fittedSize, as a scale filter for a picture whose size
// is known only to ffmpeg (the source's, after the filters before it). The
// scale filter lets a picture that already has the chosen size through
// unscaled, and keeps the display aspect in the sample aspect ratio.
std::string scaleFilter(const SizeRule &rule)
{
    if (!rule.only.empty()) {
        // Nearest in area by ratio: the threshold between two neighbours is
        // the geometric mean of their areas.
        std::string w, h, close;
        for (std::size_t k = 0; k + 1 < rule.only.size(); ++k) {
            const double a = double(rule.only[k].first) * rule.only[k].second;
            const double b = double(rule.only[k + 1].first) * rule.only[k + 1].second;
            const std::string below = "if(lt(iw*ih," + formatNumber(std::sqrt(a * b)) + "),";
            w += below + std::to_string(rule.only[k].first) + ",";
            h += below + std::to_string(rule.only[k].second) + ",";
            close += ")";
        }
        w += std::to_string(rule.only.back().first) + close;
        h += std::to_string(rule.only.back().second) + close;
        return "scale='" + w + "':'" + h + "'";
    }
    if (rule.maxSide > 0) {
        const std::string max = std::to_string(rule.maxSide);
        return "scale='min(iw," + max + ")':'min(ih," + max + ")':force_original_aspect_ratio=decrease";
    }
    const auto side = [](const std::string &in, int step) -> std::string {
        if (step == 1)
            return in;
        const std::string s = std::to_string(step);
        return "'max(" + s + ",round(" + in + "/" + s + ")*" + s + ")'";
    };
    return "scale=" + side("iw", rule.widthStep) + ":" + side("ih", rule.heightStep);
}

// Options of today's spelling that set the picture's filters themselves;
// with one of them the caller has the last word on the size.
bool ownFilterGraph(const std::string &option)
{
    const auto starts = [&](const char *prefix) { return option.rfind(prefix, 0) == 0; };
    return option == "-lavfi" || option == "-filter" || option == "-filter_script" || starts("-filter_complex") ||
           starts("-filter:v") || starts("-filter_script:v");
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
    std::size_t sizeAt = std::string::npos;       // index of the last -s's value in optionPart
    bool ownGraph = false; // the caller filters the picture in today's spelling
    bool noVideo = false;  // -vn
    bool target = false;   // -target: the standard sets the size

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
            audioCodecAt = qscaleAt = sizeAt = std::string::npos;
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
        } else if (a == "-s") {
            out.push_back(a);
            sizeAt = haveInput ? out.size() : std::string::npos;
            out.push_back(value);
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
            if (haveInput && a == "-target")
                target = true;
            out.insert(out.end(), {a, value});
        } else {
            if (haveInput) {
                ownGraph = ownGraph || ownFilterGraph(a);
                noVideo = noVideo || a == "-vn";
            }
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
    const std::string encoder = !videoCodec.empty() ? videoCodec : kind.videoEncoder;

    if (kind.mpegProgram && audioCodecAt != std::string::npos && optionPart[audioCodecAt] == "aac")
        optionPart[audioCodecAt] = "mp2"; // an MPEG program stream cannot carry AAC
    if (qscaleAt != std::string::npos && isX264(encoder))
        optionPart.erase(optionPart.begin() + long(qscaleAt), optionPart.begin() + long(qscaleAt) + 2);

    if (kind.audioOnly) {
        optionPart.push_back("-vn");
    } else {
        if (deinterlace)
            filters = filters.empty() ? "yadif" : "yadif," + filters;
        // A picture size the encoder refuses (an odd-sized download, or a
        // size asked for) becomes the nearest one it takes. A size asked for
        // is known here; ffmpeg scales to it after every filter. The source's
        // own size is not: a last filter picks the size from it.
        if (const SizeRule *rule = sizeRuleFor(encoder); rule && !noVideo && !target) {
            const auto asked = sizeAt != std::string::npos ? parseSize(optionPart[sizeAt]) : std::nullopt;
            if (asked) {
                const auto fit = fittedSize(*rule, asked->first, asked->second);
                if (fit != *asked)
                    optionPart[sizeAt] = std::to_string(fit.first) + "x" + std::to_string(fit.second);
            } else if (sizeAt == std::string::npos && !ownGraph) {
                filters = filters.empty() ? scaleFilter(*rule) : filters + "," + scaleFilter(*rule);
            }
        }
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
