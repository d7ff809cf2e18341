#pragma once

namespace vidmora::platform {

// Host twips per pixel at 96 dots per inch; there is no other display scale here.
inline constexpr int kTwipsPerPixel = 15;

// A length in twips as whole pixels, to the nearest one (a half rounds down).
constexpr int twipsToPixels(int twips)
{
    return (twips + (kTwipsPerPixel - 1) / 2) / kTwipsPerPixel;
}

} // namespace vidmora::platform
