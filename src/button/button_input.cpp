// How the button reacts to its host: mouse, keys, access key, focus, ambient
// changes, the hover poll, showing and hiding, and the background copy of the
// see-through style.

#include "button/button.h"

#include "platform/event_pump.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

namespace vidmora {

using namespace platform::gdi;

namespace {

// The host's button bits: 1 left, 2 right, 4 middle (one press gives one bit).
std::int16_t mouseButtonsOf(Qt::MouseButtons bs)
{
    std::int16_t v = 0;
    if (bs & Qt::LeftButton) v |= 1;
    if (bs & Qt::RightButton) v |= 2;
    if (bs & Qt::MiddleButton) v |= 4;
    return v;
}

std::int16_t shiftOf(Qt::KeyboardModifiers m)
{
    std::int16_t v = 0;
    if (m & Qt::ShiftModifier) v |= 1;
    if (m & Qt::ControlModifier) v |= 2;
    if (m & Qt::AltModifier) v |= 4;
    return v;
}

// The host's virtual-key code of a key, from Qt's key alone. The native key
// is not consulted: on X11 it is the keysym, which for punctuation overlaps the
// host's codes ("(" is 0x28, the host's Down arrow). A key the host has no
// code for gives 0, which no handler acts on.
std::int16_t keyCodeOf(const QKeyEvent *e)
{
    const int k = e->key();
    const bool keypad = e->modifiers() & Qt::KeypadModifier;
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return static_cast<std::int16_t>(keypad ? 0x60 + (k - Qt::Key_0) : k); // VK_NUMPAD0.. or '0'..
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
        return static_cast<std::int16_t>(k);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24)
        return static_cast<std::int16_t>(112 + (k - Qt::Key_F1));
    if (keypad) {
        switch (k) {
        case Qt::Key_Asterisk: return 0x6A; // VK_MULTIPLY
        case Qt::Key_Plus: return 0x6B;     // VK_ADD
        case Qt::Key_Minus: return 0x6D;    // VK_SUBTRACT
        case Qt::Key_Period:
        case Qt::Key_Comma: return 0x6E;    // VK_DECIMAL
        case Qt::Key_Slash: return 0x6F;    // VK_DIVIDE
        default: break;
        }
    }
    switch (k) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Clear: return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Print: return 44;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Meta: return 91;       // VK_LWIN
    case Qt::Key_Menu: return 93;       // VK_APPS
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    // The keys the host names by their character on every keyboard.
    case Qt::Key_Plus: return 0xBB;     // VK_OEM_PLUS
    case Qt::Key_Comma: return 0xBC;    // VK_OEM_COMMA
    case Qt::Key_Minus: return 0xBD;    // VK_OEM_MINUS
    case Qt::Key_Period: return 0xBE;   // VK_OEM_PERIOD
    // The other character keys of the standard (US) keyboard, by their unshifted character.
    case Qt::Key_Semicolon: return 0xBA;    // VK_OEM_1
    case Qt::Key_Equal: return 0xBB;        // VK_OEM_PLUS
    case Qt::Key_Slash: return 0xBF;        // VK_OEM_2
    case Qt::Key_QuoteLeft: return 0xC0;    // VK_OEM_3
    case Qt::Key_BracketLeft: return 0xDB;  // VK_OEM_4
    case Qt::Key_Backslash: return 0xDC;    // VK_OEM_5
    case Qt::Key_BracketRight: return 0xDD; // VK_OEM_6
    case Qt::Key_Apostrophe: return 0xDE;   // VK_OEM_7
    default: return 0;
    }
}

// Which widget took each mouse press in the program. Qt makes a press into a
// double click by time and distance alone, whichever widget took the first
// press; here a double click needs both presses on the same control, so the
// button asks whether the press before its double click was its own. The
// filter sees a press at its receiver before the receiver handles it, and
// again at each parent it passes on to; a button never passes one on to
// another button.
class PressFollower : public QObject {
public:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if ((e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) && o->isWidgetType()) {
            previous = last;
            last = o;
        }
        return false;
    }
    QPointer<QObject> previous, last;
};

