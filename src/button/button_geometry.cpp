// The button's geometry and window region, and the drawing primitives under
// the painter.

#include "button/button.h"

#include <cstdlib>

namespace vidmora {

using namespace platform::gdi;

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
        DrawButton(dsUp, true);
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
