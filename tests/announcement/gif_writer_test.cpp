#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>

#include "announcement/assets/artwork.h"
#include "announcement/assets/gif_writer.h"

using vidmora::announcement::assets::encodeGif;

namespace {

QImage decode(const QByteArray &gif)
{
    QBuffer buffer;
    buffer.setData(gif);
    QImageReader reader(&buffer, "gif");
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// Pixel-exact round trip through Qt's own GIF reader. Noise fills the code table
// quickly, so the larger cases cross every code-width step and several table resets.
TEST(GifWriter, QtReadsBackEveryPixel)
{
    struct Case {
        int w, h, colours;
    };
    const Case cases[] = {{1, 1, 1}, {3, 2, 2}, {17, 5, 4}, {64, 64, 16}, {255, 3, 256}, {200, 100, 256}, {917, 29, 7}, {300, 300, 3}};
    QRandomGenerator rng(8101);
    for (const Case &c : cases) {
        QImage indexed(c.w, c.h, QImage::Format_Indexed8);
        QList<QRgb> palette;
        for (int i = 0; i < c.colours; ++i)
            palette << qRgb(i, (i * 7) & 0xFF, 255 - i);
        indexed.setColorTable(palette);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                indexed.setPixel(x, y, rng.bounded(c.colours));
        const QImage back = decode(encodeGif(indexed));
        ASSERT_EQ(back.size(), indexed.size()) << c.w << "x" << c.h;
        const QImage expected = indexed.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                ASSERT_EQ(back.pixel(x, y), expected.pixel(x, y)) << c.w << "x" << c.h << " at " << x << "," << y;
    }
}

TEST(GifWriter, TitleStripKeepsItsColours)
{
    const QImage strip = vidmora::announcement::assets::drawTitleStrip();
    const QImage back = decode(encodeGif(strip));
    ASSERT_EQ(back.size(), QSize(917, 29));
    EXPECT_EQ(back, strip.convertToFormat(QImage::Format_RGB32));
}

TEST(GifWriter, NullPictureGivesNothing)
{
    EXPECT_TRUE(encodeGif(QImage()).isEmpty());
}

} // namespace
