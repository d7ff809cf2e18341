#include "platform/gui/gdi.h"
#include "platform/gui/access_key_text.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace vidmora::platform::gdi {

namespace {

Pen *stockPen()
{
    static Pen pen = [] {
        Pen p;
        p.stock = true;
        return p;
    }();
    return &pen;
}

Brush *stockBrush()
{
    static Brush brush = [] {
        Brush b;
        b.stock = true;
        return b;
    }();
    return &brush;
}

Bitmap *stockBitmap()
{
    static Bitmap bitmap = [] {
        Bitmap b;
        b.stock = true;
        b.image = QImage(1, 1, QImage::Format_RGB32);
        b.image.fill(0xFF000000u);
        return b;
    }();
    return &bitmap;
}

inline void plot(QImage *img, int x, int y, COLORREF c)
{
    if (x < 0 || y < 0 || x >= img->width() || y >= img->height())
        return;
    reinterpret_cast<QRgb *>(img->scanLine(y))[x] = toQRgb(c);
}

void fillSpan(QImage *img, int x0, int x1, int y, COLORREF c)
{
    if (y < 0 || y >= img->height())
        return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, img->width());
    auto *row = reinterpret_cast<QRgb *>(img->scanLine(y));
    const QRgb p = toQRgb(c);
    for (int x = x0; x < x1; ++x)
        row[x] = p;
}

// Is the centre of pixel (x, y) inside the ellipse whose bounding box is
// [l, r) x [t, b), shrunk by `inset` on every side?
bool insideEllipse(int x, int y, double l, double t, double r, double b, double inset)
{
    const double a = (r - l) / 2.0 - inset;
    const double bb = (b - t) / 2.0 - inset;
    if (a <= 0 || bb <= 0)
        return false;
    const double dx = (x + 0.5 - (l + r) / 2.0) / a;
    const double dy = (y + 0.5 - (t + b) / 2.0) / bb;
    return dx * dx + dy * dy <= 1.0;
}

QRegion ellipseRegion(int l, int t, int r, int b, double inset)
{
    QRegion rgn;
    if (r <= l || b <= t)
        return rgn;
    for (int y = t; y < b; ++y) {
        int x0 = -1;
        for (int x = l; x < r; ++x) {
            if (insideEllipse(x, y, l, t, r, b, inset)) {
                x0 = x;
                break;
            }
        }
        if (x0 < 0)
            continue;
        // symmetric about the centre
        const int x1 = l + r - x0;
        rgn += QRect(x0, y, x1 - x0, 1);
    }
    return rgn;
}

struct WindowRegions {
    QHash<const QWidget *, std::shared_ptr<Region>> held;
};
WindowRegions &windowRegions()
{
    static WindowRegions r;
    return r;
}

COLORREF paletteColor(HWND w, QPalette::ColorRole role)
{
    const QColor c = w ? w->palette().color(role) : QColor(Qt::white);
    return RGB(c.red(), c.green(), c.blue());
}

} // namespace

// ---- DC ------------------------------------------------------------------

DeviceContext::DeviceContext()
    : pen(stockPen())
    , brush(stockBrush())
    , font(&m_ownFont)
{
    m_ownFont.stock = true;
}

DeviceContext::DeviceContext(QImage *target)
    : DeviceContext()
{
    m_target = target;
}

DeviceContext::~DeviceContext() = default;

