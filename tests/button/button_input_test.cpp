#include "button_fixture.h"

#include "event_wait.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>
#include <QWindow>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace vidmora;
using platform::gdi::RGB;
using platform::gdi::COLORREF;
using vidmora::test::ShownButton;

namespace {

// Records the container-visible events in order.
struct EventLog {
    explicit EventLog(Button &b)
    {
        QObject::connect(&b, &Button::MouseDown, [this](std::int16_t &btn, std::int16_t &, float &x, float &y) {
            log << QStringLiteral("down%1@%2,%3").arg(btn).arg(x).arg(y);
        });
        QObject::connect(&b, &Button::MouseUp,
                         [this](std::int16_t &btn, std::int16_t &, float &, float &) { log << QStringLiteral("up%1").arg(btn); });
        QObject::connect(&b, &Button::Click, [this, &b] {
            log << QStringLiteral("click");
            stateAtClick = b.LastState();
        });
        QObject::connect(&b, &Button::MouseOver, [this] { log << QStringLiteral("over"); });
        QObject::connect(&b, &Button::MouseOut, [this] { log << QStringLiteral("out"); });
    }
    QStringList log;
    int stateAtClick = -1;
};

void send(QWidget *w, QEvent::Type type, Qt::MouseButton button, QPoint at = {5, 5})
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

TEST(ButtonInput, LeftClickPressesReleasesThenClicks)
{
    ShownButton s(60, 24, btGradient);
    Button &b = *s.button;
    EventLog ev(b);
    QTest::mousePress(&b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    EXPECT_EQ(b.LastState(), 2);
    QTest::mouseRelease(&b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    EXPECT_EQ(ev.log, (QStringList{"down1@5,6", "up1", "click"}));
    EXPECT_EQ(ev.stateAtClick, 0); // the up look is on screen before the handler runs
}

TEST(ButtonInput, RightAndMiddleClicksRaiseNoClick)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    EventLog ev(b);
    const int paints = b.paintCount();
    QTest::mouseClick(&b, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(b.paintCount(), paints); // no change of look
    QTest::mousePress(&b, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(b.LastState(), 2);
    QTest::mouseRelease(&b, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(ev.log, (QStringList{"down2@5,5", "up2", "down4@5,5", "up4"}));
}

TEST(ButtonInput, DoubleClickClicksOnce)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    EventLog ev(b);
    send(&b, QEvent::MouseButtonPress, Qt::LeftButton);
    send(&b, QEvent::MouseButtonRelease, Qt::LeftButton);
    send(&b, QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(&b, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(ev.log, (QStringList{"down1@5,5", "up1", "click", "down1@0,0", "up1"}));
}

TEST(ButtonInput, RightAndMiddleDoubleClicksRaiseNoSecondPress)
{
    struct Case {
        Qt::MouseButton button;
        QStringList log;
    };
    const Case cases[] = {
        {Qt::RightButton, {"down2@5,5", "up2", "up2"}},
        {Qt::MiddleButton, {"down4@5,5", "up4", "up4"}},
    };
    for (const Case &c : cases) {
        ShownButton s(60, 24, btStandard);
        Button &b = *s.button;
        EventLog ev(b);
        send(&b, QEvent::MouseButtonPress, c.button);
        send(&b, QEvent::MouseButtonRelease, c.button);
        const int paints = b.paintCount();
        send(&b, QEvent::MouseButtonDblClick, c.button);
        EXPECT_EQ(b.LastState(), 0) << c.button; // no pressed look for the second press
        EXPECT_EQ(b.paintCount(), paints) << c.button;
        send(&b, QEvent::MouseButtonRelease, c.button);
        EXPECT_EQ(ev.log, c.log) << c.button;
    }
}

TEST(ButtonInput, ReleaseInACornerTheRegionCutsAwayIsNoClick)
{
    struct Case {
        std::int32_t style;
        QPoint release;
        int clicks;
    };
    const Case cases[] = {
        {btGradient, {0, 0}, 0}, // the rounded corners are cut away
        {btGradient, {59, 23}, 0},
        {btGradient, {2, 2}, 1},
        {btOval, {2, 2}, 0},     // outside the ellipse
        {btOval, {30, 12}, 1},
        {btStandard, {0, 0}, 1}, // square: nothing cut
        {btOval, {70, 12}, 0},   // off the control altogether
    };
    for (const Case &c : cases) {
        ShownButton s(60, 24, c.style);
        Button &b = *s.button;
        QSignalSpy clicks(&b, &Button::Click);
        send(&b, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(30, 12));
        send(&b, QEvent::MouseButtonRelease, Qt::LeftButton, c.release);
        EXPECT_EQ(clicks.size(), c.clicks) << "style " << c.style << " at " << c.release.x() << "," << c.release.y();
    }
}

TEST(ButtonInput, HandlersActOnArgumentsAsTheContainerLeftThem)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    QObject::connect(&b, &Button::MouseDown,
                     [](std::int16_t &btn, std::int16_t &, float &, float &) { btn = 2; });
    QSignalSpy clicks(&b, &Button::Click);
    QTest::mouseClick(&b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(b.LastState(), 0); // taken as a right press: no pressed look
    EXPECT_EQ(clicks.size(), 0);
}

TEST(ButtonInput, SpaceAndArrowKeys)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    auto *next = new QWidget(s.window.get());
    next->setFocusPolicy(Qt::StrongFocus);
    next->setGeometry(0, 40, 5, 5);
    QSignalSpy clicks(&b, &Button::Click);
    b.setFocus();
    QTest::keyPress(&b, Qt::Key_Space);
    EXPECT_EQ(b.LastState(), 2);
    QTest::keyRelease(&b, Qt::Key_Space);
    EXPECT_EQ(b.LastState(), 0);
    EXPECT_EQ(clicks.size(), 1);

    // Enter and Escape have no handling of their own
    QTest::keyClick(&b, Qt::Key_Return);
    QTest::keyClick(&b, Qt::Key_Escape);
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_EQ(b.LastState(), 0);

    // another key last: the release of Space clicks nothing
    QTest::keyPress(&b, Qt::Key_Space);
    QTest::keyPress(&b, Qt::Key_A);
    QTest::keyRelease(&b, Qt::Key_Space);
    EXPECT_EQ(clicks.size(), 1);

    // a container that zeroes the key code stops the pressed look
    auto c = QObject::connect(&b, &Button::KeyDown, [](std::int16_t &code, std::int16_t &) { code = 0; });
    b.DrawButton(0, true);
    QTest::keyPress(&b, Qt::Key_Space);
    EXPECT_EQ(b.LastState(), 0);
    QTest::keyRelease(&b, Qt::Key_Space);
    EXPECT_EQ(clicks.size(), 1);
    QObject::disconnect(c);

    // Right moves the focus on, once the handler has returned
    s.window->activateWindow();
    b.setFocus();
    QTest::keyClick(&b, Qt::Key_Right);
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return !b.hasFocus(); }, 5000));
}

// Key codes come from Qt's key alone. On X11 the native key is the keysym,
// and the keysyms of some punctuation equal the host's arrow codes.
TEST(ButtonInput, OnlyTheArrowKeysMoveTheFocus)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 nativeKey; // the X11 keysym
        const char *text;
        int code;   // KeyDown's KeyCode
        int moves;  // 0 stays, 1 on, -1 back
    };
    const Case cases[] = {
        {Qt::Key_ParenLeft, Qt::ShiftModifier, 0x28, "(", 0, 0},    // keysym 0x28 is no Down arrow
        {Qt::Key_Apostrophe, Qt::NoModifier, 0x27, "'", 0xDE, 0},   // nor 0x27 Right
        {Qt::Key_Ampersand, Qt::ShiftModifier, 0x26, "&", 0, 0},    // nor 0x26 Up
        {Qt::Key_Percent, Qt::ShiftModifier, 0x25, "%", 0, 0},      // nor 0x25 Left
        {Qt::Key_Comma, Qt::NoModifier, 0x2c, ",", 0xBC, 0},
        {Qt::Key_A, Qt::NoModifier, 0x61, "a", 'A', 0},
        {Qt::Key_5, Qt::KeypadModifier, 0xffb5, "5", 0x65, 0},      // VK_NUMPAD5
        {Qt::Key_Down, Qt::NoModifier, 0xff54, "", 40, 1},
        {Qt::Key_Right, Qt::NoModifier, 0xff53, "", 39, 1},
        {Qt::Key_Up, Qt::NoModifier, 0xff52, "", 38, -1},
        {Qt::Key_Left, Qt::KeypadModifier, 0xff96, "", 37, -1},    // keypad 4 without Num Lock
    };
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    auto *next = new QWidget(s.window.get());
    next->setFocusPolicy(Qt::StrongFocus);
    next->setGeometry(0, 40, 5, 5);
    next->show();
    int code = -1;
    QObject::connect(&b, &Button::KeyDown, [&code](std::int16_t &c, std::int16_t &) { code = c; });
    s.window->activateWindow();
    for (const Case &c : cases) {
        b.setFocus();
        ASSERT_TRUE(vidmora::test::waitUntil([&] { return b.hasFocus(); }, 5000));
        code = -1;
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, 0, c.nativeKey, 0, QString::fromLatin1(c.text));
        QApplication::sendEvent(&b, &press);
        QKeyEvent release(QEvent::KeyRelease, c.key, c.modifiers, 0, c.nativeKey, 0, QString::fromLatin1(c.text));
        QApplication::sendEvent(&b, &release);
        QCoreApplication::processEvents(); // the Tab sent for an arrow
        EXPECT_EQ(code, c.code) << c.text << " " << c.key;
        QWidget *expected = c.moves > 0 ? next : c.moves < 0 ? s.focusSink : static_cast<QWidget *>(&b);
        EXPECT_TRUE(vidmora::test::waitUntil([&] { return QApplication::focusWidget() == expected; }, 2000))
            << c.text << " " << c.key;
    }
}

