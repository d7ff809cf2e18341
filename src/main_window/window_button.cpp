#include "main_window/window_button.h"

namespace vidmora::main_window {

WindowButton *makeWindowButton(const platform::PropertyBag &storedProperties, QWidget *parent)
{
    return new WindowButton(storedProperties, parent);
}

} // namespace vidmora::main_window