QImage *DeviceContext::pixels()
{
    if (m_memory)
        return bitmap ? &bitmap->image : nullptr;
    if (m_window) {
        if (!m_rendered) {
            QImage img(m_window->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
            img.fill(toQRgb(bkColor));
            m_window->render(&img, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
            m_rendered = img;
        }
        return &*m_rendered;
    }
    return m_target;
}

HDC CreateCompatibleDC(HDC)
{
    auto *dc = new DeviceContext();
    dc->m_memory = true;
    dc->bitmap = stockBitmap();
    return dc;
}

BOOL DeleteDC(HDC hdc)
{
    delete hdc;
    return 1;
}

HDC GetDC(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    auto *dc = new DeviceContext();
    dc->m_ownFont.font = hwnd->font();
    dc->m_window = hwnd;
    dc->bkColor = paletteColor(hwnd, hwnd->backgroundRole());
    dc->textColor = paletteColor(hwnd, hwnd->foregroundRole());
    return dc;
}

int ReleaseDC(HWND, HDC hdc)
{
    if (!hdc)
        return 0;
    delete hdc;
    return 1;
}

int GetDeviceCaps(HDC, int index)
{
    return index == BITSPIXEL ? 32 : 0;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj)
{
    if (!hdc || !obj)
        return nullptr;
    switch (obj->kind()) {
    case GdiObject::Kind::Pen: {
        HGDIOBJ old = hdc->pen;
        hdc->pen = static_cast<Pen *>(obj);
        return old;
    }
    case GdiObject::Kind::Brush: {
        HGDIOBJ old = hdc->brush;
        hdc->brush = static_cast<Brush *>(obj);
        return old;
    }
    case GdiObject::Kind::Bitmap: {
        if (!hdc->bitmap)
            return nullptr; // only memory DCs take bitmaps
        HGDIOBJ old = hdc->bitmap;
        hdc->bitmap = static_cast<Bitmap *>(obj);
        return old;
    }
    case GdiObject::Kind::Font: {
        HGDIOBJ old = hdc->font;
        hdc->font = static_cast<Font *>(obj);
        return old;
    }
    case GdiObject::Kind::Region:
        return nullptr;
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ obj)
{
    if (!obj || obj->stock)
        return 0;
    delete obj;
    return 1;
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    auto *p = new Pen;
    p->style = style;
    p->width = width < 1 ? 1 : width;
    p->color = color & 0xFFFFFF;
    return p;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    auto *b = new Brush;
    b->color = color & 0xFFFFFF;
    return b;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    return CreateBitmap(width, height, 1, 32, nullptr);
}

HBITMAP CreateBitmap(int width, int height, unsigned, unsigned bitsPerPixel, const void *)
{
    auto *b = new Bitmap;
    b->image = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    b->image.fill(0xFF000000u); // a new bitmap is black
    b->bitsPixel = static_cast<int>(bitsPerPixel);
    return b;
}

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    const COLORREF old = hdc->textColor;
    hdc->textColor = color & 0xFFFFFF;
    return old;
}
COLORREF GetTextColor(HDC hdc) { return hdc ? hdc->textColor : 0; }
COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    const COLORREF old = hdc->bkColor;
    hdc->bkColor = color & 0xFFFFFF;
    return old;
}
COLORREF GetBkColor(HDC hdc) { return hdc ? hdc->bkColor : 0; }
int SetBkMode(HDC hdc, int mode)
{
    const int old = hdc->bkMode;
    hdc->bkMode = mode;
    return old;
}

// Every DC here holds 24 bits of colour: the nearest colour is the colour.
COLORREF GetNearestColor(HDC, COLORREF color) { return color & 0xFFFFFF; }

// ---- rectangles -------------------------------------------------------------

BOOL CopyRect(RECT *dst, const RECT *src)
{
    *dst = *src;
    return 1;
}
BOOL InflateRect(RECT *rc, int dx, int dy)
{
    rc->left -= dx;
    rc->right += dx;
    rc->top -= dy;
    rc->bottom += dy;
    return 1;
}
BOOL OffsetRect(RECT *rc, int dx, int dy)
{
    rc->left += dx;
    rc->right += dx;
    rc->top += dy;
    rc->bottom += dy;
    return 1;
}
BOOL IsRectEmpty(const RECT *rc) { return rc->right <= rc->left || rc->bottom <= rc->top; }

// ---- drawing ----------------------------------------------------------------

int FillRect(HDC hdc, const RECT *rc, HBRUSH brush)
{
    QImage *img = hdc ? hdc->pixels() : nullptr;
    if (!img || !brush || IsRectEmpty(rc))
        return 0;
    for (int y = rc->top; y < rc->bottom; ++y)
        fillSpan(img, rc->left, rc->right, y, brush->color);
    return 1;
}

int FrameRect(HDC hdc, const RECT *rc, HBRUSH brush)
{
    QImage *img = hdc ? hdc->pixels() : nullptr;
    if (!img || !brush || IsRectEmpty(rc))
        return 0;
    fillSpan(img, rc->left, rc->right, rc->top, brush->color);
    fillSpan(img, rc->left, rc->right, rc->bottom - 1, brush->color);
    for (int y = rc->top + 1; y < rc->bottom - 1; ++y) {
        plot(img, rc->left, y, brush->color);
        plot(img, rc->right - 1, y, brush->color);
    }
    return 1;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT *previous)
{
    if (previous)
        *previous = hdc->position;
    hdc->position = POINT{x, y};
    return 1;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    QImage *img = hdc->pixels();
    const int x0 = hdc->position.x;
    const int y0 = hdc->position.y;
    hdc->position = POINT{x, y};
    if (!img)
        return 0;
    const COLORREF c = hdc->pen->color;
    // Bresenham; the last point is left out, as the platform does.
    int dx = std::abs(x - x0);
    int dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1;
    const int sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    int cx = x0;
    int cy = y0;
    while (!(cx == x && cy == y)) {
        plot(img, cx, cy, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            cx += sx;
        }
        if (e2 <= dx) {
            err += dx;
            cy += sy;
        }
    }
    return 1;
}

// The pen runs inside the bounding box: with a pen of width w the outline covers
// the pixels inside the ellipse but not inside the ellipse shrunk by w; the
// brush fills the rest. Both agree with CreateEllipticRgn on the same box.
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    QImage *img = hdc->pixels();
    if (!img || right <= left || bottom <= top)
        return 0;
    const int w = hdc->pen->width;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if (!insideEllipse(x, y, left, top, right, bottom, 0))
                continue;
            if (insideEllipse(x, y, left, top, right, bottom, w))
                plot(img, x, y, hdc->brush->color);
            else
                plot(img, x, y, hdc->pen->color);
        }
    }
    return 1;
}

BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color)
{
    QImage *img = hdc->pixels();
    if (!img || x < 0 || y < 0 || x >= img->width() || y >= img->height())
        return 0;
    plot(img, x, y, color);
    return 1;
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    QImage *img = hdc->pixels();
    if (!img || x < 0 || y < 0 || x >= img->width() || y >= img->height())
        return 0xFFFFFFFFu; // CLR_INVALID
    return fromQRgb(img->pixel(x, y));
}

// A 1-pixel border drawn with a checkered pattern by XOR: pattern pixels are
// XORed with the background colour, the others with the text colour. Drawing
// it twice puts every pixel back.
BOOL DrawFocusRect(HDC hdc, const RECT *rc)
{
    QImage *img = hdc->pixels();
    if (!img || IsRectEmpty(rc))
        return 0;
    const QRgb on = toQRgb(hdc->bkColor) & 0xFFFFFF;
    const QRgb off = toQRgb(hdc->textColor) & 0xFFFFFF;
    auto flip = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= img->width() || y >= img->height())
            return;
        QRgb &p = reinterpret_cast<QRgb *>(img->scanLine(y))[x];
        p ^= ((x + y) % 2 == 0) ? on : off;
    };
    for (int x = rc->left; x < rc->right; ++x) {
        flip(x, rc->top);
        if (rc->bottom - 1 > rc->top)
            flip(x, rc->bottom - 1);
    }
    for (int y = rc->top + 1; y < rc->bottom - 1; ++y) {
        flip(rc->left, y);
        if (rc->right - 1 > rc->left)
            flip(rc->right - 1, y);
    }
    return 1;
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, std::uint32_t rop)
{
    if (!dst || !src || rop != SRCCOPY)
        return 0;
    QImage *d = dst->pixels();
    QImage *s = src->pixels();
    if (!d || !s)
        return 0;
    if (d == s) {
        QImage copy = s->copy();
        for (int j = 0; j < cy; ++j)
            for (int i = 0; i < cx; ++i) {
                const int sx = x1 + i, sy = y1 + j, dx = x + i, dy = y + j;
                if (sx < 0 || sy < 0 || sx >= copy.width() || sy >= copy.height())
                    continue;
                if (dx < 0 || dy < 0 || dx >= d->width() || dy >= d->height())
                    continue;
                reinterpret_cast<QRgb *>(d->scanLine(dy))[dx] = copy.pixel(sx, sy) | 0xFF000000u;
            }
        return 1;
    }
    for (int j = 0; j < cy; ++j) {
        const int sy = y1 + j, dy = y + j;
        if (sy < 0 || sy >= s->height() || dy < 0 || dy >= d->height())
            continue;
        const auto *srow = reinterpret_cast<const QRgb *>(s->constScanLine(sy));
        auto *drow = reinterpret_cast<QRgb *>(d->scanLine(dy));
        for (int i = 0; i < cx; ++i) {
            const int sx = x1 + i, dx = x + i;
            if (sx < 0 || sx >= s->width() || dx < 0 || dx >= d->width())
                continue;
            drow[dx] = srow[sx] | 0xFF000000u;
        }
    }
    return 1;
}

