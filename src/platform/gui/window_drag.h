#pragma once

#include <QPoint>

class QWidget;

namespace vidmora::platform {

// The host's caption drag (ReleaseCapture, then WM_NCLBUTTONDOWN with HTCAPTION):
// from now until the left button is released, `window` follows the pointer as
// if its title bar had been grasped at `globalPos` (the pointer's place at this
// first movement). The program moves the window itself by the pointer's own
// movement, with or without a window manager, and stops at the release; only
// where a program cannot place its window (Wayland) is it the window system's
// move. A drag already in progress is left alone. Returns whether the window
// is being dragged.
bool beginCaptionDrag(QWidget *window, QPoint globalPos);

} // namespace vidmora::platform