TEST(ButtonInput, CheckBoxToggles)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    b.setCheckBoxBehaviour(true);
    QSignalSpy changed(&b, &Button::PropertyChanged);
    QTest::mouseClick(&b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(b.Value());
    EXPECT_EQ(b.LastState(), 2); // checked: pressed look
    QTest::keyPress(&b, Qt::Key_Space);
    QTest::keyRelease(&b, Qt::Key_Space);
    EXPECT_FALSE(b.Value());
    EXPECT_EQ(b.LastState(), 0);
    b.UserControl_AccessKeyPress('o');
    EXPECT_TRUE(b.Value());
    EXPECT_TRUE(changed.isEmpty()); // the toggle is not signalled
}

TEST(ButtonInput, AccessKeyClicksOnlyAnEnabledButton)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    b.setCaption("&Open");
    QSignalSpy clicks(&b, &Button::Click);
    s.window->activateWindow();
    QApplication::setActiveWindow(s.window.get());
    QTest::keyClick(s.window.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return clicks.size() == 1; }, 5000));
    b.setEnabled(false);
    b.UserControl_AccessKeyPress('o');
    EXPECT_EQ(clicks.size(), 1);
}

TEST(ButtonInput, HoverStartsOnMoveAndEndsOnThePoll)
{
    ShownButton s(60, 24, btGradient);
    Button &b = *s.button;
    EventLog ev(b);
    s.pointerOver = true;
    QTest::mouseMove(&b, QPoint(10, 10));
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return b.IsOver(); }, 5000));
    EXPECT_TRUE(b.overTimerEnabled());
    EXPECT_EQ(s.px(1, 10), RGB(255, 178, 49));
    const int paints = b.paintCount();
    b.UserControl_MouseMove(0, 0, 11, 11); // already hovered: nothing drawn
    EXPECT_EQ(b.paintCount(), paints);
    s.pointerOver = false;
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return !b.IsOver(); }, 5000));
    EXPECT_FALSE(b.overTimerEnabled());
    EXPECT_EQ(ev.log, (QStringList{"over", "out"}));

    // a drag with the left button held never starts hovering
    s.pointerOver = true;
    b.UserControl_MouseMove(1, 0, 5, 5);
    EXPECT_FALSE(b.IsOver());
    EXPECT_EQ(b.LastState(), 2);
    s.pointerOver = false;
    b.UserControl_MouseMove(1, 0, 500, 5);
    EXPECT_EQ(b.LastState(), 0);
}

