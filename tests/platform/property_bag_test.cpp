#include "platform/gui/property_bag.h"

#include <gtest/gtest.h>

#include <limits>

using vidmora::platform::makePicture;
using vidmora::platform::PicturePtr;
using vidmora::platform::PropertyBag;
using vidmora::platform::StdFont;

TEST(PropertyBag, KeysMatchWithoutRegardToCase)
{
    PropertyBag bag{{"btype", PropertyBag::int32(5)}, {"Tx", QStringLiteral("Go")}};
    EXPECT_EQ(bag.ReadProperty("BTYPE", 2).toInt(), 5);
    EXPECT_EQ(bag.ReadProperty("TX").toString(), "Go");
    EXPECT_EQ(bag.ReadProperty("COLTYPE", PropertyBag::int16(1)).toInt(), 1); // absent: the default
    bag.WriteProperty("BTYPE", PropertyBag::int32(7));
    EXPECT_EQ(bag.size(), 2);
    EXPECT_EQ(bag.ReadProperty("btype").toInt(), 7);
    bag.WriteProperty("FX", PropertyBag::int32(0), PropertyBag::int32(0)); // equal to its default: left out
    EXPECT_FALSE(bag.contains("fx"));
}

TEST(PropertyBag, ConvertsValuesAsTheRuntimeDoes)
{
    EXPECT_EQ(PropertyBag::toLong(QStringLiteral("12")), 12);
    EXPECT_EQ(PropertyBag::toLong(true), -1);
    EXPECT_EQ(PropertyBag::toLong(PropertyBag::int16(-3)), -3);
    EXPECT_EQ(PropertyBag::toLong(2.5), 2);
    EXPECT_EQ(PropertyBag::toLong(QStringLiteral("&HC0C0C0")), 12632256);
    EXPECT_EQ(PropertyBag::toLong(QStringLiteral("&H8000000F")), static_cast<std::int32_t>(0x8000000F));
    EXPECT_EQ(PropertyBag::toLong(QStringLiteral("&HFFFFFFFF")), -1);
    EXPECT_FALSE(PropertyBag::toLong(QStringLiteral("&H100000000")));
    EXPECT_FALSE(PropertyBag::toLong(QStringLiteral("abc")));
    EXPECT_FALSE(PropertyBag::toLong(PropertyBag::font(StdFont{})));
    EXPECT_FALSE(PropertyBag::toInteger(PropertyBag::int32(70000)));
    EXPECT_EQ(PropertyBag::toBoolean(QStringLiteral("true")), true);
    EXPECT_EQ(PropertyBag::toBoolean(PropertyBag::int32(0)), false);
    EXPECT_FALSE(PropertyBag::toBoolean(QStringLiteral("maybe")));
    EXPECT_EQ(PropertyBag::toString(PropertyBag::int32(5)), QStringLiteral("5"));
    EXPECT_EQ(PropertyBag::toString(true), QStringLiteral("True"));
    EXPECT_FALSE(PropertyBag::toFont(QStringLiteral("Arial")));
    EXPECT_FALSE(PropertyBag::toPicture(PropertyBag::int32(1)));
    EXPECT_EQ(PropertyBag::toPicture(PropertyBag::picture({})), PicturePtr{});
}


TEST(PropertyBag, AValueThatIsNoFiniteNumberConvertsToNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QVariant values[] = {QStringLiteral("nan"), QStringLiteral("NaN"), QStringLiteral(" inf "),
                               QStringLiteral("-inf"), QStringLiteral("+INF"), nan, inf, -inf,
                               QVariant(std::numeric_limits<float>::infinity())};
    for (const QVariant &v : values) {
        SCOPED_TRACE(v.toString().toStdString() + " " + v.typeName());
        EXPECT_EQ(PropertyBag::toLong(v), std::nullopt);
        EXPECT_EQ(PropertyBag::toInteger(v), std::nullopt);
        EXPECT_EQ(PropertyBag::toBoolean(v), std::nullopt);
    }
    // finite numbers at the edges of each range
    EXPECT_EQ(PropertyBag::toLong(2147483647.4), 2147483647);
    EXPECT_EQ(PropertyBag::toLong(-2147483648.5), std::numeric_limits<std::int32_t>::min()); // halves to even
    EXPECT_EQ(PropertyBag::toLong(2147483647.5), std::nullopt);
    EXPECT_EQ(PropertyBag::toLong(QStringLiteral("1e10")), std::nullopt);
    EXPECT_EQ(PropertyBag::toInteger(PropertyBag::int32(32767)), 32767);
    EXPECT_EQ(PropertyBag::toInteger(PropertyBag::int32(-32769)), std::nullopt);
    EXPECT_EQ(PropertyBag::toBoolean(1e300), true);
    EXPECT_EQ(PropertyBag::toBoolean(QStringLiteral("1e10")), true);
}
