#pragma once
// The application's start-up and exit sequences. The steps run in a fixed
// order on the UI thread; each front-end fills the hooks it has (the GUI all
// of them, the CLI those it needs). A hook left empty is a step with nothing
// to do on this front-end.
//
// Start-up: 1 find the program directory, 2 load the media-information
// library, 3 bind the layered-window functions, 4 build the tool paths,
// 5 hand the encoder path to the command builder, 6 enable embedded controls,
// 7 create the shared cursors and fonts, 8 load the configuration (defaults on
// any failure), 9 load the shared menu, 10 run the main window.
// A failure in steps 1-3 reports kInitFailedText and skips to the exit.
//
// Exit, always run: 1 destroy cursors and fonts, 2 unload the library,
// 3 unbind the layered functions, 4 save the configuration (only when step 8
// ran), 5 destroy the shared menu.

#include <functional>

#include "core/program_directory.h"

namespace qf::core {

inline constexpr const char* kInitFailedText = "程序初始化失败";

struct StartupHooks {
    std::function<bool()> loadMediaLibrary; // 2
    std::function<bool()> bindLayered; // 3
    std::function<void(const char*)> setEncoderPath; // 5
    std::function<void()> enableEmbeddedControls; // 6
    std::function<void()> createSharedResources; // 7
    std::function<void()> loadConfiguration; // 8: applies the defaults itself on failure
    std::function<void()> loadSharedMenu; // 9
    std::function<int()> runMainWindow; // 10: returns the exit status

    std::function<void(const char*)> reportFailure; // shows kInitFailedText

    std::function<void()> destroySharedResources; // exit 1
    std::function<void()> unloadMediaLibrary; // exit 2
    std::function<void()> unbindLayered; // exit 3
    std::function<void()> saveConfiguration; // exit 4
    std::function<void()> destroySharedMenu; // exit 5
};

class Application {
public:
    Application(ProgramLocator& locator, StartupHooks hooks);

    // Runs start-up, the main window and the exit sequence. Returns the main
    // window's status, or 1 when start-up failed.
    int run();

    // The separate halves, for front-ends without a main window (the CLI).
    bool startUp(); // steps 1-9; false after reporting a failure
    void shutDown(); // the exit sequence

    bool configurationLoaded() const { return configurationLoaded_; }

private:
    ProgramLocator& locator_;
    StartupHooks hooks_;
    bool configurationLoaded_ = false;
    bool shutDown_ = false;
};

} // namespace qf::core
