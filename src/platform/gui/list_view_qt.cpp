#include "platform/gui/list_view.h"

#include <QHeaderView>

namespace vidmora::platform {
namespace {
constexpr int kKeyRole = Qt::UserRole + 1;
}

ListView::ListView(QWidget *parent)
    : QTreeWidget(parent)
{
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ListView::addColumn(const QString &title, int widthPx, Qt::Alignment alignment)
{
    const int column = columnCount();
    setColumnCount(column + 1);
    QTreeWidgetItem *head = headerItem();
    head->setText(column, title);
    head->setTextAlignment(column, (alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    setColumnWidth(column, widthPx);
    m_alignments.append(alignment & Qt::AlignHorizontal_Mask);
}

bool ListView::addItem(const QString &key, const QString &text)
{
    if (indexOfKey(key) != 0)
        return false;
    const bool wasEmpty = count() == 0;
    auto *item = new QTreeWidgetItem;
    item->setData(0, kKeyRole, key);
    item->setText(0, text);
    for (int c = 0; c < m_alignments.size(); ++c)
        item->setTextAlignment(c, m_alignments.at(c) | Qt::AlignVCenter);
    addTopLevelItem(item);
    if (wasEmpty)
        select(1);
    return true;
}

int ListView::indexOfKey(const QString &key) const
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->data(0, kKeyRole).toString() == key)
            return i + 1;
    }
    return 0;
}

QTreeWidgetItem *ListView::row(int index) const
{
    if (index < 1 || index > topLevelItemCount())
        return nullptr;
    return topLevelItem(index - 1);
}

QString ListView::key(int index) const
{
    const QTreeWidgetItem *item = row(index);
    return item ? item->data(0, kKeyRole).toString() : QString();
}

QString ListView::text(int index) const
{
    const QTreeWidgetItem *item = row(index);
    return item ? item->text(0) : QString();
}

QString ListView::subItem(int index, int sub) const
{
    const QTreeWidgetItem *item = row(index);
    return item && sub >= 1 ? item->text(sub) : QString();
}

bool ListView::setSubItem(int index, int sub, const QString &value)
{
    QTreeWidgetItem *item = row(index);
    if (!item || sub < 1 || sub >= columnCount())
        return false;
    item->setText(sub, value);
    return true;
}

int ListView::selectedIndex() const
{
    const QList<QTreeWidgetItem *> chosen = selectedItems();
    if (chosen.isEmpty())
        return 0;
    return indexOfTopLevelItem(chosen.first()) + 1;
}

bool ListView::select(int index)
{
    QTreeWidgetItem *item = row(index);
    if (!item)
        return false;
    setCurrentItem(item);
    item->setSelected(true);
    return true;
}

bool ListView::removeItem(int index)
{
    QTreeWidgetItem *item = row(index);
    if (!item)
        return false;
    delete takeTopLevelItem(index - 1);
    return true;
}

} // namespace vidmora::platform
