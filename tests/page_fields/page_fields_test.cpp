#include <gtest/gtest.h>

#include "page_fields/page_fields.h"
#include "watch_page.h"

namespace Module1 = vidmora::Module1;
using vidmora::test::WatchPageFields;
using vidmora::test::watchPage;

TEST(PageFields, CutsEveryFieldOutOfAWatchPage)
{
    WatchPageFields f;
    f.titleElement = QStringLiteral("Vidmora - A Day at the Lake");
    QString page = watchPage(f);
    EXPECT_EQ(Module1::GetTitle(page), QStringLiteral("A Day at the Lake"));
    EXPECT_EQ(Module1::GetVideoID(page), f.videoId);
    EXPECT_EQ(Module1::GetToken(page), f.token);
    EXPECT_EQ(Module1::GetViews(page), f.views);
    EXPECT_EQ(Module1::GetUser(page), f.user);
    EXPECT_EQ(Module1::GetAddedDate(page), f.addedDate);
    EXPECT_EQ(Module1::GetCategory(page), f.category);
    EXPECT_EQ(Module1::GetDescription(page), f.description);
    EXPECT_EQ(page, watchPage(f)); // the page text is not touched
}

TEST(PageFields, TitleCleanUpRemovesInOrderAndCutsAt50)
{
    const QString sixty = QStringLiteral("abcdefghij").repeated(6);
    const QString cjk60 = QStringLiteral("\u65e5\u672c\u8a9e\u306e\u984c").repeated(12);
    const QString pair = QStringLiteral("\U00020BB7"); // one character, two UTF-16 units
    const QPair<QString, QString> cases[] = {
        {QStringLiteral("Vidmora - A/B: Z?"), QStringLiteral("AB Z")},
        {QStringLiteral("Tom &amp; Jerry"), QStringLiteral("Tom  Jerry")}, // the entity goes whole
        {QStringLiteral("It&#39;s"), QStringLiteral("It39s")},             // ";", "#", "&" one after the other
        {QStringLiteral("&quot;Quoted&quot; \"too\""), QStringLiteral("Quoted too")},
        {QStringLiteral("a!@#$%^&*()=\\|][}{':\",<>/`~b"), QStringLiteral("ab")},
        {QStringLiteral("  spaced - out.mp4  "), QStringLiteral("  spaced - out.mp4  ")},
        {QStringLiteral("Vidmora -Vidmora - x"), QStringLiteral("Vidmora -x")}, // exact matches only
        {QStringLiteral("&a&amp;mp;"), QStringLiteral("amp")}, // removal runs on the text as it was then
        {sixty, sixty.left(50)},
        {QStringLiteral("((((((((((") + sixty, sixty.left(50)}, // the cut comes after the removals
        {QStringLiteral("\u00c9t\u00e9 \u00e0 Paris"), QStringLiteral("\u00c9t\u00e9 \u00e0 Paris")},
        {QStringLiteral("Vidmora - .bashrc") + QChar(0) + QStringLiteral(" tail"), QStringLiteral(".bashrc tail")},
        {QStringLiteral("two\r\nlines"), QStringLiteral("twolines")},
        {QStringLiteral("tab\there"), QStringLiteral("tabhere")},
        {QStringLiteral("del\x7f\x01\x1f end"), QStringLiteral("del end")},
        {QString(60, QChar(0x1b)) + QStringLiteral("kept"), QStringLiteral("kept")}, // removed before the cut
        // C1 controls go like C0 ones: the five bytes the Western code page leaves
        // undefined come as these; its letters and signs stay.
        {QStringLiteral("a\u0080b\u0093c\u009fd"), QStringLiteral("abcd")},
        {QStringLiteral("a\u0081\u008d\u008f\u0090\u009db"), QStringLiteral("ab")},
        {QStringLiteral("\u0160koda \u2013 \u017dilina \u20ac 5 \u201cq\u201d"),
         QStringLiteral("\u0160koda \u2013 \u017dilina \u20ac 5 \u201cq\u201d")},
        {QStringLiteral("\u00a0nbsp\u00a9\u00ff"), QStringLiteral("\u00a0nbsp\u00a9\u00ff")}, // U+00A0 on is text
        {QStringLiteral("Caf\u00e9 M\u00fcller \u2013 \u65e5\u672c\u8a9e"),
         QStringLiteral("Caf\u00e9 M\u00fcller \u2013 \u65e5\u672c\u8a9e")},
        {cjk60, cjk60.left(50)},
        // A pair across the cut goes whole; one that ends at 50 stays.
        {QString(49, QLatin1Char('a')) + pair + QStringLiteral("zz"), QString(49, QLatin1Char('a'))},
        {QString(48, QLatin1Char('a')) + pair + QStringLiteral("zz"), QString(48, QLatin1Char('a')) + pair},
        {pair.repeated(30), pair.repeated(25)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first.toStdString());
        WatchPageFields f;
        f.titleElement = c.first;
        QString page = watchPage(f);
        EXPECT_EQ(Module1::GetTitle(page), c.second);
    }
}

