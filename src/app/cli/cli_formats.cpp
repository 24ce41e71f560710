// quillfer-cli formats: the device categories, the models of each (user
// presets first, as the parameter panel lists them) and each model's formats.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_options.h"
#include "convert/conversion_settings.h"
#include "convert/device_models.h"
#include "convert/value_tables.h"
#include "settings/settings.h"

namespace qf::cli {

namespace {

template <typename Table, typename Text> std::string rowsOf(const Table& table, Text text)
{
    std::string out;
    for (size_t i = 0; i < table.size(); ++i)
        out += (i ? ", " : "") + std::to_string(i) + " " + text(table[i]);
    return out;
}

// What the values of a --set member mean, read from the value tables (so a
// row added there is listed here too); empty for the sliders, whose range
// alone says it.
std::string memberValues(std::string_view name)
{
    using namespace convert;
    const auto row = [](const auto& e) { return std::string(e.rowText); };
    const auto text = [](const char* t) { return std::string(*t ? t : "默认"); };
    const auto kbps = [](const char* t) { return std::string(t) + " kbps"; };
    if (name == "videoCodec")
        return rowsOf(kVideoCodecs, row);
    if (name == "videoBitrateIndex")
        return rowsOf(kVideoBitrates, kbps);
    if (name == "frameSizeIndex")
        return rowsOf(kFrameSizes, row);
    if (name == "frameRateIndex")
        return rowsOf(kFrameRates, row);
    if (name == "aspectIndex")
        return rowsOf(kAspects, row);
    if (name == "qualityIndex")
        return rowsOf(kQualities, [](const char* t) { return std::string(*t ? t + 1 : "默认"); });
    if (name == "audioCodec")
        return rowsOf(kAudioCodecs, row);
    if (name == "sampleRateIndex")
        return rowsOf(kSampleRates, row);
    if (name == "audioStreamId")
        return rowsOf(kAudioStreamRows, text);
    if (name == "channelMode")
        return rowsOf(kChannelModes, row);
    if (name == "audioBitrateIndex")
        return rowsOf(kAudioBitrates, kbps);
    if (name == "mp3VbrQuality")
        return rowsOf(kMp3VbrQualityRows, text);
    if (name == "mp3Volume")
        return rowsOf(kMp3VolumeRows, text);
    if (name == "mp3Mode")
        return rowsOf(kMp3Modes, text);
    if (name == "mp3Method")
        return rowsOf(kMp3Methods, row);
    if (name == "mp3AlgorithmQuality")
        return rowsOf(kMp3AlgorithmQualityRows, text);
    if (name == "aacObjectType")
        return "0 Main, 1 LC, 2 SSR, 3 LTP";
    if (name == "gamma" || name == "contrast" || name == "brightness" || name == "saturation")
        return "tenths";
    return "0 off, 1 on";
}

// formats --members: each --set member, its range and what its values mean.
void printMembers()
{
    for (int i = 0; i < convert::ConversionSettings::kParameterCount; ++i) {
        const convert::ValueRange& r = convert::kParameterRanges[static_cast<size_t>(i)];
        const char* name = convert::ConversionSettings::parameterName(i);
        std::printf("%s %d..%d: %s\n", name, r.min, r.max, memberValues(name).c_str());
    }
}

struct FormatsArgs {
    bool members = false;
};

constexpr CliOption<FormatsArgs> kOptions[] = {
    {"members", 0, nullptr, "the --set members, their ranges and values, instead", &FormatsArgs::members},
};

void printHelp()
{
    std::printf("usage: quillfer-cli formats [--members]\n\n"
                "Lists the device categories with their index, the models of each with the\n"
                "row to give as -m (user presets from the cfg file first, marked \"preset\"),\n"
                "and each model's output formats with the value to give as -f and its label.\n"
                "--members lists the members that 'convert --set MEMBER=VALUE' sets, each with\n"
                "its range and what its values mean.\n\n"
                "options:\n%s",
                optionHelp(kOptions).c_str());
}

int runFormats(const std::vector<std::string>& args)
{
    FormatsArgs options;
    std::vector<std::string> operands;
    std::string error;
    switch (parseOptions(kOptions, args, "formats", options, operands, error)) {
    case ParseOutcome::HelpWanted: printHelp(); return kExitOk;
    case ParseOutcome::UsageError: std::fprintf(stderr, "quillfer-cli formats: %s\n", error.c_str()); return kExitUsage;
    case ParseOutcome::Parsed: break;
    }
    if (!operands.empty()) {
        std::fprintf(stderr, "quillfer-cli formats: 多余的参数 '%s'\n", operands[0].c_str());
        return kExitUsage;
    }
    if (options.members) {
        printMembers(); // the tables alone: no start-up needed
        return kExitOk;
    }
    if (!startUp())
        return kExitFailed;
    for (int32_t c = 0; c < convert::kCategoryCount; ++c) {
        std::printf("%d %s\n", c, convert::categoryName(c));
        convert::DeviceModelList list;
        convert::buildCategoryList(c, settings::current().presets(), list);
        for (int32_t row = 0; row < list.size(); ++row) {
            const convert::DeviceModel& m = *list.at(row);
            std::printf("  %d %s%s\n", row, m.name.c_str(), m.isPreset ? " (preset)" : "");
            for (const convert::FormatChoice& f : m.formats)
                std::printf("    %d %s\n", f.format, f.label.c_str());
        }
    }
    return kExitOk;
}

const CliRegistration registration(Subcommand{"formats", "list the device categories, models and output formats",
                                              runFormats});

} // namespace

} // namespace qf::cli
