// The converter's translation from the FFmpeg spelling of its day to today's.
#include "translate.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string joined(const std::vector<std::string> &v)
{
    std::string s;
    for (const auto &w : v)
        s += (s.empty() ? "" : " ") + w;
    return s;
}

// The scale filters that give a picture of the source's own size the nearest
// size its encoder takes.
#define RV20_SCALE "scale='max(4,round(iw/4)*4)':'max(4,round(ih/4)*4)'"
#define WMV2_SCALE "scale='max(2,round(iw/2)*2)':ih"
#define X264_SCALE "scale='max(2,round(iw/2)*2)':'max(2,round(ih/2)*2)'"
#define RV10_SCALE "scale='max(16,round(iw/16)*16)':'max(16,round(ih/16)*16)'"
#define MPEG1_SCALE "scale='min(iw,4095)':'min(ih,4095)':force_original_aspect_ratio=decrease"
#define MPEG4_SCALE "scale='min(iw,8191)':'min(ih,8191)':force_original_aspect_ratio=decrease"
#define H263_SCALE                                                                                                  \
    "scale='if(lt(iw*ih,17647.29645),128,if(lt(iw*ih,50688),176,if(lt(iw*ih,202752),352,if(lt(iw*ih,811008),704," \
    "1408))))':'if(lt(iw*ih,17647.29645),96,if(lt(iw*ih,50688),144,if(lt(iw*ih,202752),288,if(lt(iw*ih,811008),"  \
    "576,1152))))'"

struct Case {
    const char *old;   // the converter's arguments
    const char *today; // what ffmpeg gets
};