TEST(ButtonInput, VisibilityGatesDrawing)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    b.hide();
    EXPECT_FALSE(b.CanDraw());
    const int paints = b.paintCount();
    b.setCaption("Hidden");
    EXPECT_EQ(b.paintCount(), paints);
    b.show();
    EXPECT_TRUE(b.CanDraw());
    EXPECT_GT(b.paintCount(), paints);
}

TEST(ButtonInput, SeeThroughCopiesTheParentsPixels)
{
    QWidget window;
    window.resize(120, 60);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(200, 30, 40));
    window.setPalette(pal);
    window.setAutoFillBackground(true);
    Button b(platform::PropertyBag{{"BTYPE", platform::PropertyBag::int32(btSeeThrough)}, {"TX", QString()}},
             &window);
    b.setGeometry(10, 10, 60, 24);
    window.show();
    EXPECT_EQ(b.W(), 60);
    EXPECT_EQ(b.H(), 24);
    EXPECT_EQ(b.height(), 24);
    EXPECT_EQ(platform::gdi::fromQRgb(b.surface().pixel(30, 12)), RGB(200, 30, 40));
    // resized later: the background copy keeps its first size, the layout follows
    b.resize(80, 30);
    EXPECT_EQ(b.W(), 80);
}

TEST(ButtonInput, MainWindowStyleBagBuildsAWorkingButton)
{
    using platform::PropertyBag;
    platform::StdFont tahoma;
    tahoma.Name = "Tahoma";
    tahoma.Size = 8.25f;
    tahoma.Bold = true;
    QWidget window;
    window.resize(200, 60);
    Button b(PropertyBag{{"BTYPE", PropertyBag::int32(3)}, {"TX", QStringLiteral("Download")}, {"ENAB", true},
                         {"FONT", PropertyBag::font(tahoma)}, {"COLTYPE", PropertyBag::int32(1)},
                         {"FOCUSR", true}, {"BCOL", PropertyBag::int32(0xC8D0D4)},
                         {"BCOLO", PropertyBag::int32(0xC8D0D4)}, {"FCOL", PropertyBag::int32(0)},
                         {"FCOLO", PropertyBag::int32(0)}, {"MCOL", PropertyBag::int32(0xC0C0C0)},
                         {"MPTR", PropertyBag::int16(1)}, {"UMCOL", true}},
             &window);
    b.setGeometry(10, 10, 73, 20);
    window.show();
    QSignalSpy clicks(&b, &Button::Click);
    EXPECT_EQ(b.Caption(), "Download");
    QTest::mouseClick(&b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(clicks.size(), 1);
    b.QWidget::setEnabled(false);
    QTest::mouseClick(&b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_FALSE(b.Enabled());
}

TEST(ButtonInput, DragOffAndBackOnThenReleaseInsideClicks)
{
    ShownButton s(60, 24, btGradient);
    Button &b = *s.button;
    EventLog ev(b);
    s.pointerOver = true;
    QTest::mousePress(&b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    s.pointerOver = false;
    b.UserControl_MouseMove(1, 0, 200, 5);
    EXPECT_EQ(b.LastState(), 0); // up look outside
    s.pointerOver = true;
    b.UserControl_MouseMove(1, 0, 6, 5);
    EXPECT_EQ(b.LastState(), 2);
    EXPECT_EQ(s.px(1, 10), b.ShiftColor(b.ShiftColor(b.colors().BaseColor, -32, true), -32, true)); // pressed bevel
    EXPECT_FALSE(b.IsOver()); // the hover flag lasts one drawing only
    QTest::mouseRelease(&b, Qt::LeftButton, Qt::NoModifier, QPoint(6, 5));
    EXPECT_EQ(ev.log.last(), "click");
}

TEST(ButtonInput, HiddenHoveredButtonStillEndsItsHover)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    QSignalSpy out(&b, &Button::MouseOut);
    s.pointerOver = true;
    b.UserControl_MouseMove(0, 0, 5, 5);
    ASSERT_TRUE(b.IsOver());
    b.hide();
    const int paints = b.paintCount();
    s.pointerOver = false;
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return out.size() == 1; }, 5000));
    EXPECT_FALSE(b.IsOver());
    EXPECT_EQ(b.paintCount(), paints);
}

