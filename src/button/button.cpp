// The button's public face: properties, methods, new-instance defaults, stored
// properties and the access key.

#include "button/button.h"

#include "button/hand_cursor.h"

#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QPixmap>
#include <QSet>

#include <cmath>

namespace vidmora {

using namespace platform::gdi;
using platform::PropertyBag;

Button::Button(const QString &name, QWidget *parent)
    : QWidget(parent)
{
    // Named before its defaults are set: the caption is taken from the name.
    setObjectName(name);
    construct();
    UserControl_Initialize();
    UserControl_InitProperties();
}

Button::Button(QWidget *parent)
    : Button(nameForNewInstance(parent), parent)
{
}

QString Button::nameForNewInstance(const QWidget *container)
{
    QSet<QString> taken;
    if (container) {
        const QWidget *window = container->window();
        taken.insert(window->objectName());
        for (const QObject *control : window->findChildren<QObject *>())
            taken.insert(control->objectName());
    }
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Button") + QString::number(n);
        if (!taken.contains(name))
            return name;
    }
}

Button::Button(const PropertyBag &storedProperties, QWidget *parent)
    : QWidget(parent)
{
    construct();
    UserControl_Initialize();
    if (!UserControl_ReadProperties(storedProperties))
        qWarning("Button: the stored properties could not all be read");
}

Button::~Button()
{
    UserControl_Terminate();
}

