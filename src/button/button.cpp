// The button's public face: properties, methods, new-instance defaults, stored
// properties and the access key.

#include "button/button.h"

#include "button/hand_cursor.h"
#include "platform/gui/access_key_text.h"

#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QPixmap>
#include <QSet>

#include <cmath>
#include <iterator>
#include <optional>

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
    changed(Stored::BackColor);
}

void Button::setBackOver(OLE_COLOR theCol)
{
    m_BackOver = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    changed(Stored::BackOver);
}

void Button::setForeColor(OLE_COLOR theCol)
{
    m_ForeColor = theCol;
    if (!AmbientUserMode())
        m_ForeOver = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    changed(Stored::ForeColor);
}

void Button::setForeOver(OLE_COLOR theCol)
{
    m_ForeOver = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    changed(Stored::ForeOver);
}

void Button::setMaskColor(OLE_COLOR theCol)
{
    m_MaskColor = theCol;
    CalcColors();
    DrawButton(m_LastState, true);
    changed(Stored::MaskColor);
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
    changed(Stored::ButtonType);
}

void Button::setCaption(const QString &newValue)
{
    m_Caption = newValue;
    SetAccessKeys();
    CalcCaptionRect();
    DrawButton(dsUp, true);
    changed(Stored::Caption);
}

void Button::setEnabled(bool newValue)
{
    m_Enabled = newValue;
    DrawButton(dsUp, true);
    applySurfaceEnabled(newValue);
    changed(Stored::Enabled);
}

void Button::setFont(const StdFont &newFont)
{
    m_SurfaceFont = newFont;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(dsUp, true);
    changed(Stored::Font);
}

void Button::setFontBold(bool newValue)
{
    m_SurfaceFont.Bold = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(dsUp, true);
}

void Button::setFontItalic(bool newValue)
{
    m_SurfaceFont.Italic = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(dsUp, true);
}

void Button::setFontUnderline(bool newValue)
{
    m_SurfaceFont.Underline = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(dsUp, true);
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
    DrawButton(dsUp, true);
}

void Button::setFontName(const QString &newValue)
{
    m_SurfaceFont.Name = newValue;
    applySurfaceFont();
    CalcCaptionRect();
    DrawButton(dsUp, true);
}

void Button::setColorScheme(std::int32_t newValue)
{
    m_ColorScheme = newValue;
    CalcColors();
    DrawButton(dsUp, true);
    changed(Stored::ColorScheme);
}

void Button::setShowFocusRect(bool newValue)
{
    m_ShowFocusRect = newValue;
    DrawButton(m_LastState, true);
    changed(Stored::ShowFocusRect);
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
    changed(Stored::MousePointer);
    return true;
}

void Button::setMouseIcon(const PicturePtr &newIcon)
{
    m_SurfaceMouseIcon = newIcon;
    applySurfacePointer();
    changed(Stored::MouseIcon);
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
    changed(Stored::HandPointer);
}

void Button::setSoftBevel(bool newValue)
{
    m_SoftBevel = newValue;
    CalcColors();
    DrawButton(m_LastState, true);
    changed(Stored::SoftBevel);
}

void Button::setPictureNormal(const PicturePtr &newPic)
{
    m_PictureNormal = newPic;
    CalcPictureSize();
    CalcCaptionRect();
    DrawButton(m_LastState, true);
    changed(Stored::PictureNormal);
}

void Button::setPictureOver(const PicturePtr &newPic)
{
    m_PictureOver = newPic;
    if (m_IsOver)
        DrawButton(m_LastState, true);
    changed(Stored::PictureOver);
}

void Button::setPicturePosition(std::int32_t newPicPos)
{
    m_PicturePosition = newPicPos;
    changed(Stored::PicturePosition);
    CalcCaptionRect();
    DrawButton(m_LastState, true);
}

void Button::setUseMaskColor(bool newValue)
{
    m_UseMaskColor = newValue;
    if (m_PictureNormal)
        DrawButton(m_LastState, true);
    changed(Stored::UseMaskColor);
}

void Button::setUseGreyscale(bool newValue)
{
    m_UseGreyscale = newValue;
    if (m_PictureNormal)
        DrawButton(m_LastState, true);
    changed(Stored::UseGreyscale);
}

void Button::setSpecialEffect(std::int32_t newValue)
{
    m_SpecialEffect = newValue;
    DrawButton(m_LastState, true);
    changed(Stored::SpecialEffect);
}

