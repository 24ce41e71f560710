#include "core/startup.h"

#include <utility>

namespace qf::core {

namespace {

template <typename F, typename... Args> void runIf(const F& hook, Args&&... args)
{
    if (hook)
        hook(std::forward<Args>(args)...);
}

} // namespace

Application::Application(ProgramLocator& locator, StartupHooks hooks) : locator_(locator), hooks_(std::move(hooks)) {}

bool Application::startUp()
{
    const bool coreReady = findProgramDirectory(locator_, programLocation())
        && (!hooks_.loadMediaLibrary || hooks_.loadMediaLibrary()) && (!hooks_.bindLayered || hooks_.bindLayered());
    if (!coreReady) {
        runIf(hooks_.reportFailure, kInitFailedText);
        return false;
    }
    toolPaths().build(programDirectory());
    runIf(hooks_.setEncoderPath, toolPaths().encoderPath.c_str());
    runIf(hooks_.enableEmbeddedControls);
    runIf(hooks_.createSharedResources);
    runIf(hooks_.loadConfiguration);
    configurationLoaded_ = true;
    runIf(hooks_.loadSharedMenu);
    return true;
}

void Application::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    runIf(hooks_.destroySharedResources);
    runIf(hooks_.unloadMediaLibrary);
    runIf(hooks_.unbindLayered);
    // A start-up that failed before the configuration was read must never
    // overwrite the user's file with defaults.
    if (configurationLoaded_)
        runIf(hooks_.saveConfiguration);
    runIf(hooks_.destroySharedMenu);
}

int Application::run()
{
    int status = 1;
    if (startUp())
        status = hooks_.runMainWindow ? hooks_.runMainWindow() : 0;
    shutDown();
    return status;
}

} // namespace qf::core
