// quillfer-cli formats: the device categories, the models of each (user
// presets first, as the parameter panel lists them) and each model's formats.

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "convert/configuration.h"
#include "convert/device_models.h"
#include "convert/value_tables.h"

namespace qf::cli {

namespace {

void printHelp()
{
    std::printf("usage: quillfer-cli formats\n\n"
                "Lists the device categories with their index, the models of each with the\n"
                "row to give as -m (user presets from the cfg file first, marked \"preset\"),\n"
                "and each model's output formats with the value to give as -f and its label.\n");
}

int runFormats(const std::vector<std::string>& args)
{
    if (wantsHelp(args)) {
        printHelp();
        return kExitOk;
    }
    if (!args.empty()) {
        std::fprintf(stderr, "quillfer-cli formats: unexpected argument '%s'\n", args[0].c_str());
        return kExitUsage;
    }
    if (!startUp())
        return kExitFailed;
    for (int32_t c = 0; c < convert::kCategoryCount; ++c) {
        std::printf("%d %s\n", c, convert::categoryName(c));
        convert::DeviceModelList list;
        convert::buildCategoryList(c, convert::settings().presets(), list);
        for (int32_t row = 0; row < list.size(); ++row) {
            const convert::DeviceModel& m = *list.at(row);
            std::printf("  %d %s%s\n", row, m.name.c_str(), m.isPreset ? " (preset)" : "");
            for (const convert::FormatChoice& f : m.formats)
                std::printf("    %d %s\n", f.format, f.label.c_str());
        }
    }
    return kExitOk;
}

const CliRegistration registration(Subcommand{
    "formats", "list the device categories, models and output formats", runFormats});

} // namespace

} // namespace qf::cli
