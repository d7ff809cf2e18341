#include <gtest/gtest.h>

#include "http_client/receive_buffer.h"
#include "platform/dictionary.h"

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

TEST(ReceiveBuffer, AllocStringGivesTheAskedLength)
{
    EXPECT_EQ(Module1::AllocString(5).size(), 5);
    EXPECT_TRUE(Module1::AllocString(0).isEmpty());
    EXPECT_TRUE(Module1::AllocString(-3).isEmpty());
}

using vidmora::platform::Dictionary;

TEST(Dictionary, ExactKeysInsertionOrderAndItemOfAnAbsentKeyAddsIt)
{
    Dictionary d;
    EXPECT_TRUE(d.Add(QStringLiteral("HTTP/1.0"), QStringLiteral("200 OK")));
    EXPECT_TRUE(d.Add(QStringLiteral("Content-Length:"), QStringLiteral("5")));
    EXPECT_FALSE(d.Add(QStringLiteral("Content-Length:"), QStringLiteral("7"))); // present: fails
    EXPECT_TRUE(d.Add(QStringLiteral("content-length:"), QStringLiteral("9")));  // other case: another key
    EXPECT_EQ(d.Items(), QVariantList({QStringLiteral("200 OK"), QStringLiteral("5"), QStringLiteral("9")}));
    EXPECT_EQ(d.Item(QStringLiteral("Content-Length:")), QVariant(QStringLiteral("5")));

    EXPECT_FALSE(d.Item(QStringLiteral("Server:")).isValid());
    EXPECT_TRUE(d.Exists(QStringLiteral("Server:")));
    EXPECT_EQ(d.Count(), 4);
    EXPECT_FALSE(d.Items().last().isValid());

    d.RemoveAll();
    EXPECT_EQ(d.Count(), 0);
    EXPECT_TRUE(d.Items().isEmpty());
    EXPECT_TRUE(d.Add(QStringLiteral("HTTP/1.0"), QStringLiteral("again")));
}