PressFollower *pressFollower()
{
    static QPointer<PressFollower> follower;
    if (!follower && qApp) {
        follower = new PressFollower;
        follower->setParent(qApp);
        qApp->installEventFilter(follower);
    }
    return follower;
}

} // namespace

void Button::followPresses()
{
    pressFollower();
}

bool Button::pressBeforeWasOwn() const
{
    const PressFollower *f = pressFollower();
    return f && f->last == this && f->previous == this;
}

// ---- Qt events into host events ---------------------------------------------------

// Every host event enters here. A container's handler that throws (its slots run
// inside our handlers) must not unwind into Qt's event loop: the error is
// reported to the host's log and the event counts as handled.
bool Button::event(QEvent *e)
{
    try {
        if (e->type() == QEvent::Shortcut) {
            auto *se = static_cast<QShortcutEvent *>(e);
            if (se->shortcutId() == m_ShortcutId && m_ShortcutId != 0) {
                const QString k = m_AccessKeys;
                UserControl_AccessKeyPress(k.isEmpty() ? 0 : static_cast<std::int16_t>(k.at(0).unicode()));
                return true;
            }
        } else if (e->type() == QEvent::WindowActivate && m_HasFocus && window()->focusWidget() != this) {
            // The focus moved on while the window was behind another program's.
            UserControl_LostFocus();
        }
        return QWidget::event(e);
    } catch (const std::exception &ex) {
        qWarning("Button: an event handler failed: %s", ex.what());
    } catch (...) {
        qWarning("Button: an event handler failed");
    }
    return true;
}

void Button::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_Surface);
}

void Button::resizeEvent(QResizeEvent *)
{
    if (m_Capturing)
        return; // the collapse of a background capture; the surface keeps its pixels
    if (m_Surface.size() != size()) {
        QImage next(size().expandedTo(QSize(0, 0)), QImage::Format_RGB32);
        if (!next.isNull()) {
            next.fill(toQRgb(GetSysColor(COLOR_BTNFACE)));
            QPainter p(&next);
            p.drawImage(0, 0, m_Surface);
        }
        m_Surface = next;
    }
    UserControl_Resize();
}

void Button::showEvent(QShowEvent *)
{
    UserControl_Show();
}

void Button::hideEvent(QHideEvent *)
{
    UserControl_Hide();
}

void Button::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange && !m_SettingSurfaceEnabled) {
        // The container switched the widget itself: that is this control's Enabled.
        const bool surfaceOn = !testAttribute(Qt::WA_ForceDisabled); // its own switch, not an ancestor's
        if (surfaceOn != m_Enabled)
            setEnabled(surfaceOn);
    } else if (e->type() == QEvent::PaletteChange) {
        UserControl_AmbientChanged(QStringLiteral("BackColor")); // the container's colours
    } else if (e->type() == QEvent::FontChange) {
        UserControl_AmbientChanged(QStringLiteral("Font")); // the container's font
    }
    QWidget::changeEvent(e);
}

void Button::focusInEvent(QFocusEvent *e)
{
    // The window coming back to the front returns the focus the button kept.
    if (!(e->reason() == Qt::ActiveWindowFocusReason && m_HasFocus))
        UserControl_GotFocus();
    QWidget::focusInEvent(e);
}

void Button::focusOutEvent(QFocusEvent *e)
{
    // Another program's window in front takes no focus from the program's own
    // controls; another window of this program does.
    if (!(e->reason() == Qt::ActiveWindowFocusReason && !QApplication::activeWindow()))
        UserControl_LostFocus();
    QWidget::focusOutEvent(e);
}

void Button::mousePressEvent(QMouseEvent *e)
{
    m_SkipNextClick = false; // a double click whose release never came skips nothing more
    const QPointF p = e->position();
    UserControl_MouseDown(mouseButtonsOf(e->button()), shiftOf(e->modifiers()), static_cast<float>(p.x()),
                          static_cast<float>(p.y()));
}

