#include "button_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>

#include <cmath>

using namespace vidmora;
using platform::makePicture;
using platform::PicturePtr;
using platform::StdFont;
using platform::gdi::COLORREF;
using platform::gdi::RGB;
using vidmora::test::ShownButton;

namespace {

int amount(float step, int i) { return static_cast<int>(std::nearbyint(-(step * static_cast<float>(i)))); }

bool surfaceHas(const Button &b, COLORREF c)
{
    const QImage &img = b.surface();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (platform::gdi::fromQRgb(img.pixel(x, y)) == c)
                return true;
    return false;
}

} // namespace

TEST(ButtonPainter, GradientAmountsAreHalvesToEven)
{
    EXPECT_EQ(amount(25.0f / 25, 1), -1);
    EXPECT_EQ(amount(25.0f / 25, 25), -25);
    const int expected50[] = {0, -1, -2, -2, -2, -3};
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(amount(25.0f / 50, i), expected50[i - 1]) << i;
    EXPECT_EQ(amount(25.0f / 50, 50), -25);
}

TEST(ButtonPainter, Style3UpGradientRows)
{
    for (int H : {25, 50}) {
        ShownButton s(60, H, btGradient);
        Button &b = *s.button;
        const COLORREF base = b.colors().BaseColor;
        EXPECT_EQ(base, b.ShiftColor(RGB(212, 208, 200), 48, true));
        const float step = 25.0f / static_cast<float>(H);
        for (int i = 3; i <= H - 4; ++i)
            EXPECT_EQ(s.px(30, i), b.ShiftColor(base, amount(step, i), true)) << H << " row " << i;
        EXPECT_EQ(s.px(0, H / 2), RGB(0, 60, 115));
        EXPECT_EQ(s.px(1, 1), RGB(16, 77, 123));
        EXPECT_EQ(s.px(58, H - 2), RGB(16, 77, 123));
        // plain bevel
        EXPECT_EQ(s.px(1, H / 2), b.ShiftColor(base, -5, true));
        EXPECT_EQ(s.px(2, H / 2), b.ShiftColor(base, -10, true));
        EXPECT_EQ(s.px(57, H / 2), b.ShiftColor(base, -24, true));
        EXPECT_EQ(s.px(58, H / 2), b.ShiftColor(base, -36, true));
        EXPECT_EQ(s.px(30, 1), b.ShiftColor(base, 16, true));
    }
}

TEST(ButtonPainter, Style3EdgeSetsHoverBeatsFocus)
{
    ShownButton s(60, 24, btGradient);
    Button &b = *s.button;
    b.UserControl_GotFocus();
    EXPECT_EQ(s.px(1, 10), RGB(140, 174, 231));
    EXPECT_EQ(s.px(30, 1), RGB(206, 231, 255));
    s.pointerOver = true;
    b.UserControl_MouseMove(0, 0, 5, 5);
    EXPECT_EQ(s.px(1, 10), RGB(255, 178, 49));
    EXPECT_EQ(s.px(30, 22), RGB(231, 150, 0));
    s.pointerOver = false;
    b.OverTimer_Timer();
    EXPECT_EQ(s.px(1, 10), RGB(140, 174, 231));
    b.setShowFocusRect(false);
    EXPECT_EQ(s.px(1, 10), b.ShiftColor(b.colors().BaseColor, -5, true));
    b.UserControl_LostFocus();
    b.setShowFocusRect(true);
    b.setAmbientDisplayAsDefault(true); // the default button shows blue edges without focus
    EXPECT_EQ(s.px(1, 10), RGB(140, 174, 231));
}

