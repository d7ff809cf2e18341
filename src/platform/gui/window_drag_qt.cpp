#include "platform/gui/window_drag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace vidmora::platform {
namespace {

// Moves the window with the pointer while the left button alone is held; sees
// every mouse event of the application first, as the host's move loop does.
// The pointer grab of the press stays with the program, so the moves and the
// release come here however far the pointer goes from the window.
class PointerFollower final : public QObject {
public:
    PointerFollower(QWidget *window, QPoint grip)
        : m_window(window), m_grip(grip)
    {
        qApp->installEventFilter(this);
    }
    ~PointerFollower() override { s_active = nullptr; }

    static PointerFollower *s_active;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (!m_window || me->buttons() != Qt::LeftButton) {
                finish();
                return false;
            }
            m_window->move(me->globalPosition().toPoint() - m_grip);
            return false;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // Release of the left button, or any other button joining in, ends the move.
            finish();
            return false;
        default:
            return false;
        }
    }

private:
    void finish()
    {
        qApp->removeEventFilter(this);
        deleteLater();
        s_active = nullptr;
    }

    QPointer<QWidget> m_window;
    QPoint m_grip;
};

PointerFollower *PointerFollower::s_active = nullptr;

// Whether only the window system can place a top-level window (Wayland): there
// the drag has to be its move.
bool onlyTheWindowSystemMovesWindows()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

bool beginCaptionDrag(QWidget *window, QPoint globalPos)
{
    if (!window)
        return false;
    window = window->window();
    if (PointerFollower::s_active)
        return true;
    // ReleaseCapture: no widget keeps the pointer for itself while the window moves.
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    // An X window manager's move (_NET_WM_MOVERESIZE) is no use here: begun from
    // a pointer move, while the press's pointer grab is still the program's, the
    // window manager misses the release and the window goes on following the
    // pointer until the next click. Moved by the program, the window stops at
    // the release with and without a window manager.
    if (onlyTheWindowSystemMovesWindows()) {
        if (QWindow *handle = window->windowHandle(); handle && handle->startSystemMove())
            return true;
    }
    PointerFollower::s_active = new PointerFollower(window, globalPos - window->pos());
    return true;
}

} // namespace vidmora::platform
