#pragma once

// A small GDI-style drawing layer over QImage back-buffers. The button code was
// designed against device contexts, solid pens and brushes, regions and 24-bit
// DIBs; this layer gives it those calls with their documented pixel rules
// (right and bottom edges exclusive, line end points left out, focus rectangles
// drawn by inversion) and never antialiases.

#include <QFont>
#include <QImage>
#include <QRegion>

#include <cstdint>
#include <optional>

class QWidget;

namespace vidmora::platform::gdi {

using COLORREF = std::uint32_t; // 0x00bbggrr
using OLE_COLOR = std::uint32_t; // COLORREF, or 0x800000xx for a system colour
using HRESULT = std::int32_t;
using BOOL = int;
using HWND = QWidget *;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

// QImage::Format_RGB32 pixel <-> COLORREF
constexpr QRgb toQRgb(COLORREF c) { return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
constexpr COLORREF fromQRgb(QRgb p) { return RGB(qRed(p), qGreen(p), qBlue(p)); }

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const RECT &, const RECT &) = default;
};

struct POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// ---- objects ---------------------------------------------------------------

class GdiObject {
public:
    enum class Kind { Pen, Brush, Bitmap, Region, Font };
    virtual ~GdiObject() = default;
    virtual Kind kind() const = 0;
    bool stock = false; // stock objects survive DeleteObject
};

struct Pen final : GdiObject {
    Kind kind() const override { return Kind::Pen; }
    int style = 0;
    int width = 1;
    COLORREF color = 0;
};

struct Brush final : GdiObject {
    Kind kind() const override { return Kind::Brush; }
    COLORREF color = RGB(255, 255, 255);
};

struct Bitmap final : GdiObject {
    Kind kind() const override { return Kind::Bitmap; }
    QImage image; // Format_RGB32
    int bitsPixel = 32;
};

struct Region final : GdiObject {
    Kind kind() const override { return Kind::Region; }
    QRegion region;
};

struct Font final : GdiObject {
    Kind kind() const override { return Kind::Font; }
    QFont font;
};

using HGDIOBJ = GdiObject *;
using HPEN = Pen *;
using HBRUSH = Brush *;
using HBITMAP = Bitmap *;
using HRGN = Region *;
using HFONT = Font *;

// ---- device contexts ------------------------------------------------------

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

class DeviceContext {
public:
    // A DC that draws straight on an image its owner keeps (a control's surface).
    explicit DeviceContext(QImage *target);
    ~DeviceContext();
    DeviceContext(const DeviceContext &) = delete;
    DeviceContext &operator=(const DeviceContext &) = delete;

    // The image drawing goes to; nullptr when there is none.
    QImage *pixels();

    HPEN pen;
    HBRUSH brush;
    HBITMAP bitmap = nullptr; // memory DCs only
    HFONT font;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT position;

private:
    friend DeviceContext *CreateCompatibleDC(DeviceContext *);
    friend DeviceContext *GetDC(HWND);
    friend int ReleaseDC(HWND, DeviceContext *);
    friend BOOL DeleteDC(DeviceContext *);
    DeviceContext(); // stock pen and brush, its own default font

    QImage *m_target = nullptr;
    bool m_memory = false;
    HWND m_window = nullptr; // GetDC of a window: its pixels are rendered on first read
    std::optional<QImage> m_rendered;
    Font m_ownFont; // the DC's default font object
};

using HDC = DeviceContext *;

HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// A DC over a window's client area. Reading pixels renders the window (with its
// children) once; the colours are the window's own background and text colours.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);

constexpr int BITSPIXEL = 12;
int GetDeviceCaps(HDC hdc, int index);

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
BOOL DeleteObject(HGDIOBJ obj);

constexpr int PS_SOLID = 0;
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel, const void *bits);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
COLORREF GetNearestColor(HDC hdc, COLORREF color);

// ---- rectangles -------------------------------------------------------------