// ---- regions ----------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto *r = new Region;
    const QRect rect = QRect(QPoint(std::min(left, right), std::min(top, bottom)),
                             QPoint(std::max(left, right) - 1, std::max(top, bottom) - 1));
    if (left != right && top != bottom)
        r->region = QRegion(rect);
    return r;
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom)
{
    auto *r = new Region;
    r->region = ellipseRegion(std::min(left, right), std::min(top, bottom), std::max(left, right),
                              std::max(top, bottom), 0);
    return r;
}

int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode)
{
    if (!dst || !src1)
        return RGN_ERROR;
    QRegion result;
    switch (mode) {
    case RGN_AND: result = src2 ? src1->region.intersected(src2->region) : QRegion(); break;
    case RGN_OR: result = src2 ? src1->region.united(src2->region) : src1->region; break;
    case RGN_XOR: result = src2 ? src1->region.xored(src2->region) : src1->region; break;
    case RGN_DIFF: result = src2 ? src1->region.subtracted(src2->region) : src1->region; break;
    case RGN_COPY: result = src1->region; break;
    default: return RGN_ERROR;
    }
    dst->region = result;
    if (result.isEmpty())
        return NULLREGION;
    return result.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

BOOL PtInRegion(HRGN rgn, int x, int y) { return rgn && rgn->region.contains(QPoint(x, y)); }

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw)
{
    if (!hwnd)
        return 0;
    auto &held = windowRegions().held;
    if (!held.contains(hwnd)) {
        QObject::connect(hwnd, &QObject::destroyed, [hwnd] { windowRegions().held.remove(hwnd); });
    }
    if (rgn) {
        hwnd->setMask(rgn->region);
        held.insert(hwnd, std::shared_ptr<Region>(rgn)); // frees the region held before
    } else {
        hwnd->clearMask();
        held.remove(hwnd);
    }
    if (redraw)
        hwnd->update();
    return 1;
}

// ---- DIBs -------------------------------------------------------------------

int DibStride(int width, int bitCount) { return ((width * bitCount + 31) / 32) * 4; }

