// quillfer-cli commands: the encoder command lines of one conversion, as the
// conversion worker would run them.

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_selection.h"
#include "convert/command_line_builder.h"

namespace qf::cli {

namespace {

constexpr CliOption<SelectionArgs> kOptions[] = {
    kCategoryOption, kModelOption,        kFormatOption, kPresetFileOption, kStartOption,
    kStopOption,     kOutputFolderOption, kMediaOption,  kSetOption,
};

void printHelp()
{
    std::printf("usage: quillfer-cli commands -c CATEGORY -m MODEL -f FORMAT [options] FILE\n\n"
                "Prints the two encoder command lines of converting FILE with the chosen\n"
                "device model and format: the first command, then the second (an empty\n"
                "line when there is none). Nothing is run.\n\n"
                "options:\n%s",
                optionHelp(kOptions).c_str());
}

int runCommands(const std::vector<std::string>& args)
{
    SelectionArgs selection;
    std::string error;
    switch (parseOptions(kOptions, args, "commands", selection, selection.files, error)) {
    case ParseOutcome::HelpWanted: printHelp(); return kExitOk;
    case ParseOutcome::UsageError:
        std::fprintf(stderr, "quillfer-cli commands: %s\n", error.c_str());
        return kExitUsage;
    case ParseOutcome::Parsed: break;
    }
    if (selection.files.size() != 1) {
        std::fprintf(stderr, "quillfer-cli commands: 请只给出一个文件 FILE（给出了 %zu 个）\n", selection.files.size());
        return kExitUsage;
    }
    if (!startUp())
        return kExitFailed;
    convert::CommandLineBuilder builder;
    const int status = configureBuilder(selection, selection.files[0], builder, error);
    if (status != kExitOk) {
        std::fprintf(stderr, "quillfer-cli commands: %s\n", error.c_str());
        return status;
    }
    builder.buildCommands();
    std::printf("%s\n%s\n", builder.firstCommand().c_str(), builder.secondCommand().c_str());
    return kExitOk;
}

const CliRegistration registration(Subcommand{"commands", "print the encoder command lines of one conversion",
                                              runCommands});

} // namespace

} // namespace qf::cli
