#include "announcement/assets/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QString>

namespace vidmora::announcement::assets {
namespace {

// A 5 x 7 block alphabet for the few letters the pictures spell; drawn as
// rectangles so that the pictures come out the same without any fonts.
const char *glyph(QChar c)
{
    switch (c.unicode()) {
    case 'A': return " ### #   ##   #######   ##   ##   #";
    case 'D': return "#### #   ##   ##   ##   ##   ##### ";
    case 'E': return "######    #    #### #    #    #####";
    case 'I': return " ###   #    #    #    #    #   ### ";
    case 'L': return "#    #    #    #    #    #    #####";
    case 'M': return "#   ### ### # ##   ##   ##   ##   #";
    case 'N': return "#   ###  ## # ##  ###   ##   ##   #";
    case 'O': return " ### #   ##   ##   ##   ##   # ### ";
    case 'R': return "#### #   ##   ##### # #  #  # #   #";
    case 'S': return " #####    #     ###     #    ##### ";
    case 'T': return "#####  #    #    #    #    #    #  ";
    case 'V': return "#   ##   ##   ##   ##   # # #   #  ";
    case 'W': return "#   ##   ##   ## # ## # ### ###   #";
    case 'Z': return "#####    #   #   #   #   #    #####";
    default: return nullptr;
    }
}

// Draws `text` with cells of `cell` pixels, its top-left corner at `origin`.
void drawBlockText(QPainter &p, QPoint origin, const QString &text, int cell, const QColor &color)
{
    int x = origin.x();
    for (QChar c : text) {
        if (const char *g = glyph(c)) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g[row * 5 + col] == '#')
                        p.fillRect(x + col * cell, origin.y() + row * cell, cell, cell, color);
        }
        x += 6 * cell;
    }
}

int blockTextWidth(const QString &text, int cell)
{
    return text.isEmpty() ? 0 : (int(text.size()) * 6 - 1) * cell;
}

} // namespace

QImage drawTitleStrip()
{
    QImage img(kTitleWidth, kTitleHeight, QImage::Format_RGB32);
    QPainter p(&img);
    // Few, flat colours: the strip is stored with a palette.
    const QColor bands[] = {QColor(0x3a, 0x46, 0x5e), QColor(0x2c, 0x36, 0x4b), QColor(0x22, 0x2a, 0x3b),
                            QColor(0x1a, 0x20, 0x2e), QColor(0x12, 0x17, 0x22)};
    for (int y = 0; y < kTitleHeight; ++y)
        p.fillRect(0, y, kTitleWidth, 1, bands[qMin(4, y * 5 / kTitleHeight)]);
    p.fillRect(0, 0, kTitleWidth, 1, QColor(0x6c, 0x7d, 0xa0));
    p.fillRect(0, kTitleHeight - 1, kTitleWidth, 1, QColor(0xe0, 0x8a, 0x1e));
    // A small play mark, then the name.
    const QColor accent(0xf0, 0xa0, 0x28);
    for (int i = 0; i < 13; ++i) {
        const int half = i < 7 ? i : 12 - i;
        p.fillRect(10, 8 + i, half + 1, 1, accent);
    }
    drawBlockText(p, QPoint(24, 7), QStringLiteral("ZELTO"), 2, QColor(0xf4, 0xf4, 0xf4));
    const QString tag = QStringLiteral("NEWS");
    drawBlockText(p, QPoint(24 + blockTextWidth(QStringLiteral("ZELTO"), 2) + 14, 11), tag, 1, QColor(0x9c, 0xa8, 0xc0));
    p.end();
    return img;
}

QImage drawBackground()
{
    QImage img(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, kBackgroundHeight);
    sky.setColorAt(0.0, QColor(0x18, 0x1e, 0x2c));
    sky.setColorAt(1.0, QColor(0x05, 0x06, 0x0a));
    p.fillRect(img.rect(), sky);

    // The left panel, the part that no page covers.
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(158, 120), 150);
    glow.setColorAt(0.0, QColor(0xe0, 0x8a, 0x1e, 110));
    glow.setColorAt(1.0, QColor(0xe0, 0x8a, 0x1e, 0));
    p.fillRect(QRect(0, 0, 316, kBackgroundHeight), glow);

    // A film strip across the panel.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0c, 0x0e, 0x14));
    p.drawRoundedRect(QRectF(24, 64, 268, 92), 6, 6);
    p.setBrush(QColor(0x5a, 0x64, 0x7a));
    for (int x = 32; x < 284; x += 16) {
        p.drawRect(QRectF(x, 70, 8, 8));
        p.drawRect(QRectF(x, 142, 8, 8));
    }
    p.setBrush(QColor(0x26, 0x2e, 0x42));
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(34 + i * 64, 84, 56, 52));
    p.setBrush(QColor(0xf0, 0xa0, 0x28));
    const QPointF play[] = {QPointF(144, 94), QPointF(144, 126), QPointF(172, 110)};
    p.drawPolygon(play, 3);
    p.setRenderHint(QPainter::Antialiasing, false);

    drawBlockText(p, QPoint(158 - blockTextWidth(QStringLiteral("VIDMORA"), 4) / 2, 186), QStringLiteral("VIDMORA"), 4,
                  QColor(0xf4, 0xf4, 0xf4));
    drawBlockText(p, QPoint(158 - blockTextWidth(QStringLiteral("NEWS"), 2) / 2, 232), QStringLiteral("NEWS"), 2,
                  QColor(0x9c, 0xa8, 0xc0));

    // A thin frame where the upper page sits (window 320,43 is picture 320,19).
    p.setPen(QColor(0x3a, 0x46, 0x5e));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(318, 17, 572, 268));
    p.end();
    return img;
}

} // namespace vidmora::announcement::assets
