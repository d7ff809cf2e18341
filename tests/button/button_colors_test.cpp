#include "button_fixture.h"

#include <gtest/gtest.h>

#include <QPalette>

#include <cmath>

using namespace vidmora;
using platform::gdi::COLORREF;
using platform::gdi::RECT;
using platform::gdi::RGB;
using vidmora::test::ShownButton;

TEST(ButtonColors, ShiftAndLightenWorkedExamples)
{
    Button b;
    EXPECT_EQ(b.ShiftColor(RGB(100, 100, 100), 48, true), RGB(148, 148, 125));
    EXPECT_EQ(b.ShiftColor(RGB(100, 100, 100), -104, true), RGB(0, 0, 46));
    EXPECT_EQ(b.ShiftColor(RGB(200, 10, 250), 40), RGB(240, 50, 255));
    EXPECT_EQ(b.ShiftColor(RGB(200, 10, 250), -40), RGB(160, 0, 210));
    EXPECT_EQ(b.ShiftColor(RGB(200, 10, 250), 0), RGB(200, 10, 250));
    b.setSoftBevel(true);
    EXPECT_EQ(b.ShiftColor(RGB(100, 100, 100), -9), RGB(96, 96, 96));  // -9 halves to -4
    EXPECT_EQ(b.ShiftColor(RGB(100, 100, 100), 47), RGB(123, 123, 123)); // 47 halves to 23

    EXPECT_EQ(Button::LightenColor(RGB(0, 0, 0), 176), RGB(176, 176, 176));
    EXPECT_EQ(Button::LightenColor(RGB(10, 36, 106), 176), RGB(179, 187, 208));
    EXPECT_EQ(Button::LightenColor(RGB(255, 255, 255), 176), RGB(255, 255, 255));

    EXPECT_EQ(Button::TranslateColor(0x80000010), RGB(128, 128, 128));
    EXPECT_EQ(Button::TranslateColor(0x80000077), 0u); // untranslatable: black
}

TEST(ButtonColors, CustomSchemeTable)
{
    Button b;
    b.setColorScheme(csCustom);
    b.setBackColor(RGB(100, 100, 100));
    b.setForeColor(RGB(1, 2, 3));
    b.setForeOver(RGB(4, 5, 6));
    auto c = b.colors();
    EXPECT_EQ(c.FaceColor, RGB(100, 100, 100));
    EXPECT_EQ(c.ShadowColor, RGB(36, 36, 36));
    EXPECT_EQ(c.LightColor, RGB(131, 131, 131));
    EXPECT_EQ(c.HighlightColor, RGB(147, 147, 147));
    EXPECT_EQ(c.DarkShadowColor, RGB(0, 0, 0));
    EXPECT_EQ(c.HotColor, RGB(0, 0, 0));
    EXPECT_EQ(c.HotBackColor, RGB(100, 100, 100));
    EXPECT_EQ(c.TextColor, RGB(1, 2, 3));
    EXPECT_EQ(c.TextOverColor, RGB(4, 5, 6));
    EXPECT_EQ(c.BaseColor, RGB(148, 148, 148));
    EXPECT_EQ(c.MaskRGB, RGB(192, 192, 192));
    b.setSoftBevel(true);
    c = b.colors();
    EXPECT_EQ(c.ShadowColor, RGB(68, 68, 68));
    EXPECT_EQ(c.LightColor, RGB(115, 115, 115));
    EXPECT_EQ(c.HighlightColor, RGB(123, 123, 123));
    EXPECT_EQ(c.DarkShadowColor, RGB(4, 4, 4));
    EXPECT_EQ(c.HotColor, RGB(36, 36, 36));
    EXPECT_EQ(c.BaseColor, RGB(124, 124, 124));

    b.setBackColor(0x8000000F); // a system-colour reference becomes its RGB value
    EXPECT_EQ(b.colors().FaceColor, RGB(212, 208, 200));
}

TEST(ButtonColors, SystemSchemeAndEveryOtherValue)
{
    for (int scheme : {1, 0, 5, -3, 99}) {
        Button b;
        b.setColorScheme(scheme);
        const auto c = b.colors();
        EXPECT_EQ(c.FaceColor, RGB(212, 208, 200)) << scheme;
        EXPECT_EQ(c.ShadowColor, RGB(128, 128, 128));
        EXPECT_EQ(c.LightColor, RGB(212, 208, 200));
        EXPECT_EQ(c.HighlightColor, RGB(255, 255, 255));
        EXPECT_EQ(c.DarkShadowColor, RGB(64, 64, 64));
        EXPECT_EQ(c.TextColor, RGB(0, 0, 0));
        EXPECT_EQ(c.TextOverColor, RGB(0, 0, 0));
        EXPECT_EQ(c.HotColor, RGB(10, 36, 106));
        EXPECT_EQ(c.HotBackColor, RGB(179, 187, 208));
        EXPECT_EQ(c.BaseColor, RGB(255, 255, 248));
    }
}

