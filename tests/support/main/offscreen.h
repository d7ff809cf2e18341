#pragma once

#include <QByteArray>
#include <cstdlib>

namespace vidmora::test {

// CI has no display: fall back to Qt's offscreen platform unless a display is there.
inline void useOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace vidmora::test