TEST(ButtonPainter, Style3PressedAndDisabled)
{
    ShownButton s(60, 25, btGradient);
    Button &b = *s.button;
    const COLORREF base = b.colors().BaseColor;
    const COLORREF P = b.ShiftColor(base, -32, true);
    b.DrawButton(2, false);
    for (int i = 4; i <= 21; ++i) // row H-i holds amount(i)
        EXPECT_EQ(s.px(30, 25 - i), b.ShiftColor(P, -i, true)) << i;
    EXPECT_EQ(s.px(57, 10), base);
    b.setEnabled(false);
    EXPECT_EQ(s.px(30, 10), b.ShiftColor(base, -24, true));
    EXPECT_EQ(s.px(0, 10), b.ShiftColor(base, -84, true));
    EXPECT_EQ(s.px(1, 1), b.ShiftColor(base, -72, true));
    b.DrawButton(2, true); // disabled wins over pressed
    EXPECT_EQ(s.px(30, 10), b.ShiftColor(base, -24, true));
}

TEST(ButtonPainter, GateAndUnknownStates)
{
    ShownButton s(40, 20, btStandard);
    Button &b = *s.button;
    const int paints = b.paintCount();
    b.DrawButton(0, false); // same state and caption
    EXPECT_EQ(b.paintCount(), paints);
    b.DrawButton(1, false);
    EXPECT_EQ(b.paintCount(), paints + 1);
    EXPECT_EQ(b.LastState(), 1);
    EXPECT_EQ(s.px(0, 0), RGB(212, 208, 200)); // face only, no frame
    b.DrawButton(1, false);
    EXPECT_EQ(b.paintCount(), paints + 1);
    for (int style : {0, 15, int(btTransparent)}) {
        b.setButtonType(style);
        EXPECT_EQ(s.px(0, 0), RGB(212, 208, 200)) << style;
        EXPECT_EQ(s.px(39, 19), RGB(212, 208, 200)) << style;
    }
}

TEST(ButtonPainter, StandardAndFramedFrames)
{
    ShownButton s(40, 20, btStandard);
    Button &b = *s.button;
    EXPECT_EQ(s.px(0, 10), RGB(255, 255, 255));
    EXPECT_EQ(s.px(39, 10), RGB(64, 64, 64));
    EXPECT_EQ(s.px(1, 10), RGB(212, 208, 200));
    EXPECT_EQ(s.px(38, 10), RGB(128, 128, 128));
    b.DrawButton(2, false);
    EXPECT_EQ(s.px(0, 10), RGB(64, 64, 64));
    EXPECT_EQ(s.px(39, 10), RGB(255, 255, 255));
    b.DrawButton(0, false);
    b.UserControl_GotFocus(); // focused but not default: no dark frame, no dots
    EXPECT_EQ(s.px(0, 10), RGB(255, 255, 255));
    EXPECT_EQ(s.px(b.ContentRect().left, b.ContentRect().top), RGB(212, 208, 200));
    b.setAmbientDisplayAsDefault(true); // default: dark outer frame, ring one pixel in, dots
    EXPECT_EQ(s.px(0, 10), RGB(64, 64, 64));
    EXPECT_EQ(s.px(1, 10), RGB(255, 255, 255));
    EXPECT_EQ(s.px(b.ContentRect().left, b.ContentRect().top), RGB(0, 0, 0));
    b.UserControl_LostFocus();
    b.setAmbientDisplayAsDefault(false);
    b.setButtonType(btFramed);
    EXPECT_EQ(s.px(0, 10), RGB(64, 64, 64));
    EXPECT_EQ(s.px(1, 10), RGB(255, 255, 255));
    EXPECT_EQ(s.px(38, 10), RGB(128, 128, 128));
}

TEST(ButtonPainter, HotTrackAndCustomHoverSwap)
{
    ShownButton s(40, 20, btHotTrack, csCustom);
    Button &b = *s.button;
    b.setBackColor(RGB(100, 100, 100));
    b.setBackOver(RGB(200, 0, 0));
    EXPECT_EQ(s.px(0, 0), RGB(100, 100, 100)); // no frame when not hovered
    s.pointerOver = true;
    b.UserControl_MouseMove(0, 0, 1, 1);
    EXPECT_EQ(s.px(5, 5), RGB(200, 0, 0));            // face from the hover colour
    EXPECT_EQ(s.px(0, 5), b.ShiftColor(RGB(200, 0, 0), -128)); // hot frame from it too
    EXPECT_EQ(b.BackColor(), RGB(100, 100, 100));
    EXPECT_EQ(b.colors().FaceColor, RGB(100, 100, 100)); // between paints: the normal colours
    s.pointerOver = false;
    b.OverTimer_Timer();
    b.DrawButton(2, false); // pressed by keyboard: outline only over the plain face
    EXPECT_EQ(s.px(5, 5), RGB(100, 100, 100));
    EXPECT_EQ(s.px(0, 5), RGB(0, 0, 0));
}

