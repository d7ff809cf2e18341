// The button's colour set: the colours of its scheme, and the shifts that
// derive bevel shades from a face colour.

#include "button/button.h"

#include <algorithm>

namespace vidmora {

using namespace platform::gdi;

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

} // namespace vidmora
