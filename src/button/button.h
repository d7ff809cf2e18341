#pragma once

// The system's own owner-drawn push button: 14 drawing styles, 4 colour schemes,
// pictures, hover tracking, keyboard handling, check-box behaviour and stored
// properties. Every button of the program's windows is one of these.

#include "platform/gui/gdi.h"
#include "platform/gui/property_bag.h"
#include "platform/gui/std_objects.h"
#include "platform/timer.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace vidmora {

enum ButtonTypeEnum : std::int32_t {
    btFramed = 1,
    btStandard = 2,
    btGradient = 3,
    btRounded = 4,
    btSoft = 5,
    btLight3D = 6,
    btThin = 7,
    btFlatThin = 8,
    btHotTrack = 9,
    btTransparent = 10,
    btSeeThrough = 11,
    btFlat3D = 12,
    btOval = 13,
    btGlossy = 14,
};

enum ColorSchemeEnum : std::int32_t { csSystem = 1, csCustom = 2, csClassic = 3, csContainer = 4 };
enum PicturePositionEnum : std::int32_t { ppLeft = 0, ppRight = 1, ppTop = 2, ppBottom = 3, ppBehind = 4 };
enum SpecialEffectEnum : std::int32_t { seNone = 0, seRaised = 1, seSunken = 2, seShadow = 3 };