TEST(ButtonPainter, OvalSoftRoundedGlossy)
{
    ShownButton s(40, 20, btOval);
    Button &b = *s.button;
    s.pointerOver = true;
    b.UserControl_MouseMove(0, 0, 1, 1);
    EXPECT_EQ(s.px(0, 10), RGB(128, 128, 128)); // the hovered pen
    EXPECT_EQ(s.px(20, 10), RGB(212, 208, 200));
    b.setEnabled(false); // no ellipse when disabled
    EXPECT_EQ(s.px(0, 10), RGB(212, 208, 200));
    b.setEnabled(true);

    b.setButtonType(btSoft);
    EXPECT_EQ(s.px(5, 5), b.ShiftColor(RGB(212, 208, 200), 12));
    EXPECT_EQ(s.px(0, 5), b.ShiftColor(RGB(128, 128, 128), -26));
    EXPECT_EQ(s.px(39, 5), RGB(255, 255, 255));

    b.setButtonType(btRounded);
    EXPECT_EQ(s.px(0, 10), RGB(64, 64, 64));
    EXPECT_EQ(s.px(2, 10), RGB(255, 255, 255));
    EXPECT_EQ(s.px(38, 10), RGB(128, 128, 128));

    s.pointerOver = false;
    b.OverTimer_Timer();
    b.setButtonType(btGlossy);
    EXPECT_EQ(s.px(0, 10), b.ShiftColor(RGB(128, 128, 128), -50));
    EXPECT_EQ(s.px(2, 2), RGB(255, 255, 255));
    const float step = 58.0f / 20;
    EXPECT_EQ(s.px(20, 12), b.ShiftColor(RGB(255, 255, 255), amount(step, 12)));
}

TEST(ButtonPainter, GlossyDefaultCaptionIsBoldOnlyWhilePainting)
{
    ShownButton s(80, 24, btGlossy);
    Button &b = *s.button;
    b.setCaption("Default");
    const int normalWidth = b.CaptionWidth();
    b.setAmbientDisplayAsDefault(true);
    EXPECT_FALSE(b.FontBold());
    EXPECT_TRUE(b.CanDraw());
    EXPECT_EQ(b.CaptionWidth(), normalWidth);
}

TEST(ButtonCaption, LayoutWorkedExamples)
{
    // a caption that measures 40 x 13 in the font used here: find one by width
    ShownButton s(100, 30, btStandard);
    Button &b = *s.button;
    b.setCaption("Wg");
    const int w = b.CaptionWidth();
    const int h = b.CaptionHeight();
    ASSERT_GT(w, 0);
    auto centred = [&](int W, int H, int r, int bot) { return std::pair{(W - r) / 2, (H - bot) / 2}; };
    const auto [dx, dy] = centred(100, 30, 1 + w, 1 + h);
    for (int pos : {ppLeft, ppTop, ppBehind}) {
        b.setPicturePosition(pos);
        EXPECT_EQ(b.CaptionRect().left, 1 + dx) << pos;
        EXPECT_EQ(b.CaptionRect().top, 1 + dy) << pos;
        EXPECT_EQ(b.PressedRect().left, 2 + dx);
        EXPECT_EQ(b.PressedRect().top, 2 + dy);
    }
    b.setPicturePosition(ppRight);
    EXPECT_EQ(b.CaptionRect().left, 1 + (100 - 1 - w - 4) / 2);
    b.setPicturePosition(ppBottom);
    EXPECT_EQ(b.CaptionRect().top, 1 + (30 - 1 - h - 4) / 2);
}