void Button::setCheckBoxBehaviour(bool newValue)
{
    m_CheckBoxBehaviour = newValue;
    DrawButton(m_LastState, true);
    changed(Stored::CheckBoxBehaviour);
}

void Button::setValue(bool newValue)
{
    m_Value = newValue;
    if (m_CheckBoxBehaviour)
        DrawButton(dsUp, true);
    changed(Stored::Value);
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
    // The key is the first marked character of the caption, as the caption is
    // drawn, but only the first two runs of ampersands are looked at: a mark
    // after a second doubled "&" gives no key. A one-character caption has none.
    if (m_Caption.size() > 1) {
        int ampersandsShown = 0;
        bool decided = false;
        auto look = [&](QChar c, bool marked) {
            if (decided)
                return;
            if (marked) {
                if (ampersandsShown < 2)
                    m_AccessKeys = c.toLower();
                decided = true;
            } else if (c == u'&' && ++ampersandsShown == 2) {
                decided = true;
            }
        };
        platform::forEachShownChar(m_Caption, m_Caption.size(), platform::LastAmpersand::Hidden, look);
    }

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

namespace {

// Stores a converted value; false (and nothing stored) when the conversion failed.
template <typename Field, typename Value>
bool assign(Field &field, const std::optional<Value> &converted)
{
    if (!converted)
        return false;
    field = static_cast<Field>(*converted);
    return true;
}

QVariant colourValue(Button::OLE_COLOR c)
{
    return PropertyBag::int32(static_cast<std::int32_t>(c));
}

} // namespace

// One stored property: its key, the default a read takes for a missing key,
// how a value read is applied (false when it cannot be converted) and the value
// a write stores. Reads store into the fields directly: no setter runs, except
// where an entry says so.
struct Button::StoredProperty {
    using AskedDefault = QVariant (*)(const Button &);

    Stored property;
    const char *key;
    QVariant fixedDefault;
    AskedDefault askedDefault; // a default that depends on the moment of reading
    bool (*apply)(Button &, const QVariant &);
    QVariant (*value)(const Button &);

    QVariant defaultFor(const Button &b) const { return askedDefault ? askedDefault(b) : fixedDefault; }

    // A 32-bit integer or colour field, written as a 32-bit integer.
    template <auto Field>
    static StoredProperty number(Stored property, const char *key, QVariant fixedDefault,
                                 AskedDefault askedDefault = nullptr)
    {
        return {property, key, std::move(fixedDefault), askedDefault,
                [](Button &b, const QVariant &v) { return assign(b.*Field, PropertyBag::toLong(v)); },
                [](const Button &b) { return PropertyBag::int32(static_cast<std::int32_t>(b.*Field)); }};
    }
    template <auto Field>
    static StoredProperty boolean(Stored property, const char *key, bool fixedDefault)
    {
        return {property, key, fixedDefault, nullptr,
                [](Button &b, const QVariant &v) { return assign(b.*Field, PropertyBag::toBoolean(v)); },
                [](const Button &b) { return QVariant(b.*Field); }};
    }
    template <auto Field>
    static StoredProperty picture(Stored property, const char *key)
    {
        return {property, key, PropertyBag::picture({}), nullptr,
                [](Button &b, const QVariant &v) { return assign(b.*Field, PropertyBag::toPicture(v)); },
                [](const Button &b) { return PropertyBag::picture(b.*Field); }};
    }
};

std::span<const Button::StoredProperty> Button::storedProperties()
{
    using P = StoredProperty;
    using S = Stored;
    static const StoredProperty table[] = {
        P::number<&Button::m_ButtonType>(S::ButtonType, "BTYPE", PropertyBag::int16(2)),
        {S::Caption, "TX", QString(), nullptr,
         [](Button &b, const QVariant &v) { return assign(b.m_Caption, PropertyBag::toString(v)); },
         [](const Button &b) { return QVariant(b.m_Caption); }},
        P::boolean<&Button::m_Enabled>(S::Enabled, "ENAB", true),
        {S::Font, "FONT", QVariant(), [](const Button &b) { return PropertyBag::font(b.m_SurfaceFont); },
         [](Button &b, const QVariant &v) {
             if (!assign(b.m_SurfaceFont, PropertyBag::toFont(v)))
                 return false;
             b.applySurfaceFont();
             return true;
         },
         [](const Button &b) { return PropertyBag::font(b.m_SurfaceFont); }},
        P::number<&Button::m_ColorScheme>(S::ColorScheme, "COLTYPE", PropertyBag::int16(1)),
        P::boolean<&Button::m_ShowFocusRect>(S::ShowFocusRect, "FOCUSR", true),
        // the system's colours as RGB values, asked when the key is read; the
        // hover colours default to the colours just read
        P::number<&Button::m_BackColor>(S::BackColor, "BCOL", QVariant(),
                                        [](const Button &) { return colourValue(GetSysColor(COLOR_BTNFACE)); }),
        P::number<&Button::m_BackOver>(S::BackOver, "BCOLO", QVariant(),
                                       [](const Button &b) { return colourValue(b.m_BackColor); }),
        P::number<&Button::m_ForeColor>(S::ForeColor, "FCOL", QVariant(),
                                        [](const Button &) { return colourValue(GetSysColor(COLOR_BTNTEXT)); }),
        P::number<&Button::m_ForeOver>(S::ForeOver, "FCOLO", QVariant(),
                                       [](const Button &b) { return colourValue(b.m_ForeColor); }),
        P::number<&Button::m_MaskColor>(S::MaskColor, "MCOL", PropertyBag::int32(12632256)), // &HC0C0C0
        // the surface's pointer and icon, as they are at the moment of writing
        {S::MousePointer, "MPTR", PropertyBag::int16(0), nullptr,
         [](Button &b, const QVariant &v) {
             const auto pointer = PropertyBag::toInteger(v);
             if (!pointer || !surfacePointerAccepts(*pointer))
                 return false;
             b.m_SurfaceMousePointer = *pointer;
             b.applySurfacePointer();
             return true;
         },
         [](const Button &b) { return PropertyBag::int16(b.m_SurfaceMousePointer); }},
        {S::MouseIcon, "MICON", PropertyBag::picture({}), nullptr,
         [](Button &b, const QVariant &v) {
             if (!assign(b.m_SurfaceMouseIcon, PropertyBag::toPicture(v)))
                 return false;
             b.applySurfacePointer();
             return true;
         },
         [](const Button &b) { return PropertyBag::picture(b.m_SurfaceMouseIcon); }},
        P::picture<&Button::m_PictureNormal>(S::PictureNormal, "PICN"),
        P::picture<&Button::m_PictureOver>(S::PictureOver, "PICH"),
        P::boolean<&Button::m_UseMaskColor>(S::UseMaskColor, "UMCOL", true),
        P::boolean<&Button::m_SoftBevel>(S::SoftBevel, "SOFT", false),
        P::number<&Button::m_PicturePosition>(S::PicturePosition, "PICPOS", PropertyBag::int16(0)),
        P::boolean<&Button::m_UseGreyscale>(S::UseGreyscale, "NGREY", false),
        P::number<&Button::m_SpecialEffect>(S::SpecialEffect, "FX", PropertyBag::int16(0)),
        // through its setter, read after "MPTR" and "MICON": it decides the
        // pointer a loaded instance shows
        {S::HandPointer, "HAND", false, nullptr,
         [](Button &b, const QVariant &v) {
             const auto on = PropertyBag::toBoolean(v);
             if (!on)
                 return false;
             b.setHandPointer(*on);
             return true;
         },
         [](const Button &b) { return QVariant(b.m_HandPointer); }},
        P::boolean<&Button::m_CheckBoxBehaviour>(S::CheckBoxBehaviour, "CHECK", false),
        P::boolean<&Button::m_Value>(S::Value, "VALUE", false),
    };
    static_assert(std::size(table) == 23);
    return table;
}

void Button::changed(Stored property)
{
    for (const StoredProperty &p : storedProperties())
        if (p.property == property)
            emit PropertyChanged(QString::fromLatin1(p.key));
}

bool Button::UserControl_ReadProperties(const PropertyBag &PropBag)
{
    for (const StoredProperty &p : storedProperties()) {
        // a value that cannot be converted ends the read at its key
        if (!p.apply(*this, PropBag.ReadProperty(QLatin1String(p.key), p.defaultFor(*this))))
            return false;
    }
    applySurfaceEnabled(m_Enabled);
    CalcPictureSize();
    CalcCaptionRect();
    SetAccessKeys();
    return true;
}

bool Button::UserControl_WriteProperties(PropertyBag &PropBag) const
{
    for (const StoredProperty &p : storedProperties())
        PropBag.WriteProperty(QLatin1String(p.key), p.value(*this));
    return true;
}

} // namespace vidmora
