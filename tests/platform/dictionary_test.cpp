// The scripting runtime's dictionary that holds the page client's response headers.
#include <gtest/gtest.h>

#include "platform/dictionary.h"

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
