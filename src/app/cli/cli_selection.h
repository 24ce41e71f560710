#pragma once
// The device/model/format choice and the conversion options shared by the
// subcommands that make conversions ("commands", "convert", "presets
// export"): their option table rows, and turning them into a configured
// builder, the way the parameter panel would. Each subcommand's table picks
// the rows it takes.
//
// Needs cli::startUp() to have run (encoder path, configuration, library).

#include <string>
#include <vector>

#include "app/cli/cli_options.h"
#include "convert/command_line_builder.h"

namespace qf::cli {

struct SelectionArgs {
    std::string category;
    std::string model;
    std::string format;
    std::string start;
    std::string stop;
    std::string outputFolder;
    std::string media = "auto";
    std::vector<std::string> sets;
    std::vector<std::string> files; // the operands, in order
    // Batch options, read by "convert" only.
    std::string presetFile; // --preset-file: the model instead of -c and -m
    std::string outputFile; // -o: the exact output path of the one FILE
    std::string ifExists = "number"; // number, skip or overwrite
    std::string jobs = "1"; // tasks at once
    std::string progress; // "" (text) or json
    bool recursive = false; // a folder gives the files of its subfolders too
    bool keepTree = false; // outputs keep their subfolder below the given folder
    bool dryRun = false; // say what a run would do, and do nothing
    bool quiet = false; // the failures and the summary alone
    std::string nameTemplate; // --name: the outputs' file names, e.g. "{name}{ext}"
};

// The rows of the choice and the conversion options.
inline constexpr CliOption<SelectionArgs> kCategoryOption{
    "category", 'c', "CATEGORY",
    "index 0..12 or name: 0 手机, 1 IPOD, 2 PSP, 3 Flash Player,\n"
    "4 DVD, 5 VCD, 6 Windows Media, 7 MP3, 8 通用高清, 9 HEVC,\n"
    "10 AV1, 11 网页 WebM, 12 音乐/无损",
    &SelectionArgs::category};
inline constexpr CliOption<SelectionArgs> kModelOption{"model", 'm', "MODEL",
                                                       "row of the category's model list (user presets first;\n"
                                                       "see 'quillfer-cli formats'), or the model's name",
                                                       &SelectionArgs::model};
inline constexpr CliOption<SelectionArgs> kFormatOption{
    "format", 'f', "FORMAT", "format value 0..21 listed by the model, or its label", &SelectionArgs::format};
inline constexpr CliOption<SelectionArgs> kPresetFileOption{"preset-file", 0, "FILE",
                                                            "the model from a preset file ('presets export')\n"
                                                            "instead of -c and -m",
                                                            &SelectionArgs::presetFile};
inline constexpr CliOption<SelectionArgs> kStartOption{"start", 0, "HH:MM:SS", "start position", &SelectionArgs::start};
inline constexpr CliOption<SelectionArgs> kStopOption{
    "stop", 0, "HH:MM:SS", "stop position in the source, after --start", &SelectionArgs::stop};
inline constexpr CliOption<SelectionArgs> kOutputFolderOption{
    "output-folder", 0, "DIR", "output folder (default: the one in the cfg file)", &SelectionArgs::outputFolder};
inline constexpr CliOption<SelectionArgs> kMediaOption{
    "media", 0, "MODE", "auto (probe the file, default), av, video or audio", &SelectionArgs::media};
inline constexpr CliOption<SelectionArgs> kSetOption{"set", 0, "MEMBER=VALUE",
                                                     "set one parameter after the model's defaults,\n"
                                                     "e.g. --set videoBitrateIndex=9 (repeatable)",
                                                     &SelectionArgs::sets};

// Selects the model as the panel does, applies --set, the times, the media
// facts of `file` and the output path. Returns kExitOk, kExitUsage (a wrong
// choice or value; `error` names the valid ones) or kExitFailed (the file is
// missing or refused by the probe).
// The model, format, --set values and times alone, without a file (kExitOk
// or kExitUsage).
int configureChoice(const SelectionArgs& args, convert::CommandLineBuilder& out, std::string& error,
                    std::string* modelName = nullptr);

// `modelName`, when given, receives the chosen model's (or preset's) name.
int configureBuilder(const SelectionArgs& args, const std::string& file, convert::CommandLineBuilder& out,
                     std::string& error, std::string* modelName = nullptr);

} // namespace qf::cli