void Button::mouseReleaseEvent(QMouseEvent *e)
{
    const QPointF p = e->position();
    QPointer<Button> self(this);
    UserControl_MouseUp(mouseButtonsOf(e->button()), shiftOf(e->modifiers()), static_cast<float>(p.x()),
                        static_cast<float>(p.y()));
    if (!self)
        return;
    if (m_SkipNextClick) {
        m_SkipNextClick = false;
        return;
    }
    if (isOverAt(p.toPoint()))
        UserControl_Click();
}

void Button::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (!pressBeforeWasOwn()) {
        // The first press was on another widget: this one is a press of its own.
        mousePressEvent(e);
        return;
    }
    // The second press of a double click: no press event and no click of its
    // own. The handler acts for the left button only; with the right or middle
    // button the press passes without an event or a look of its own.
    m_SkipNextClick = true;
    UserControl_DblClick();
}

void Button::mouseMoveEvent(QMouseEvent *e)
{
    const QPointF p = e->position();
    UserControl_MouseMove(mouseButtonsOf(e->buttons()), shiftOf(e->modifiers()), static_cast<float>(p.x()),
                          static_cast<float>(p.y()));
}

void Button::keyPressEvent(QKeyEvent *e)
{
    QPointer<Button> self(this);
    UserControl_KeyDown(keyCodeOf(e), shiftOf(e->modifiers()));
    if (!self)
        return;
    const QString text = e->text();
    if (!text.isEmpty() && text.at(0).unicode() < 256)
        UserControl_KeyPress(static_cast<std::int16_t>(text.at(0).unicode()));
}

void Button::keyReleaseEvent(QKeyEvent *e)
{
    if (e->isAutoRepeat())
        return; // a held key repeats its press only
    UserControl_KeyUp(keyCodeOf(e), shiftOf(e->modifiers()));
}

// ---- host events --------------------------------------------------------------------

void Button::UserControl_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y)
{
    emit MouseDown(Button, Shift, X, Y);
    m_LastMouseButton = static_cast<std::uint8_t>(Button);
    if (Button != 2)
        DrawButton(dsPressed, false);
}

void Button::UserControl_MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y)
{
    emit MouseMove(Button, Shift, X, Y);
    if (Button >= 2)
        return;
    if (IsMouseOver()) {
        if (Button == 0 && !m_IsOver) {
            m_OverTimer.setEnabled(true);
            m_IsOver = true;
            DrawButton(dsUp, true);
            emit MouseOver();
        } else if (Button == 1) {
            m_IsOver = true;
            DrawButton(dsPressed, false);
            m_IsOver = false;
        }
    } else {
        DrawButton(dsUp, false);
    }
}

void Button::UserControl_MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y)
{
    emit MouseUp(Button, Shift, X, Y);
    if (Button != 2)
        DrawButton(dsUp, false);
}

void Button::UserControl_Click()
{
    if (m_LastMouseButton != 1 || !m_Enabled)
        return;
    if (m_CheckBoxBehaviour)
        m_Value = !m_Value;
    DrawButton(dsUp, true);
    repaint(); // the up look is on screen before the container's handler runs
    emit Click();
}

void Button::UserControl_DblClick()
{
    if (m_LastMouseButton != 1)
        return;
    UserControl_MouseDown(1, 0, 0, 0);
    // The host keeps the mouse for this press until its release (Qt's implicit grab).
}

void Button::UserControl_KeyDown(std::int16_t KeyCode, std::int16_t Shift)
{
    emit KeyDown(KeyCode, Shift);
    m_LastKeyCode = static_cast<std::uint8_t>(KeyCode);
    switch (KeyCode) {
    case 32: DrawButton(dsPressed, false); break;
    case 37:
    case 38: sendTab(false); break;
    case 39:
    case 40: sendTab(true); break;
    default: break;
    }
}

void Button::UserControl_KeyUp(std::int16_t KeyCode, std::int16_t Shift)
{
    emit KeyUp(KeyCode, Shift);
    if (m_LastKeyCode == 32 && KeyCode == 32) {
        if (m_CheckBoxBehaviour)
            m_Value = !m_Value;
        DrawButton(dsUp, false);
        repaint();
        emit Click();
    }
}

void Button::UserControl_KeyPress(std::int16_t KeyAscii)
{
    emit KeyPress(KeyAscii);
}

