#include "platform/gui/gdi.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

#include <algorithm>
#include <vector>

using namespace vidmora::platform::gdi;

namespace {

constexpr COLORREF kBack = RGB(10, 20, 30);
constexpr COLORREF kInk = RGB(200, 100, 50);

struct Canvas {
    explicit Canvas(int w, int h)
        : image(w, h, QImage::Format_RGB32)
        , dc(&image)
    {
        image.fill(toQRgb(kBack));
    }
    COLORREF at(int x, int y) const { return fromQRgb(image.pixel(x, y)); }
    // every pixel that is not the background, as a picture of '#' and '.'
    std::string map() const
    {
        std::string s;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                s += at(x, y) == kBack ? '.' : '#';
            s += '\n';
        }
        return s;
    }
    QImage image;
    DeviceContext dc;
};

void line(DeviceContext &dc, int x1, int y1, int x2, int y2)
{
    HPEN pen = CreatePen(PS_SOLID, 1, kInk);
    HGDIOBJ old = SelectObject(&dc, pen);
    MoveToEx(&dc, x1, y1, nullptr);
    LineTo(&dc, x2, y2);
    SelectObject(&dc, old);
    DeleteObject(pen);
}

} // namespace

TEST(Gdi, FillAndFrameLeaveRightAndBottomEdgesOut)
{
    Canvas c(6, 5);
    HBRUSH b = CreateSolidBrush(kInk);
    const RECT r{1, 1, 5, 4};
    FrameRect(&c.dc, &r, b);
    EXPECT_EQ(c.map(), "......\n"
                       ".####.\n"
                       ".#..#.\n"
                       ".####.\n"
                       "......\n");
    FillRect(&c.dc, &r, b);
    EXPECT_EQ(c.map(), "......\n"
                       ".####.\n"
                       ".####.\n"
                       ".####.\n"
                       "......\n");
    const RECT empty{3, 3, 3, 5};
    Canvas d(6, 5);
    FillRect(&d.dc, &empty, b);
    FrameRect(&d.dc, &empty, b);
    EXPECT_EQ(d.map(), "......\n......\n......\n......\n......\n");
    DeleteObject(b);
}

TEST(Gdi, LinesLeaveTheirEndPointOutInEveryDirection)
{
    struct Case {
        int x1, y1, x2, y2;
        const char *map;
    };
    const std::vector<Case> cases = {
        {0, 1, 4, 1, ".....\n####.\n.....\n.....\n"},
        {4, 1, 0, 1, ".....\n.####\n.....\n.....\n"},
        {2, 0, 2, 3, "..#..\n..#..\n..#..\n.....\n"},
        {2, 3, 2, 0, ".....\n..#..\n..#..\n..#..\n"},
        {0, 0, 3, 3, "#....\n.#...\n..#..\n.....\n"},
        {3, 3, 0, 0, ".....\n.#...\n..#..\n...#.\n"},
        {1, 1, 1, 1, ".....\n.....\n.....\n.....\n"},
    };
    for (const Case &k : cases) {
        Canvas c(5, 4);
        line(c.dc, k.x1, k.y1, k.x2, k.y2);
        EXPECT_EQ(c.map(), k.map) << k.x1 << "," << k.y1 << " -> " << k.x2 << "," << k.y2;
    }
}

TEST(Gdi, LineToMovesTheCurrentPosition)
{
    Canvas c(4, 4);
    HPEN pen = CreatePen(PS_SOLID, 1, kInk);
    HGDIOBJ old = SelectObject(&c.dc, pen);
    MoveToEx(&c.dc, 0, 3, nullptr);
    LineTo(&c.dc, 0, 0);
    LineTo(&c.dc, 3, 0);
    SelectObject(&c.dc, old);
    DeleteObject(pen);
    EXPECT_EQ(c.map(), "###.\n#...\n#...\n#...\n");
}

TEST(Gdi, FocusRectangleIsDottedAndDrawingItTwiceRemovesIt)
{
    Canvas c(6, 5);
    const QImage before = c.image.copy();
    SetTextColor(&c.dc, RGB(0, 0, 0));
    SetBkColor(&c.dc, RGB(255, 255, 255));
    const RECT r{0, 0, 6, 5};
    DrawFocusRect(&c.dc, &r);
    // the inverted pixels alternate along the border; the inside is untouched
    EXPECT_EQ(c.map(), "#.#.#.\n"
                       ".....#\n"
                       "#.....\n"
                       ".....#\n"
                       "#.#.#.\n");
    EXPECT_EQ(c.at(0, 0), RGB(255 - 10, 255 - 20, 255 - 30));
    DrawFocusRect(&c.dc, &r);
    EXPECT_EQ(c.image, before);
}