TEST(ButtonCaption, PictureLayoutWorkedExamples)
{
    ShownButton s(100, 30, btStandard);
    Button &b = *s.button;
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 255));
    b.setPictureNormal(makePicture(img));
    EXPECT_EQ(b.PictureWidth(), 16);
    b.setCaption("Wg");
    const int w = b.CaptionWidth(), h = b.CaptionHeight();
    b.setPicturePosition(ppLeft);
    EXPECT_EQ(b.CaptionRect().left, 17 + (100 - 17 - w) / 2);
    EXPECT_EQ(b.PictureX(), b.CaptionRect().left - 16 - 4);
    EXPECT_EQ(b.PictureY(), 7);
    b.setPicturePosition(ppRight);
    EXPECT_EQ(b.PictureX(), b.CaptionRect().right + 4);
    b.setPicturePosition(ppBehind);
    EXPECT_EQ(b.PictureX(), 42);
    EXPECT_EQ(b.PictureY(), 7);
    b.setPicturePosition(ppTop);
    EXPECT_EQ(b.CaptionRect().top, 17 + (30 - 17 - h) / 2);
    EXPECT_EQ(b.PictureY(), b.CaptionRect().top - 16 - 2);
    b.setPicturePosition(ppBottom);
    EXPECT_EQ(b.PictureY(), b.CaptionRect().bottom + 2);
    b.setCaption("   ");
    b.setPicturePosition(ppLeft);
    EXPECT_EQ(b.PictureX(), 42); // spaces only: centred
    // the picture is drawn in colour where the mask colour does not match
    EXPECT_EQ(s.px(50, 15), RGB(0, 0, 255));
}

TEST(ButtonCaption, TextStatesAndEffects)
{
    ShownButton s(100, 30, btStandard, csCustom);
    Button &b = *s.button;
    b.setBackColor(RGB(100, 100, 100));
    b.setForeColor(RGB(0, 0, 0));
    b.setCaption("WWW");
    b.setSpecialEffect(seSunken);
    EXPECT_TRUE(surfaceHas(b, RGB(140, 140, 140)));
    EXPECT_TRUE(surfaceHas(b, RGB(60, 60, 60)));
    b.setSoftBevel(true);
    EXPECT_TRUE(surfaceHas(b, RGB(120, 120, 120)));
    EXPECT_TRUE(surfaceHas(b, RGB(80, 80, 80)));
    b.setSoftBevel(false);
    b.setEnabled(false); // state 3: highlight copy and shadow copy, no effects
    EXPECT_EQ(b.LastTextState(), 3);
    EXPECT_TRUE(surfaceHas(b, b.colors().HighlightColor));
    EXPECT_TRUE(surfaceHas(b, b.colors().ShadowColor));
    EXPECT_FALSE(surfaceHas(b, RGB(60, 60, 60)));
}

TEST(ButtonPictures, MaskTintGreyAndBlend)
{
    ShownButton s(40, 30, btStandard);
    Button &b = *s.button;
    QImage img(5, 3, QImage::Format_RGB32); // 5 wide: a padded DIB row
    img.fill(qRgb(255, 255, 255));
    img.setPixel(0, 0, qRgb(192, 192, 192)); // mask colour
    img.setPixel(4, 2, qRgb(255, 0, 0));
    img.setPixel(1, 1, qRgb(128, 128, 128));
    img.setPixel(2, 1, qRgb(129, 128, 128));
    const PicturePtr pic = makePicture(img);
    b.setPictureNormal(pic);
    const int X = b.PictureX(), Y = b.PictureY();

    b.setUseGreyscale(true);
    EXPECT_EQ(s.px(X + 1, Y), RGB(254, 254, 254)); // white
    EXPECT_EQ(s.px(X + 4, Y + 2), RGB(76, 76, 76));  // red
    EXPECT_EQ(s.px(X, Y), RGB(212, 208, 200));       // masked: the face shows
    b.setUseGreyscale(false);
    EXPECT_EQ(s.px(X + 4, Y + 2), RGB(255, 0, 0));
    b.setUseMaskColor(false);
    EXPECT_EQ(s.px(X, Y), RGB(192, 192, 192));
    b.setUseMaskColor(true);

    b.setButtonType(btHotTrack); // blended 2:1 with the face
    EXPECT_EQ(s.px(X + 4, Y + 2), RGB((2 * 255 + 212) / 3, (0 + 208) / 3, (0 + 200) / 3));

    b.setButtonType(btLight3D);
    b.setEnabled(false); // tinted silhouette, light pixels skipped
    EXPECT_EQ(s.px(X + 1, Y + 1), RGB(128, 128, 128));
    EXPECT_EQ(s.px(X + 2, Y + 1), RGB(212, 208, 200));
    EXPECT_EQ(s.px(X + 4, Y + 2), RGB(128, 128, 128));
}