TEST(ButtonInput, LosingFocusWhileSpaceIsHeldKeepsThePressedLook)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    b.UserControl_GotFocus();
    b.UserControl_KeyDown(32, 0);
    EXPECT_EQ(b.LastState(), 2);
    b.UserControl_LostFocus();
    EXPECT_EQ(b.LastState(), 2);
    EXPECT_FALSE(b.HasFocus());
}

TEST(ButtonInput, FocusStaysWhileAnotherProgramIsInFront)
{
    ShownButton s(60, 24, btGradient);
    Button &b = *s.button;
    const COLORREF focusEdge = RGB(140, 174, 231);
    QApplication::setActiveWindow(s.window.get());
    b.setFocus();
    ASSERT_TRUE(vidmora::test::waitUntil([&] { return b.HasFocus(); }, 5000));
    EXPECT_EQ(s.px(1, 10), focusEdge);

    QApplication::setActiveWindow(nullptr); // another program's window in front
    EXPECT_TRUE(b.HasFocus());
    EXPECT_EQ(s.px(1, 10), focusEdge);
    QApplication::setActiveWindow(s.window.get());
    EXPECT_TRUE(b.HasFocus());

    // the focus moved on while the window was behind: given up on return
    QApplication::setActiveWindow(nullptr);
    s.focusSink->setFocus();
    QApplication::setActiveWindow(s.window.get());
    EXPECT_FALSE(b.HasFocus());
    EXPECT_NE(s.px(1, 10), focusEdge);

    // another window of the program takes the focus
    b.setFocus();
    ASSERT_TRUE(vidmora::test::waitUntil([&] { return b.HasFocus(); }, 5000));
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_FALSE(b.HasFocus());
}

