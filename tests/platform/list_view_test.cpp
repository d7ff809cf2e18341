#include <gtest/gtest.h>

#include <QDir>
#include <QProxyStyle>
#include <QTemporaryDir>
#include <QTest>

#include "platform/gui/dir_list_box.h"
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

TEST(DirListBoxStandIn, ASingleClickHighlightsADoubleClickOrEnterOpens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("one/inner")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("two")));
    // Some desktops activate items on a single click; that must not open a folder.
    class SingleClickStyle final : public QProxyStyle {
    public:
        int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                      QStyleHintReturn *returnData) const override
        {
            if (hint == SH_ItemView_ActivateItemOnSingleClick)
                return 1;
            return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    } style;
    DirListBox list;
    list.setStyle(&style);
    list.resize(300, 400);
    list.show();
    list.setPath(dir.path());
    const QString top = QDir::cleanPath(dir.path());
    auto rowOf = [&list](const QString &name) {
        for (int i = 0; i < list.count(); ++i)
            if (list.item(i)->text().trimmed() == name)
                return list.item(i);
        return static_cast<QListWidgetItem *>(nullptr);
    };
    QListWidgetItem *one = rowOf(QStringLiteral("one"));
    ASSERT_NE(one, nullptr);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, list.visualItemRect(one).center());
    EXPECT_EQ(list.currentItem(), one);
    EXPECT_EQ(list.Path(), top);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, list.visualItemRect(one).center());
    EXPECT_EQ(list.Path(), top + QStringLiteral("/one"));

    // The open folder's ancestors come first, then its subfolders.
    QListWidgetItem *inner = rowOf(QStringLiteral("inner"));
    ASSERT_NE(inner, nullptr);
    list.setCurrentItem(inner);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Path(), top + QStringLiteral("/one/inner"));
    EXPECT_EQ(list.currentItem()->text().trimmed(), QStringLiteral("inner"));
}

} // namespace
} // namespace vidmora::platform
