#include "main_window/window_button.h"

#include <QFont>

namespace vidmora::main_window {

#ifndef VIDMORA_HAVE_BUTTON
WindowButton::WindowButton(QWidget *parent)
    : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, &WindowButton::Click);
}

void WindowButton::setCaption(const QString &caption)
{
    m_caption = caption;
    setText(caption);
}

void applyStoredProperties(WindowButton &button, const QVariantMap &bag)
{
    button.setCaption(bag.value(QStringLiteral("tx")).toString());
    if (bag.contains(QStringLiteral("font")))
        button.setFont(bag.value(QStringLiteral("font")).value<QFont>());
    button.setEnabled(bag.value(QStringLiteral("enab"), true).toBool());
}
#endif

} // namespace vidmora::main_window
