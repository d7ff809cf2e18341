#pragma once

#include <QPoint>

class QWidget;

namespace vidmora::platform {

// The host's caption drag (ReleaseCapture, then WM_NCLBUTTONDOWN with HTCAPTION):
// from now until the left button is released, `window` follows the pointer as
// if its title bar had been grasped at `globalPos`. The window system moves it
// where it can; elsewhere (no window manager, offscreen) the window is moved
// here by the pointer's own movement. A drag already in progress is left alone.
// Returns whether the window is being dragged.
bool beginCaptionDrag(QWidget *window, QPoint globalPos);

} // namespace vidmora::platform