class Button : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Button)
public:
    using OLE_COLOR = platform::gdi::OLE_COLOR;
    using COLORREF = platform::gdi::COLORREF;
    using RECT = platform::gdi::RECT;
    using PicturePtr = platform::PicturePtr;
    using StdFont = platform::StdFont;
    using PropertyBag = platform::PropertyBag;

    // A new instance placed in its container under the name the container gives
    // it: the new-instance defaults apply (style 2, scheme 1, that name as
    // caption, the container's font).
    explicit Button(const QString &name, QWidget *parent = nullptr);
    // A new instance named as a container names one it places: "Button" and the
    // lowest number no control of the window carries yet ("Button1", "Button2", ...).
    explicit Button(QWidget *parent = nullptr);
    // An instance made from its container's stored data: the bag's values apply,
    // each missing key taking its default.
    explicit Button(const PropertyBag &storedProperties, QWidget *parent = nullptr);
    ~Button() override;

    // ---- properties (member-table order) ----
    OLE_COLOR BackColor() const { return m_BackColor; }
    void setBackColor(OLE_COLOR theCol);
    OLE_COLOR BackOver() const { return m_BackOver; }
    void setBackOver(OLE_COLOR theCol);
    OLE_COLOR ForeColor() const { return m_ForeColor; }
    void setForeColor(OLE_COLOR theCol);
    OLE_COLOR ForeOver() const { return m_ForeOver; }
    void setForeOver(OLE_COLOR theCol);
    OLE_COLOR MaskColor() const { return m_MaskColor; }
    void setMaskColor(OLE_COLOR theCol);
    std::int32_t ButtonType() const { return m_ButtonType; }
    void setButtonType(std::int32_t newValue);
    QString Caption() const { return m_Caption; }
    void setCaption(const QString &newValue);
    bool Enabled() const { return m_Enabled; }
    // Hides QWidget::setEnabled on purpose; a container that switches the
    // widget through QWidget::setEnabled reaches this setter too (changeEvent).
    void setEnabled(bool newValue);
    StdFont Font() const { return m_SurfaceFont; }
    void setFont(const StdFont &newFont);
    bool FontBold() const { return m_SurfaceFont.Bold; }
    void setFontBold(bool newValue);
    bool FontItalic() const { return m_SurfaceFont.Italic; }
    void setFontItalic(bool newValue);
    bool FontUnderline() const { return m_SurfaceFont.Underline; }
    void setFontUnderline(bool newValue);
    std::int16_t FontSize() const;
    void setFontSize(std::int16_t newValue);
    QString FontName() const { return m_SurfaceFont.Name; }
    void setFontName(const QString &newValue);
    std::int32_t ColorScheme() const { return m_ColorScheme; }
    void setColorScheme(std::int32_t newValue);
    bool ShowFocusRect() const { return m_ShowFocusRect; }
    void setShowFocusRect(bool newValue);
    std::int32_t MousePointer() const { return m_SurfaceMousePointer; }
    // False (and nothing signalled) when the value is outside 16 bits or no
    // pointer shape of the surface.
    bool setMousePointer(std::int32_t newPointer);
    PicturePtr MouseIcon() const { return m_SurfaceMouseIcon; }
    void setMouseIcon(const PicturePtr &newIcon);
    bool HandPointer() const { return m_HandPointer; }
    void setHandPointer(bool newVal);
    QWidget *hwnd() { return this; }
    bool SoftBevel() const { return m_SoftBevel; }
    void setSoftBevel(bool newValue);
    PicturePtr PictureNormal() const { return m_PictureNormal; }
    void setPictureNormal(const PicturePtr &newPic);
    PicturePtr PictureOver() const { return m_PictureOver; }
    void setPictureOver(const PicturePtr &newPic);
    std::int32_t PicturePosition() const { return m_PicturePosition; }
    void setPicturePosition(std::int32_t newPicPos);
    bool UseMaskColor() const { return m_UseMaskColor; }
    void setUseMaskColor(bool newValue);
    bool UseGreyscale() const { return m_UseGreyscale; }
    void setUseGreyscale(bool newValue);
    std::int32_t SpecialEffect() const { return m_SpecialEffect; }
    void setSpecialEffect(std::int32_t newValue);
    bool CheckBoxBehaviour() const { return m_CheckBoxBehaviour; }
    void setCheckBoxBehaviour(bool newValue);
    bool Value() const { return m_Value; }
    void setValue(bool newValue);
    static QString Version() { return QStringLiteral("2.0.6 B"); }

    // ---- methods ----
    void DisableRefresh();
    void Refresh();

    // ---- host events: persistence ----
    void UserControl_InitProperties();
    // False when a stored value has a type that cannot be converted: the read
    // stops at that key (keys before it keep the values read).
    bool UserControl_ReadProperties(const PropertyBag &PropBag);
    bool UserControl_WriteProperties(PropertyBag &PropBag) const;

    // ---- the container's ambient properties ----
    bool AmbientUserMode() const { return m_AmbientUserMode; }
    void setAmbientUserMode(bool on) { m_AmbientUserMode = on; }
    bool AmbientDisplayAsDefault() const { return m_AmbientDisplayAsDefault; }
    void setAmbientDisplayAsDefault(bool on);
    // The name the container gave the instance.
    QString AmbientDisplayName() const;
    StdFont AmbientFont() const;
    void UserControl_AmbientChanged(const QString &PropertyName);

    // ---- colour set, geometry and state (read by the painter; open for tests) ----
    struct ColorSet {
        COLORREF FaceColor = 0, LightColor = 0, HighlightColor = 0, ShadowColor = 0, DarkShadowColor = 0,
                 TextColor = 0, TextOverColor = 0, HotColor = 0, HotBackColor = 0, BaseColor = 0, MaskRGB = 0;
    };
    const ColorSet &colors() const { return m_c; }
    int W() const { return m_W; }
    int H() const { return m_H; }
    RECT ContentRect() const { return m_ContentRect; }
    RECT CaptionRect() const { return m_CaptionRect; }
    RECT PressedRect() const { return m_PressedRect; }
    int CaptionWidth() const { return m_CaptionWidth; }
    int CaptionHeight() const { return m_CaptionHeight; }
    int PictureX() const { return m_PictureX; }
    int PictureY() const { return m_PictureY; }
    int PictureWidth() const { return m_PictureWidth; }
    int PictureHeight() const { return m_PictureHeight; }
    const QRegion &WindowRegion() const { return m_WindowRegion; }
    QString AccessKeys() const { return m_AccessKeys; }
    bool IsOver() const { return m_IsOver; }
    bool HasFocus() const { return m_HasFocus; }
    bool CanDraw() const { return m_CanDraw; }
    std::uint8_t LastState() const { return m_LastState; }
    int LastTextState() const { return static_cast<int>(m_LastTextState); }
    bool overTimerEnabled() const { return m_OverTimer.Enabled(); }
    const QImage &surface() const { return m_Surface; }
    int paintCount() const { return m_PaintCount; }

    // ---- colour operations ----
    COLORREF ShiftColor(COLORREF Color, std::int32_t Amount, bool Relative = false) const;
    static COLORREF LightenColor(COLORREF Color, std::int32_t Amount);
    static COLORREF TranslateColor(OLE_COLOR Color);

    // ---- layout, painting and drawing ----
    void CalcColors();
    void UserControl_Resize();
    void CalcCaptionRect();
    void CalcPictureSize();
    // The looks DrawButton is asked for; any other state paints the face alone.
    enum DrawState : std::uint8_t { dsUp = 0, dsPressed = 2 };
    void DrawButton(std::uint8_t State, bool Force);
    void DrawRect(int X, int Y, int Width, int Height, COLORREF Color, bool Outline = false);
    void DrawEllipse(int X, int Y, int Width, int Height, COLORREF PenColor, COLORREF FillColor);
    void DrawLine(int X1, int Y1, int X2, int Y2, COLORREF Color);
    void DrawFrame(COLORREF C1, COLORREF C2, COLORREF C3, COLORREF C4, std::int16_t Offset, bool OuterOnly);
    void DrawPixel(int X, int Y, COLORREF Color);
    void DrawFocus();
    void BlitPicture(platform::gdi::HDC TargetDC, int X, int Y, int Width, int Height, const PicturePtr &Picture,
                     COLORREF MaskColour, std::int32_t Tint, bool SkipLight, bool Greyscale, bool Blend);

    // The pointer test of the hover poll; tests may replace it (nullptr: the
    // window under the screen pointer is this control's own).
    void setPointerProbe(std::function<bool()> probe) { m_PointerProbe = std::move(probe); }

