#include "app/gui/command_line.h"

#include <string_view>

#include "app/version_notice.h"

#ifndef QF_VERSION
#error "QF_VERSION must be defined by the build"
#endif

namespace qf::app {

namespace {

GuiArguments::Action optionAction(std::string_view a)
{
    if (a == "-h" || a == "--help")
        return GuiArguments::Action::Help;
    if (a == "--version")
        return GuiArguments::Action::Version;
    return GuiArguments::Action::Error;
}

} // namespace

GuiArguments parseArguments(const std::vector<std::string>& args)
{
    GuiArguments out;
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
            continue;
        }
        if (!options || a.size() < 2 || a[0] != '-') {
            out.files.push_back(a);
            continue;
        }
        const GuiArguments::Action action = optionAction(a);
        if (action == GuiArguments::Action::Error) {
            out.action = action;
            out.error = "unknown option '" + a + "' (quillfer --help lists the options)";
            return out;
        }
        // The first of --help and --version wins; files do not matter then.
        if (out.action == GuiArguments::Action::Run)
            out.action = action;
    }
    return out;
}

GuiArguments earlyArguments(int argc, char** argv)
{
    // Qt's own options, which QApplication takes out; the first group takes a value.
    static constexpr std::string_view withValue[]
        = {"platform", "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry", "geometry",   "qwindowicon",
           "icon",     "qwindowtitle",       "title",         "display", "style",           "stylesheet", "session",
           "name"};
    static constexpr std::string_view alone[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};
    GuiArguments out;
    for (int i = 1; i < argc && argv[i]; ++i) {
        std::string_view a = argv[i];
        if (a == "--")
            break;
        if (a.size() < 2 || a[0] != '-')
            continue;
        const GuiArguments::Action action = optionAction(a);
        if (action != GuiArguments::Action::Error) {
            out.action = action;
            return out;
        }
        std::string_view bare = a.substr(a.rfind("--", 0) == 0 ? 2 : 1);
        bare = bare.substr(0, bare.find('='));
        bool qt = false;
        for (std::string_view o : withValue)
            if (bare == o) {
                qt = true;
                if (a.find('=') == std::string_view::npos)
                    ++i;
            }
        for (std::string_view o : alone)
            qt = qt || bare == o;
        if (!qt) {
            out.action = GuiArguments::Action::Error;
            out.error = "unknown option '" + std::string(a) + "' (quillfer --help lists the options)";
            return out;
        }
    }
    return out;
}

std::string helpText()
{
    return "usage: quillfer [FILE]...\n"
           "\n"
           "Quillfer: an audio/video converter with a preview player (Chinese interface).\n"
           "The files given are added to the task list, as the open dialog adds them.\n"
           "When Quillfer already runs for this user and configuration, its window is\n"
           "raised and the files are added there; this start then ends.\n"
           "\n"
           "options:\n"
           "  -h, --help     show this text and end\n"
           "  --version      show the version and end\n"
           "  --             what follows are files, whatever their names\n"
           "\n"
           "The headless companion is quillfer-cli; see quillfer(1) and quillfer-cli(1).\n"
           "Quillfer is free software under the GNU GPL, version 3 or later.\n";
}

std::string versionText() { return std::string("quillfer ") + QF_VERSION + "\n" + kLicenceNotice; }

} // namespace qf::app
