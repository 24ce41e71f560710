#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/version_notice.h"
#include "convert/command_line_builder.h"
#include "core/platform/descriptors.h"
#include "core/program_directory.h"
#include "core/startup.h"
#include "probe/media_info_library.h"
#include "settings/configuration_file.h"

namespace qf::cli {

namespace {

std::map<std::string, Subcommand>& registry()
{
    static std::map<std::string, Subcommand> commands;
    return commands;
}

int g_argc = 0;
char** g_argv = nullptr;

void printUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: quillfer-cli <command> [options]\n\n"
                 "The headless companion of Quillfer: probes media files, lists the device\n"
                 "models and their formats, prints and runs conversion command lines.\n\n"
                 "options:\n"
                 "  -h, --help   show this text\n"
                 "  --version    show the version\n\n"
                 "commands:\n");
    for (const auto& [name, command] : registry())
        std::fprintf(out, "  %-10s %s\n", name.c_str(), command.summary.c_str());
    std::fprintf(out,
                 "\n'quillfer-cli <command> --help' describes a command; see also quillfer-cli(1).\n"
                 "Quillfer is free software under the GNU GPL, version 3 or later.\n");
}

} // namespace

CliRegistration::CliRegistration(Subcommand command) { registry()[command.name] = std::move(command); }

bool wantsHelp(const std::vector<std::string>& args)
{
    for (const auto& a : args) {
        if (a == "--")
            return false; // what follows are files, whatever their names
        if (a == "-h" || a == "--help")
            return true;
    }
    return false;
}

bool startUp()
{
    static bool done = false;
    static bool ok = false;
    if (done)
        return ok;
    done = true;
    static core::SystemProgramLocator locator(g_argc, g_argv);
    core::StartupHooks hooks;
    // The media-information library comes from the program directory that
    // start-up has just found.
    hooks.loadMediaLibrary = [] { return probe::loadMediaInfoLibrary(core::programDirectory()); };
    hooks.unloadMediaLibrary = [] { probe::unloadMediaInfoLibrary(); };
    hooks.setEncoderPath = [](const char* path) { convert::CommandLineBuilder::setEncoderPath(path); };
    // Read only: the CLI never writes the "cfg" file nor creates folders at start-up.
    hooks.loadConfiguration = [] { settings::loadConfiguration(settings::LoadMode::ReadOnly); };
    hooks.reportFailure = [](const char* text) { std::fprintf(stderr, "quillfer-cli: %s\n", text); };
    static core::Application app(locator, std::move(hooks));
    ok = app.startUp();
    if (ok)
        std::atexit([] { app.shutDown(); });
    return ok;
}

} // namespace qf::cli

int main(int argc, char** argv)
{
    using namespace qf::cli;
    qf::platform::adoptInheritedDescriptors();
    g_argc = argc;
    g_argv = argv;
    if (argc < 2) {
        printUsage(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        printUsage(stdout);
        return kExitOk;
    }
    if (name == "--version") {
        std::printf("quillfer-cli %s\n%s", QF_VERSION, qf::app::kLicenceNotice);
        return kExitOk;
    }
    auto it = registry().find(name);
    if (it == registry().end()) {
        std::fprintf(stderr, "quillfer-cli: 未知的命令 '%s'\n\n", name.c_str());
        printUsage(stderr);
        return kExitUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    return it->second.run(args);
}