TEST(Translate, OptionsOfTheDayBecomeTodays)
{
    const Case cases[] = {
        // The default profile: rates in kbit/s, NTSC rate, no -deinterlace and no -sameq any more.
        {"-i in.flv -y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -sameq -ab 48 -ar 22050 -ac 2 out.avi",
         "-i in.flv -y -b:v 360k -r 30000/1001 -s 320x240 -c:v mpeg4 -b:a 48k -ar 22050 -ac 2 -vf yadif -q:v 2 out.avi"},
        // XviD is libxvid now.
        {"-i in.flv -y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 out.avi",
         "-i in.flv -y -b:v 360k -r 30000/1001 -s 320x240 -c:v libxvid -ac 2 -vf yadif -q:v 2 out.avi"},
        // No AMR encoder: AAC in the same 3GPP container.
        {"-i in.flv -y -b 120 -r 11 -s 176x144 -vcodec h263 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1 out.3gp",
         "-i in.flv -y -b:v 120k -r 11 -s 176x144 -c:v h263 -bt 60k -c:a aac -b:a 48k -ar 8000 -ac 1 out.3gp"},
        // x264 has no quantiser scale; the ratecontrol buffer was in kByte.
        {"-i in.flv -y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 "
         "-acodec aac -ab 64 -ar 48000 -ac 2 out.avi",
         "-i in.flv -y -b:v 1500k -r 30000/1001 -s 320x240 -c:v libx264 -bufsize 1048576 -g 250 -maxrate 1500k "
         "-c:a aac -b:a 64k -ar 48000 -ac 2 out.avi"},
        // An MPEG program stream cannot carry AAC: MPEG audio layer II instead.
        {"-i in.flv -y -b 1200 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2 out.mpg",
         "-i in.flv -y -b:v 1200k -s 320x240 -c:v mpeg4 -aspect 4:3 -c:a mp2 -b:a 80k -ar 44100 -ac 2 out.mpg"},
        // Sound only: no picture stream.
        {"-i in.flv -y -acodec mp3 out.mp3", "-i in.flv -y -c:a libmp3lame -vn out.mp3"},
        {"-i in.flv -y -f wav -acodec pcm_s16le -ab 128 -ar 41000 -ac 2 out.wav",
         "-i in.flv -y -f wav -c:a pcm_s16le -b:a 128k -ar 41000 -ac 2 -vn out.wav"},
        {"-i in.flv -y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 out.mp3",
         "-i in.flv -y -f mp3 -c:a libmp3lame -b:a 128k -ar 44100 -ac 2 -vn out.mp3"},
        // QuickTime's own codec today is H.264: "same quality" is x264's near-transparent constant quality.
        {"-i in.flv -y -b 360 -r 29.97 -s 320x240 -deinterlace -sameq -acodec aac -ab 48 -ar 44100 -ac 2 out.mov",
         "-i in.flv -y -b:v 360k -r 30000/1001 -s 320x240 -c:a aac -b:a 48k -ar 44100 -ac 2 -vf yadif -crf 18 out.mov"},
        {"-i in.flv -y -vcodec rv20 -deinterlace -sameq -ar 44100 -ac 2 out.rm",
         "-i in.flv -y -c:v rv20 -ar 44100 -ac 2 -vf yadif," RV20_SCALE " -q:v 2 out.rm"},
        // Tags, target, and values already in today's spelling pass as they are.
        {"-i in.flv -vtag DIVX -atag 0055 -target vcd -b 800000 -ab 128k out.mpg",
         "-i in.flv -tag:v DIVX -tag:a 0055 -target vcd -b:v 800000 -b:a 128k out.mpg"},
        // Without -y nothing is overwritten; input options stay before the input.
        {"-ss 5 -i in.flv -t 2 out.flv", "-ss 5 -i in.flv -t 2 out.flv"},
        // Options this table does not know pass unchanged, with their value.
        {"-i in.flv -newopt 3 -flag -vcodec mpeg4 -s 320x240 out.avi",
         "-i in.flv -newopt 3 -flag -c:v mpeg4 -s 320x240 out.avi"},
        // A filter of the caller's own runs after the deinterlacer.
        {"-i in.flv -vf hflip -deinterlace -vcodec msmpeg4 out.avi", "-i in.flv -c:v msmpeg4 -vf yadif,hflip out.avi"},
        // The two switches take no value: a word after them (a second output) stays where it stands.
        {"-i in.flv -y -deinterlace extra.avi out.avi", "-i in.flv -y extra.avi -vf yadif," MPEG4_SCALE " out.avi"},
        {"-i in.flv -y -sameq extra.avi out.avi", "-i in.flv -y extra.avi -vf " MPEG4_SCALE " -q:v 2 out.avi"},
        {"-i in.flv -y -deinterlace -sameq extra.avi -vcodec wmv2 out.wmv",
         "-i in.flv -y extra.avi -c:v wmv2 -vf yadif," WMV2_SCALE " -q:v 2 out.wmv"},
        // The quantiser scale goes by the encoder that will run: the container's
        // own (x264 for .mov) unless another is named.
        {"-i a.flv -qscale 5 out.mov", "-i a.flv -vf " X264_SCALE " out.mov"},
        {"-i a.flv -qscale 5 -f mp4 out.video", "-i a.flv -f mp4 -vf " X264_SCALE " out.video"},
        {"-i a.flv -qscale 5 -vcodec mpeg4 out.mov", "-i a.flv -q:v 5 -c:v mpeg4 -vf " MPEG4_SCALE " out.mov"},
        {"-i a.flv -qscale 5 out.avi", "-i a.flv -q:v 5 -vf " MPEG4_SCALE " out.avi"},
    };
    for (const Case &c : cases) {
        const wqas::Translation t = wqas::translate(words(c.old));
        ASSERT_TRUE(t.ok) << c.old << ": " << t.error;
        EXPECT_EQ(joined(t.arguments), c.today) << c.old;
    }
}