// Which picture is drawn where, and how, for each look.
TEST(ButtonPictures, PictureByStyleAndLook)
{
    enum Look { Up, Hover, Pressed, Disabled };
    struct Case {
        int style;
        Look look;
        bool over; // a PictureOver is set
        bool grey; // UseGreyscale
        int dx, dy; // the pixel looked at, from (PictureX, PictureY)
        COLORREF expected;
    };
    const COLORREF blue = RGB(0, 0, 255), green = RGB(0, 255, 0), face = RGB(212, 208, 200);
    const COLORREF shadow = RGB(128, 128, 128), white = RGB(255, 255, 255), greyBlue = RGB(28, 28, 28);
    const Case cases[] = {
        {btStandard, Up, true, false, 0, 0, blue},
        {btStandard, Up, false, true, 0, 0, greyBlue},        // grey only up and not hovered
        {btStandard, Hover, false, true, 0, 0, blue},
        {btStandard, Pressed, false, true, 3, 3, blue},       // pressed: in colour, one pixel on
        {btStandard, Pressed, false, true, 0, 0, face},
        {btStandard, Hover, true, false, 0, 0, green},
        {btStandard, Pressed, true, false, 3, 3, green},
        {btStandard, Pressed, true, false, 0, 0, face},
        {btSoft, Pressed, true, false, 0, 0, green},          // style 5: not moved
        {btSoft, Pressed, false, false, 0, 0, blue},
        {btHotTrack, Up, true, false, 0, 0, RGB(212 / 3, 208 / 3, (2 * 255 + 200) / 3)}, // blended
        {btHotTrack, Up, false, true, 0, 0, greyBlue},        // grey wins over the blend
        {btHotTrack, Hover, true, false, -1, -1, blue},       // lifted, PictureOver ignored
        {btHotTrack, Hover, true, false, 3, 3, shadow},       // its shadow
        {btHotTrack, Pressed, true, false, 0, 0, blue},
        {btGradient, Disabled, false, false, 3, 3, greyBlue},
        {btStandard, Disabled, false, false, 4, 4, white},    // embossed: light one pixel on,
        {btStandard, Disabled, false, false, 0, 0, shadow},   // dark in place
        {btLight3D, Disabled, false, false, 0, 0, shadow},
        {btLight3D, Disabled, false, false, 3, 3, shadow},
        {btHotTrack, Disabled, false, false, 0, 0, RGB(141, 141, 141)},
    };
    QImage normal(4, 4, QImage::Format_RGB32);
    normal.fill(qRgb(0, 0, 255));
    QImage over(4, 4, QImage::Format_RGB32);
    over.fill(qRgb(0, 255, 0));
    for (const Case &c : cases) {
        ShownButton s(60, 40, c.style);
        Button &b = *s.button;
        b.setPictureNormal(makePicture(normal));
        if (c.over)
            b.setPictureOver(makePicture(over));
        b.setUseGreyscale(c.grey);
        if (c.look == Hover) {
            s.pointerOver = true;
            b.UserControl_MouseMove(0, 0, 1, 1);
        } else if (c.look == Pressed) {
            b.DrawButton(2, false);
        } else if (c.look == Disabled) {
            b.setEnabled(false);
        }
        EXPECT_EQ(s.px(b.PictureX() + c.dx, b.PictureY() + c.dy), c.expected)
            << "style " << c.style << " look " << c.look << " over " << c.over << " grey " << c.grey;
    }

    // a PictureOver alone is never drawn
    ShownButton s(60, 40, btStandard);
    s.button->setPictureOver(makePicture(over));
    s.pointerOver = true;
    s.button->UserControl_MouseMove(0, 0, 1, 1);
    EXPECT_FALSE(surfaceHas(*s.button, green));
}