TEST(ButtonInput, AThrowingClickHandlerStaysInsideTheButton)
{
    ShownButton s(60, 24, btStandard);
    Button &b = *s.button;
    QObject::connect(&b, &Button::Click, [] { throw std::runtime_error("handler failed"); });
    EXPECT_NO_THROW(QTest::mouseClick(&b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)));
    EXPECT_EQ(b.LastState(), 0);
}

TEST(ButtonInput, HoverFollowsTheRealPointerAndTheRegion)
{
    ShownButton s(60, 24, btGradient);
    Button &b = *s.button;
    b.setPointerProbe(nullptr); // the window under the screen pointer decides
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.window.get()));
    QSignalSpy over(&b, &Button::MouseOver);
    QSignalSpy out(&b, &Button::MouseOut);
    QCursor::setPos(b.mapToGlobal(QPoint(0, 0))); // a corner the region cuts away
    b.UserControl_MouseMove(0, 0, 0, 0);
    EXPECT_FALSE(b.IsOver());
    QCursor::setPos(b.mapToGlobal(QPoint(30, 12)));
    b.UserControl_MouseMove(0, 0, 30, 12);
    EXPECT_TRUE(b.IsOver());
    EXPECT_EQ(over.size(), 1);
    QCursor::setPos(s.window->mapToGlobal(QPoint(2, 60)));
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return out.size() == 1; }, 5000));
    EXPECT_FALSE(b.IsOver());
}

namespace {

// The mouse as the window system hands it over: Qt itself makes a press within
// the double-click time and distance of the one before into a double click.
// Points are in the container window's coordinates.
struct SystemMouse {
    enum Step { Press, Release, Disable, Enable, Hide, Show };
    struct Action {
        Step step;
        QPoint at = {};
        int afterMs = 0;
    };
    void run(QWidget *window, Button &b, const std::vector<Action> &actions)
    {
        QWindow *w = window->windowHandle();
        for (const Action &a : actions) {
            time += static_cast<ulong>(a.afterMs);
            const QPointF at(a.at);
            switch (a.step) {
            case Press:
                qt_handleMouseEvent(w, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                                    QEvent::MouseButtonPress, Qt::NoModifier, static_cast<int>(time));
                break;
            case Release:
                qt_handleMouseEvent(w, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                                    QEvent::MouseButtonRelease, Qt::NoModifier, static_cast<int>(time));
                break;
            case Disable: b.setEnabled(false); break;
            case Enable: b.setEnabled(true); break;
            case Hide: b.hide(); break;
            case Show: b.show(); break;
            }
            QCoreApplication::processEvents();
        }
        time += 10000; // the next row starts with no double click pending
    }
    static inline ulong time = 1000000;
};

} // namespace

