#pragma once

// The push button the windows are built from. The windows use only its Click,
// its Enabled (switched through QWidget::setEnabled) and its visibility, and
// make each instance from the property bag stored with the window.

#include "button/button.h"
#include "platform/gui/property_bag.h"

namespace vidmora::main_window {

using WindowButton = ::vidmora::Button;

// An instance made from its stored properties, placed in `parent`.
WindowButton *makeWindowButton(const platform::PropertyBag &storedProperties, QWidget *parent);

} // namespace vidmora::main_window