TEST(ButtonCaption, PressedSoftCaptionStaysInPlaceInTheHoverColour)
{
    ShownButton s(80, 24, btSoft, csCustom);
    Button &b = *s.button;
    b.setBackColor(RGB(212, 208, 200));
    b.setForeColor(RGB(0, 0, 255));
    b.setForeOver(RGB(255, 0, 0));
    b.setCaption("Go");
    auto pixelsOf = [&](COLORREF c) {
        QList<QPoint> at;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 80; ++x)
                if (s.px(x, y) == c)
                    at << QPoint(x, y);
        return at;
    };
    const QList<QPoint> up = pixelsOf(RGB(0, 0, 255));
    ASSERT_FALSE(up.isEmpty());
    EXPECT_EQ(b.LastTextState(), 0);
    b.DrawButton(2, false);
    EXPECT_EQ(pixelsOf(RGB(255, 0, 0)), up); // same glyphs, same place
    EXPECT_EQ(b.LastTextState(), 0);          // drawn without the caption states
}

// A single "&" marks the character after it and is never drawn itself, also
// when nothing follows it: such a caption measures, places its picture and
// draws exactly as the caption without it, in every style and look.
TEST(ButtonCaption, ALastLoneAmpersandIsNeitherMeasuredNorDrawn)
{
    struct Case {
        const char *caption;
        const char *sameAs;
        bool withPictureToo; // "&" alone is no caption of spaces: a picture stands beside it, not centred
    };
    const Case cases[] = {
        {"Exit&", "Exit", true},   {"&", "", false},  {"A&&&", "A&&", true},
        {"&Exit&", "&Exit", true}, {"Save && Exit&", "Save && Exit", true},
    };
    struct Drawn {
        int width, height, pictureX;
        QImage pixels;
    };
    auto drawn = [](const QString &caption, int style, int look, bool withPicture) {
        ShownButton s(90, 26, style);
        Button &b = *s.button;
        if (withPicture) {
            QImage img(10, 8, QImage::Format_RGB32);
            img.fill(qRgb(40, 90, 200));
            b.setPictureNormal(makePicture(img));
            b.setPicturePosition(ppRight);
            b.setSpecialEffect(seRaised);
        }
        b.setCaption(caption);
        if (style == btSeeThrough)
            b.Refresh();
        switch (look) {
        case 1:
            s.pointerOver = true;
            b.UserControl_MouseMove(0, 0, 1, 1);
            break;
        case 2: b.DrawButton(2, false); break;
        case 3: b.setEnabled(false); break;
        default: break;
        }
        Drawn d{b.CaptionWidth(), b.CaptionHeight(), b.PictureX(), b.surface().copy()};
        b.setPointerProbe(nullptr);
        return d;
    };
    for (const Case &c : cases) {
        for (bool withPicture : {false, true}) {
            if (withPicture && !c.withPictureToo)
                continue;
            for (int style = 1; style <= 14; ++style) {
                for (int look = 0; look < 4; ++look) { // up, hovered, pressed, disabled
                    SCOPED_TRACE(testing::Message() << '"' << c.caption << "\" style " << style << " look " << look
                                                    << (withPicture ? " with a picture" : ""));
                    const Drawn got = drawn(QString::fromUtf8(c.caption), style, look, withPicture);
                    const Drawn want = drawn(QString::fromUtf8(c.sameAs), style, look, withPicture);
                    EXPECT_EQ(got.width, want.width);
                    if (*c.sameAs) { // an empty caption is no line at all
                        EXPECT_EQ(got.height, want.height);
                    }
                    EXPECT_EQ(got.pictureX, want.pictureX);
                    EXPECT_TRUE(got.pixels == want.pixels);
                }
            }
        }
    }

    ShownButton s(90, 26, btGradient);
    Button &b = *s.button;
    b.setCaption(QStringLiteral("Exit"));
    const int exitWidth = b.CaptionWidth();
    b.setCaption(QStringLiteral("Exit&"));
    EXPECT_EQ(b.CaptionWidth(), exitWidth);
    b.setCaption(QStringLiteral("&"));
    EXPECT_EQ(b.CaptionWidth(), 0);
    QImage img(10, 8, QImage::Format_RGB32);
    img.fill(qRgb(40, 90, 200));
    b.setPictureNormal(makePicture(img));
    b.setPicturePosition(ppRight);
    EXPECT_EQ(b.PictureX(), b.CaptionRect().right + 4); // beside the caption that shows nothing
    EXPECT_EQ(b.CaptionRect().right, (90 - 1 - 10 - 4) / 2 + 1);
    b.setPictureNormal(nullptr);
    b.setCaption(QStringLiteral("A"));
    const int aWidth = b.CaptionWidth();
    b.setCaption(QStringLiteral("A&&"));
    EXPECT_GT(b.CaptionWidth(), aWidth); // a doubled "&" is one "&", drawn
    b.setCaption(QStringLiteral("A&"));
    EXPECT_EQ(b.CaptionWidth(), aWidth);
}