TEST(ButtonInput, ADoubleClickNeedsBothPressesOnTheButton)
{
    using M = SystemMouse;
    struct Case {
        const char *name;
        std::vector<M::Action> actions;
        QStringList log;
    };
    // The button lies at 10,10 to 70,34 of its window.
    const Case cases[] = {
        {"beside, then inside",
         {{M::Press, {30, 8}}, {M::Release, {30, 8}}, {M::Press, {30, 11}, 60}, {M::Release, {30, 11}}},
         {"down1@20,1", "up1", "click"}},
        {"twice inside",
         {{M::Press, {30, 12}}, {M::Release, {30, 12}}, {M::Press, {30, 12}, 60}, {M::Release, {30, 12}}},
         {"down1@20,2", "up1", "click", "down1@0,0", "up1"}},
        {"disabled before the second release, then a click",
         {{M::Press, {30, 12}}, {M::Release, {30, 12}}, {M::Press, {30, 12}, 60}, {M::Disable},
          {M::Release, {30, 12}}, {M::Enable}, {M::Press, {30, 12}, 1000}, {M::Release, {30, 12}}},
         {"down1@20,2", "up1", "click", "down1@0,0", "down1@20,2", "up1", "click"}},
        {"hidden before the second release, then a click",
         {{M::Press, {30, 12}}, {M::Release, {30, 12}}, {M::Press, {30, 12}, 60}, {M::Hide},
          {M::Release, {30, 12}}, {M::Show}, {M::Press, {30, 12}, 1000}, {M::Release, {30, 12}}},
         {"down1@20,2", "up1", "click", "down1@0,0", "down1@20,2", "up1", "click"}},
    };
    ASSERT_LT(60, QGuiApplication::styleHints()->mouseDoubleClickInterval());
    for (const Case &c : cases) {
        ShownButton s(60, 24, btStandard);
        Button &b = *s.button;
        EventLog ev(b);
        int lookAtRelease = -1;
        QObject::connect(&b, &Button::MouseDown, [&](std::int16_t &, std::int16_t &, float &, float &) {
            lookAtRelease = -1;
        });
        QObject::connect(&b, &Button::MouseUp, [&](std::int16_t &, std::int16_t &, float &, float &) {
            lookAtRelease = b.LastState(); // the pressed look until the release draws the up look
        });
        SystemMouse().run(s.window.get(), b, c.actions);
        EXPECT_EQ(ev.log, c.log) << c.name << ": " << ev.log.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(lookAtRelease, 2) << c.name;
    }
}

TEST(ButtonInput, ADisabledOrHiddenButtonUnderThePointerEndsItsHover)
{
    struct Case {
        const char *name;
        std::function<void(Button &)> change;
    };
    const Case cases[] = {
        {"Enabled set False", [](Button &b) { b.setEnabled(false); }},
        {"surface switched off", [](Button &b) { b.QWidget::setEnabled(false); }},
        {"container disabled", [](Button &b) { b.parentWidget()->setEnabled(false); }},
        {"hidden", [](Button &b) { b.hide(); }},
    };
    for (const Case &c : cases) {
        ShownButton s(60, 24, btGradient);
        Button &b = *s.button;
        b.setPointerProbe(nullptr); // the window under the screen pointer decides
        ASSERT_TRUE(QTest::qWaitForWindowExposed(s.window.get()));
        QSignalSpy out(&b, &Button::MouseOut);
        QCursor::setPos(b.mapToGlobal(QPoint(30, 12)));
        b.UserControl_MouseMove(0, 0, 30, 12);
        ASSERT_TRUE(b.IsOver()) << c.name;
        c.change(b);
        EXPECT_TRUE(vidmora::test::waitUntil([&] { return out.size() == 1; }, 5000)) << c.name;
        EXPECT_FALSE(b.IsOver()) << c.name;
        EXPECT_FALSE(b.overTimerEnabled()) << c.name;
    }
}