void Button::UserControl_AccessKeyPress(std::int16_t)
{
    m_LastMouseButton = 1;
    UserControl_Click();
}

// Shift+Tab or Tab to the focused window, processed after this handler returns.
void Button::sendTab(bool forward)
{
    QWidget *target = QApplication::focusWidget();
    if (!target)
        target = this;
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                                                      forward ? Qt::NoModifier : Qt::ShiftModifier));
}

// A corner cut away by the window region is not the control's: a release there
// is a release outside.
bool Button::isOverAt(QPoint pos) const
{
    if (!rect().contains(pos))
        return false;
    return m_WindowRegion.isEmpty() || m_WindowRegion.contains(pos);
}

bool Button::IsMouseOver()
{
    if (m_PointerProbe)
        return m_PointerProbe();
    POINT pt;
    GetCursorPos(&pt);
    return WindowFromPoint(pt) == hwnd();
}

void Button::OverTimer_Timer()
{
    if (IsMouseOver())
        return;
    m_OverTimer.setEnabled(false);
    m_IsOver = false;
    DrawButton(dsUp, true);
    emit MouseOut();
}

void Button::UserControl_GotFocus()
{
    m_HasFocus = true;
    DrawButton(m_LastState, true);
}

void Button::UserControl_LostFocus()
{
    m_HasFocus = false;
    DrawButton(m_LastState, true);
}

void Button::UserControl_AmbientChanged(const QString &)
{
    CalcColors();
    DrawButton(m_LastState, true);
}

// ---- lifecycle ------------------------------------------------------------------------

void Button::UserControl_Initialize()
{
    m_CanDraw = true;
}

void Button::UserControl_Show()
{
    if (m_ButtonType == btSeeThrough) {
        if (!m_BackDC) {
            m_BackDC = CreateCompatibleDC(m_hDC.get());
            m_BackBitmap = CreateBitmap(m_W, m_H, 1, static_cast<unsigned>(GetDeviceCaps(m_hDC.get(), BITSPIXEL)),
                                        nullptr);
            m_OldBackBitmap = SelectObject(m_BackDC, m_BackBitmap);
        }
        QPointer<Button> self(this);
        CaptureBackground();
        if (!self)
            return;
    }
    m_CanDraw = true;
    CalcColors();
    DrawButton(dsUp, true);
}

void Button::UserControl_Hide()
{
    m_CanDraw = false;
}

void Button::UserControl_Terminate()
{
    if (m_Terminated)
        return;
    m_Terminated = true;
    m_CanDraw = false;
    m_OverTimer.setEnabled(false);
    if (m_BackDC) {
        HGDIOBJ bitmap = SelectObject(m_BackDC, m_OldBackBitmap);
        DeleteObject(bitmap);
        DeleteDC(m_BackDC);
        m_BackDC = nullptr;
        m_BackBitmap = nullptr;
    }
}

// Copies the parent's pixels under the control. Every step that fails is
// skipped and nothing is reported.
void Button::CaptureBackground()
{
    QWidget *parent = GetParent(hwnd());
    HDC parentDC = GetDC(parent);
    m_Capturing = true;
    const int keepW = width();
    resize(keepW, 0); // the control no longer covers its parent
    QPointer<Button> self(this);
    platform::pumpEventsOnce(); // the parent repaints the area it got back
    if (!self) {
        ReleaseDC(parent, parentDC);
        return;
    }
    RECT ctrl, pw, pc;
    GetWindowRect(hwnd(), &ctrl);
    GetWindowRect(parent, &pw);
    GetClientRect(parent, &pc);
    const int border = ((pw.right - pw.left) - pc.right) / 2;
    const int x = ctrl.left - pw.left - border;
    const int y = ctrl.top - pw.top - ((pw.bottom - pw.top) - pc.bottom - border);
    BitBlt(m_BackDC, 0, 0, m_W, m_H, parentDC, x, y, SRCCOPY);
    resize(keepW, m_H);
    ReleaseDC(parent, parentDC);
    m_Capturing = false;
}

} // namespace vidmora
