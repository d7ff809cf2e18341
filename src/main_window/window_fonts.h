#pragma once

#include <QFont>

namespace vidmora::main_window {

enum class FontRole {
    Tahoma,     // the windows' own font, 8.25 pt
    TahomaBold, // 8.25 pt bold
    Arial18,    // the "Play" caption, 18 pt
};

// The design fonts, or the closest face installed, at the design's pixel size
// at 96 dots per inch (8.25 pt = 11 px, 18 pt = 24 px), so that captions keep
// their size whatever the screen's resolution.
QFont designFont(FontRole role);

} // namespace vidmora::main_window
