#pragma once
// The GUI's start-up and exit steps on top of core::Application: which hook
// does what on this front-end. UI thread only; QApplication must exist.

#include <QStringList>

#include <functional>

#include "core/startup.h"

namespace qf::app {

class SingleInstance;

// What this start was given: the files of its command line (absolute paths)
// and the instance that later starts hand their files to (may be null).
struct GuiLaunch {
    QStringList files;
    SingleInstance* instance = nullptr; // not owned; outlives the main window
};

// The hooks of the desktop program. runMainWindow makes the main window,
// shows it, adds the launch's files to the task list, serves later starts,
// runs the event loop until it closes and destroys it.
core::StartupHooks guiStartupHooks(GuiLaunch launch = {});

// The pieces, for tests that drive them one at a time.
void reportStartupFailure(const char* text); // the system's message box
void createSharedResources();
void destroySharedResources();
void loadGuiConfiguration(); // the cfg file, then the options reach the windows
void saveGuiConfiguration();

} // namespace qf::app
