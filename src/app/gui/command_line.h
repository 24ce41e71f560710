#pragma once
// What the desktop program is asked to do by its command line. The menu entry
// and the file manager's "Open with" start it with the files to add; options
// are only --help and --version. Qt's own options (-platform, -display, ...)
// have been taken out by QApplication before parseArguments sees the rest.

#include <string>
#include <vector>

namespace qf::app {

struct GuiArguments {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::vector<std::string> files; // as given; made absolute by the caller
    std::string error; // for Error: one line naming the bad option
};

// args: the arguments after the program's name. "--" ends the options; "-"
// alone is a file name.
GuiArguments parseArguments(const std::vector<std::string>& args);

// Before QApplication exists (it needs a display, which --help, --version
// and a refused option must not): Help, Version, Error for an option that is
// neither ours nor one of Qt's, else Run (files are taken later).
GuiArguments earlyArguments(int argc, char** argv);

// The texts printed for --help and --version.
std::string helpText();
std::string versionText();

} // namespace qf::app
