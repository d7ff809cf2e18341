#include <gtest/gtest.h>

#include "platform/gui/access_key_text.h"

#include <QString>

#include <limits>

namespace {

// What a caption shows, with each marked character written in brackets.
QString shownWithMarks(const QString &caption, qsizetype limit)
{
    QString out;
    vidmora::platform::forEachShownChar(caption, limit, [&](QChar c, bool marked) {
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
    const char *shown;
};

const CaptionCase kCaptions[] = {
    {"", kWhole, ""},
    {"Open", kWhole, "Open"},
    {"&Open", kWhole, "[O]pen"},
    {"Save && &Exit", kWhole, "Save & [E]xit"},
    {"Film && Animation", kWhole, "Film & Animation"},
    {"a&b&c", kWhole, "a[b][c]"},        // every mark is reported; the drawer picks which to underline
    {"&&&x", kWhole, "&[x]"},
    {"Exit&", kWhole, "Exit&"},          // nothing follows: the "&" is shown as it stands
    {"&", kWhole, "&"},
    {"&&", kWhole, "&"},
    {"&&&", kWhole, "&&"},
    {"& x", kWhole, "[ ]x"},             // a blank after "&" is the mark
    {"line&\nnext", kWhole, "line[\n]next"},
    {"ab&cd", 3, "ab[c]"},           // an "&" at the limit still takes the next character
    {"ab&cd", 2, "ab"},
    {"ab&", 3, "ab&"},
    {"abc", 0, ""},
    {"abc", -1, ""},
};

TEST(AccessKeyText, ShowsDoubledAmpersandsAsOneAndMarksTheCharacterAfterASingleOne)
{
    for (const CaptionCase &c : kCaptions) {
        const QString caption = QString::fromUtf8(c.caption);
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(shownWithMarks(caption, c.limit), QString::fromUtf8(c.shown));
    }
}

} // namespace