TEST(ButtonPictures, IconTransparencyTakesTheMaskColour)
{
    ShownButton s(40, 30, btStandard);
    Button &b = *s.button;
    QImage icon(4, 4, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    icon.setPixel(1, 1, qRgba(0, 255, 0, 255));
    b.setPictureNormal(makePicture(icon, platform::StdPicture::Icon));
    const int X = b.PictureX(), Y = b.PictureY();
    EXPECT_EQ(s.px(X + 1, Y + 1), RGB(0, 255, 0));
    EXPECT_EQ(s.px(X, Y), RGB(212, 208, 200));
    b.setUseMaskColor(false);
    EXPECT_EQ(s.px(X, Y), RGB(192, 192, 192));
}

// Renders every style in its looks into one sheet for a person to look at.
TEST(ButtonPainter, RendersEveryStyleToASheet)
{
    // columns: up, hovered, pressed, focused, disabled
    const int cw = 110, ch = 32;
    QImage sheet(5 * (cw + 8) + 8, 14 * (ch + 8) + 8, QImage::Format_RGB32);
    sheet.fill(qRgb(236, 233, 216));
    QPainter p(&sheet);
    for (int style = 1; style <= 14; ++style) {
        for (int look = 0; look < 5; ++look) {
            ShownButton s(cw, ch, style);
            Button &b = *s.button;
            QPalette pal = s.window->palette();
            pal.setColor(QPalette::Window, QColor(236, 233, 216));
            s.window->setPalette(pal);
            s.window->setAutoFillBackground(true);
            b.setCaption(QStringLiteral("&Download"));
            StdFont f;
            f.Name = "Tahoma";
            f.Size = 8.25f;
            f.Bold = true;
            b.setFont(f);
            if (style == btSeeThrough)
                b.Refresh();
            if (look == 1) {
                s.pointerOver = true;
                b.UserControl_MouseMove(0, 0, 1, 1);
            } else if (look == 2) {
                b.DrawButton(2, false);
            } else if (look == 3) {
                b.UserControl_GotFocus();
            } else if (look == 4) {
                b.setEnabled(false);
            }
            QImage shot = b.surface().copy();
            // what the window shows: the region cuts the corners
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    if (!b.WindowRegion().contains(QPoint(x, y)))
                        shot.setPixel(x, y, qRgb(236, 233, 216));
            p.drawImage(8 + look * (cw + 8), 8 + (style - 1) * (ch + 8), shot);
            b.setPointerProbe(nullptr);
        }
    }
    p.end();
    const QString path = QDir(QStringLiteral(VIDMORA_TEST_BIN_DIR)).filePath(QStringLiteral("button_styles.png"));
    ASSERT_TRUE(sheet.save(path));
}

// The two looks the program's windows use, from bags like theirs.
TEST(ButtonPainter, RendersTheWindowLooksToASheet)
{
    using platform::PropertyBag;
    StdFont tahoma;
    tahoma.Name = "Tahoma";
    tahoma.Size = 8.25f;
    tahoma.Bold = true;
    StdFont arial;
    arial.Name = "Arial";
    arial.Size = 18;
    QImage sheet(400, 150, QImage::Format_RGB32);
    sheet.fill(qRgb(255, 255, 255));
    QPainter p(&sheet);
    int y = 8;
    for (int look = 0; look < 4; ++look) {
        QWidget window;
        window.resize(400, 60);
        auto *download = new Button(
            PropertyBag{{"btype", PropertyBag::int32(3)}, {"tx", QStringLiteral("Download")},
                        {"font", PropertyBag::font(tahoma)}, {"coltype", PropertyBag::int32(1)}},
            &window);
        download->setGeometry(0, 0, 73, 20);
        auto *play = new Button(PropertyBag{{"btype", PropertyBag::int32(3)}, {"tx", QStringLiteral("Play")},
                                            {"font", PropertyBag::font(arial)}, {"coltype", PropertyBag::int32(2)},
                                            {"bcol", PropertyBag::int32(0xFFFFFF)},
                                            {"fcol", PropertyBag::int32(0x404040)},
                                            {"fcolo", PropertyBag::int32(0x000040)}},
                                &window);
        play->setGeometry(80, 0, 300, 31);
        window.show();
        for (Button *b : {download, play}) {
            b->setPointerProbe([look] { return look == 1; });
            if (look == 1)
                b->UserControl_MouseMove(0, 0, 1, 1);
            else if (look == 2)
                b->DrawButton(2, false);
            else if (look == 3)
                b->setEnabled(false);
        }
        p.drawImage(8, y, download->surface());
        p.drawImage(90, y, play->surface());
        y += 35;
    }
    p.end();
    ASSERT_TRUE(sheet.save(QDir(QStringLiteral(VIDMORA_TEST_BIN_DIR)).filePath(QStringLiteral("button_window_looks.png"))));
}

TEST(ButtonPictures, SmallerHoverPictureIsSeeThroughBeyondItsEdges)
{
    ShownButton s(60, 40, btStandard);
    Button &b = *s.button;
    QImage big(16, 16, QImage::Format_RGB32);
    big.fill(qRgb(0, 0, 255));
    QImage small(4, 4, QImage::Format_RGB32);
    small.fill(qRgb(0, 255, 0));
    b.setPictureNormal(makePicture(big));
    b.setPictureOver(makePicture(small));
    s.pointerOver = true;
    b.UserControl_MouseMove(0, 0, 1, 1);
    const int X = b.PictureX(), Y = b.PictureY();
    EXPECT_EQ(s.px(X + 1, Y + 1), RGB(0, 255, 0));
    EXPECT_EQ(s.px(X + 10, Y + 10), RGB(212, 208, 200));
}

TEST(ButtonPrimitives, FocusDotsAreBlackOnTheSystemFace)
{
    ShownButton s(40, 20, btFramed);
    Button &b = *s.button;
    b.UserControl_GotFocus();
    const auto r = b.ContentRect();
    // along the top edge of the content rectangle: black and face alternate
    EXPECT_EQ(s.px(r.left, r.top), RGB(0, 0, 0));
    EXPECT_EQ(s.px(r.left + 1, r.top), RGB(212, 208, 200));
    EXPECT_EQ(s.px(r.left + 2, r.top), RGB(0, 0, 0));
}