struct CutCase {
    const char *name;
    QString page;
    QString (*extract)(QString &);
    QString expected;
};

TEST(PageFields, MissingMarkersGiveEmptyOrTheCutFromTheMarkersLength)
{
    const CutCase cases[] = {
        {"title without its end", QStringLiteral("<html><title>Lost title<body></html>"), Module1::GetTitle, QString()},
        {"title element empty", QStringLiteral("<title></title>"), Module1::GetTitle, QString()},
        {"no token marker: cut from position 3", QStringLiteral("abcdef&ghi"), Module1::GetToken, QStringLiteral("cdef")},
        {"no token marker, no ampersand", QStringLiteral("abcdef"), Module1::GetToken, QString()},
        {"no token marker, ampersand before 3", QStringLiteral("a&bcd"), Module1::GetToken, QString()},
        {"identifier and token", QStringLiteral("x&video_id=AbC-123&l=5&t=tok_EN&y"), Module1::GetVideoID,
         QStringLiteral("AbC-123")},
        {"token after identifier", QStringLiteral("x&video_id=AbC-123&l=5&t=tok_EN&y"), Module1::GetToken,
         QStringLiteral("tok_EN")},
        {"user", QStringLiteral("var watchUsername = 'someone';"), Module1::GetUser, QStringLiteral("someone")},
        {"user without end", QStringLiteral("var watchUsername = 'someone'"), Module1::GetUser, QString()},
        {"end only before the start", QStringLiteral("';watchUsername = 'x"), Module1::GetUser, QString()},
        {"markers are case-sensitive", QStringLiteral("<TITLE>Upper</TITLE>"), Module1::GetTitle, QString()},
        {"first occurrences count", QStringLiteral("Added: <span class=\"watch-stat\">1</span>2</span>"),
         Module1::GetAddedDate, QStringLiteral("1")},
        {"empty page", QString(), Module1::GetDescription, QString()},
        // The cut from the fixed position never begins with half a character.
        {"no title marker: cut inside a pair", QStringLiteral("abcde\U0001F600xyz ok</title>"), Module1::GetTitle,
         QStringLiteral("xyz ok")},
        {"no title marker: cut before a pair", QStringLiteral("abcdef\U0001F600xyz ok</title>"), Module1::GetTitle,
         QStringLiteral("\U0001F600xyz ok")},
        {"no title marker: cut inside a pair right before the end", QStringLiteral("abcde\U0001F600</title>"),
         Module1::GetTitle, QString()},
        {"no token marker: cut inside a pair", QStringLiteral("a\U00020BB7cd&e"), Module1::GetToken,
         QStringLiteral("cd")},
    };
    for (const CutCase &c : cases) {
        SCOPED_TRACE(c.name);
        QString page = c.page;
        EXPECT_EQ(c.extract(page), c.expected);
    }
}