void Button::construct()
{
    m_Surface = QImage(1, 1, QImage::Format_RGB32);
    m_Surface.fill(toQRgb(GetSysColor(COLOR_BTNFACE)));
    m_hDC = std::make_unique<DeviceContext>(&m_Surface);
    m_DcFont.stock = true;
    m_hDC->font = &m_DcFont;
    SetBkMode(m_hDC.get(), TRANSPARENT);
    SetBkColor(m_hDC.get(), GetSysColor(COLOR_BTNFACE)); // the surface's own back colour, as Cls uses
    applySurfaceFont();

    m_OverTimer.setInterval(3);
    m_OverTimer.setEnabled(false);
    connect(&m_OverTimer, &platform::Timer::tick, this, [this] {
        try {
            OverTimer_Timer();
        } catch (...) {
            qWarning("Button: the hover poll failed"); // never into the event loop
        }
    });

    followPresses();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// ---- the surface ------------------------------------------------------------

void Button::applySurfaceFont()
{
    m_DcFont.font = m_SurfaceFont.toQFont();
}

void Button::applySurfaceEnabled(bool on)
{
    m_SettingSurfaceEnabled = true;
    QWidget::setEnabled(on);
    m_SettingSurfaceEnabled = false;
}

void Button::applySurfacePointer()
{
    switch (m_SurfaceMousePointer) {
    case 0: unsetCursor(); break;
    case 1: setCursor(Qt::ArrowCursor); break;
    case 2: setCursor(Qt::CrossCursor); break;
    case 3: setCursor(Qt::IBeamCursor); break;
    case 4: setCursor(Qt::ArrowCursor); break;
    case 5: setCursor(Qt::SizeAllCursor); break;
    case 6: setCursor(Qt::SizeBDiagCursor); break;
    case 7: setCursor(Qt::SizeVerCursor); break;
    case 8: setCursor(Qt::SizeFDiagCursor); break;
    case 9: setCursor(Qt::SizeHorCursor); break;
    case 10: setCursor(Qt::UpArrowCursor); break;
    case 11: setCursor(Qt::WaitCursor); break;
    case 12: setCursor(Qt::ForbiddenCursor); break;
    case 13: setCursor(Qt::BusyCursor); break;
    case 14: setCursor(Qt::WhatsThisCursor); break;
    case 15: setCursor(Qt::SizeAllCursor); break;
    case 99:
        if (m_SurfaceMouseIcon && !m_SurfaceMouseIcon->image.isNull())
            setCursor(QCursor(QPixmap::fromImage(m_SurfaceMouseIcon->image), 5, 0));
        else
            setCursor(Qt::ArrowCursor);
        break;
    default: break;
    }
}

bool Button::surfacePointerAccepts(std::int16_t pointer)
{
    return (pointer >= 0 && pointer <= 15) || pointer == 99;
}

// ---- properties ---------------------------------------------------------------

void Button::setBackColor(OLE_COLOR theCol)
{
    m_BackColor = theCol;
    if (!AmbientUserMode())
        m_BackOver = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    signal("BCOL");
}

void Button::setBackOver(OLE_COLOR theCol)
{
    m_BackOver = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    signal("BCOLO");
}

void Button::setForeColor(OLE_COLOR theCol)
{
    m_ForeColor = theCol;
    if (!AmbientUserMode())
        m_ForeOver = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    signal("FCOL");
}

void Button::setForeOver(OLE_COLOR theCol)
{
    m_ForeOver = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    signal("FCOLO");
}

void Button::setMaskColor(OLE_COLOR theCol)
{
    m_MaskColor = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    signal("MCOL");
}

void Button::setButtonType(std::int32_t newValue)
{
    m_ButtonType = newValue;
    if (newValue == btSoft && !AmbientUserMode()) {
        m_SurfaceFont.Bold = true;
        applySurfaceFont();
    } else if (newValue == btSeeThrough && m_CanDraw) {
        CaptureBackground();
    }
    UserControl_Resize();
    signal("BTYPE");
}

void Button::setCaption(const QString &newValue)
{
    m_Caption = newValue;
    SetAccessKeys();
    CalcCaptionRect();
    DrawButton(0, true);
    signal("TX");
}

void Button::setEnabled(bool newValue)
{
    m_Enabled = newValue;
    DrawButton(0, true);
    applySurfaceEnabled(newValue);
    signal("ENAB");
}

void Button::setFont(const StdFont &newFont)
{
    m_SurfaceFont = newFont;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(0, true);
    signal("FONT");
}

void Button::setFontBold(bool newValue)
{
    m_SurfaceFont.Bold = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(0, true);
}

void Button::setFontItalic(bool newValue)
{
    m_SurfaceFont.Italic = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(0, true);
}

void Button::setFontUnderline(bool newValue)
{
    m_SurfaceFont.Underline = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(0, true);
}

std::int16_t Button::FontSize() const
{
    // single precision, rounded to the nearest integer with halves to even
    return static_cast<std::int16_t>(std::nearbyint(m_SurfaceFont.Size));
}

void Button::setFontSize(std::int16_t newValue)
{
    m_SurfaceFont.Size = static_cast<float>(newValue);
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(0, true);
}

void Button::setFontName(const QString &newValue)
{
    m_SurfaceFont.Name = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(0, true);
}

void Button::setColorScheme(std::int32_t newValue)
{
    m_ColorScheme = newValue;
    CalcColors();
    DrawButton(0, true);
    signal("COLTYPE");
}

void Button::setShowFocusRect(bool newValue)
{
    m_ShowFocusRect = newValue;
    DrawButton(m_LastState, true);
    signal("FOCUSR");
}

bool Button::setMousePointer(std::int32_t newPointer)
{
    if (newPointer < -32768 || newPointer > 32767)
        return false; // overflow
    const auto narrowed = static_cast<std::int16_t>(newPointer);
    if (!surfacePointerAccepts(narrowed))
        return false; // the surface has no such pointer shape
    m_SurfaceMousePointer = narrowed;
    applySurfacePointer();
    signal("MPTR");
    return true;
}

void Button::setMouseIcon(const PicturePtr &newIcon)
{
    m_SurfaceMouseIcon = newIcon;
    applySurfacePointer();
    signal("MICON");
}

void Button::setHandPointer(bool newVal)
{
    m_HandPointer = newVal;
    if (newVal) {
        m_SurfaceMouseIcon = handCursorPicture();
        m_SurfaceMousePointer = 99;
    } else {
        m_SurfaceMouseIcon.reset();
        m_SurfaceMousePointer = 1;
    }
    applySurfacePointer();
    signal("HAND");
}

void Button::setSoftBevel(bool newValue)
{
    m_SoftBevel = newValue;
    CalcColors();
    DrawButton(m_LastState, true);
    signal("SOFT");
}

void Button::setPictureNormal(const PicturePtr &newPic)
{
    m_PictureNormal = newPic;
    CalcPictureSize();
    CalcCaptionRect();
    DrawButton(m_LastState, true);
    signal("PICN");
}

void Button::setPictureOver(const PicturePtr &newPic)
{
    m_PictureOver = newPic;
    if (m_IsOver)
        DrawButton(m_LastState, true);
    signal("PICH");
}

void Button::setPicturePosition(std::int32_t newPicPos)
{
    m_PicturePosition = newPicPos;
    signal("PICPOS");
    CalcCaptionRect();
    DrawButton(m_LastState, true);
}

void Button::setUseMaskColor(bool newValue)
{
    m_UseMaskColor = newValue;
    if (m_PictureNormal)
        DrawButton(m_LastState, true);
    signal("UMCOL");
}

void Button::setUseGreyscale(bool newValue)
{
    m_UseGreyscale = newValue;
    if (m_PictureNormal)
        DrawButton(m_LastState, true);
    signal("NGREY");
}

void Button::setSpecialEffect(std::int32_t newValue)
{
    m_SpecialEffect = newValue;
    DrawButton(m_LastState, true);
    signal("FX");
}

void Button::setCheckBoxBehaviour(bool newValue)
{
    m_CheckBoxBehaviour = newValue;
    DrawButton(m_LastState, true);
    signal("CHECK");
}

void Button::setValue(bool newValue)
{
    m_Value = newValue;
    if (m_CheckBoxBehaviour)
        DrawButton(0, true);
    signal("VALUE");
}

// ---- methods ------------------------------------------------------------------

void Button::DisableRefresh()
{
    m_CanDraw = false;
}

void Button::Refresh()
{
    if (m_ButtonType == btSeeThrough)
        CaptureBackground();
    CalcColors();
    CalcCaptionRect();
    m_CanDraw = true;
    DrawButton(m_LastState, true);
}

// ---- access key ---------------------------------------------------------------

void Button::SetAccessKeys()
{
    m_AccessKeys.clear();
    [&] {
        const QString &c = m_Caption;
        const qsizetype len = c.size();
        if (len <= 1)
            return;
        const qsizetype p = c.indexOf(QLatin1Char('&'));
        if (p < 0 || p == len - 1)
            return;
        if (c.at(p + 1) != QLatin1Char('&')) {
            m_AccessKeys = c.at(p + 1).toLower();
            return;
        }
        const qsizetype q = c.indexOf(QLatin1Char('&'), p + 2);
        if (q < 0)
            return;
        if (q + 1 < len && c.at(q + 1) == QLatin1Char('&'))
            return;
        m_AccessKeys = q + 1 < len ? QString(c.at(q + 1).toLower()) : QString();
    }();

    if (m_ShortcutId != 0) {
        releaseShortcut(m_ShortcutId);
        m_ShortcutId = 0;
    }
    if (!m_AccessKeys.isEmpty())
        m_ShortcutId = grabShortcut(QKeySequence(QStringLiteral("Alt+") + m_AccessKeys.toUpper()),
                                    Qt::WindowShortcut);
}

// ---- ambient ------------------------------------------------------------------

QString Button::AmbientDisplayName() const
{
    return objectName();
}

Button::StdFont Button::AmbientFont() const
{
    return StdFont::fromQFont(parentWidget() ? parentWidget()->font() : QApplication::font());
}

void Button::setAmbientDisplayAsDefault(bool on)
{
    if (m_AmbientDisplayAsDefault == on)
        return;
    m_AmbientDisplayAsDefault = on;
    UserControl_AmbientChanged(QStringLiteral("DisplayAsDefault"));
}

// ---- persistence --------------------------------------------------------------

void Button::UserControl_InitProperties()
{
    m_Enabled = true;
    m_ShowFocusRect = true;
    m_UseMaskColor = true;
    m_Caption = AmbientDisplayName();
    m_SurfaceFont = AmbientFont();
    applySurfaceFont();
    m_ButtonType = btStandard;
    m_ColorScheme = csSystem;
    CalcColors();
    m_BackColor = m_c.FaceColor;
    m_BackOver = m_c.FaceColor;
    m_ForeColor = m_c.TextColor;
    m_ForeOver = m_c.TextColor;
    m_MaskColor = 12632256; // &HC0C0C0
    CalcCaptionRect();
}

bool Button::UserControl_ReadProperties(const PropertyBag &PropBag)
{
    auto rd = [&](const char *key, const QVariant &def) { return PropBag.ReadProperty(QLatin1String(key), def); };

    auto l = PropertyBag::toLong(rd("BTYPE", PropertyBag::int16(2)));
    if (!l) return false;
    m_ButtonType = *l;

    auto s = PropertyBag::toString(rd("TX", QString()));
    if (!s) return false;
    m_Caption = *s;

    auto b = PropertyBag::toBoolean(rd("ENAB", true));
    if (!b) return false;
    m_Enabled = *b;

    auto f = PropertyBag::toFont(rd("FONT", PropertyBag::font(m_SurfaceFont)));
    if (!f) return false;
    m_SurfaceFont = *f;
    applySurfaceFont();

    l = PropertyBag::toLong(rd("COLTYPE", PropertyBag::int16(1)));
    if (!l) return false;
    m_ColorScheme = *l;

    b = PropertyBag::toBoolean(rd("FOCUSR", true));
    if (!b) return false;
    m_ShowFocusRect = *b;

    l = PropertyBag::toLong(rd("BCOL", PropertyBag::int32(static_cast<std::int32_t>(GetSysColor(COLOR_BTNFACE)))));
    if (!l) return false;
    m_BackColor = static_cast<OLE_COLOR>(*l);

    l = PropertyBag::toLong(rd("BCOLO", PropertyBag::int32(static_cast<std::int32_t>(m_BackColor))));
    if (!l) return false;
    m_BackOver = static_cast<OLE_COLOR>(*l);

    l = PropertyBag::toLong(rd("FCOL", PropertyBag::int32(static_cast<std::int32_t>(GetSysColor(COLOR_BTNTEXT)))));
    if (!l) return false;
    m_ForeColor = static_cast<OLE_COLOR>(*l);

    l = PropertyBag::toLong(rd("FCOLO", PropertyBag::int32(static_cast<std::int32_t>(m_ForeColor))));
    if (!l) return false;
    m_ForeOver = static_cast<OLE_COLOR>(*l);

    l = PropertyBag::toLong(rd("MCOL", PropertyBag::int32(12632256)));
    if (!l) return false;
    m_MaskColor = static_cast<OLE_COLOR>(*l);

    auto i = PropertyBag::toInteger(rd("MPTR", PropertyBag::int16(0)));
    if (!i || !surfacePointerAccepts(*i)) return false;
    m_SurfaceMousePointer = *i;
    applySurfacePointer();

    auto pic = PropertyBag::toPicture(rd("MICON", PropertyBag::picture({})));
    if (!pic) return false;
    m_SurfaceMouseIcon = *pic;
    applySurfacePointer();

    pic = PropertyBag::toPicture(rd("PICN", PropertyBag::picture({})));
    if (!pic) return false;
    m_PictureNormal = *pic;

    pic = PropertyBag::toPicture(rd("PICH", PropertyBag::picture({})));
    if (!pic) return false;
    m_PictureOver = *pic;

    b = PropertyBag::toBoolean(rd("UMCOL", true));
    if (!b) return false;
    m_UseMaskColor = *b;

    b = PropertyBag::toBoolean(rd("SOFT", false));
    if (!b) return false;
    m_SoftBevel = *b;

    l = PropertyBag::toLong(rd("PICPOS", PropertyBag::int16(0)));
    if (!l) return false;
    m_PicturePosition = *l;

    b = PropertyBag::toBoolean(rd("NGREY", false));
    if (!b) return false;
    m_UseGreyscale = *b;

    l = PropertyBag::toLong(rd("FX", PropertyBag::int16(0)));
    if (!l) return false;
    m_SpecialEffect = *l;

    b = PropertyBag::toBoolean(rd("HAND", false));
    if (!b) return false;
    setHandPointer(*b);

    b = PropertyBag::toBoolean(rd("CHECK", false));
    if (!b) return false;
    m_CheckBoxBehaviour = *b;

    b = PropertyBag::toBoolean(rd("VALUE", false));
    if (!b) return false;
    m_Value = *b;

    applySurfaceEnabled(m_Enabled);
    CalcPictureSize();
    CalcCaptionRect();
    SetAccessKeys();
    return true;
}

bool Button::UserControl_WriteProperties(PropertyBag &PropBag) const
{
    auto wr = [&](const char *key, const QVariant &v) { PropBag.WriteProperty(QLatin1String(key), v); };
    auto col = [](OLE_COLOR c) { return PropertyBag::int32(static_cast<std::int32_t>(c)); };
    wr("BTYPE", PropertyBag::int32(m_ButtonType));
    wr("TX", m_Caption);
    wr("ENAB", m_Enabled);
    wr("FONT", PropertyBag::font(m_SurfaceFont));
    wr("COLTYPE", PropertyBag::int32(m_ColorScheme));
    wr("FOCUSR", m_ShowFocusRect);
    wr("BCOL", col(m_BackColor));
    wr("BCOLO", col(m_BackOver));
    wr("FCOL", col(m_ForeColor));
    wr("FCOLO", col(m_ForeOver));
    wr("MCOL", col(m_MaskColor));
    wr("MPTR", PropertyBag::int16(m_SurfaceMousePointer));
    wr("MICON", PropertyBag::picture(m_SurfaceMouseIcon));
    wr("PICN", PropertyBag::picture(m_PictureNormal));
    wr("PICH", PropertyBag::picture(m_PictureOver));
    wr("UMCOL", m_UseMaskColor);
    wr("SOFT", m_SoftBevel);
    wr("PICPOS", PropertyBag::int32(m_PicturePosition));
    wr("NGREY", m_UseGreyscale);
    wr("FX", PropertyBag::int32(m_SpecialEffect));
    wr("HAND", m_HandPointer);
    wr("CHECK", m_CheckBoxBehaviour);
    wr("VALUE", m_Value);
    return true;
}

} // namespace vidmora
