// The button's colour set, its geometry and window region, and the drawing
// primitives under the painter.

#include "button/button.h"

#include <cstdlib>

namespace vidmora {

using namespace platform::gdi;

// ---- colours --------------------------------------------------------------------

Button::COLORREF Button::ShiftColor(COLORREF Color, std::int32_t Amount, bool Relative) const
{
    if (m_SoftBevel)
        Amount = Amount / 2; // toward zero
    int red = GetRValue(Color);
    int green = GetGValue(Color);
    int blue = GetBValue(Color);
    // The relative mode scales the blue channel alone.
    if (Relative)
        blue = blue + (blue * Amount) / 192;
    else
        blue = blue + Amount;
    red = red + Amount;
    green = green + Amount;
    if (Amount > 0) {
        red = std::min(red, 255);
        green = std::min(green, 255);
        blue = std::min(blue, 255);
    } else if (Amount < 0) {
        red = std::max(red, 0);
        green = std::max(green, 0);
        blue = std::max(blue, 0);
    }
    return static_cast<COLORREF>(red + 256 * green + 65536 * blue);
}

Button::COLORREF Button::LightenColor(COLORREF Color, std::int32_t Amount)
{
    auto ch = [Amount](int x) { return std::min(255, Amount + ((255 - Amount) * x) / 255); };
    return static_cast<COLORREF>(ch(GetRValue(Color)) + 256 * ch(GetGValue(Color)) + 65536 * ch(GetBValue(Color)));
}

Button::COLORREF Button::TranslateColor(OLE_COLOR Color)
{
    COLORREF result = 0;
    OleTranslateColor(Color, nullptr, &result); // an untranslatable colour stays black
    return result;
}

void Button::CalcColors()
{
    auto S = [this](COLORREF c, int n) { return ShiftColor(c, n); };
    switch (m_ColorScheme) {
    case csCustom:
        m_c.FaceColor = TranslateColor(m_BackColor);
        m_c.ShadowColor = S(m_c.FaceColor, -64);
        m_c.LightColor = S(m_c.FaceColor, 31);
        m_c.HighlightColor = S(m_c.FaceColor, 47);
        m_c.DarkShadowColor = S(m_c.FaceColor, -192);
        m_c.TextColor = TranslateColor(m_ForeColor);
        m_c.TextOverColor = TranslateColor(m_ForeOver);
        m_c.HotColor = S(m_c.FaceColor, -128);
        m_c.HotBackColor = m_c.FaceColor;
        break;
    case csClassic:
        m_c.FaceColor = RGB(192, 192, 192);
        m_c.ShadowColor = RGB(128, 128, 128);
        m_c.LightColor = RGB(223, 223, 223);
        m_c.HighlightColor = RGB(255, 255, 255);
        m_c.DarkShadowColor = RGB(0, 0, 0);
        m_c.TextColor = RGB(0, 0, 0);
        m_c.TextOverColor = RGB(0, 0, 0);
        m_c.HotColor = RGB(0, 0, 128);
        m_c.HotBackColor = RGB(173, 173, 209);
        break;
    case csContainer: {
        // the container's own back and fore colours, each through its own DC
        QWidget *parent = GetParent(hwnd());
        HDC dc = GetDC(parent);
        m_c.FaceColor = GetBkColor(dc);
        ReleaseDC(parent, dc);
        m_c.ShadowColor = S(m_c.FaceColor, -64);
        m_c.LightColor = S(m_c.FaceColor, 31);
        m_c.HighlightColor = S(m_c.FaceColor, 47);
        m_c.DarkShadowColor = S(m_c.FaceColor, -192);
        dc = GetDC(parent);
        m_c.TextColor = GetTextColor(dc);
        ReleaseDC(parent, dc);
        m_c.TextOverColor = m_c.TextColor;
        m_c.HotColor = GetSysColor(COLOR_HIGHLIGHT);
        m_c.HotBackColor = LightenColor(m_c.HotColor, 176);
        break;
    }
    default: // csSystem and every other value
        m_c.FaceColor = GetSysColor(COLOR_BTNFACE);
        m_c.ShadowColor = GetSysColor(COLOR_BTNSHADOW);
        m_c.LightColor = GetSysColor(COLOR_3DLIGHT);
        m_c.HighlightColor = GetSysColor(COLOR_BTNHIGHLIGHT);
        m_c.DarkShadowColor = GetSysColor(COLOR_3DDKSHADOW);
        m_c.TextColor = GetSysColor(COLOR_BTNTEXT);
        m_c.TextOverColor = m_c.TextColor;
        m_c.HotColor = GetSysColor(COLOR_HIGHLIGHT);
        m_c.HotBackColor = LightenColor(m_c.HotColor, 176);
        break;
    }
    m_c.MaskRGB = TranslateColor(m_MaskColor);
    m_c.BaseColor = ShiftColor(m_c.FaceColor, 48, m_ButtonType == btGradient);
}

// ---- geometry -------------------------------------------------------------------

void Button::UserControl_Resize()
{
    if (m_Capturing)
        return;
    GetClientRect(hwnd(), &m_ContentRect);
    m_H = m_ContentRect.bottom;
    m_W = m_ContentRect.right;
    if (m_ButtonType >= 7 && m_ButtonType <= 13) {
        InflateRect(&m_ContentRect, -3, -3);
    } else if (m_ButtonType == btGlossy) {
        InflateRect(&m_ContentRect, -5, -5);
        OffsetRect(&m_ContentRect, 1, 1);
    } else {
        InflateRect(&m_ContentRect, -4, -4);
    }
    CalcCaptionRect();
    MakeRegion();
    if (m_H != 0)
        DrawButton(0, true);
}

void Button::MakeRegion()
{
    const int W = m_W;
    const int H = m_H;
    HRGN region = CreateRectRgn(0, 0, W, H);
    HRGN scratch = CreateRectRgn(0, 0, 0, 0);
    auto cut = [&](int x, int y) {
        DeleteObject(scratch);
        scratch = CreateRectRgn(x, y, x + 1, y + 1);
        CombineRgn(region, region, scratch, RGN_DIFF);
    };
    switch (m_ButtonType) {
    case btFramed:
    case btGlossy:
        cut(0, 0);
        cut(W - 1, 0);
        cut(0, H - 1);
        cut(W - 1, H - 1);
        break;
    case btSoft:
        cut(W - 1, 0);
        cut(0, H - 1);
        break;
    case btGradient:
    case btRounded:
        cut(0, 0); cut(1, 0); cut(0, 1);
        cut(W - 2, 0); cut(W - 1, 0); cut(W - 1, 1);
        cut(0, H - 1); cut(1, H - 1); cut(0, H - 2);
        cut(W - 2, H - 1); cut(W - 1, H - 1); cut(W - 1, H - 2);
        break;
    case btOval:
        DeleteObject(region);
        region = CreateEllipticRgn(0, 0, W, H);
        break;
    default:
        break;
    }
    DeleteObject(scratch);
    m_WindowRegion = region->region;
    SetWindowRgn(hwnd(), region, 1); // the window owns the region from now on
}

// ---- primitives -----------------------------------------------------------------

void Button::DrawRect(int X, int Y, int Width, int Height, COLORREF Color, bool Outline)
{
    HDC dc = m_hDC.get();
    HBRUSH brush = CreateSolidBrush(Color);
    const RECT rc{X, Y, X + Width, Y + Height};
    if (Outline)
        FrameRect(dc, &rc, brush);
    else
        FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

void Button::DrawEllipse(int X, int Y, int Width, int Height, COLORREF PenColor, COLORREF FillColor)
{
    HDC dc = m_hDC.get();
    HBRUSH brush = CreateSolidBrush(FillColor);
    HPEN pen = CreatePen(PS_SOLID, 2, PenColor);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Ellipse(dc, X, Y, X + Width, Y + Height);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void Button::DrawLine(int X1, int Y1, int X2, int Y2, COLORREF Color)
{
    HDC dc = m_hDC.get();
    HPEN pen = CreatePen(PS_SOLID, 1, Color);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, X1, Y1, nullptr);
    LineTo(dc, X2, Y2);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Button::DrawPixel(int X, int Y, COLORREF Color)
{
    SetPixelV(m_hDC.get(), X, Y, Color);
}

void Button::DrawFocus()
{
    if (!(m_ShowFocusRect && m_HasFocus))
        return;
    HDC dc = m_hDC.get();
    SetTextColor(dc, m_c.TextColor);
    DrawFocusRect(dc, &m_ContentRect);
}

void Button::DrawFrame(COLORREF C1, COLORREF C2, COLORREF C3, COLORREF C4, std::int16_t Offset, bool OuterOnly)
{
    HDC dc = m_hDC.get();
    const int o = std::abs(Offset);
    const int R = m_W - 1 + Offset;
    const int B = m_H - 1 + Offset;
    auto withPen = [dc](COLORREF c, auto &&draw) {
        HPEN pen = CreatePen(PS_SOLID, 1, c);
        HGDIOBJ old = SelectObject(dc, pen);
        draw();
        SelectObject(dc, old);
        DeleteObject(pen);
    };
    withPen(C1, [&] {
        MoveToEx(dc, o, B, nullptr);
        LineTo(dc, o, o);
        LineTo(dc, R, o);
    });
    withPen(C2, [&] {
        MoveToEx(dc, R, o, nullptr);
        LineTo(dc, R, B);
        LineTo(dc, o - 1, B);
    });
    if (OuterOnly)
        return;
    withPen(C3, [&] {
        MoveToEx(dc, o + 1, B - 1, nullptr);
        LineTo(dc, o + 1, o + 1);
        LineTo(dc, R - 1, o + 1);
    });
    withPen(C4, [&] {
        MoveToEx(dc, R - 1, o + 1, nullptr);
        LineTo(dc, R - 1, B - 1);
        LineTo(dc, o, B - 1);
    });
}

} // namespace vidmora
