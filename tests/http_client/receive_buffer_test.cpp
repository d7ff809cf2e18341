#include <gtest/gtest.h>

#include <QFile>
#include <QStringDecoder>

#include <sys/resource.h>

#include "http_client/receive_buffer.h"
#include "western_code_page.h"

namespace Module1 = vidmora::Module1;

namespace {
void append(const QString &text)
{
    QString t = text;
    Module1::BufAppend(t);
}
} // namespace

TEST(ReceiveBuffer, GrowsToTwiceTheNeededLengthAndKeepsWhatItHolds)
{
    Module1::BufClear();
    struct Step {
        const char *text;
        qint32 size;
        qint32 len;
    };
    const Step steps[] = {
        {"", 0, 0},        // empty appends change nothing
        {"abc", 6, 3},     // 2 x 3
        {"defg", 14, 7},   // 2 x 7, not 2 x 6
        {"hijklmn", 14, 14}, // fits exactly: no growth
        {"o", 30, 15},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.text);
        append(QString::fromLatin1(s.text));
        EXPECT_EQ(Module1::BufSize(), s.size);
        EXPECT_EQ(Module1::BufLen(), s.len);
    }
    EXPECT_EQ(Module1::BufText(), QStringLiteral("abcdefghijklmno"));
    // Taking the text out leaves the buffer as it was.
    append(QStringLiteral("p"));
    EXPECT_EQ(Module1::BufText(), QStringLiteral("abcdefghijklmnop"));
    Module1::BufClear();
    EXPECT_EQ(Module1::BufSize(), 0);
    EXPECT_EQ(Module1::BufLen(), 0);
    EXPECT_EQ(Module1::BufText(), QString());
}

TEST(ReceiveBuffer, ManyPacketsCollectEveryCharacterInOrder)
{
    Module1::BufClear();
    QString expected;
    for (int i = 0; i < 3000; ++i) {
        QString piece = QString::number(i) + QChar(0xFF) + QChar(0);
        expected += piece;
        Module1::BufAppend(piece);
        ASSERT_LE(Module1::BufLen(), Module1::BufSize());
    }
    EXPECT_EQ(Module1::BufText(), expected);
    const QString copy = Module1::BufText();
    append(QStringLiteral("tail")); // the copy handed out is not touched by later appends
    EXPECT_EQ(copy, expected);
    Module1::BufClear();
}

namespace {

// The process's address space in bytes, from /proc (0 when unknown).
qint64 addressSpaceInUse()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

// Lets the process map at most `extra` more bytes while it lives.
class AddressSpaceLimit final {
public:
    explicit AddressSpaceLimit(qint64 extra)
    {
        getrlimit(RLIMIT_AS, &m_old);
        const qint64 used = addressSpaceInUse();
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(used + extra);
        m_ok = used > 0 && setrlimit(RLIMIT_AS, &limit) == 0;
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_old); }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    bool m_ok = false;
};

} // namespace

