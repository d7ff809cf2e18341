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
         "-i in.flv -y -c:v rv20 -ar 44100 -ac 2 -vf yadif -q:v 2 out.rm"},
        // Tags, target, and values already in today's spelling pass as they are.
        {"-i in.flv -vtag DIVX -atag 0055 -target vcd -b 800000 -ab 128k out.mpg",
         "-i in.flv -tag:v DIVX -tag:a 0055 -target vcd -b:v 800000 -b:a 128k out.mpg"},
        // Without -y nothing is overwritten; input options stay before the input.
        {"-ss 5 -i in.flv -t 2 out.avi", "-ss 5 -i in.flv -t 2 out.avi"},
        // Options this table does not know pass unchanged, with their value.
        {"-i in.flv -newopt 3 -flag -vcodec mpeg4 out.avi", "-i in.flv -newopt 3 -flag -c:v mpeg4 out.avi"},
        // A filter of the caller's own runs after the deinterlacer.
        {"-i in.flv -vf hflip -deinterlace out.avi", "-i in.flv -vf yadif,hflip out.avi"},
    };
    for (const Case &c : cases) {
        const wqas::Translation t = wqas::translate(words(c.old));
        ASSERT_TRUE(t.ok) << c.old << ": " << t.error;
        EXPECT_EQ(joined(t.arguments), c.today) << c.old;
    }
}

TEST(Translate, FileNamesWithBlanksStayWhole)
{
    const auto t = wqas::translate({"-i", "/my videos/a b.flv", "-y", "-b", "360", "/my videos/a b.avi"});
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.arguments,
              std::vector<std::string>({"-i", "/my videos/a b.flv", "-y", "-b:v", "360k", "/my videos/a b.avi"}));
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