TEST(Translate, PictureSizesAnEncoderRefusesBecomeTheNearestItTakes)
{
    const Case cases[] = {
        // A size asked for: RealVideo 2 takes multiples of 4, each side to its nearest.
        {"-i in.flv -y -vcodec rv20 -s 400x226 out.rm", "-i in.flv -y -c:v rv20 -s 400x228 out.rm"},
        {"-i in.flv -y -vcodec rv20 -s 322x242 out.rm", "-i in.flv -y -c:v rv20 -s 324x244 out.rm"},
        {"-i in.flv -y -vcodec rv20 -s 321x241 out.rm", "-i in.flv -y -c:v rv20 -s 320x240 out.rm"},
        {"-i in.flv -y -vcodec rv20 -s 2x2 out.rm", "-i in.flv -y -c:v rv20 -s 4x4 out.rm"},
        // RealVideo 1, the .rm container's own, takes multiples of 16.
        {"-i in.flv -y -s 400x226 out.rm", "-i in.flv -y -s 400x224 out.rm"},
        // WMV 1 and 2 need an even width only; x264 (4:2:0) and XviD need both sides even.
        {"-i in.flv -y -vcodec wmv2 -s 321x241 out.wmv", "-i in.flv -y -c:v wmv2 -s 322x241 out.wmv"},
        {"-i in.flv -y -vcodec h264 -s 321x241 out.avi", "-i in.flv -y -c:v libx264 -s 322x242 out.avi"},
        {"-i in.flv -y -s 321x241 out.mov", "-i in.flv -y -s 322x242 out.mov"},
        {"-i in.flv -y -vcodec xvid -s 161x113 out.avi", "-i in.flv -y -c:v libxvid -s 162x114 out.avi"},
        // H.263 takes five sizes: the nearest in area, a name of ffmpeg's read as its size.
        {"-i in.flv -y -vcodec h263 -s 320x240 out.3gp", "-i in.flv -y -c:v h263 -s 352x288 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s qvga out.3gp", "-i in.flv -y -c:v h263 -s 352x288 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s 160x120 out.3gp", "-i in.flv -y -c:v h263 -s 176x144 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s 150x100 out.3gp", "-i in.flv -y -c:v h263 -s 128x96 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s 4000x3000 out.3gp", "-i in.flv -y -c:v h263 -s 1408x1152 out.3gp"},
        // The largest and thinnest sizes the line can ask for: nothing overflows, no side becomes 0.
        {"-i in.flv -y -vcodec h263 -s 60000x60000 out.3gp", "-i in.flv -y -c:v h263 -s 1408x1152 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s 99999x99999 out.3gp", "-i in.flv -y -c:v h263 -s 1408x1152 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s 99999x1 out.3gp", "-i in.flv -y -c:v h263 -s 352x288 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s 1x1 out.3gp", "-i in.flv -y -c:v h263 -s 128x96 out.3gp"},
        {"-i in.flv -y -vcodec mpeg1video -s 99999x1 out.mpg", "-i in.flv -y -c:v mpeg1video -s 4095x1 out.mpg"},
        {"-i in.flv -y -vcodec mpeg1video -s 1x99999 out.mpg", "-i in.flv -y -c:v mpeg1video -s 1x4095 out.mpg"},
        {"-i in.flv -y -vcodec mpeg4 -s 99999x99999 out.avi", "-i in.flv -y -c:v mpeg4 -s 8191x8191 out.avi"},
        {"-i in.flv -y -vcodec rv20 -s 99999x99999 out.rm", "-i in.flv -y -c:v rv20 -s 100000x100000 out.rm"},
        {"-i in.flv -y -vcodec h264 -s 99999x1 out.avi", "-i in.flv -y -c:v libx264 -s 100000x2 out.avi"},
        // MPEG-1 and MPEG-4 have a largest side: the picture shrinks as a whole.
        {"-i in.flv -y -vcodec mpeg1video -s 5000x3000 out.mpg", "-i in.flv -y -c:v mpeg1video -s 4095x2457 out.mpg"},
        {"-i in.flv -y -s 4096x2160 out.mpg", "-i in.flv -y -s 4095x2159 out.mpg"},
        {"-i in.flv -y -vcodec mpeg4 -s 9000x4000 out.avi", "-i in.flv -y -c:v mpeg4 -s 8191x3640 out.avi"},
        // A size the encoder takes, or one not read here, passes as it is.
        {"-i in.flv -y -vcodec rv20 -s 320x240 out.rm", "-i in.flv -y -c:v rv20 -s 320x240 out.rm"},
        {"-i in.flv -y -vcodec wmv2 -s 322x241 out.wmv", "-i in.flv -y -c:v wmv2 -s 322x241 out.wmv"},
        {"-i in.flv -y -vcodec h263 -s 176x144 out.3gp", "-i in.flv -y -c:v h263 -s 176x144 out.3gp"},
        {"-i in.flv -y -vcodec h263 -s cif out.3gp", "-i in.flv -y -c:v h263 -s cif out.3gp"},
        {"-i in.flv -y -vcodec mpeg4 -s 321x241 out.avi", "-i in.flv -y -c:v mpeg4 -s 321x241 out.avi"},
        {"-i in.flv -y -vcodec rv20 -s big out.rm", "-i in.flv -y -c:v rv20 -s big out.rm"},
        {"-i in.flv -y -vcodec rv20 -s 0x240 out.rm", "-i in.flv -y -c:v rv20 -s 0x240 out.rm"},
        // The last -s counts; one before the input describes the input.
        {"-i in.flv -y -vcodec rv20 -s 320x240 -s 321x241 out.rm",
         "-i in.flv -y -c:v rv20 -s 320x240 -s 320x240 out.rm"},
        {"-s 321x241 -i in.yuv -vcodec rv20 out.rm", "-s 321x241 -i in.yuv -c:v rv20 -vf " RV20_SCALE " out.rm"},
        // The source's own size: a last filter, after the deinterlacer and the caller's own.
        {"-i in.flv -y -vcodec rv20 out.rm", "-i in.flv -y -c:v rv20 -vf " RV20_SCALE " out.rm"},
        {"-i in.flv -y -vcodec wmv2 -deinterlace -sameq -ac 2 out.wmv",
         "-i in.flv -y -c:v wmv2 -ac 2 -vf yadif," WMV2_SCALE " -q:v 2 out.wmv"},
        {"-i in.flv -y -vcodec rv20 -vf crop=300:200 -deinterlace out.rm",
         "-i in.flv -y -c:v rv20 -vf yadif,crop=300:200," RV20_SCALE " out.rm"},
        {"-i in.flv -y -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ac 2 out.mpg",
         "-i in.flv -y -r 30000/1001 -c:v mpeg1video -ac 2 -vf yadif," MPEG1_SCALE " -q:v 2 out.mpg"},
        {"-i in.flv -y -vcodec mpeg4 out.avi", "-i in.flv -y -c:v mpeg4 -vf " MPEG4_SCALE " out.avi"},
        {"-i in.flv -y out.avi", "-i in.flv -y -vf " MPEG4_SCALE " out.avi"},
        {"-i in.flv -y out.mov", "-i in.flv -y -vf " X264_SCALE " out.mov"},
        {"-i in.flv -y -f matroska out.video", "-i in.flv -y -f matroska -vf " X264_SCALE " out.video"},
        {"-i in.flv -y -vcodec xvid out.avi", "-i in.flv -y -c:v libxvid -vf " X264_SCALE " out.avi"},
        {"-i in.flv -y out.rm", "-i in.flv -y -vf " RV10_SCALE " out.rm"},
        {"-i in.flv -y out.3gp", "-i in.flv -y -vf " H263_SCALE " out.3gp"},
        // No picture to size, a standard's own size, or a filter graph the caller builds.
        {"-i in.flv -y -vcodec copy out.rm", "-i in.flv -y -c:v copy out.rm"},
        {"-i in.flv -y -vn out.rm", "-i in.flv -y -vn out.rm"},
        {"-i in.flv -y -acodec mp3 out.mp3", "-i in.flv -y -c:a libmp3lame -vn out.mp3"},
        {"-i in.flv -y -target vcd out.mpg", "-i in.flv -y -target vcd out.mpg"},
        {"-i in.flv -y -vcodec rv20 -filter:v scale=320:240 out.rm",
         "-i in.flv -y -c:v rv20 -filter:v scale=320:240 out.rm"},
        {"-i in.flv -y -vcodec rv20 -filter_complex [0:v]scale=320:240 out.rm",
         "-i in.flv -y -c:v rv20 -filter_complex [0:v]scale=320:240 out.rm"},
        // Encoders that take every size: nothing added.
        {"-i in.flv -y out.wmv", "-i in.flv -y out.wmv"},
        {"-i in.flv -y -vcodec mpeg4 -s 321x241 out.3g2", "-i in.flv -y -c:v mpeg4 -s 321x241 out.3g2"},
    };
    for (const Case &c : cases) {
        const wqas::Translation t = wqas::translate(words(c.old));
        ASSERT_TRUE(t.ok) << c.old << ": " << t.error;
        EXPECT_EQ(joined(t.arguments), c.today) << c.old;
    }
}

