#include "button/hand_cursor.h"

#include <QImage>

namespace vidmora {

namespace {
// 16 x 16: '#' outline, '.' white fill, ' ' transparent.
const char *const kHand[16] = {
    "     ##         ",
    "    #..#        ",
    "    #..#        ",
    "    #..#        ",
    "    #..###      ",
    "    #..#..###   ",
    "    #..#..#..## ",
    " ## #..#..#..#.#",
    "#..##........#.#",
    "#...#..........#",
    " #.............#",
    "  #............#",
    "  #...........# ",
    "   #..........# ",
    "    #........#  ",
    "    ##########  ",
};
} // namespace

platform::PicturePtr handCursorPicture()
{
    static const platform::PicturePtr picture = [] {
        QImage img(16, 16, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const char c = kHand[y][x];
                if (c == '#')
                    img.setPixel(x, y, 0xFF000000u);
                else if (c == '.')
                    img.setPixel(x, y, 0xFFFFFFFFu);
            }
        return platform::makePicture(img, platform::StdPicture::Icon);
    }();
    return picture;
}

} // namespace vidmora