TEST(Gdi, EllipseDrawsItsPenInsideTheBoxAndFillsTheMiddle)
{
    Canvas c(12, 10);
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ op = SelectObject(&c.dc, pen);
    HGDIOBJ ob = SelectObject(&c.dc, brush);
    Ellipse(&c.dc, 0, 0, 12, 10);
    SelectObject(&c.dc, op);
    SelectObject(&c.dc, ob);
    DeleteObject(pen);
    DeleteObject(brush);
    EXPECT_EQ(c.at(0, 0), kBack);
    EXPECT_EQ(c.at(11, 9), kBack);
    EXPECT_EQ(c.at(0, 5), RGB(255, 0, 0));
    EXPECT_EQ(c.at(1, 5), RGB(255, 0, 0));
    EXPECT_EQ(c.at(6, 5), RGB(0, 255, 0));
    EXPECT_EQ(c.at(6, 0), RGB(255, 0, 0));
    // the same box as a region covers exactly the drawn pixels
    HRGN rgn = CreateEllipticRgn(0, 0, 12, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(PtInRegion(rgn, x, y) != 0, c.at(x, y) != kBack) << x << "," << y;
    DeleteObject(rgn);
}

TEST(Gdi, RegionsCombineAndCount)
{
    HRGN r = CreateRectRgn(0, 0, 10, 5);
    HRGN s = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(CombineRgn(r, r, s, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(r, 0, 0));
    EXPECT_TRUE(PtInRegion(r, 1, 0));
    EXPECT_TRUE(PtInRegion(r, 9, 4));
    EXPECT_FALSE(PtInRegion(r, 10, 4));
    EXPECT_FALSE(PtInRegion(r, 9, 5));
    EXPECT_EQ(CombineRgn(r, r, r, RGN_DIFF), NULLREGION);
    DeleteObject(r);
    DeleteObject(s);
}

TEST(Gdi, MemoryDcBitBltCopiesAndClips)
{
    Canvas c(4, 4);
    SetPixelV(&c.dc, 1, 1, kInk);
    HDC mem = CreateCompatibleDC(&c.dc);
    HBITMAP bmp = CreateCompatibleBitmap(&c.dc, 3, 3);
    HGDIOBJ old = SelectObject(mem, bmp);
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(0, 0, 0)); // a new bitmap is black
    BitBlt(mem, 0, 0, 3, 3, &c.dc, 1, 1, SRCCOPY);
    EXPECT_EQ(GetPixel(mem, 0, 0), kInk);
    EXPECT_EQ(GetPixel(mem, 2, 2), kBack);
    // copying from beyond the source leaves those target pixels alone
    BitBlt(mem, 0, 0, 3, 3, &c.dc, 3, 3, SRCCOPY);
    EXPECT_EQ(GetPixel(mem, 0, 0), kBack);
    EXPECT_EQ(GetPixel(mem, 1, 1), kBack);
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 32);
    DeleteObject(SelectObject(mem, old));
    DeleteDC(mem);
}

TEST(Gdi, DibRowsAreBottomUpWithPaddedStride)
{
    Canvas c(5, 3);
    HDC mem = CreateCompatibleDC(&c.dc);
    HBITMAP bmp = CreateCompatibleBitmap(&c.dc, 5, 3);
    HGDIOBJ old = SelectObject(mem, bmp);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            SetPixelV(mem, x, y, RGB(x * 40, y * 80, 7));
    BITMAPINFO info;
    info.bmiHeader.biWidth = 5;
    info.bmiHeader.biHeight = 3;
    info.bmiHeader.biBitCount = 24;
    ASSERT_EQ(DibStride(5, 24), 16);
    std::vector<unsigned char> bits(16 * 3, 0xEE);
    ASSERT_EQ(GetDIBits(mem, bmp, 0, 3, bits.data(), &info, DIB_RGB_COLORS), 3);
    // first buffer row = bottom image row (y = 2); blue, green, red
    EXPECT_EQ(bits[0], 7);
    EXPECT_EQ(bits[1], 160);
    EXPECT_EQ(bits[2], 0);
    EXPECT_EQ(bits[3 * 4 + 2], 160); // x = 4: red 160
    EXPECT_EQ(bits[15], 0);          // padding
    EXPECT_EQ(bits[2 * 16 + 1], 0);  // last buffer row = top image row (green 0)

    // round trip onto another DC gives the same pixels
    Canvas d(7, 5);
    SetDIBitsToDevice(&d.dc, 1, 1, 5, 3, 0, 0, 0, 3, bits.data(), &info, DIB_RGB_COLORS);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(d.at(x + 1, y + 1), RGB(x * 40, y * 80, 7)) << x << "," << y;
    EXPECT_EQ(d.at(0, 0), kBack);
    EXPECT_EQ(d.at(6, 4), kBack);
    DeleteObject(SelectObject(mem, old));
    DeleteDC(mem);
}

