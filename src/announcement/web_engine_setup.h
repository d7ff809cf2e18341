#pragma once

namespace vidmora::announcement {

// Configures the embedded web engine; must run before the application object
// is created. Shares OpenGL contexts as the engine requires, keeps Chromium
// from phoning home in the background, keeps shader caches off the disk, and
// turns off Chromium's sandbox when the program runs as root, where the
// sandbox refuses to start (it stays on for everyone else).
void prepareWebEngine();

} // namespace vidmora::announcement
