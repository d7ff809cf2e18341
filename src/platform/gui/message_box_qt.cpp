#include "platform/gui/message_box_qt.h"

#include <QMessageBox>

namespace vidmora::platform {

QtMessageBox::QtMessageBox(QWidget *parent)
    : m_parent(parent)
{
}

MessageBox::Result QtMessageBox::show(const QString &text, Icon icon, const QString &title)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None: qtIcon = QMessageBox::NoIcon; break;
    case Icon::Critical: qtIcon = QMessageBox::Critical; break;
    case Icon::Question: qtIcon = QMessageBox::Question; break;
    case Icon::Exclamation: qtIcon = QMessageBox::Warning; break;
    case Icon::Information: qtIcon = QMessageBox::Information; break;
    }
    QMessageBox box(qtIcon, title, text, QMessageBox::Ok, m_parent.data());
    // Plain text: page heads and file names must never be taken as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return Result::Ok;
}

} // namespace vidmora::platform
