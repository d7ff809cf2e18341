// Caption and picture layout, the eight caption text states, the effect
// copies, and the pixel-by-pixel picture copy.

#include "button/button.h"

#include <cmath>
#include <vector>

namespace vidmora {

using namespace platform::gdi;

namespace {

QString trimSpaces(const QString &s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && s.at(a) == QLatin1Char(' '))
        ++a;
    while (b > a && s.at(b - 1) == QLatin1Char(' '))
        --b;
    return s.mid(a, b - a);
}

} // namespace

// ---- layout ---------------------------------------------------------------------------

void Button::CalcCaptionRect()
{
    const int W = m_W;
    const int H = m_H;
    const int PW = m_PictureNormal ? m_PictureWidth : 0;
    const int PH = m_PictureNormal ? m_PictureHeight : 0;
    RECT L;
    switch (m_PicturePosition) {
    case ppLeft: L = RECT{PW + 1, 1, W - 2, H - 2}; break;
    case ppRight: L = RECT{1, 1, W - 2 - PW, H - 2}; break;
    case ppTop: L = RECT{1, PH + 1, W - 2, H - 2}; break;
    case ppBottom: L = RECT{1, 1, W - 2, H - 2 - PH}; break;
    default: L = RECT{1, 1, W - 2, H - 2}; break; // behind, and positions without a rule of their own
    }
    DrawTextA(m_hDC.get(), m_Caption, static_cast<int>(m_Caption.size()), &L, DT_CALCRECT | DT_WORDBREAK);
    m_CaptionRect = L;
    m_CaptionWidth = L.right - L.left;
    m_CaptionHeight = L.bottom - L.top;
    int dx = (W - m_CaptionRect.right) / 2;
    int dy = (H - m_CaptionRect.bottom) / 2;
    if (m_PicturePosition == ppRight)
        dx = (W - m_CaptionRect.right - PW - 4) / 2;
    else if (m_PicturePosition == ppBottom)
        dy = (H - m_CaptionRect.bottom - PH - 4) / 2;
    OffsetRect(&m_CaptionRect, dx, dy);
    m_PressedRect = m_CaptionRect;
    OffsetRect(&m_PressedRect, 1, 1);
    CalcPicturePos();
}

void Button::CalcPictureSize()
{
    if (!m_PictureNormal) {
        m_PictureWidth = 0;
        m_PictureHeight = 0;
        return;
    }
    m_PictureWidth = static_cast<int>(std::nearbyint(platform::StdPicture::himetricToPixels(m_PictureNormal->Width)));
    m_PictureHeight =
        static_cast<int>(std::nearbyint(platform::StdPicture::himetricToPixels(m_PictureNormal->Height)));
}

void Button::CalcPicturePos()
{
    if (!m_PictureNormal && !m_PictureOver)
        return;
    const int W = m_W;
    const int H = m_H;
    if (trimSpaces(m_Caption).isEmpty() || m_PicturePosition == ppBehind || m_PicturePosition < ppLeft
        || m_PicturePosition > ppBehind) {
        m_PictureX = (W - m_PictureWidth) / 2;
        m_PictureY = (H - m_PictureHeight) / 2;
        return;
    }
    switch (m_PicturePosition) {
    case ppLeft:
        m_PictureX = m_CaptionRect.left - m_PictureWidth - 4;
        m_PictureY = (H - m_PictureHeight) / 2;
        break;
    case ppRight:
        m_PictureX = m_CaptionRect.right + 4;
        m_PictureY = (H - m_PictureHeight) / 2;
        break;
    case ppTop:
        m_PictureX = (W - m_PictureWidth) / 2;
        m_PictureY = m_CaptionRect.top - m_PictureHeight - 2;
        break;
    case ppBottom:
        m_PictureX = (W - m_PictureWidth) / 2;
        m_PictureY = m_CaptionRect.bottom + 2;
        break;
    default: break;
    }
}

// ---- caption ----------------------------------------------------------------------------

