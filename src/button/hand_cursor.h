#pragma once

#include "platform/gui/std_objects.h"

namespace vidmora {

// The program's hand-shaped cursor (its cursor resource 101), as an icon picture.
platform::PicturePtr handCursorPicture();

} // namespace vidmora
