#pragma once
// The GUI's start-up and exit steps on top of core::Application: which hook
// does what on this front-end. UI thread only; QApplication must exist.

#include <functional>

#include "core/startup.h"

namespace qf::app {

// The hooks of the desktop program. runMainWindow makes the main window,
// shows it, runs the event loop until it closes and destroys it.
core::StartupHooks guiStartupHooks();

// The pieces, for tests that drive them one at a time.
void reportStartupFailure(const char* text);  // the system's message box
void createSharedResources();
void destroySharedResources();
void loadGuiConfiguration();                   // the cfg file, then the options reach the windows
void saveGuiConfiguration();

} // namespace qf::app