void Button::drawCaptionText(COLORREF color, RECT rc)
{
    SetTextColor(m_hDC.get(), color);
    DrawTextA(m_hDC.get(), m_Caption, static_cast<int>(m_Caption.size()), &rc, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
}

void Button::DrawCaption(TextState State)
{
    m_LastTextState = State;
    const ColorSet &c = m_c;
    switch (State) {
    case TextState::Up:
        DrawCaptionEffect(m_CaptionRect);
        drawCaptionText(c.TextColor, m_CaptionRect);
        break;
    case TextState::Hovered:
        DrawCaptionEffect(m_CaptionRect);
        drawCaptionText(c.TextOverColor, m_CaptionRect);
        break;
    case TextState::Pressed:
        DrawCaptionEffect(m_PressedRect);
        drawCaptionText(m_ButtonType == btRounded ? c.LightColor : c.TextOverColor, m_PressedRect);
        break;
    case TextState::DisabledEmbossed:
        drawCaptionText(c.HighlightColor, m_PressedRect);
        drawCaptionText(c.ShadowColor, m_CaptionRect);
        break;
    case TextState::DisabledFlat: drawCaptionText(c.ShadowColor, m_CaptionRect); break;
    case TextState::DisabledGradient: drawCaptionText(ShiftColor(c.BaseColor, -104, true), m_CaptionRect); break;
    case TextState::DisabledGlossy:
        drawCaptionText(c.HighlightColor, m_PressedRect);
        drawCaptionText(c.FaceColor, m_CaptionRect);
        break;
    case TextState::PressedGlossy:
        drawCaptionText(ShiftColor(c.ShadowColor, -50), m_PressedRect);
        drawCaptionText(c.HighlightColor, m_CaptionRect);
        break;
    }
}

void Button::DrawCaptionEffect(const RECT &Rect)
{
    if (m_SpecialEffect <= 0)
        return;
    COLORREF base;
    if (m_ButtonType == btGradient || m_ButtonType == btRounded || m_ButtonType == btGlossy)
        base = m_c.BaseColor;
    else if (m_LastState == dsUp && m_IsOver && m_ColorScheme != csCustom && m_ButtonType == btHotTrack)
        base = m_c.HotBackColor;
    else
        base = m_c.FaceColor;
    RECT r = Rect;
    OffsetRect(&r, 1, 1);
    drawCaptionText(ShiftColor(base, m_SpecialEffect == seSunken ? 40 : -40), r);
    if (m_SpecialEffect >= seShadow)
        return;
    r = Rect;
    OffsetRect(&r, -1, -1);
    drawCaptionText(ShiftColor(base, m_SpecialEffect == seSunken ? -40 : 40), r);
}

// ---- pictures ---------------------------------------------------------------------------

void Button::DrawPictureEffect(std::int32_t Offset, const PicturePtr &Picture)
{
    if (m_SpecialEffect <= 0)
        return;
    COLORREF base;
    if (m_ButtonType == btGradient)
        base = m_c.BaseColor;
    else if (Offset == -1 && m_ColorScheme != csCustom)
        base = m_c.HotBackColor;
    else
        base = m_c.FaceColor;
    HDC dc = m_hDC.get();
    BlitPicture(dc, m_PictureX + 1 + Offset, m_PictureY + 1 + Offset, m_PictureWidth, m_PictureHeight, Picture,
                m_c.MaskRGB, static_cast<std::int32_t>(ShiftColor(base, m_SpecialEffect == seSunken ? 40 : -40)),
                false, false, false);
    if (m_SpecialEffect >= seShadow)
        return;
    BlitPicture(dc, m_PictureX - 1 + Offset, m_PictureY - 1 + Offset, m_PictureWidth, m_PictureHeight, Picture,
                m_c.MaskRGB, static_cast<std::int32_t>(ShiftColor(base, m_SpecialEffect == seSunken ? -40 : 40)),
                false, false, false);
}

void Button::DrawPictures(Look PictureState)
{
    if (!m_PictureNormal)
        return;
    HDC dc = m_hDC.get();
    const int X = m_PictureX;
    const int Y = m_PictureY;
    auto blit = [&](const PicturePtr &p, int x, int y, std::int32_t tint = -1, bool skipLight = false,
                    bool grey = false, bool blend = false) {
        BlitPicture(dc, x, y, m_PictureWidth, m_PictureHeight, p, m_c.MaskRGB, tint, skipLight, grey, blend);
    };
    auto tintOf = [](COLORREF c) { return static_cast<std::int32_t>(c); };
    const int bt = m_ButtonType;

    switch (PictureState) {
    case Look::Up:
        if (!m_IsOver) {
            DrawPictureEffect(0, m_PictureNormal);
            blit(m_PictureNormal, X, Y, -1, false, m_UseGreyscale, bt == btHotTrack);
        } else if (bt == btHotTrack) {
            DrawPictureEffect(-1, m_PictureNormal);
            blit(m_PictureNormal, X + 1, Y + 1, tintOf(m_c.ShadowColor));
            blit(m_PictureNormal, X - 1, Y - 1);
        } else if (m_PictureOver) {
            DrawPictureEffect(0, m_PictureOver);
            blit(m_PictureOver, X, Y);
        } else {
            DrawPictureEffect(0, m_PictureNormal);
            blit(m_PictureNormal, X, Y);
        }
        break;
    case Look::Pressed:
        if (m_PictureOver && bt != btHotTrack) {
            const int d = bt == btSoft ? 0 : 1;
            blit(m_PictureOver, X + d, Y + d);
        } else if (bt == btSoft || bt == btHotTrack) {
            DrawPictureEffect(0, m_PictureNormal);
            blit(m_PictureNormal, X, Y);
        } else {
            DrawPictureEffect(1, m_PictureNormal);
            blit(m_PictureNormal, X + 1, Y + 1);
        }
        break;
    case Look::Disabled:
        if (bt == btSoft || bt == btLight3D) {
            blit(m_PictureNormal, X, Y, tintOf(m_c.ShadowColor), true);
        } else if (bt == btHotTrack) {
            blit(m_PictureNormal, X, Y, tintOf(ShiftColor(m_c.ShadowColor, 13)), true);
        } else if (bt == btGradient) {
            blit(m_PictureNormal, X + 1, Y + 1, -1, false, true);
        } else {
            blit(m_PictureNormal, X + 1, Y + 1, tintOf(m_c.HighlightColor), true);
            blit(m_PictureNormal, X, Y, tintOf(m_c.ShadowColor), true);
        }
        break;
    }
    if (m_PicturePosition == ppBehind)
        DrawCaption(m_LastTextState);
}

void Button::BlitPicture(HDC TargetDC, int X, int Y, int Width, int Height, const PicturePtr &Picture,
                         COLORREF MaskColour, std::int32_t Tint, bool SkipLight, bool Greyscale, bool Blend)
{
    if (Width == 0 || Height == 0 || !Picture || Width < 0 || Height < 0)
        return;

    // source: the picture's own bitmap, or an icon drawn on the mask colour
    HDC src = CreateCompatibleDC(TargetDC);
    Bitmap own; // the picture keeps its bitmap: never deleted here
    own.stock = true;
    HBITMAP temp = nullptr;
    HGDIOBJ oldSrc;
    if (Picture->Type == platform::StdPicture::Bitmap) {
        own.image = Picture->image;
        if (own.image.format() != QImage::Format_RGB32)
            own.image = own.image.convertToFormat(QImage::Format_RGB32);
        oldSrc = SelectObject(src, &own);
    } else {
        temp = CreateCompatibleBitmap(TargetDC, Width, Height);
        oldSrc = SelectObject(src, temp);
        HBRUSH brush = CreateSolidBrush(MaskColour);
        if (Picture->Type == platform::StdPicture::Icon)
            DrawIconEx(src, 0, 0, Picture->image, 0, 0, 0, brush, DI_NORMAL);
        else
        {
            const RECT all{0, 0, Width, Height};
            FillRect(src, &all, brush); // nothing the icon drawer can draw: left see-through
        }
        DeleteObject(brush);
    }

    HDC backDC = CreateCompatibleDC(TargetDC);
    HBITMAP backBmp = CreateCompatibleBitmap(TargetDC, Width, Height);
    HGDIOBJ oldBack = SelectObject(backDC, backBmp);
    BitBlt(backDC, 0, 0, Width, Height, TargetDC, X, Y, SRCCOPY);
    HDC picDC = CreateCompatibleDC(TargetDC);
    HBITMAP picBmp = CreateCompatibleBitmap(TargetDC, Width, Height);
    HGDIOBJ oldPic = SelectObject(picDC, picBmp);
    {
        // A picture smaller than the drawn size (a small PictureOver) leaves the
        // rest in the mask colour: see-through rather than black.
        HBRUSH maskBrush = CreateSolidBrush(MaskColour);
        const RECT all{0, 0, Width, Height};
        FillRect(picDC, &all, maskBrush);
        DeleteObject(maskBrush);
    }
    BitBlt(picDC, 0, 0, Width, Height, src, 0, 0, SRCCOPY);

    BITMAPINFO info;
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = ((3 * Width + 3) / 4) * 4;
    std::vector<unsigned char> back(static_cast<std::size_t>(stride) * Height);
    std::vector<unsigned char> pic(static_cast<std::size_t>(stride) * Height);
    GetDIBits(backDC, backBmp, 0, static_cast<unsigned>(Height), back.data(), &info, DIB_RGB_COLORS);
    GetDIBits(picDC, picBmp, 0, static_cast<unsigned>(Height), pic.data(), &info, DIB_RGB_COLORS);

    const std::int64_t mask = m_UseMaskColor ? static_cast<std::int64_t>(MaskColour) : -1;
    unsigned char tb = 0, tg = 0, tr = 0;
    if (Tint >= 0) {
        tb = static_cast<unsigned char>(GetBValue(static_cast<COLORREF>(Tint)));
        tg = static_cast<unsigned char>(GetGValue(static_cast<COLORREF>(Tint)));
        tr = static_cast<unsigned char>(GetRValue(static_cast<COLORREF>(Tint)));
    }
    for (int r = 0; r < Height; ++r) {
        for (int col = 0; col < Width; ++col) {
            const std::size_t at = static_cast<std::size_t>(r) * stride + 3 * col;
            const int pb = pic[at], pg = pic[at + 1], pr = pic[at + 2];
            const COLORREF cval = RGB(pr, pg, pb);
            if (static_cast<std::int64_t>(GetNearestColor(TargetDC, cval)) == mask)
                continue; // transparent
            if (Tint >= 0) {
                if (SkipLight && pr + pg + pb > 384)
                    continue;
                back[at] = tb;
                back[at + 1] = tg;
                back[at + 2] = tr;
            } else if (Greyscale) {
                const double v = std::nearbyint(pg * 0.59 + std::nearbyint(pr * 0.3) + pb * 0.11);
                const auto g = static_cast<unsigned char>(std::min(255.0, v));
                back[at] = back[at + 1] = back[at + 2] = g;
            } else if (Blend) {
                back[at] = static_cast<unsigned char>((2 * pb + back[at]) / 3);
                back[at + 1] = static_cast<unsigned char>((2 * pg + back[at + 1]) / 3);
                back[at + 2] = static_cast<unsigned char>((2 * pr + back[at + 2]) / 3);
            } else {
                back[at] = static_cast<unsigned char>(pb);
                back[at + 1] = static_cast<unsigned char>(pg);
                back[at + 2] = static_cast<unsigned char>(pr);
            }
        }
    }
    SetDIBitsToDevice(TargetDC, X, Y, static_cast<unsigned>(Width), static_cast<unsigned>(Height), 0, 0, 0,
                      static_cast<unsigned>(Height), back.data(), &info, DIB_RGB_COLORS);

    DeleteObject(SelectObject(backDC, oldBack));
    DeleteDC(backDC);
    DeleteObject(SelectObject(picDC, oldPic));
    DeleteDC(picDC);
    SelectObject(src, oldSrc);
    if (temp)
        DeleteObject(temp);
    DeleteDC(src);
}

} // namespace vidmora
