#pragma once

#include <QString>

#include "platform/gui/property_bag.h"

namespace vidmora::main_window {

// How a window's button instance looks, as stored with the window.
enum class ButtonLook {
    System, // "Download", "Cancel", "X", "Chose path ...", Form2's "Ok"
    Play,   // the large "Play" button
};

// The stored property bag of one button instance: the component's keys in the
// lower case in which the windows' stored data hold them.
platform::PropertyBag storedButtonBag(const QString &caption, ButtonLook look);

// Colour value in the host's encoding: red in the low byte.
constexpr qint32 rgbValue(int r, int g, int b) { return r | (g << 8) | (b << 16); }

} // namespace vidmora::main_window