// Which option comes first changes nothing but the order on the line: an
// option dropped or rewritten for the encoder leaves the others as they are.
TEST(Translate, TheResultDoesNotDependOnTheOptionOrder)
{
    const Case cases[] = {
        {"-i in.flv -y -vcodec h264 -qscale 25 -s 321x241 out.avi", "-i in.flv -y -c:v libx264 -s 322x242 out.avi"},
        {"-i in.flv -y -s 321x241 -qscale 25 -vcodec h264 out.avi", "-i in.flv -y -s 322x242 -c:v libx264 out.avi"},
        {"-i in.flv -y -qscale 25 -s 321x241 -vcodec h264 out.avi", "-i in.flv -y -s 322x242 -c:v libx264 out.avi"},
        {"-i in.flv -y -qscale 25 -qscale 20 -vcodec h264 -s 321x241 out.avi",
         "-i in.flv -y -c:v libx264 -s 322x242 out.avi"},
        {"-i in.flv -y -qscale 5 -s 321x241 -vcodec rv20 out.rm", "-i in.flv -y -q:v 5 -s 320x240 -c:v rv20 out.rm"},
        // The profiles' own options, reversed.
        {"-i in.flv -y -ac 2 -ar 48000 -ab 64 -acodec aac -maxrate 1500 -qscale 25 -g 250 -bufsize 128 -vcodec h264 "
         "-s 320x240 -r 29.97 -b 1500 out.avi",
         "-i in.flv -y -ac 2 -ar 48000 -b:a 64k -c:a aac -maxrate 1500k -g 250 -bufsize 1048576 -c:v libx264 "
         "-s 320x240 -r 30000/1001 -b:v 1500k out.avi"},
        {"-i in.flv -y -ac 2 -ar 44100 -ab 80 -acodec aac -aspect 4:3 -vcodec mpeg4 -s 320x240 -b 1200 out.mpg",
         "-i in.flv -y -ac 2 -ar 44100 -b:a 80k -c:a mp2 -aspect 4:3 -c:v mpeg4 -s 320x240 -b:v 1200k out.mpg"},
        {"-i in.flv -y -ac 2 -ar 44100 -sameq -deinterlace -vcodec rv20 out.rm",
         "-i in.flv -y -ac 2 -ar 44100 -c:v rv20 -vf yadif," RV20_SCALE " -q:v 2 out.rm"},
        {"-i in.flv -y -ac 2 -ab 48 -acodec aac -sameq -deinterlace -s 320x240 -r 29.97 -b 360 out.mov",
         "-i in.flv -y -ac 2 -b:a 48k -c:a aac -s 320x240 -r 30000/1001 -b:v 360k -vf yadif -crf 18 out.mov"},
        {"-i in.flv -y -ac 1 -ar 8000 -ab 48 -acodec amr_nb -bt 60 -vcodec h263 -s 176x144 -r 11 -b 120 out.3gp",
         "-i in.flv -y -ac 1 -ar 8000 -b:a 48k -c:a aac -bt 60k -c:v h263 -s 176x144 -r 11 -b:v 120k out.3gp"},
        {"-i in.flv -y -ac 2 -ar 44100 -ab 128 -acodec mp3 -f mp3 out.mp3",
         "-i in.flv -y -ac 2 -ar 44100 -b:a 128k -c:a libmp3lame -f mp3 -vn out.mp3"},
    };
    for (const Case &c : cases) {
        const wqas::Translation t = wqas::translate(words(c.old));
        ASSERT_TRUE(t.ok) << c.old << ": " << t.error;
        EXPECT_EQ(joined(t.arguments), c.today) << c.old;
    }
}