signals:
    void Click();
    void MouseDown(std::int16_t &Button, std::int16_t &Shift, float &X, float &Y);
    void MouseMove(std::int16_t &Button, std::int16_t &Shift, float &X, float &Y);
    void MouseUp(std::int16_t &Button, std::int16_t &Shift, float &X, float &Y);
    void KeyPress(std::int16_t &KeyAscii);
    void KeyDown(std::int16_t &KeyCode, std::int16_t &Shift);
    void KeyUp(std::int16_t &KeyCode, std::int16_t &Shift);
    void MouseOver();
    void MouseOut();
    // The host's property-changed notification, with the property's stored key.
    void PropertyChanged(const QString &PropertyName);

public:
    // ---- host events: input and lifecycle (public so a host can drive them) ----
    void UserControl_Initialize();
    void UserControl_Show();
    void UserControl_Hide();
    void UserControl_Terminate();
    void UserControl_GotFocus();
    void UserControl_LostFocus();
    void UserControl_AccessKeyPress(std::int16_t KeyAscii);
    void UserControl_Click();
    void UserControl_DblClick();
    void UserControl_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void UserControl_MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void UserControl_MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void UserControl_KeyDown(std::int16_t KeyCode, std::int16_t Shift);
    void UserControl_KeyUp(std::int16_t KeyCode, std::int16_t Shift);
    void UserControl_KeyPress(std::int16_t KeyAscii);
    void OverTimer_Timer();

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void changeEvent(QEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;

private:
    void construct();
    static QString nameForNewInstance(const QWidget *container);
    void SetAccessKeys();
    void CalcPicturePos();
    void MakeRegion();
    void CaptureBackground();
    bool IsMouseOver();
    static void followPresses();
    bool pressBeforeWasOwn() const;
    bool isOverAt(QPoint pos) const;
    void Cls();
    // The caption's eight renderings; 3 to 6 are the disabled ones, by style.
    enum class TextState : std::uint8_t {
        Up = 0,
        Hovered = 1,
        Pressed = 2,
        DisabledEmbossed = 3,
        DisabledFlat = 4,
        DisabledGradient = 5,
        DisabledGlossy = 6,
        PressedGlossy = 7,
    };
    void DrawCaption(TextState State);
    void DrawCaptionEffect(const RECT &Rect);
    // The three looks of every style; the values are the picture states DrawPictures takes.
    enum class Look : std::uint8_t { Up = 0, Pressed = 1, Disabled = 2 };
    void DrawPictures(Look PictureState);
    void DrawPictureEffect(std::int32_t Offset, const PicturePtr &Picture);
    void drawLook(Look look);
    TextState upTextState() const; // the caption's text state in the up look: hovered or not
    // Colours of the set, and the few derived from it, as the style table names them.
    enum class Shade : std::uint8_t {
        None, Light, LightPlus8, Highlight, Shadow, DarkShadow, Hot, HotBack, HotPressed,
    };
    COLORREF shade(Shade s) const;
    struct LookRow;
    static std::span<const LookRow> lookRows();
    const LookRow *lookRowFor(Look look) const;
    void drawLookRow(const LookRow &row);
    void drawGradient(Look look);
    void drawRounded(Look look);
    void drawSoft(Look look);
    void drawSeeThrough(Look look);
    void drawOval(Look look);
    void drawGlossy(Look look);
    void drawCaptionText(COLORREF color, RECT rc);
    void applySurfaceFont();
    void applySurfaceEnabled(bool on);
    void applySurfacePointer();
    static bool surfacePointerAccepts(std::int16_t pointer);
    // The stored properties, named for the setters that tell the host one changed.
    enum class Stored : std::uint8_t {
        ButtonType, Caption, Enabled, Font, ColorScheme, ShowFocusRect, BackColor, BackOver, ForeColor, ForeOver,
        MaskColor, MousePointer, MouseIcon, PictureNormal, PictureOver, UseMaskColor, SoftBevel, PicturePosition,
        UseGreyscale, SpecialEffect, HandPointer, CheckBoxBehaviour, Value,
    };
    struct StoredProperty;
    // Every stored property in the order it is read and written, with its key.
    static std::span<const StoredProperty> storedProperties();
    // The host's property-changed notification, under the property's stored key.
    void changed(Stored property);
    void sendTab(bool forward);

    // stored properties
    std::int32_t m_ButtonType = 0;
    std::int32_t m_ColorScheme = 0;
    std::int32_t m_PicturePosition = 0;
    std::int32_t m_SpecialEffect = 0;
    OLE_COLOR m_BackColor = 0, m_BackOver = 0, m_ForeColor = 0, m_ForeOver = 0, m_MaskColor = 0;
    QString m_Caption;
    bool m_Enabled = false, m_ShowFocusRect = false, m_SoftBevel = false, m_UseMaskColor = false,
         m_UseGreyscale = false, m_HandPointer = false, m_CheckBoxBehaviour = false, m_Value = false;
    PicturePtr m_PictureNormal, m_PictureOver;

    // the control surface
    StdFont m_SurfaceFont;
    std::int16_t m_SurfaceMousePointer = 0;
    PicturePtr m_SurfaceMouseIcon;
    QString m_AccessKeys;
    int m_ShortcutId = 0;
    bool m_SettingSurfaceEnabled = false;
    QImage m_Surface;
    std::unique_ptr<platform::gdi::DeviceContext> m_hDC;
    platform::gdi::Font m_DcFont;

    // ambient
    bool m_AmbientUserMode = true;
    bool m_AmbientDisplayAsDefault = false;

    // state flags
    bool m_IsOver = false, m_HasFocus = false, m_CanDraw = false, m_Capturing = false;
    std::uint8_t m_LastState = 0, m_LastMouseButton = 0, m_LastKeyCode = 0;
    QString m_LastCaption;
    bool m_SkipNextClick = false; // the release after a double click brings no click
    bool m_Terminated = false;
    platform::Timer m_OverTimer;
    std::function<bool()> m_PointerProbe;

    // background copy for the see-through style
    platform::gdi::HDC m_BackDC = nullptr;
    platform::gdi::HBITMAP m_BackBitmap = nullptr;
    platform::gdi::HGDIOBJ m_OldBackBitmap = nullptr;

    // colour set and geometry
    ColorSet m_c;
    int m_W = 0, m_H = 0;
    RECT m_ContentRect, m_CaptionRect, m_PressedRect;
    int m_CaptionWidth = 0, m_CaptionHeight = 0;
    int m_PictureX = 0, m_PictureY = 0, m_PictureWidth = 0, m_PictureHeight = 0;
    QRegion m_WindowRegion;
    TextState m_LastTextState = TextState::Up;
    int m_PaintCount = 0;
};

} // namespace vidmora
