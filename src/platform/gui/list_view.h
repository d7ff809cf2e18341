#pragma once

#include <QTreeWidget>

namespace vidmora::platform {

// The report-view list of the form runtime: rows with unique keys, a text and
// sub-items per column, one selected row. Rows are numbered from 1 as the host
// numbers them; 0 means "none".
class ListView final : public QTreeWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ListView)
public:
    explicit ListView(QWidget *parent = nullptr);

    // Appends a column header of `widthPx` pixels.
    void addColumn(const QString &title, int widthPx, Qt::Alignment alignment = Qt::AlignLeft);

    // Adds a row with `key` and `text`; a key the list already holds is refused (false).
    // The first row added to an empty list becomes the selected row, as with the host's list.
    bool addItem(const QString &key, const QString &text);
    int count() const { return topLevelItemCount(); }
    int indexOfKey(const QString &key) const;

    QString key(int index) const;
    QString text(int index) const;
    // Column `sub` (1 = second column, ...) of row `index`.
    QString subItem(int index, int sub) const;
    bool setSubItem(int index, int sub, const QString &value);

    int selectedIndex() const;
    bool select(int index);
    // Removes row `index`; false when there is no such row.
    bool removeItem(int index);

private:
    QTreeWidgetItem *row(int index) const;
    QList<Qt::Alignment> m_alignments;
};

} // namespace vidmora::platform