int GetDIBits(HDC, HBITMAP bitmap, unsigned start, unsigned lines, void *bits, BITMAPINFO *info, unsigned)
{
    if (!bitmap || !info)
        return 0;
    BITMAPINFOHEADER &h = info->bmiHeader;
    const QImage &img = bitmap->image;
    if (!bits) {
        h.biWidth = img.width();
        h.biHeight = img.height();
        h.biPlanes = 1;
        if (h.biBitCount != 24 && h.biBitCount != 32)
            h.biBitCount = 32;
        h.biSizeImage = static_cast<std::uint32_t>(DibStride(img.width(), h.biBitCount) * img.height());
        return img.height();
    }
    if (h.biBitCount != 24 && h.biBitCount != 32)
        return 0;
    const int width = std::min(h.biWidth, img.width());
    const bool bottomUp = h.biHeight > 0;
    const int dibHeight = std::abs(h.biHeight);
    const int stride = DibStride(h.biWidth, h.biBitCount);
    const int bpp = h.biBitCount / 8;
    auto *out = static_cast<unsigned char *>(bits);
    int done = 0;
    for (unsigned r = 0; r < lines; ++r) {
        const int scan = static_cast<int>(start + r); // scan line index in DIB order
        if (scan >= dibHeight)
            break;
        const int imgRow = bottomUp ? dibHeight - 1 - scan : scan;
        unsigned char *row = out + static_cast<std::size_t>(r) * stride;
        std::memset(row, 0, stride);
        if (imgRow >= 0 && imgRow < img.height()) {
            const auto *src = reinterpret_cast<const QRgb *>(img.constScanLine(imgRow));
            for (int c = 0; c < width; ++c) {
                row[c * bpp + 0] = static_cast<unsigned char>(qBlue(src[c]));
                row[c * bpp + 1] = static_cast<unsigned char>(qGreen(src[c]));
                row[c * bpp + 2] = static_cast<unsigned char>(qRed(src[c]));
            }
        }
        ++done;
    }
    return done;
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, unsigned w, unsigned h, int xSrc, int ySrc, unsigned startScan,
                      unsigned lines, const void *bits, const BITMAPINFO *info, unsigned)
{
    QImage *img = hdc ? hdc->pixels() : nullptr;
    if (!img || !bits || !info)
        return 0;
    const BITMAPINFOHEADER &hd = info->bmiHeader;
    if (hd.biBitCount != 24 && hd.biBitCount != 32)
        return 0;
    const int stride = DibStride(hd.biWidth, hd.biBitCount);
    const int bpp = hd.biBitCount / 8;
    const bool bottomUp = hd.biHeight > 0;
    const int dibHeight = std::abs(hd.biHeight);
    const auto *in = static_cast<const unsigned char *>(bits);
    for (unsigned j = 0; j < h; ++j) {
        // the DIB row that lands on destination row yDest + j, counted in scan order
        int scan;
        if (bottomUp)
            scan = ySrc + static_cast<int>(h) - 1 - static_cast<int>(j);
        else
            scan = ySrc + static_cast<int>(j);
        if (scan < static_cast<int>(startScan) || scan >= static_cast<int>(startScan + lines) || scan >= dibHeight)
            continue;
        const unsigned char *row = in + static_cast<std::size_t>(scan - startScan) * stride;
        for (unsigned i = 0; i < w; ++i) {
            const int sx = xSrc + static_cast<int>(i);
            if (sx < 0 || sx >= hd.biWidth)
                continue;
            const unsigned char *p = row + sx * bpp;
            plot(img, xDest + static_cast<int>(i), yDest + static_cast<int>(j), RGB(p[2], p[1], p[0]));
        }
    }
    return static_cast<int>(lines);
}

// ---- text -------------------------------------------------------------------

namespace {

struct TextLine {
    int start = 0; // into the displayed text
    int end = 0;
};

// Every marked character is underlined; a last lone "&" marks nothing and
// shows nothing.
void stripPrefixes(const QString &in, QString &out, std::vector<bool> &underlined)
{
    out.clear();
    underlined.clear();
    forEachShownChar(in, in.size(), LastAmpersand::Hidden, [&](QChar ch, bool marked) {
        out.append(ch);
        underlined.push_back(marked);
    });
}

std::vector<TextLine> breakLines(const QString &text, const QFontMetrics &fm, int maxWidth, bool wordBreak)
{
    std::vector<TextLine> lines;
    const int n = static_cast<int>(text.size());
    int paraStart = 0;
    while (paraStart <= n) {
        int paraEnd = static_cast<int>(text.indexOf(QLatin1Char('\n'), paraStart));
        if (paraEnd < 0)
            paraEnd = n;
        int contentEnd = paraEnd;
        if (contentEnd > paraStart && text.at(contentEnd - 1) == QLatin1Char('\r'))
            --contentEnd;
        if (!wordBreak) {
            lines.push_back({paraStart, contentEnd});
        } else {
            int lineStart = paraStart;
            int pos = paraStart;
            int lastFitEnd = -1; // end of the last word that fits on this line
            while (pos < contentEnd) {
                // next word: spaces then non-spaces
                int wordStart = pos;
                while (wordStart < contentEnd && text.at(wordStart) == QLatin1Char(' '))
                    ++wordStart;
                int wordEnd = wordStart;
                while (wordEnd < contentEnd && text.at(wordEnd) != QLatin1Char(' '))
                    ++wordEnd;
                const int width = fm.horizontalAdvance(text.mid(lineStart, wordEnd - lineStart));
                if (width > maxWidth && lastFitEnd >= 0) {
                    lines.push_back({lineStart, lastFitEnd});
                    lineStart = wordStart; // the spaces at the break are dropped
                    lastFitEnd = -1;
                    pos = wordStart;
                    continue;
                }
                lastFitEnd = wordEnd;
                pos = wordEnd;
            }
            lines.push_back({lineStart, lastFitEnd >= 0 ? lastFitEnd : lineStart});
        }
        if (paraEnd >= n)
            break;
        paraStart = paraEnd + 1;
    }
    return lines;
}

} // namespace