BOOL CopyRect(RECT *dst, const RECT *src);
BOOL InflateRect(RECT *rc, int dx, int dy);
BOOL OffsetRect(RECT *rc, int dx, int dy);
BOOL IsRectEmpty(const RECT *rc);

// ---- drawing ----------------------------------------------------------------

int FillRect(HDC hdc, const RECT *rc, HBRUSH brush);
int FrameRect(HDC hdc, const RECT *rc, HBRUSH brush);
BOOL MoveToEx(HDC hdc, int x, int y, POINT *previous);
BOOL LineTo(HDC hdc, int x, int y); // the end point itself is not drawn
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
BOOL DrawFocusRect(HDC hdc, const RECT *rc);

constexpr std::uint32_t SRCCOPY = 0x00CC0020;
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, std::uint32_t rop);

// ---- regions ----------------------------------------------------------------

constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_ERROR = 0;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode);
BOOL PtInRegion(HRGN rgn, int x, int y);
// The window takes the region over (as its mask) and frees the one it held.
int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw);

// ---- DIBs -------------------------------------------------------------------

struct BITMAPINFOHEADER {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0; // positive: rows bottom-up
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 24;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
};
constexpr std::uint32_t BI_RGB = 0;
constexpr unsigned DIB_RGB_COLORS = 0;

int DibStride(int width, int bitCount);
// Reads rows of the bitmap (24 or 32 bits a pixel) into bits; with bits null
// only fills in the header's size fields.
int GetDIBits(HDC hdc, HBITMAP bitmap, unsigned start, unsigned lines, void *bits, BITMAPINFO *info, unsigned usage);
int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, unsigned w, unsigned h, int xSrc, int ySrc, unsigned startScan,
                      unsigned lines, const void *bits, const BITMAPINFO *info, unsigned usage);

// ---- text -------------------------------------------------------------------

constexpr unsigned DT_TOP = 0x0000;
constexpr unsigned DT_LEFT = 0x0000;
constexpr unsigned DT_CENTER = 0x0001;
constexpr unsigned DT_RIGHT = 0x0002;
constexpr unsigned DT_VCENTER = 0x0004;
constexpr unsigned DT_BOTTOM = 0x0008;
constexpr unsigned DT_WORDBREAK = 0x0010;
constexpr unsigned DT_SINGLELINE = 0x0020;
constexpr unsigned DT_NOCLIP = 0x0100;
constexpr unsigned DT_CALCRECT = 0x0400;
constexpr unsigned DT_NOPREFIX = 0x0800;

// Draws (or with DT_CALCRECT measures) text in the DC's font and text colour.
// count < 0 means the whole string. Returns the height of the text.
int DrawTextA(HDC hdc, const QString &text, int count, RECT *rc, unsigned format);

// ---- icons ------------------------------------------------------------------

constexpr unsigned DI_NORMAL = 0x0003;
// Draws an image with alpha (an icon) at its own size when cx/cy are 0, onto a
// background of brush when one is given.
BOOL DrawIconEx(HDC hdc, int x, int y, const QImage &icon, int cx, int cy, unsigned step, HBRUSH flickerFree,
                unsigned flags);

// ---- system colours ---------------------------------------------------------

constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_COUNT = 31;

// The classic ("Windows Standard") system colours: a fixed table, the same on
// every machine.
COLORREF GetSysColor(int index);
HRESULT OleTranslateColor(OLE_COLOR color, void *palette, COLORREF *result);

// ---- windows ----------------------------------------------------------------

HWND GetParent(HWND hwnd);
BOOL GetClientRect(HWND hwnd, RECT *rc);
BOOL GetWindowRect(HWND hwnd, RECT *rc); // screen coordinates, frame included
BOOL GetCursorPos(POINT *pt);
HWND WindowFromPoint(POINT pt);

// Points to pixels at 96 dots per inch, whatever the screen says.
int pointsToPixels(double points);

} // namespace vidmora::platform::gdi
