#include "platform/gui/dir_list_box.h"

#include <QDir>
#include <QFileInfo>

namespace vidmora::platform {
namespace {
constexpr int kPathRole = Qt::UserRole + 1;
}

DirListBox::DirListBox(QWidget *parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        if (item)
            setPath(item->data(kPathRole).toString());
    });
    setPath(QDir::currentPath());
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
    emit pathChanged(m_path);
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