TEST(ReceiveBuffer, ShortOfMemoryItGrowsOnlyToTheNeededLengthOrDropsTheAppend)
{
    constexpr qint64 kMiB = 1024 * 1024;
    QString big(32 * kMiB, QLatin1Char('x')); // 64 MiB of characters, made before the limit
    struct Case {
        const char *what;
        qint64 room;     // bytes the process may still map
        qint32 size;     // capacity afterwards
        qint32 len;
    };
    const qint32 need = 3 + qint32(big.size());
    const Case cases[] = {
        {"room for the needed length only", 100 * kMiB, need, need},
        {"no room at all", 16 * kMiB, 6, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Module1::BufClear();
        append(QStringLiteral("abc"));
        {
            AddressSpaceLimit limit(c.room);
            ASSERT_TRUE(limit.ok());
            EXPECT_NO_THROW(Module1::BufAppend(big));
        }
        EXPECT_EQ(Module1::BufSize(), c.size);
        EXPECT_EQ(Module1::BufLen(), c.len);
        EXPECT_EQ(Module1::BufText().left(5), c.len == 3 ? QStringLiteral("abc") : QStringLiteral("abcxx"));
    }
    Module1::BufClear();
}

TEST(ReceiveBuffer, AllocStringGivesTheAskedLength)
{
    EXPECT_EQ(Module1::AllocString(5).size(), 5);
    EXPECT_TRUE(Module1::AllocString(0).isEmpty());
    EXPECT_TRUE(Module1::AllocString(-3).isEmpty());
}

TEST(ReceiveBuffer, BodyIsTakenAsUtf8WhenAllOfItIsValidAndByteForCharacterOtherwise)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QString text; // the body after the end step
    };
    const QString western = QStringLiteral("(windows-1252)"); // one character per byte in that code page
    const Case cases[] = {
        {"ascii", "plain <b>markup</b>", QStringLiteral("plain <b>markup</b>")},
        {"accents", "Caf\xc3\xa9 M\xc3\xbcller \xe2\x80\x93 x", QStringLiteral("Caf\u00e9 M\u00fcller \u2013 x")},
        {"cjk", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", QStringLiteral("\u65e5\u672c\u8a9e")},
        {"beyond the BMP: a surrogate pair", "a\xf0\xa0\xae\xb7z", QStringLiteral("a\U00020BB7z")},
        {"largest code point", "\xf4\x8f\xbf\xbf", QStringLiteral("\U0010FFFF")},
        // Either side of the line between one unit and a surrogate pair.
        {"U+10000: the first pair", "a\xf0\x90\x80\x80z", QStringLiteral("a\U00010000z")},
        {"U+FFFF: the last single unit", "a\xef\xbf\xbfz", QStringLiteral("a\uffffz")},
        {"U+FFFF in four bytes is overlong", "\xf0\x8f\xbf\xbf", western},
        {"U+0800: the first three-byte form", "\xe0\xa0\x80", QStringLiteral("\u0800")},
        {"single-byte page", "Caf\xe9 M\xfcller", western},
        {"western letters and signs", "\x8akoda \x96 \x8eilina \x80 5", QStringLiteral("\u0160koda \u2013 \u017dilina \u20ac 5")},
        {"curly quotes", "\x93ok\x94 \x91" "a\x92", QStringLiteral("\u201cok\u201d \u2018a\u2019")},
        {"every byte 0x80-0x9F", vidmora::test::westernHighBytes(), vidmora::test::westernHighCharacters()},
        {"utf8 text with one stray byte", "Caf\xc3\xa9 \xe2\x80\x93 \x80",
         QStringLiteral("Caf\u00c3\u00a9 \u00e2\u20ac\u201c \u20ac")},
        {"lone continuation", "a\x80z", western},
        {"overlong slash", "a\xc0\xafz", western},
        {"overlong three-byte", "\xe0\x80\xaf", western},
        {"encoded surrogate", "\xed\xa0\x80", western},
        {"past U+10FFFF", "\xf4\x90\x80\x80", western},
        {"no such lead byte", "\xf5\x80\x80\x80", western},
        {"sequence cut by the end", "ok \xe6\x97", western},
        {"one bad byte far behind good text",
         QByteArray("\xc3\xa9").repeated(5000) + QByteArray(10000, 'x') + "\xff", western},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Module1::BufClear();
        // Packets as the socket gives them: one character per byte, cut anywhere.
        for (qsizetype at = 0; at < c.bytes.size(); at += 3)
            append(QString::fromLatin1(c.bytes.mid(at, 3)));
        const QString expected = c.text == western ? vidmora::test::westernText(c.bytes) : c.text;
        EXPECT_EQ(Module1::BufTakeAsCodePage(), c.text != western && expected.size() != c.bytes.size());
        EXPECT_EQ(Module1::BufText(), expected);
        EXPECT_EQ(Module1::BufLen(), expected.size());
    }
    // Characters that are no bytes (none from the socket) are left alone.
    Module1::BufClear();
    append(QStringLiteral("\u65e5\xc3\xa9"));
    EXPECT_FALSE(Module1::BufTakeAsCodePage());
    EXPECT_EQ(Module1::BufText(), QStringLiteral("\u65e5\xc3\xa9"));
    Module1::BufClear();
}

TEST(ReceiveBuffer, SingleByteBodyReadsEveryByteAsTheWesternCodePageDoes)
{
    // Every byte, after one that makes the body no UTF-8. Where this Qt has
    // the code page (built with ICU) its converter must read the same.
    QByteArray bytes("\xff");
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    Module1::BufClear();
    append(QString::fromLatin1(bytes));
    EXPECT_FALSE(Module1::BufTakeAsCodePage());
    const QString text = Module1::BufText();
    ASSERT_EQ(text.size(), bytes.size());
    EXPECT_EQ(text, vidmora::test::westernText(bytes));
    EXPECT_EQ(text.mid(1 + 0x80, 32), vidmora::test::westernHighCharacters());
    EXPECT_EQ(text.mid(1, 0x80), QString::fromLatin1(bytes.mid(1, 0x80)));
    EXPECT_EQ(text.mid(1 + 0xA0), QString::fromLatin1(bytes.mid(1 + 0xA0)));
    QStringDecoder qt("windows-1252");
    if (qt.isValid()) {
        EXPECT_EQ(text, QString(qt(bytes)));
    }
    Module1::BufClear();
}