TEST(Gdi, TextMeasuringBreaksWordsAndHidesPrefixes)
{
    Canvas c(200, 100);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    c.dc.font->font = f;
    QFont nf = f;
    nf.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics fm(nf);

    RECT r{0, 0, 500, 50};
    DrawTextA(&c.dc, QStringLiteral("Save && &Exit"), -1, &r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(r.right, fm.horizontalAdvance(QStringLiteral("Save & Exit")));
    EXPECT_EQ(r.bottom, fm.height());

    const int wordW = fm.horizontalAdvance(QStringLiteral("alpha"));
    RECT narrow{5, 5, 5 + wordW + 2, 50};
    const int h = DrawTextA(&c.dc, QStringLiteral("alpha beta gamma"), -1, &narrow, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(h, 3 * fm.height());
    EXPECT_EQ(narrow.bottom, 5 + 3 * fm.height());
    const int widest = std::max({wordW, fm.horizontalAdvance(QStringLiteral("beta")),
                                 fm.horizontalAdvance(QStringLiteral("gamma"))});
    EXPECT_EQ(narrow.right - narrow.left, widest);

    // a word wider than the rectangle widens it
    RECT tiny{0, 0, 3, 50};
    DrawTextA(&c.dc, QStringLiteral("Download"), -1, &tiny, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_EQ(tiny.right, fm.horizontalAdvance(QStringLiteral("Download")));

    RECT none{4, 4, 40, 40};
    EXPECT_EQ(DrawTextA(&c.dc, QString(), -1, &none, DT_CALCRECT | DT_WORDBREAK), 0);
    EXPECT_EQ(none, (RECT{4, 4, 4, 4}));
}

TEST(Gdi, ALastLoneAmpersandIsNeitherMeasuredNorDrawn)
{
    struct Case {
        const char *text;
        const char *sameAs; // the text drawn with the same size and pixels
    };
    const Case cases[] = {
        {"Exit&", "Exit"}, {"&Exit&", "&Exit"}, {"A&&&", "A&&"}, {"Save && Exit&", "Save && Exit"},
        {"two\nlines&", "two\nlines"},
    };
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    auto drawn = [&](const QString &text, RECT &measured) {
        Canvas c(80, 40);
        c.dc.font->font = f;
        measured = RECT{2, 2, 78, 38};
        DrawTextA(&c.dc, text, -1, &measured, DT_CALCRECT | DT_WORDBREAK);
        SetBkMode(&c.dc, TRANSPARENT);
        SetTextColor(&c.dc, kInk);
        RECT r{2, 2, 78, 38};
        DrawTextA(&c.dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
        return c.map();
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text);
        RECT got, want;
        const std::string gotPixels = drawn(QString::fromUtf8(k.text), got);
        const std::string wantPixels = drawn(QString::fromUtf8(k.sameAs), want);
        EXPECT_EQ(got, want);
        EXPECT_EQ(gotPixels, wantPixels);
        EXPECT_NE(gotPixels.find('#'), std::string::npos);
    }

    // "&" alone: one empty line, drawn as nothing
    RECT alone;
    const std::string pixels = drawn(QStringLiteral("&"), alone);
    EXPECT_EQ(alone.right - alone.left, 0);
    EXPECT_EQ(pixels.find('#'), std::string::npos);
    // with DT_NOPREFIX the "&" is text like any other
    Canvas c(80, 40);
    c.dc.font->font = f;
    RECT plain{0, 0, 80, 40};
    DrawTextA(&c.dc, QStringLiteral("&"), -1, &plain, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_GT(plain.right, 0);
}

TEST(Gdi, TextDrawsOnlyInsideItsRectangleInTheTextColour)
{
    Canvas c(60, 30);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    c.dc.font->font = f;
    SetBkMode(&c.dc, TRANSPARENT);
    SetTextColor(&c.dc, RGB(255, 255, 255));
    RECT r{10, 5, 30, 20};
    DrawTextA(&c.dc, QStringLiteral("WWWWWW"), -1, &r, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
    int inside = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            const COLORREF p = c.at(x, y);
            if (p == kBack)
                continue;
            EXPECT_EQ(p, RGB(255, 255, 255)) << "no antialiased pixels";
            EXPECT_TRUE(x >= 10 && x < 30 && y >= 5 && y < 20) << x << "," << y;
            ++inside;
        }
    EXPECT_GT(inside, 10);
}

TEST(Gdi, SystemColoursAndTranslation)
{
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), RGB(128, 128, 128));
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), RGB(64, 64, 64));
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), RGB(0, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(10, 36, 106));
    EXPECT_EQ(GetSysColor(99), 0u);

    COLORREF out = 7;
    EXPECT_EQ(OleTranslateColor(0x8000000F, nullptr, &out), S_OK);
    EXPECT_EQ(out, RGB(212, 208, 200));
    EXPECT_EQ(OleTranslateColor(RGB(1, 2, 3), nullptr, &out), S_OK);
    EXPECT_EQ(out, RGB(1, 2, 3));
    out = 7;
    EXPECT_EQ(OleTranslateColor(0x80000040, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(OleTranslateColor(0x12345678, nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, 7u);
}

TEST(Gdi, PointSizesBecomePixelsAt96Dpi)
{
    EXPECT_EQ(pointsToPixels(8.25), 11);
    EXPECT_EQ(pointsToPixels(18), 24);
    EXPECT_EQ(pointsToPixels(9), 12);
}
