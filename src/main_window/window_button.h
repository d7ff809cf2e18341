#pragma once

// The push button the windows are built from. The windows use only its Click,
// its Enabled (switched through QWidget::setEnabled) and its visibility, and
// configure each instance from the property bag stored with the window.

#include <QVariantMap>

#ifdef VIDMORA_HAVE_BUTTON
#include "button/button.h"
namespace vidmora::main_window {
using WindowButton = ::vidmora::Button;
}
#else
#include <QPushButton>
namespace vidmora::main_window {

// Stand-in with the same face as the system's own button, used while that
// component is not part of the build.
class WindowButton : public QPushButton {
    Q_OBJECT
public:
    explicit WindowButton(QWidget *parent = nullptr);
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

signals:
    void Click();

private:
    QString m_caption;
};

} // namespace vidmora::main_window
#endif

namespace vidmora::main_window {

// Applies a stored property bag (lower-case keys as the windows store them).
void applyStoredProperties(WindowButton &button, const QVariantMap &bag);

} // namespace vidmora::main_window