TEST(ButtonColors, ClassicSchemeIgnoresTheColourProperties)
{
    Button b;
    b.setColorScheme(csClassic);
    b.setBackColor(RGB(1, 2, 3));
    b.setForeColor(RGB(4, 5, 6));
    b.setForeOver(RGB(7, 8, 9));
    auto c = b.colors();
    EXPECT_EQ(c.FaceColor, RGB(192, 192, 192));
    EXPECT_EQ(c.ShadowColor, RGB(128, 128, 128));
    EXPECT_EQ(c.LightColor, RGB(223, 223, 223));
    EXPECT_EQ(c.HighlightColor, RGB(255, 255, 255));
    EXPECT_EQ(c.DarkShadowColor, RGB(0, 0, 0));
    EXPECT_EQ(c.TextColor, RGB(0, 0, 0));
    EXPECT_EQ(c.TextOverColor, RGB(0, 0, 0));
    EXPECT_EQ(c.HotColor, RGB(0, 0, 128));
    EXPECT_EQ(c.HotBackColor, RGB(173, 173, 209));
    EXPECT_EQ(c.BaseColor, RGB(240, 240, 240));
    b.setSoftBevel(true);
    EXPECT_EQ(b.colors().BaseColor, RGB(216, 216, 216));
    EXPECT_EQ(b.colors().ShadowColor, RGB(128, 128, 128));
    b.setButtonType(btGradient);
    b.Refresh();
    EXPECT_EQ(b.colors().BaseColor, RGB(216, 216, 216)); // relative at blue 192 adds the same
}

TEST(ButtonColors, ContainerSchemeTakesTheContainersColours)
{
    QWidget window;
    QPalette pal = window.palette();
    pal.setColor(window.backgroundRole(), QColor(100, 100, 100));
    pal.setColor(window.foregroundRole(), QColor(9, 8, 7));
    window.setPalette(pal);
    Button b(&window);
    b.setColorScheme(csContainer);
    const auto c = b.colors();
    EXPECT_EQ(c.FaceColor, RGB(100, 100, 100));
    EXPECT_EQ(c.ShadowColor, RGB(36, 36, 36));
    EXPECT_EQ(c.TextColor, RGB(9, 8, 7));
    EXPECT_EQ(c.TextOverColor, RGB(9, 8, 7));
    EXPECT_EQ(c.HotColor, RGB(10, 36, 106));
    EXPECT_EQ(c.HotBackColor, RGB(179, 187, 208));
}

TEST(ButtonGeometry, ContentRectangleByStyle)
{
    struct Case {
        int style;
        RECT rect;
    };
    const Case cases[] = {{btGlossy, {6, 6, 71, 19}}, {btStandard, {4, 4, 71, 19}}, {btHotTrack, {3, 3, 72, 20}},
                          {btFramed, {4, 4, 71, 19}}, {btThin, {3, 3, 72, 20}},     {btOval, {3, 3, 72, 20}},
                          {0, {4, 4, 71, 19}},        {15, {4, 4, 71, 19}}};
    ShownButton s(75, 23);
    for (const Case &c : cases) {
        s.button->setButtonType(c.style);
        EXPECT_EQ(s.button->ContentRect(), c.rect) << c.style;
        EXPECT_EQ(s.button->W(), 75);
        EXPECT_EQ(s.button->H(), 23);
    }
}