// Only an output that ffmpeg itself expands into numbered files is written
// without a temporary name: a "%" in a folder, or one the pattern rules do
// not expand, names one file like any other.
TEST(Translate, NumberedFilesOnlyWhereFfmpegExpandsAPattern)
{
    struct Row {
        const char *line;
        bool numbered;
    } rows[] = {
        {"-i in.flv -y /v/frame%03d.png", true},
        {"-i in.flv -y /v/frame%d.jpg", true},
        {"-i in.flv -y /v/a%%b%d.png", true},
        {"-i in.flv -y -f image2 /v/frame%02d.raw", true},
        {"-i in.flv -y -f segment /v/part%03d.ts", true},
        {"-i in.flv -y -strftime 1 /v/%Y-%m-%d.png", true},
        {"-i in.flv -y -f hls /v/list.m3u8", true},
        {"-i in.flv -y /%d/frame.png", true}, // the image muxer expands the folder too
        {"-i in.flv -y /v/frame%%.png", false},   // a percent sign, no number
        {"-i in.flv -y /v/frame%x%d.png", false}, // not a pattern ffmpeg takes
        {"-i in.flv -y /v/frame.png", false},
        {"-i in.flv -y -f image2 -update 1 /v/frame.png", false},
        {"-i in.flv -y /v/100%_done/Vidmora/Long_Clip.avi", false},
        {"-i in.flv -y /v/%d/Long%03d.avi", false},
        {"-i in.flv -y /v/%%/clip%d.mov", false},
        {"-i in.flv -y -f avi /v/frame%03d.png", false},
        {"-i in.flv -y /v/plain/clip.avi", false},
    };
    for (const Row &r : rows) {
        const wqas::Translation t = wqas::translate(words(r.line));
        ASSERT_TRUE(t.ok) << r.line << ": " << t.error;
        EXPECT_EQ(t.numberedFiles, r.numbered) << r.line;
    }
}

