#include "platform/gui/dir_list_box.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

namespace vidmora::platform {
namespace {
constexpr int kPathRole = Qt::UserRole + 1;
}

DirListBox::DirListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A double-click opens a folder whatever the desktop's style says about
    // single-click activation: a single click only ever highlights.
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        if (item)
            setPath(item->data(kPathRole).toString());
    });
    setPath(QDir::currentPath());
}

void DirListBox::keyPressEvent(QKeyEvent *event)
{
    // Enter opens the highlighted folder, as a double-click does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        setPath(currentItem()->data(kPathRole).toString());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::setPath(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    if (clean == m_path)
        return;
    m_path = clean;
    refill();
}

void DirListBox::refill()
{
    clear();
    // Ancestors, root first.
    QStringList chain;
    QDir walk(m_path);
    chain.prepend(walk.absolutePath());
    while (walk.cdUp())
        chain.prepend(walk.absolutePath());
    int depth = 0;
    for (const QString &folder : chain) {
        const QString name = folder == QLatin1String("/") ? folder : QFileInfo(folder).fileName();
        auto *item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, folder);
        ++depth;
    }
    setCurrentRow(count() - 1);
    const QStringList subfolders = QDir(m_path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &sub : subfolders) {
        auto *item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + sub, this);
        item->setData(kPathRole, QDir(m_path).filePath(sub));
    }
}

} // namespace vidmora::platform