int DrawTextA(HDC hdc, const QString &textIn, int count, RECT *rc, unsigned format)
{
    if (!hdc || !rc)
        return 0;
    const QString text = count < 0 ? textIn : textIn.left(count);
    if (text.isEmpty()) {
        if (format & DT_CALCRECT) {
            rc->right = rc->left;
            rc->bottom = rc->top;
        }
        return 0;
    }
    QString shown;
    std::vector<bool> underlined;
    if (format & DT_NOPREFIX) {
        shown = text;
        underlined.assign(static_cast<std::size_t>(text.size()), false);
    } else {
        stripPrefixes(text, shown, underlined);
    }
    QFont font = hdc->font->font;
    font.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics fm(font);
    const int lineHeight = fm.height();
    const bool single = format & DT_SINGLELINE;
    std::vector<TextLine> lines;
    if (single)
        lines.push_back({0, static_cast<int>(shown.size())});
    else
        lines = breakLines(shown, fm, rc->right - rc->left, format & DT_WORDBREAK);

    int widest = 0;
    std::vector<int> widths;
    for (const TextLine &l : lines) {
        widths.push_back(fm.horizontalAdvance(shown.mid(l.start, l.end - l.start)));
        widest = std::max(widest, widths.back());
    }
    const int total = lineHeight * static_cast<int>(lines.size());

    if (format & DT_CALCRECT) {
        rc->right = rc->left + widest;
        rc->bottom = rc->top + total;
        return total;
    }

    QImage *img = hdc->pixels();
    if (!img)
        return 0;
    int y = rc->top;
    if (single && (format & DT_VCENTER))
        y = rc->top + (rc->bottom - rc->top - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        y = rc->bottom - lineHeight;

    QPainter p(img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setFont(font);
    if (!(format & DT_NOCLIP))
        p.setClipRect(QRect(QPoint(rc->left, rc->top), QPoint(rc->right - 1, rc->bottom - 1)));
    const QColor color(GetRValue(hdc->textColor), GetGValue(hdc->textColor), GetBValue(hdc->textColor));
    p.setPen(color);
    for (std::size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
        const TextLine &l = lines[i];
        const QString part = shown.mid(l.start, l.end - l.start);
        int x = rc->left;
        if (format & DT_CENTER)
            x = (rc->left + rc->right - widths[i]) / 2;
        else if (format & DT_RIGHT)
            x = rc->right - widths[i];
        if (hdc->bkMode == OPAQUE)
            p.fillRect(QRect(x, y, widths[i], lineHeight), QColor(GetRValue(hdc->bkColor), GetGValue(hdc->bkColor),
                                                                  GetBValue(hdc->bkColor)));
        p.drawText(x, y + fm.ascent(), part);
        for (int k = l.start; k < l.end; ++k) {
            if (!underlined[static_cast<std::size_t>(k)])
                continue;
            const int ux = x + fm.horizontalAdvance(shown.mid(l.start, k - l.start));
            const int uw = fm.horizontalAdvance(shown.at(k));
            const int uy = y + fm.ascent() + std::max(1, fm.underlinePos());
            p.fillRect(QRect(ux, uy, uw, std::max(1, fm.lineWidth())), color);
        }
    }
    return total;
}

// ---- icons ------------------------------------------------------------------

BOOL DrawIconEx(HDC hdc, int x, int y, const QImage &icon, int cx, int cy, unsigned, HBRUSH flickerFree, unsigned)
{
    QImage *img = hdc ? hdc->pixels() : nullptr;
    if (!img || icon.isNull())
        return 0;
    const int w = cx > 0 ? cx : icon.width();
    const int h = cy > 0 ? cy : icon.height();
    const QImage src = (w == icon.width() && h == icon.height() ? icon : icon.scaled(w, h))
                           .convertToFormat(QImage::Format_ARGB32);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const int dx = x + i, dy = y + j;
            if (dx < 0 || dy < 0 || dx >= img->width() || dy >= img->height())
                continue;
            QRgb back = flickerFree ? toQRgb(flickerFree->color) : img->pixel(dx, dy);
            const QRgb s = src.pixel(i, j);
            const int a = qAlpha(s);
            const int r = (qRed(s) * a + qRed(back) * (255 - a) + 127) / 255;
            const int g = (qGreen(s) * a + qGreen(back) * (255 - a) + 127) / 255;
            const int b = (qBlue(s) * a + qBlue(back) * (255 - a) + 127) / 255;
            plot(img, dx, dy, RGB(r, g, b));
        }
    }
    return 1;
}