TEST(Translate, FileNamesWithBlanksStayWhole)
{
    const auto t = wqas::translate({"-i", "/my videos/a b.flv", "-y", "-b", "360", "/my videos/a b.avi"});
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.arguments,
              std::vector<std::string>(
                  {"-i", "/my videos/a b.flv", "-y", "-b:v", "360k", "-vf", MPEG4_SCALE, "/my videos/a b.avi"}));
}

TEST(Translate, RefusesLinesWithoutInputOrOutput)
{
    for (const char *line : {"", "-i in.flv", "-y out.avi", "-i in.flv -b", "-i in.flv -y -deinterlace"})
        EXPECT_FALSE(wqas::translate(words(line)).ok) << line;
}

TEST(Translate, KilobitRates)
{
    EXPECT_EQ(wqas::kilobitRate("360"), "360k");
    EXPECT_EQ(wqas::kilobitRate("1500"), "1500k");
    EXPECT_EQ(wqas::kilobitRate("1.5"), "1.5k");
    EXPECT_EQ(wqas::kilobitRate("99999"), "99999k");
    EXPECT_EQ(wqas::kilobitRate("100000"), "100000");
    EXPECT_EQ(wqas::kilobitRate("64k"), "64k");
    EXPECT_EQ(wqas::kilobitRate("2M"), "2M");
    EXPECT_EQ(wqas::kilobitRate(""), "");
    EXPECT_EQ(wqas::kilobitRate(" 1"), " 1");
}

} // namespace
