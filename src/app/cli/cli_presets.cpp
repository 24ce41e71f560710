// quillfer-cli presets: the user presets of the cfg file listed, shown,
// deleted, written to a file and read back, so that a batch on another
// machine converts with the same settings. A preset file is text; the older
// binary files are still read (settings/preset_file.h).

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_selection.h"
#include "core/file_system.h"
#include "core/program_directory.h"
#include "settings/configuration_file.h"
#include "settings/preset_file.h"
#include "settings/preset_text.h"

namespace qf::cli {

namespace {

// What a new preset is made from ("presets export NAME FILE OPTIONS").
constexpr CliOption<SelectionArgs> kExportOptions[] = {
    kCategoryOption, kModelOption, kFormatOption, kPresetFileOption, kStartOption, kStopOption, kSetOption,
};

void printHelp()
{
    std::printf("usage: quillfer-cli presets list\n"
                "       quillfer-cli presets show NAME\n"
                "       quillfer-cli presets export NAME FILE [-c CATEGORY -m MODEL -f FORMAT [--set ...]]\n"
                "       quillfer-cli presets import FILE\n"
                "       quillfer-cli presets delete NAME\n\n"
                "list prints the user presets of the cfg file (category, name, format).\n"
                "show prints the preset NAME as a preset file holds it. export writes the\n"
                "preset NAME to FILE as text (never over a file that stands there); with\n"
                "-c, -m and -f (and --set, --start, --stop) it writes a new preset NAME made\n"
                "from those options instead, without the window. import adds the preset in\n"
                "FILE (text, or an older binary file) to the cfg file's presets (a preset\n"
                "of that name and category must not be there yet); delete removes NAME.\n"
                "import and delete write the cfg file: close the program's window first,\n"
                "which writes it when it ends. 'convert --preset-file FILE' converts with\n"
                "such a file without importing it.\n\n"
                "export options:\n%s\n"
                "Exit status: 0 done, 1 failed, 2 usage error.\n",
                optionHelp(kExportOptions).c_str());
}

// The user presets called `name` (one a category at most).
std::vector<const convert::DeviceModel*> presetsNamed(const std::string& name)
{
    std::vector<const convert::DeviceModel*> found;
    for (const convert::DeviceModel& preset : settings::current().presets())
        if (name == preset.name.c_str())
            found.push_back(&preset);
    return found;
}

// The one preset `name`, or null after saying why (kExitUsage).
const convert::DeviceModel* onePreset(const std::string& name)
{
    const auto found = presetsNamed(name);
    if (found.size() == 1)
        return found.front();
    std::string names;
    for (const convert::DeviceModel& preset : settings::current().presets())
        names += (names.empty() ? "" : ", ") + std::string(preset.name.c_str());
    if (found.empty())
        std::fprintf(stderr, "quillfer-cli presets: 没有预设 '%s'；现有：%s\n", name.c_str(),
                     names.empty() ? "（无）" : names.c_str());
    else
        std::fprintf(stderr, "quillfer-cli presets: 有 %zu 个预设名为 '%s'（不同分类）；请在程序窗口中改名\n",
                     found.size(), name.c_str());
    return nullptr;
}

// Writes `text` to a new `file`; never over one that stands there.
int writeNewFile(const std::string& file, const std::string& text)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "quillfer-cli presets: 不能创建 %s：%s\n", file.c_str(), std::strerror(errno));
        return kExitFailed;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (::close(fd) != 0 || !written) {
        ::unlink(file.c_str());
        std::fprintf(stderr, "quillfer-cli presets: 不能写入 %s\n", file.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int exportPreset(const std::string& name, const std::string& file, const std::vector<std::string>& options)
{
    if (options.empty()) {
        const convert::DeviceModel* found = onePreset(name);
        return found ? writeNewFile(file, settings::presetToText(*found)) : kExitUsage;
    }
    // A new preset from the options, as the window's save-preset command makes one.
    SelectionArgs selection;
    std::string error;
    convert::CommandLineBuilder settings;
    switch (parseOptions(kExportOptions, options, "presets", selection, selection.files, error)) {
    case ParseOutcome::HelpWanted: printHelp(); return kExitOk;
    case ParseOutcome::UsageError: break;
    case ParseOutcome::Parsed:
        if (!selection.files.empty())
            error = "多余的参数 '" + selection.files.front() + "'";
        else if (configureChoice(selection, settings, error) == kExitOk)
            error.clear();
        break;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "quillfer-cli presets: %s\n", error.c_str());
        return kExitUsage;
    }
    convert::DeviceModelList made, panel;
    if (name.empty() || convert::addPreset(name.c_str(), settings, made, panel) < 0) {
        std::fprintf(stderr, "quillfer-cli presets: 不能用这些选项生成预设 '%s'\n", name.c_str());
        return kExitUsage;
    }
    return writeNewFile(file, settings::presetToText(*made.at(0)));
}

int showPreset(const std::string& name)
{
    const convert::DeviceModel* found = onePreset(name);
    if (!found)
        return kExitUsage;
    std::fputs(settings::presetToText(*found).c_str(), stdout);
    return kExitOk;
}

int listPresets()
{
    for (const convert::DeviceModel& preset : settings::current().presets()) {
        const char* format = preset.formats.empty() ? "" : convert::formatChoiceLabel(preset.formats.front().format);
        std::printf("%s\t%s\t%s\n", convert::categoryName(preset.category), preset.name.c_str(), format);
    }
    return kExitOk;
}

// The cfg file on disk reads, so that writing it loses nothing: a cfg file
// that could not be read gave the defaults.
bool configurationWritable()
{
    const settings::ConfigurationPaths paths = settings::configurationPaths(core::programDirectory());
    settings::Configuration onDisk;
    if (core::fs::exists(paths.readPath.c_str())
        && !settings::loadConfigurationFile(onDisk, paths.readPath.c_str(), core::programDirectory(),
                                            settings::LoadMode::ReadOnly)) {
        std::fprintf(stderr, "quillfer-cli presets: 不能读取 cfg 文件 %s；什么也没有改\n", paths.readPath.c_str());
        return false;
    }
    return true;
}

int deletePreset(const std::string& name)
{
    const convert::DeviceModel* found = onePreset(name);
    if (!found)
        return kExitUsage;
    if (!configurationWritable())
        return kExitFailed;
    settings::Configuration& config = settings::current().record();
    convert::DeviceModelList kept;
    for (const convert::DeviceModel& preset : config.presets)
        if (&preset != found)
            kept.add(preset);
    config.presets = kept;
    config.presets.renumber();
    if (!settings::saveConfiguration()) {
        std::fprintf(stderr, "quillfer-cli presets: 不能写入 cfg 文件\n");
        return kExitFailed;
    }
    return kExitOk;
}

int importPreset(const std::string& file)
{
    convert::DeviceModel preset;
    std::string error;
    if (!settings::loadPresetFile(file, preset, error)) {
        std::fprintf(stderr, "quillfer-cli presets: %s\n", error.c_str());
        return kExitFailed;
    }
    if (!configurationWritable())
        return kExitFailed;
    settings::Configuration& config = settings::current().record();
    for (const convert::DeviceModel& existing : config.presets) {
        if (existing.category == preset.category && existing.name == preset.name) {
            std::fprintf(stderr, "quillfer-cli presets: 已有预设 '%s'\n", preset.name.c_str());
            return kExitFailed;
        }
    }
    config.presets.add(preset);
    config.presets.renumber();
    if (!settings::saveConfiguration()) {
        std::fprintf(stderr, "quillfer-cli presets: 不能写入 cfg 文件\n");
        return kExitFailed;
    }
    std::printf("%s\n", preset.name.c_str());
    return kExitOk;
}

int runPresets(const std::vector<std::string>& args)
{
    if (wantsHelp(args)) {
        printHelp();
        return kExitOk;
    }
    const std::string verb = args.empty() ? "" : args[0];
    const bool known = (verb == "list" && args.size() == 1)
        || ((verb == "show" || verb == "delete") && args.size() == 2) || (verb == "import" && args.size() == 2)
        || (verb == "export" && args.size() >= 3);
    if (!known) {
        std::fprintf(stderr,
                     "quillfer-cli presets: 请给出 list、show NAME、export NAME FILE、import FILE 或 delete NAME\n");
        return kExitUsage;
    }
    if (!startUp())
        return kExitFailed;
    if (verb == "list")
        return listPresets();
    if (verb == "show")
        return showPreset(args[1]);
    if (verb == "delete")
        return deletePreset(args[1]);
    if (verb == "import")
        return importPreset(args[1]);
    return exportPreset(args[1], args[2], std::vector<std::string>(args.begin() + 3, args.end()));
}

const CliRegistration registration(Subcommand{"presets", "list, show, export, import or delete user presets",
                                              runPresets});

} // namespace

} // namespace qf::cli
