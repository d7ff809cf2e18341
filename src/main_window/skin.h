#pragma once

#include <QPixmap>

namespace vidmora::main_window {

// The main window's background artwork, 690 x 488 pixels: dark blue, black
// strips along the top (the title strip) and the bottom, light rounded panels
// behind the address row, the title and thumbnail, the format box and the view
// count, and a grey panel behind the download list. Drawn at start-up so the
// program carries no binary artwork.
QPixmap makeMainSkin();

// The window's icon: a film frame with a play mark, in the skin's colours.
QPixmap makeWindowIcon();

inline constexpr int kSkinWidth = 690;
inline constexpr int kSkinHeight = 488;

} // namespace vidmora::main_window