// ---- system colours ---------------------------------------------------------

COLORREF GetSysColor(int index)
{
    static const COLORREF table[COLOR_COUNT] = {
        RGB(212, 208, 200), // 0 scroll bar
        RGB(58, 110, 165),  // 1 desktop
        RGB(10, 36, 106),   // 2 active caption
        RGB(128, 128, 128), // 3 inactive caption
        RGB(212, 208, 200), // 4 menu
        RGB(255, 255, 255), // 5 window
        RGB(0, 0, 0),       // 6 window frame
        RGB(0, 0, 0),       // 7 menu text
        RGB(0, 0, 0),       // 8 window text
        RGB(255, 255, 255), // 9 caption text
        RGB(212, 208, 200), // 10 active border
        RGB(212, 208, 200), // 11 inactive border
        RGB(128, 128, 128), // 12 application workspace
        RGB(10, 36, 106),   // 13 highlight
        RGB(255, 255, 255), // 14 highlight text
        RGB(212, 208, 200), // 15 button face
        RGB(128, 128, 128), // 16 button shadow
        RGB(128, 128, 128), // 17 grey text
        RGB(0, 0, 0),       // 18 button text
        RGB(212, 208, 200), // 19 inactive caption text
        RGB(255, 255, 255), // 20 button highlight
        RGB(64, 64, 64),    // 21 3D dark shadow
        RGB(212, 208, 200), // 22 3D light
        RGB(0, 0, 0),       // 23 tooltip text
        RGB(255, 255, 225), // 24 tooltip background
        RGB(180, 180, 180), // 25 (unused)
        RGB(0, 0, 128),     // 26 hot-tracked item
        RGB(166, 202, 240), // 27 active caption gradient
        RGB(192, 192, 192), // 28 inactive caption gradient
        RGB(10, 36, 106),   // 29 menu highlight
        RGB(212, 208, 200), // 30 menu bar
    };
    if (index < 0 || index >= COLOR_COUNT)
        return 0;
    return table[index];
}

HRESULT OleTranslateColor(OLE_COLOR color, void *, COLORREF *result)
{
    const unsigned high = color >> 24;
    COLORREF out = 0;
    switch (high) {
    case 0x00:
    case 0x02:
        out = color;
        break;
    case 0x01:
        out = color; // a palette index stays as it is without a palette
        break;
    case 0x80:
        if ((color & 0x00FFFF00u) != 0 || (color & 0xFF) >= COLOR_COUNT)
            return E_INVALIDARG;
        out = GetSysColor(static_cast<int>(color & 0xFF));
        break;
    default:
        return E_INVALIDARG;
    }
    if (result)
        *result = out;
    return S_OK;
}

// ---- windows ----------------------------------------------------------------

HWND GetParent(HWND hwnd) { return hwnd ? hwnd->parentWidget() : nullptr; }

BOOL GetClientRect(HWND hwnd, RECT *rc)
{
    if (!hwnd)
        return 0;
    *rc = RECT{0, 0, hwnd->width(), hwnd->height()};
    return 1;
}

BOOL GetWindowRect(HWND hwnd, RECT *rc)
{
    if (!hwnd)
        return 0;
    QRect r;
    if (hwnd->isWindow())
        r = hwnd->frameGeometry();
    else
        r = QRect(hwnd->mapToGlobal(QPoint(0, 0)), hwnd->size());
    *rc = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return 1;
}

BOOL GetCursorPos(POINT *pt)
{
    const QPoint p = QCursor::pos();
    *pt = POINT{p.x(), p.y()};
    return 1;
}

// As on the host, a disabled window is never the one under a point: the point
// falls to the nearest enabled window around it (hidden ones are skipped by
// widgetAt already).
HWND WindowFromPoint(POINT pt)
{
    QWidget *w = QApplication::widgetAt(QPoint(pt.x, pt.y));
    while (w && !w->isEnabled())
        w = w->isWindow() ? nullptr : w->parentWidget();
    return w;
}

int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

} // namespace vidmora::platform::gdi
