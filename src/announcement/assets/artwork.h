#pragma once

#include <QImage>

namespace vidmora::announcement::assets {

// The program's two pictures, drawn in code so that the repository holds no
// binary artwork.
inline constexpr int kTitleWidth = 917;
inline constexpr int kTitleHeight = 29;
inline constexpr int kBackgroundWidth = 892;
inline constexpr int kBackgroundHeight = 302;

// The title strip: a dark band with the program's name; the user drags the window by it.
QImage drawTitleStrip();
// The background behind the two pages.
QImage drawBackground();

} // namespace vidmora::announcement::assets
