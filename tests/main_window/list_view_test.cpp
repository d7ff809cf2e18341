#include <gtest/gtest.h>

#include "platform/gui/list_view.h"

namespace vidmora::platform {
namespace {

TEST(ListViewStandIn, KeysAreUniqueAndTheFirstRowOfAnEmptyListIsSelected)
{
    ListView list;
    list.addColumn(QStringLiteral("A"), 50);
    list.addColumn(QStringLiteral("B"), 50, Qt::AlignHCenter);
    list.addColumn(QStringLiteral("C"), 50);

    EXPECT_EQ(list.selectedIndex(), 0);
    ASSERT_TRUE(list.addItem(QStringLiteral("k1"), QStringLiteral("one")));
    EXPECT_EQ(list.selectedIndex(), 1);
    ASSERT_TRUE(list.addItem(QStringLiteral("k2"), QStringLiteral("two")));
    EXPECT_EQ(list.selectedIndex(), 1); // a later row does not take the selection
    EXPECT_FALSE(list.addItem(QStringLiteral("k1"), QStringLiteral("again")));
    EXPECT_EQ(list.count(), 2);

    EXPECT_TRUE(list.setSubItem(2, 2, QStringLiteral("status")));
    EXPECT_EQ(list.subItem(2, 2), QStringLiteral("status"));
    EXPECT_FALSE(list.setSubItem(3, 1, QStringLiteral("x")));
    EXPECT_EQ(list.key(2), QStringLiteral("k2"));
    EXPECT_EQ(list.indexOfKey(QStringLiteral("k2")), 2);

    EXPECT_TRUE(list.removeItem(1));
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.key(1), QStringLiteral("k2"));
    EXPECT_FALSE(list.removeItem(5));

    // Emptied and filled again: the new first row is selected again.
    ASSERT_TRUE(list.removeItem(1));
    ASSERT_TRUE(list.addItem(QStringLiteral("k1"), QStringLiteral("one")));
    EXPECT_EQ(list.selectedIndex(), 1);
}

} // namespace
} // namespace vidmora::platform
