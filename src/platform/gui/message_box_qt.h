#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/message_box.h"

namespace vidmora::platform {

// The modal message box of the desktop: one OK button, the given icon and title.
class QtMessageBox final : public MessageBox {
public:
    explicit QtMessageBox(QWidget *parent = nullptr);

    // The window the box is centred over; may change after construction.
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Result show(const QString &text, Icon icon, const QString &title) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace vidmora::platform
