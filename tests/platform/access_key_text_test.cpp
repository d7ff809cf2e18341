#include <gtest/gtest.h>

#include "platform/gui/access_key_text.h"

#include <QString>

#include <limits>

using vidmora::platform::LastAmpersand;

namespace {

// What a caption shows, with each marked character written in brackets.
QString shownWithMarks(const QString &caption, qsizetype limit, LastAmpersand last)
{
    QString out;
    vidmora::platform::forEachShownChar(caption, limit, last, [&](QChar c, bool marked) {
        if (marked)
            out += u'[' + QString(c) + u']';
        else
            out += c;
    });
    return out;
}

constexpr qsizetype kWhole = std::numeric_limits<qsizetype>::max();

struct CaptionCase {
    const char *caption;
    qsizetype limit;
    const char *drawn; // as DrawText and the Button draw it: a last lone "&" shows nothing
    const char *label; // as a label shows it: a last lone "&" stands as it is
};

const CaptionCase kCaptions[] = {
    {"", kWhole, "", ""},
    {"Open", kWhole, "Open", "Open"},
    {"&Open", kWhole, "[O]pen", "[O]pen"},
    {"Save && &Exit", kWhole, "Save & [E]xit", "Save & [E]xit"},
    {"Film && Animation", kWhole, "Film & Animation", "Film & Animation"},
    {"a&b&c", kWhole, "a[b][c]", "a[b][c]"}, // every mark is reported; the drawer picks which to underline
    {"&&&x", kWhole, "&[x]", "&[x]"},
    {"Exit&", kWhole, "Exit", "Exit&"},
    {"&", kWhole, "", "&"},
    {"&&", kWhole, "&", "&"},
    {"&&&", kWhole, "&", "&&"},
    {"A&&", kWhole, "A&", "A&"},
    {"A&&&", kWhole, "A&", "A&&"},
    {"&Exit&", kWhole, "[E]xit", "[E]xit&"},
    {"x&\n", kWhole, "x[\n]", "x[\n]"}, // only the very last "&" has nothing after it
    {"& x", kWhole, "[ ]x", "[ ]x"},       // a blank after "&" is the mark
    {"line&\nnext", kWhole, "line[\n]next", "line[\n]next"},
    {"ab&cd", 3, "ab[c]", "ab[c]"}, // an "&" at the limit still takes the next character
    {"ab&cd", 2, "ab", "ab"},
    {"ab&", 3, "ab", "ab&"},
    {"ab&", 2, "ab", "ab"},
    {"abc", 0, "", ""},
    {"abc", -1, "", ""},
};

TEST(AccessKeyText, ShowsDoubledAmpersandsAsOneAndMarksTheCharacterAfterASingleOne)
{
    for (const CaptionCase &c : kCaptions) {
        const QString caption = QString::fromUtf8(c.caption);
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(shownWithMarks(caption, c.limit, LastAmpersand::Hidden), QString::fromUtf8(c.drawn));
        EXPECT_EQ(shownWithMarks(caption, c.limit, LastAmpersand::Shown), QString::fromUtf8(c.label));
    }
}

} // namespace