TEST(ButtonGeometry, WindowRegionByStyle)
{
    ShownButton s(20, 10);
    Button &b = *s.button;
    auto in = [&](int x, int y) { return b.WindowRegion().contains(QPoint(x, y)); };

    for (int style : {btGradient, btRounded}) {
        b.setButtonType(style);
        EXPECT_TRUE(in(1, 1));
        for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {0, 1}, {18, 0}, {19, 0}, {19, 1}, {0, 9}, {1, 9}, {0, 8},
                            {18, 9}, {19, 9}, {19, 8}})
            EXPECT_FALSE(in(x, y)) << style << ": " << x << "," << y;
        EXPECT_TRUE(in(2, 0));
        EXPECT_TRUE(in(0, 2));
        EXPECT_EQ(b.mask(), b.WindowRegion());
    }
    for (int style : {btFramed, btGlossy}) {
        b.setButtonType(style);
        EXPECT_FALSE(in(0, 0));
        EXPECT_FALSE(in(19, 0));
        EXPECT_FALSE(in(0, 9));
        EXPECT_FALSE(in(19, 9));
        EXPECT_TRUE(in(1, 0));
        EXPECT_TRUE(in(0, 1));
    }
    b.setButtonType(btSoft);
    EXPECT_TRUE(in(0, 0));
    EXPECT_TRUE(in(19, 9));
    EXPECT_FALSE(in(19, 0));
    EXPECT_FALSE(in(0, 9));
    for (int style : {int(btStandard), int(btLight3D), int(btSeeThrough), int(btFlat3D), 0, 20}) {
        b.setButtonType(style);
        EXPECT_EQ(b.WindowRegion(), QRegion(0, 0, 20, 10)) << style;
    }
    b.setButtonType(btOval);
    EXPECT_FALSE(in(0, 0));
    EXPECT_FALSE(in(19, 9));
    EXPECT_TRUE(in(10, 5));
    EXPECT_TRUE(in(0, 5));
    EXPECT_TRUE(in(10, 0));
}

TEST(ButtonPrimitives, FrameRingsWithOffset)
{
    ShownButton s(10, 10, btTransparent);
    Button &b = *s.button;
    const COLORREF C1 = RGB(1, 0, 0), C2 = RGB(2, 0, 0), C3 = RGB(3, 0, 0), C4 = RGB(4, 0, 0), K = RGB(9, 9, 9);
    b.DrawRect(0, 0, 10, 10, K);
    b.DrawFrame(C1, C2, C3, C4, -1, false);
    auto px = [&](int x, int y) { return s.px(x, y); };
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(px(0, i), K);
        EXPECT_EQ(px(9, i), K);
        EXPECT_EQ(px(i, 0), K);
        EXPECT_EQ(px(i, 9), K);
    }
    for (int i = 1; i <= 7; ++i) {
        EXPECT_EQ(px(1, i), C1) << i; // outer left, top
        EXPECT_EQ(px(i, 1), C1) << i;
    }
    for (int i = 2; i <= 8; ++i) {
        EXPECT_EQ(px(8, i), C2) << i; // outer right, bottom (corners included)
        EXPECT_EQ(px(i, 8), C2) << i;
    }
    EXPECT_EQ(px(1, 8), C2);
    EXPECT_EQ(px(8, 1), C2);
    for (int i = 2; i <= 6; ++i) {
        EXPECT_EQ(px(2, i), C3) << i;
        EXPECT_EQ(px(i, 2), C3) << i;
    }
    for (int i = 3; i <= 7; ++i) {
        EXPECT_EQ(px(7, i), C4) << i;
        EXPECT_EQ(px(i, 7), C4) << i;
    }
    EXPECT_EQ(px(2, 7), C4);
    EXPECT_EQ(px(7, 2), C4);
    EXPECT_EQ(px(3, 3), K);

    b.DrawRect(0, 0, 10, 10, K);
    b.DrawFrame(C1, C2, C3, C4, 0, true);
    EXPECT_EQ(px(0, 0), C1);
    EXPECT_EQ(px(0, 9), C2);
    EXPECT_EQ(px(9, 0), C2);
    EXPECT_EQ(px(9, 9), C2);
    EXPECT_EQ(px(1, 1), K); // outer only
}

TEST(ButtonPrimitives, FocusRectangleNeedsFocusAndTheSwitch)
{
    ShownButton s(30, 20, btTransparent);
    Button &b = *s.button;
    b.DrawRect(0, 0, 30, 20, RGB(200, 200, 200));
    const QImage before = b.surface().copy();
    b.DrawFocus(); // no focus
    EXPECT_EQ(b.surface(), before);
    b.UserControl_GotFocus();
    b.DrawRect(0, 0, 30, 20, RGB(200, 200, 200));
    b.DrawFocus();
    EXPECT_NE(b.surface(), before);
    b.DrawFocus(); // twice removes it
    EXPECT_EQ(b.surface(), before);
    b.setShowFocusRect(false);
    b.DrawRect(0, 0, 30, 20, RGB(200, 200, 200));
    b.DrawFocus();
    EXPECT_EQ(b.surface(), before);
}
