#pragma once

class QApplication;

namespace vidmora {

// Creates and loads the main window with the real components and runs the
// program until it ends.
int runMainProgram(QApplication &app);

} // namespace vidmora
