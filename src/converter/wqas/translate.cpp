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

// Switches that never take a value: a word after one stays where it stands
// (another output, say), however it is spelt.
const std::set<std::string> &switches()
{
    static const std::set<std::string> options = {"-deinterlace", "-sameq", "-y", "-n", "-vn", "-an", "-sn", "-dn"};
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
    // A side of up to 99999 makes an area of about 10^10, whose square is
    // past 64 bits: area^2 < a*b is tested as area <= (a*b - 1) / area.
    const std::uint64_t area = std::uint64_t(w) * std::uint64_t(h);
    for (std::size_t k = 0; k + 1 < sizes.size(); ++k) {
        const std::uint64_t a = std::uint64_t(sizes[k].first) * std::uint64_t(sizes[k].second);
        const std::uint64_t b = std::uint64_t(sizes[k + 1].first) * std::uint64_t(sizes[k + 1].second);
        if (area > 0 && area <= (a * b - 1) / area)
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
        // As the scale filter's force_original_aspect_ratio=decrease rounds;
        // a thin strip (99999x1) keeps a side of one pixel, never none.
        const auto rescale = [](std::int64_t a, std::int64_t b, std::int64_t c) {
            return std::max(1, int((a * b + c / 2) / c));
        };
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

// As ffmpeg fills in a frame number (av_get_frame_filename2, several numbers
// allowed): "%" with optional digits and "d" is a number, "%%" a percent
// sign; any other "%" makes the path no pattern at all, and so does a path
// without a number.
bool expandsFrameNumber(const std::string &path)
{
    bool number = false;
    for (std::size_t k = 0; k < path.size(); ++k) {
        if (path[k] != '%')
            continue;
        ++k;
        while (k < path.size() && std::isdigit(static_cast<unsigned char>(path[k])))
            ++k;
        if (k >= path.size())
            return false;
        if (path[k] == 'd')
            number = true;
        else if (path[k] != '%')
            return false;
    }
    return number;
}

} // namespace

bool writesNumberedFiles(const std::string &output, const std::string &format, bool strftime)
{
    const std::string f = lower(format);
    static const std::set<std::string> severalFiles = {"hls", "dash", "tee"};
    if (severalFiles.count(f))
        return true;
    static const std::set<std::string> numbering = {"image2", "segment", "ssegment", "stream_segment"};
    bool images = numbering.count(f) > 0;
    if (f.empty()) {
        // The extensions for which ffmpeg picks its image muxer (`ffmpeg -h
        // muxer=image2`, and the image codecs it guesses for a pattern).
        static const std::set<std::string> imageExts = {
            "bmp", "dpx", "exr", "jls", "jpeg", "jpg", "jxl", "ljpg", "pam", "pbm", "pcx", "pfm", "pgm", "pgmyuv",
            "phm", "png", "ppm", "sgi", "tga", "tif", "tiff", "jp2", "j2c", "j2k", "xwd", "sun", "ras", "rs", "im1",
            "im8", "im24", "sunras", "vbn", "xbm", "xface", "pix", "y", "avif", "qoi", "gif", "webp", "jps", "mpo",
            "pnm", "hdr", "jpc", "pic", "pcd", "ptx", "svg", "dds", "pns", "mng", "xpm", "im32", "photocd"};
        const auto slash = output.find_last_of('/');
        const auto dot = output.find_last_of('.');
        images = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                 && imageExts.count(lower(output.substr(dot + 1))) > 0;
    }
    if (!images)
        return false;
    // The image and segment muxers expand the whole path, folder and all.
    return strftime || expandsFrameNumber(output);
}

std::string kilobitRate(const std::string &value)
{
    if (!isBareNumber(value))
        return value;
    const double n = std::strtod(value.c_str(), nullptr);
    return n < kBitRateLimit ? value + "k" : value;
}

namespace {

// One option as the caller wrote it, with its value when it takes one.
struct Option {
    std::string name;
    std::string value;
    bool hasValue = false;
};

// The caller's command line, read once: the input part (up to and including
// the last input, options between inputs belong to the next one), the
// output's options in their order, and the options that only mean something
// for the output wherever they were written.
struct CommandLine {
    std::vector<Option> inputPart;
    std::vector<Option> outputPart;
    std::string output;
    std::string filters; // the caller's -vf, joined
    bool deinterlace = false;
    bool sameQuality = false;
};

// What the line asks of the output, decided from the whole record before
// anything is written.
struct Decisions {
    std::string encoder;      // the video encoder ffmpeg will use ("" when not known here)
    bool dropQuantiser = false; // x264 has no MPEG quantiser scale
    bool aacToMp2 = false;    // an MPEG program stream cannot carry AAC
    bool audioOnly = false;
    const Option *size = nullptr; // the -s that counts (the last), when there is one
    std::string fittedSize;   // its replacement, when the encoder refuses it
    std::string filters;      // the -vf written after the output's options
    bool sameQuality = false;
};

std::optional<CommandLine> parse(const std::vector<std::string> &args, std::string &error)
{
    CommandLine line;
    line.output = args.back();
    bool haveInput = false;
    const std::size_t end = args.size() - 1;
    for (std::size_t k = 0; k < end; ++k) {
        Option o;
        o.name = args[k];
        o.hasValue = valueOptions().count(o.name) > 0;
        if (o.hasValue) {
            if (k + 1 >= end) {
                error = "option " + o.name + " has no value";
                return std::nullopt;
            }
            o.value = args[++k];
        } else if (!o.name.empty() && o.name[0] == '-' && !switches().count(o.name) && k + 1 < end
                   && !args[k + 1].empty() && args[k + 1][0] != '-') {
            // An option unknown here takes the next word as its value unless
            // that word is an option itself.
            o.value = args[++k];
            o.hasValue = true;
        }

        if (o.name == "-vf") {
            line.filters = line.filters.empty() ? o.value : line.filters + "," + o.value;
        } else if (o.name == "-deinterlace") {
            line.deinterlace = true;
        } else if (o.name == "-sameq") {
            line.sameQuality = true;
        } else if (o.name == "-i") {
            line.inputPart.insert(line.inputPart.end(), line.outputPart.begin(), line.outputPart.end());
            line.outputPart.clear();
            line.inputPart.push_back(o);
            haveInput = true;
        } else {
            line.outputPart.push_back(o);
        }
    }
    if (!haveInput) {
        error = "no input file named (-i)";
        return std::nullopt;
    }
    return line;
}

Decisions decide(const CommandLine &line)
{
    std::string videoCodec, format;
    bool ownGraph = false, noVideo = false, target = false;
    Decisions d;
    for (const Option &o : line.outputPart) {
        if (o.name == "-vcodec")
            videoCodec = videoEncoder(o.value);
        else if (o.name == "-f")
            format = o.value;
        else if (o.name == "-target")
            target = true;
        else if (o.name == "-s")
            d.size = &o;
        noVideo = noVideo || o.name == "-vn";
        ownGraph = ownGraph || ownFilterGraph(o.name);
    }

    const OutputKind kind = kindOf(format, line.output);
    d.encoder = !videoCodec.empty() ? videoCodec : kind.videoEncoder;
    d.dropQuantiser = isX264(d.encoder);
    d.aacToMp2 = kind.mpegProgram;
    d.audioOnly = kind.audioOnly;
    if (d.audioOnly)
        return d;

    d.filters = line.filters;
    if (line.deinterlace)
        d.filters = d.filters.empty() ? "yadif" : "yadif," + d.filters;
    // A picture size the encoder refuses (an odd-sized download, or a size
    // asked for) becomes the nearest one it takes. A size asked for is known
    // here; ffmpeg scales to it after every filter. The source's own size is
    // not: a last filter picks the size from it.
    if (const SizeRule *rule = sizeRuleFor(d.encoder); rule && !noVideo && !target) {
        if (d.size) {
            if (const auto asked = parseSize(d.size->value)) {
                const auto fit = fittedSize(*rule, asked->first, asked->second);
                if (fit != *asked)
                    d.fittedSize = std::to_string(fit.first) + "x" + std::to_string(fit.second);
            }
        } else if (!ownGraph) {
            d.filters = d.filters.empty() ? scaleFilter(*rule) : d.filters + "," + scaleFilter(*rule);
        }
    }
    d.sameQuality = line.sameQuality;
    return d;
}

// An option in today's spelling; `d` is null for the input part.
void writeOption(const Option &o, const Decisions *d, std::vector<std::string> &out)
{
    const auto put = [&](const std::string &name, const std::string &value) { out.insert(out.end(), {name, value}); };
    if (o.name == "-b")
        put("-b:v", kilobitRate(o.value));
    else if (o.name == "-ab")
        put("-b:a", kilobitRate(o.value));
    else if (o.name == "-bt" || o.name == "-maxrate" || o.name == "-minrate")
        put(o.name, kilobitRate(o.value));
    else if (o.name == "-bufsize")
        put(o.name, bufferSize(o.value));
    else if (o.name == "-r")
        put(o.name, frameRate(o.value));
    else if (o.name == "-vcodec")
        put("-c:v", videoEncoder(o.value));
    else if (o.name == "-acodec") {
        const std::string codec = audioEncoder(o.value);
        put("-c:a", d && d->aacToMp2 && codec == "aac" ? "mp2" : codec);
    } else if (o.name == "-vtag")
        put("-tag:v", o.value);
    else if (o.name == "-atag")
        put("-tag:a", o.value);
    else if (o.name == "-qscale") {
        if (!d || !d->dropQuantiser)
            put("-q:v", o.value);
    } else if (o.name == "-s" && d && d->size == &o && !d->fittedSize.empty())
        put(o.name, d->fittedSize);
    else if (o.hasValue)
        put(o.name, o.value);
    else
        out.push_back(o.name);
}

} // namespace

Translation translate(const std::vector<std::string> &args)
{
    Translation t;
    if (args.empty()) {
        t.error = "no arguments: expected -i <input> [options] <output>";
        return t;
    }
    const std::string &output = args.back();
    if (output.empty() || (output.size() > 1 && output[0] == '-')) {
        t.error = "no output file named";
        return t;
    }
    const std::optional<CommandLine> line = parse(args, t.error);
    if (!line)
        return t;
    const Decisions d = decide(*line);
    std::string format;
    bool strftime = false;
    for (const Option &o : line->outputPart) {
        if (o.name == "-f")
            format = o.value;
        else if (o.name == "-strftime")
            strftime = o.value != "0" && o.value != "false";
    }
    t.numberedFiles = writesNumberedFiles(output, format, strftime);

    for (const Option &o : line->inputPart)
        writeOption(o, nullptr, t.arguments);
    for (const Option &o : line->outputPart)
        writeOption(o, &d, t.arguments);
    if (d.audioOnly) {
        t.arguments.push_back("-vn");
    } else {
        if (!d.filters.empty())
            t.arguments.insert(t.arguments.end(), {"-vf", d.filters});
        // "Same quantiser as the source" is gone; the finest fixed quantiser
        // (or x264's near-transparent constant quality) keeps what it meant.
        if (d.sameQuality) {
            if (isX264(d.encoder))
                t.arguments.insert(t.arguments.end(), {"-crf", "18"});
            else
                t.arguments.insert(t.arguments.end(), {"-q:v", "2"});
        }
    }
    t.arguments.push_back(output);
    t.ok = true;
    return t;
}

} // namespace wqas
