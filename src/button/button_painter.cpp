// The painter: one pass over the whole surface in the current style and look.

#include "button/button.h"

#include <QScopeGuard>

#include <cmath>
#include <optional>

namespace vidmora {

using namespace platform::gdi;

namespace {

// Gradient amounts: -(step * i) in single precision, halves to even.
int gradientAmount(float step, int i)
{
    const float v = -(step * static_cast<float>(i));
    return static_cast<int>(std::nearbyint(v));
}

} // namespace

void Button::Cls()
{
    m_Surface.fill(toQRgb(GetSysColor(COLOR_BTNFACE)));
    m_hDC->position = POINT{0, 0};
}

void Button::DrawButton(std::uint8_t State, bool Force)
{
    if (m_CheckBoxBehaviour && m_Value)
        State = dsPressed; // a checked toggle always shows the pressed look
    if (!Force && m_Caption == m_LastCaption && State == m_LastState)
        return;
    if (m_H == 0 || !m_CanDraw)
        return;
    m_LastState = State;
    m_LastCaption = m_Caption;
    ++m_PaintCount;

    Cls();

    // Hover swap: a hovered custom-scheme button paints from its hover colour.
    const OLE_COLOR remembered = m_BackColor;
    auto undoSwap = qScopeGuard([this, remembered] {
        m_BackColor = remembered;
        CalcColors();
    });
    if (m_IsOver && m_ColorScheme == csCustom) {
        m_BackColor = m_BackOver;
        CalcColors();
    } else {
        undoSwap.dismiss();
    }

    DrawRect(0, 0, m_W, m_H, m_c.FaceColor, false);

    // any other state shows the face alone
    std::optional<Look> look;
    if (!m_Enabled)
        look = Look::Disabled;
    else if (State == dsPressed)
        look = Look::Pressed;
    else if (State == dsUp)
        look = Look::Up;
    if (look) {
        drawLook(*look);
        DrawPictures(*look);
    }

    update();
}

// ---- the styles drawn from data ------------------------------------------------

// One look of a style whose drawing differs from the others only in data, in
// drawing order: a fill, the caption, a two-ring bevel (the outer ring alone
// when the inner colours are None), a 1-pixel outline on the edge and one a
// pixel in, and the dotted focus rectangle. A None shade draws nothing. The
// focus rectangle lies on the content rectangle, inside every ring and
// outline, so drawing it last changes no pixel of them.
struct Button::LookRow {
    // Which variant of a look a row draws; the first row that fits is taken.
    enum class When : std::uint8_t {
        Always,
        Over, // the pointer is over the button
        NotOver,
        Default, // the container shows it as its default button, focus rectangles on
        NotDefault,
    };
    std::int32_t style;
    Look look;
    When when;
    Shade fill;
    int fillAt; // the fill covers W x H from (fillAt, fillAt)
    TextState caption; // Up stands for Up or Hovered, as the pointer is
    Shade frame[4];
    std::int16_t frameOffset;
    Shade outline;
    Shade innerOutline;
    bool focus;
};

std::span<const Button::LookRow> Button::lookRows()
{
    using L = Look;
    using W = LookRow::When;
    using T = TextState;
    using enum Shade;
    // clang-format off
    static const LookRow rows[] = {
        // style         look         when           fill       at caption              frame c1..c4                               off outline     inner   focus
        {btFramed,     L::Up,       W::Always,     None,      0, T::Up,               {Highlight, Shadow, Highlight, Shadow},    -1, DarkShadow, None,   true},
        {btFramed,     L::Pressed,  W::Always,     None,      0, T::Pressed,          {Shadow, Highlight, Shadow, Highlight},    -1, DarkShadow, None,   true},
        {btFramed,     L::Disabled, W::Always,     None,      0, T::DisabledEmbossed, {Highlight, Shadow, Highlight, Shadow},    -1, DarkShadow, None,   false},

        {btStandard,   L::Up,       W::Default,    None,      0, T::Up,               {Highlight, DarkShadow, Light, Shadow},    -1, DarkShadow, None,   true},
        {btStandard,   L::Up,       W::NotDefault, None,      0, T::Up,               {Highlight, DarkShadow, Light, Shadow},     0, None,       None,   false},
        {btStandard,   L::Pressed,  W::Default,    None,      0, T::Pressed,          {None, None, None, None},                   0, DarkShadow, Shadow, true},
        {btStandard,   L::Pressed,  W::NotDefault, None,      0, T::Pressed,          {DarkShadow, Highlight, Shadow, Light},     0, None,       None,   false},
        {btStandard,   L::Disabled, W::Always,     None,      0, T::DisabledEmbossed, {Highlight, DarkShadow, Light, Shadow},     0, None,       None,   false},

        {btLight3D,    L::Up,       W::Always,     None,      0, T::Up,               {LightPlus8, Shadow, LightPlus8, Shadow},   0, None,       None,   true},
        {btLight3D,    L::Pressed,  W::Always,     None,      0, T::Pressed,          {Shadow, LightPlus8, Shadow, LightPlus8},   0, None,       None,   true},
        {btLight3D,    L::Disabled, W::Always,     None,      0, T::DisabledFlat,     {LightPlus8, Shadow, LightPlus8, Shadow},   0, None,       None,   false},

        {btThin,       L::Up,       W::Always,     None,      0, T::Up,               {Highlight, Shadow, None, None},            0, None,       None,   true},
        {btThin,       L::Pressed,  W::Always,     None,      0, T::Pressed,          {Shadow, Highlight, None, None},            0, None,       None,   true},
        {btThin,       L::Disabled, W::Always,     None,      0, T::DisabledEmbossed, {Highlight, Shadow, None, None},            0, None,       None,   false},

        // as btThin, but the up frame shows only under the pointer and the disabled look has none
        {btFlatThin,   L::Up,       W::Over,       None,      0, T::Up,               {Highlight, Shadow, None, None},            0, None,       None,   true},
        {btFlatThin,   L::Up,       W::NotOver,    None,      0, T::Up,               {None, None, None, None},                   0, None,       None,   true},
        {btFlatThin,   L::Pressed,  W::Always,     None,      0, T::Pressed,          {Shadow, Highlight, None, None},            0, None,       None,   true},
        {btFlatThin,   L::Disabled, W::Always,     None,      0, T::DisabledEmbossed, {None, None, None, None},                   0, None,       None,   false},

        {btHotTrack,   L::Up,       W::Over,       HotBack,   1, T::Up,               {None, None, None, None},                   0, Hot,        None,   true},
        {btHotTrack,   L::Up,       W::NotOver,    None,      0, T::Up,               {None, None, None, None},                   0, None,       None,   true},
        {btHotTrack,   L::Pressed,  W::Over,       HotPressed, 0, T::Pressed,         {None, None, None, None},                   0, Hot,        None,   true},
        {btHotTrack,   L::Pressed,  W::NotOver,    None,      0, T::Pressed,          {None, None, None, None},                   0, Hot,        None,   true},
        {btHotTrack,   L::Disabled, W::Always,     None,      0, T::DisabledFlat,     {None, None, None, None},                   0, None,       None,   false},

        {btFlat3D,     L::Up,       W::Over,       None,      0, T::Up,               {Highlight, DarkShadow, Light, Shadow},     0, None,       None,   true},
        {btFlat3D,     L::Up,       W::NotOver,    None,      0, T::Up,               {None, None, None, None},                   0, None,       None,   true},
        {btFlat3D,     L::Pressed,  W::Always,     None,      0, T::Pressed,          {DarkShadow, Highlight, Shadow, Light},     0, None,       None,   true},
        {btFlat3D,     L::Disabled, W::Always,     None,      0, T::DisabledEmbossed, {None, None, None, None},                   0, None,       None,   false},
    };
    // clang-format on
    return rows;
}

Button::COLORREF Button::shade(Shade s) const
{
    const ColorSet &c = m_c;
    switch (s) {
    case Shade::None: break;
    case Shade::Light: return c.LightColor;
    case Shade::LightPlus8: return ShiftColor(c.LightColor, 8);
    case Shade::Highlight: return c.HighlightColor;
    case Shade::Shadow: return c.ShadowColor;
    case Shade::DarkShadow: return c.DarkShadowColor;
    case Shade::Hot: return c.HotColor;
    case Shade::HotBack: return c.HotBackColor;
    case Shade::HotPressed:
        return m_ColorScheme == csCustom ? ShiftColor(c.HotBackColor, -32) : LightenColor(c.HotColor, 128);
    }
    return 0;
}

const Button::LookRow *Button::lookRowFor(Look look) const
{
    const bool isDefault = m_ShowFocusRect && m_AmbientDisplayAsDefault; // focus plays no part here
    using When = LookRow::When;
    auto fits = [&](When when) {
        switch (when) {
        case When::Always: return true;
        case When::Over: return m_IsOver;
        case When::NotOver: return !m_IsOver;
        case When::Default: return isDefault;
        case When::NotDefault: return !isDefault;
        }
        return false;
    };
    for (const LookRow &row : lookRows())
        if (row.style == m_ButtonType && row.look == look && fits(row.when))
            return &row;
    return nullptr;
}

void Button::drawLookRow(const LookRow &row)
{
    if (row.fill != Shade::None)
        DrawRect(row.fillAt, row.fillAt, m_W, m_H, shade(row.fill), false);
    DrawCaption(row.caption == TextState::Up ? upTextState() : row.caption);
    const Shade *f = row.frame;
    if (f[0] != Shade::None) {
        const bool outerOnly = f[2] == Shade::None;
        DrawFrame(shade(f[0]), shade(f[1]), shade(f[2]), shade(f[3]), row.frameOffset, outerOnly);
    }
    if (row.outline != Shade::None)
        DrawRect(0, 0, m_W, m_H, shade(row.outline), true);
    if (row.innerOutline != Shade::None)
        DrawRect(1, 1, m_W - 2, m_H - 2, shade(row.innerOutline), true);
    if (row.focus)
        DrawFocus();
}

// ---- the styles drawn by their own steps ------------------------------------------

void Button::drawLook(Look look)
{
    if (const LookRow *row = lookRowFor(look)) {
        drawLookRow(*row);
        return;
    }
    switch (m_ButtonType) {
    case btGradient: drawGradient(look); break;
    case btRounded: drawRounded(look); break;
    case btSoft: drawSoft(look); break;
    case btSeeThrough: drawSeeThrough(look); break;
    case btOval: drawOval(look); break;
    case btGlossy: drawGlossy(look); break;
    default: break; // btTransparent and styles without a look: the face and the pictures only
    }
}

Button::TextState Button::upTextState() const
{
    return m_IsOver ? TextState::Hovered : TextState::Up;
}

void Button::drawGradient(Look look)
{
    const int W = m_W;
    const int H = m_H;
    const COLORREF base = m_c.BaseColor;
    auto S = [this](COLORREF col, int n) { return ShiftColor(col, n, true); };
    auto corners = [&](COLORREF corner) {
        DrawPixel(1, 1, corner);
        DrawPixel(1, H - 2, corner);
        DrawPixel(W - 2, 1, corner);
        DrawPixel(W - 2, H - 2, corner);
    };
    auto frame = [&] {
        DrawRect(0, 0, W, H, RGB(0, 60, 115), true);
        corners(RGB(16, 77, 123));
    };
    const int rows = H; // taken once before the loop
    const float step = 25.0f / static_cast<float>(rows);

    switch (look) {
    case Look::Disabled:
        DrawRect(0, 0, W, H, S(base, -24), false);
        DrawCaption(TextState::DisabledGradient);
        DrawRect(0, 0, W, H, S(base, -84), true);
        corners(S(base, -72));
        break;

    case Look::Pressed: {
        const COLORREF P = S(base, -32);
        for (int i = 1; i <= rows; ++i) // darkest at the top
            DrawLine(0, H - i, W, H - i, S(P, gradientAmount(step, i)));
        DrawCaption(TextState::Pressed);
        frame();
        DrawLine(2, H - 2, W - 2, H - 2, S(P, 16));
        DrawLine(1, H - 3, W - 2, H - 3, S(P, 10));
        DrawLine(W - 2, 2, W - 2, H - 2, S(P, 5));
        DrawLine(W - 3, 3, W - 3, H - 3, base);
        DrawLine(2, 1, W - 2, 1, S(P, -32));
        DrawLine(1, 2, W - 2, 2, S(P, -24));
        DrawLine(1, 2, 1, H - 2, S(P, -32));
        DrawLine(2, 2, 2, H - 2, S(P, -22));
        break;
    }

    case Look::Up: {
        for (int i = 1; i <= rows; ++i)
            DrawLine(0, i, W, i, S(base, gradientAmount(step, i)));
        DrawCaption(upTextState());
        frame();

        // hover edges beat focus edges; the style never draws the dotted focus rectangle
        struct Edges {
            COLORREF rect, bottom, top, top2, left, right;
        };
        auto coloured = [&](const Edges &e) {
            DrawRect(1, 2, W - 2, H - 4, e.rect, true);
            DrawLine(2, H - 2, W - 2, H - 2, e.bottom);
            DrawLine(2, 1, W - 2, 1, e.top);
            DrawLine(1, 2, W - 1, 2, e.top2);
            DrawLine(2, 3, 2, H - 3, e.left);
            DrawLine(W - 3, 3, W - 3, H - 3, e.right);
        };
        if (m_IsOver) {
            coloured({RGB(255, 178, 49), RGB(231, 150, 0), RGB(255, 243, 206), RGB(255, 219, 140),
                      RGB(255, 203, 107), RGB(255, 203, 107)});
        } else if ((m_HasFocus || m_AmbientDisplayAsDefault) && m_ShowFocusRect) {
            coloured({RGB(140, 174, 231), RGB(107, 130, 239), RGB(206, 231, 255), RGB(189, 215, 247),
                      RGB(181, 209, 240), RGB(181, 209, 240)});
        } else {
            DrawLine(2, H - 2, W - 2, H - 2, S(base, -48));
            DrawLine(1, H - 3, W - 2, H - 3, S(base, -32));
            DrawLine(W - 2, 2, W - 2, H - 2, S(base, -36));
            DrawLine(W - 3, 3, W - 3, H - 3, S(base, -24));
            DrawLine(2, 1, W - 2, 1, S(base, 16));
            DrawLine(1, 2, W - 2, 2, S(base, 10));
            DrawLine(1, 2, 1, H - 2, S(base, -5));
            DrawLine(2, 3, 2, H - 3, S(base, -10));
        }
        break;
    }
    }
}

void Button::drawRounded(Look look)
{
    const int W = m_W;
    const int H = m_H;
    const ColorSet &c = m_c;
    if (look != Look::Pressed) { // the disabled look is the up look with another caption
        DrawRect(1, 1, W - 2, H - 2, c.LightColor, false);
        DrawCaption(look == Look::Disabled ? TextState::DisabledEmbossed : upTextState());
        DrawRect(0, 0, W, H, c.DarkShadowColor, true);
        DrawPixel(1, 1, c.DarkShadowColor);
        DrawPixel(1, H - 2, c.DarkShadowColor);
        DrawPixel(W - 2, 1, c.DarkShadowColor);
        DrawPixel(W - 2, H - 2, c.DarkShadowColor);
        DrawLine(1, 2, 2, 0, c.FaceColor);
        DrawLine(3, 2, W - 3, 2, c.HighlightColor);
        DrawLine(2, 2, 2, H - 3, c.HighlightColor);
        DrawPixel(3, 3, c.HighlightColor);
        DrawLine(W - 3, 1, W - 3, H - 3, c.FaceColor);
        DrawLine(1, H - 3, W - 3, H - 3, c.FaceColor);
        DrawPixel(W - 4, H - 4, c.FaceColor);
        DrawLine(W - 2, 2, W - 2, H - 2, c.ShadowColor);
        DrawLine(2, H - 2, W - 2, H - 2, c.ShadowColor);
        DrawPixel(W - 3, H - 3, c.ShadowColor);
        return;
    }
    auto S = [&](int n) { return ShiftColor(m_c.ShadowColor, n); };
    DrawRect(1, 1, W - 2, H - 2, S(-16), false);
    {
        // the caption's effect copies take the pressed face as their base
        const auto normalBase = qScopeGuard([this] { m_c.BaseColor = ShiftColor(m_c.FaceColor, 48); });
        m_c.BaseColor = S(-16);
        DrawCaption(TextState::Pressed);
    }
    DrawRect(0, 0, W, H, c.DarkShadowColor, true);
    DrawRect(1, 1, W - 2, H - 2, S(-64), true);
    DrawRect(2, 2, W - 4, H - 4, S(-32), true);
    DrawPixel(2, 2, S(-64));
    DrawPixel(3, 3, S(-32));
    DrawPixel(1, 1, c.DarkShadowColor);
    DrawPixel(1, H - 2, c.DarkShadowColor);
    DrawPixel(W - 2, 1, c.DarkShadowColor);
    DrawPixel(W - 2, H - 2, c.DarkShadowColor);
    DrawLine(W - 3, 1, W - 3, H - 3, c.ShadowColor);
    DrawLine(1, H - 3, W - 2, H - 3, c.ShadowColor);
    DrawPixel(W - 4, H - 4, c.ShadowColor);
    DrawLine(W - 2, 3, W - 2, H - 2, S(-16));
    DrawLine(3, H - 2, W - 2, H - 2, S(-16));
    DrawLine(W - 2, H - 3, W - 4, H - 1, S(-32));
    DrawPixel(2, H - 2, S(-32));
    DrawPixel(W - 2, 2, S(-32));
}

void Button::drawSoft(Look look)
{
    const int W = m_W;
    const int H = m_H;
    const ColorSet &c = m_c;
    // the style's own focus mark, a box round the caption, in place of the dotted rectangle
    auto focusBox = [&] {
        if (m_HasFocus && m_ShowFocusRect)
            DrawRect(m_CaptionRect.left - 2, m_CaptionRect.top - 1, m_CaptionWidth + 4, m_CaptionHeight + 2,
                     RGB(153, 153, 204), true);
    };
    switch (look) {
    case Look::Up:
        DrawRect(1, 1, W - 1, H - 1, ShiftColor(c.FaceColor, 12), false);
        DrawCaption(upTextState());
        DrawRect(1, 1, W - 1, H - 1, c.HighlightColor, true);
        DrawRect(0, 0, W - 1, H - 1, ShiftColor(c.ShadowColor, -26), true);
        DrawPixel(1, H - 2, ShiftColor(c.ShadowColor, 26));
        DrawPixel(W - 2, 1, ShiftColor(c.ShadowColor, 26));
        focusBox();
        break;
    case Look::Pressed: {
        DrawRect(1, 1, W - 2, H - 2, ShiftColor(c.ShadowColor, 16), false);
        DrawRect(0, 0, W - 1, H - 1, ShiftColor(c.ShadowColor, -26), true);
        DrawLine(W - 1, 1, W - 1, H, c.HighlightColor);
        DrawLine(1, H - 1, W - 1, H - 1, c.HighlightColor);
        // drawn here, in place, without the effect copies
        SetTextColor(m_hDC.get(), c.TextOverColor);
        RECT rc = m_CaptionRect;
        DrawTextA(m_hDC.get(), m_Caption, static_cast<int>(m_Caption.size()), &rc,
                  DT_WORDBREAK | DT_VCENTER | DT_CENTER);
        focusBox();
        break;
    }
    case Look::Disabled:
        DrawCaption(TextState::DisabledFlat);
        DrawRect(0, 0, W, H, c.ShadowColor, true);
        break;
    }
}

void Button::drawSeeThrough(Look look)
{
    if (m_BackDC)
        BitBlt(m_hDC.get(), 0, 0, m_W, m_H, m_BackDC, 0, 0, SRCCOPY);
    switch (look) {
    case Look::Up:
        DrawCaption(upTextState());
        DrawFocus();
        break;
    case Look::Pressed:
        DrawCaption(TextState::Pressed);
        DrawFocus();
        break;
    case Look::Disabled:
        DrawCaption(TextState::DisabledEmbossed);
        break;
    }
}

void Button::drawOval(Look look)
{
    const ColorSet &c = m_c;
    switch (look) {
    case Look::Up:
        DrawEllipse(0, 0, m_W, m_H, m_IsOver ? c.ShadowColor : c.FaceColor, c.FaceColor);
        DrawCaption(upTextState());
        break;
    case Look::Pressed:
        DrawEllipse(0, 0, m_W, m_H, c.DarkShadowColor, ShiftColor(c.FaceColor, -32));
        DrawCaption(TextState::Pressed);
        break;
    case Look::Disabled:
        DrawCaption(TextState::DisabledEmbossed);
        break;
    }
}

void Button::drawGlossy(Look look)
{
    const int W = m_W;
    const int H = m_H;
    const ColorSet &c = m_c;
    auto gradient = [&] {
        const int rows = H;
        const float step = 58.0f / static_cast<float>(rows);
        for (int i = 1; i <= rows; ++i)
            DrawLine(0, i, W, i, ShiftColor(m_c.HighlightColor, gradientAmount(step, i)));
    };
    auto frameSet = [&] {
        DrawRect(0, 0, W, H, ShiftColor(c.ShadowColor, -50), true);
        DrawRect(1, 1, W - 2, H - 2, ShiftColor(c.FaceColor, -9), true);
        DrawRect(2, 2, W - 4, 2, c.HighlightColor, false);
        DrawRect(2, 4, 2, H - 6, c.HighlightColor, false);
    };
    switch (look) {
    case Look::Disabled:
        gradient();
        frameSet();
        DrawCaption(TextState::DisabledGlossy);
        break;
    case Look::Pressed:
        DrawRect(1, 1, W, H, ShiftColor(c.FaceColor, -9), false);
        DrawRect(0, 0, W, H, ShiftColor(c.ShadowColor, -48), true);
        DrawLine(2, H - 2, W - 2, H - 2, c.HighlightColor);
        DrawLine(W - 2, 2, W - 2, H - 1, c.HighlightColor);
        DrawCaption(TextState::PressedGlossy);
        DrawFocus();
        break;
    case Look::Up:
        if (m_IsOver)
            DrawRect(0, 0, W, H, c.LightColor, false);
        else
            gradient();
        if (m_AmbientDisplayAsDefault) {
            // the default button's caption is laid out and drawn bold; the font
            // setter's own redraw is turned away meanwhile
            m_CanDraw = false;
            const bool wasBold = FontBold();
            const auto back = qScopeGuard([this, wasBold] {
                setFontBold(wasBold);
                m_CanDraw = true;
            });
            setFontBold(true);
            DrawCaption(upTextState());
        } else {
            DrawCaption(upTextState());
        }
        frameSet();
        DrawFocus();
        break;
    }
}

} // namespace vidmora
