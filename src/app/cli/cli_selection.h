#pragma once
// The device/model/format choice and the conversion options shared by the
// subcommands that make conversions ("commands", "convert"): parsing them
// from the command line and turning them into a configured builder, the way
// the parameter panel would.
//
//   -c CATEGORY       an index 0..12 or a category name ("PSP", "手机")
//   -m MODEL          a row of the category's model list (user presets first),
//                     or a model's or preset's name
//   -f FORMAT         a format value that the model lists, or its label
//   --start HH:MM:SS  --stop HH:MM:SS
//   --output-folder DIR   (default: the configuration's output folder)
//   --media auto|av|video|audio   (auto probes the file)
//   --set MEMBER=VALUE    one of the 27 parameter integers, repeatable
//
// Needs cli::startUp() to have run (encoder path, configuration, library).

#include <string>
#include <vector>

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
    std::vector<std::string> files; // the positional arguments, in order
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

// The option lines for a subcommand's --help.
const char* selectionUsage();

// Consumes the options above from args. Arguments that start with "-" and are
// not among them go to `unknown` when it is given, else they are an error.
// False with a message in `error` on a missing option value.
bool parseSelectionArgs(const std::vector<std::string>& args, SelectionArgs& out, std::string& error,
                        std::vector<std::string>* unknown = nullptr);

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
