#pragma once
// Whether the window system Qt is about to use can be reached. Without it
// QApplication aborts with a hint to reinstall the program; the desktop
// program instead says in one line that there is no display and ends with 1.
// Call before QApplication, after the platform has been chosen.

#include <string>
#include <vector>

namespace qf::app {

// `platform` is the Qt platform name ("xcb", "wayland", "offscreen", ...);
// `args` the command line, whose -platform and -display Qt would honour.
// False with a one-line Chinese reason (naming the display) when the X
// server or Wayland compositor cannot be reached; platforms that need no
// display pass.
bool displayReachable(std::string platform, const std::vector<std::string>& args, std::string& why);

} // namespace qf::app
