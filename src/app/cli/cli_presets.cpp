// quillfer-cli presets: the user presets of the cfg file listed, shown,
// deleted, written to a file and read back, so that a batch on another
// machine converts with the same settings. A preset file is text (see
// preset_text.h); the older binary files, the preset's record as the cfg
// stores it after a header line and its length and with a check of the
// record's bytes after it, are still read.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_presets.h"
#include "app/cli/cli_selection.h"
#include "app/cli/preset_text.h"
#include "convert/configuration.h"
#include "core/byte_buffer.h"
#include "core/file_system.h"
#include "core/program_directory.h"

namespace qf::cli {

namespace {

constexpr char kMagic[] = "QUILLFER-PRESET 1\n";
constexpr uint32_t kMagicSize = sizeof kMagic - 1;
constexpr uint32_t kMaxFileSize = 1 << 20;

// FNV-1a over the record: catches a cut or altered file.
uint32_t check(const uint8_t* bytes, uint32_t n)
{
    uint32_t h = 2166136261u;
    for (uint32_t i = 0; i < n; ++i)
        h = (h ^ bytes[i]) * 16777619u;
    return h;
}

uint32_t readLe(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

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
    for (const convert::DeviceModel& preset : convert::settings().presets())
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
    for (const convert::DeviceModel& preset : convert::settings().presets())
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
        return found ? writeNewFile(file, presetToText(*found)) : kExitUsage;
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
    return writeNewFile(file, presetToText(*made.at(0)));
}

int showPreset(const std::string& name)
{
    const convert::DeviceModel* found = onePreset(name);
    if (!found)
        return kExitUsage;
    std::fputs(presetToText(*found).c_str(), stdout);
    return kExitOk;
}

int listPresets()
{
    for (const convert::DeviceModel& preset : convert::settings().presets()) {
        const char* format = preset.formats.empty() ? "" : convert::formatChoiceLabel(preset.formats.front().format);
        std::printf("%s\t%s\t%s\n", convert::categoryName(preset.category), preset.name.c_str(), format);
    }
    return kExitOk;
}

// The cfg file on disk reads, so that writing it loses nothing: a cfg file
// that could not be read gave the defaults.
bool configurationWritable()
{
    const convert::ConfigurationPaths paths = convert::configurationPaths(core::programDirectory());
    convert::Configuration onDisk;
    if (core::fs::exists(paths.readPath.c_str())
        && !convert::loadConfigurationFile(onDisk, paths.readPath.c_str(), core::programDirectory(),
                                           convert::LoadMode::ReadOnly)) {
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
    convert::Configuration& config = convert::settings().record();
    convert::DeviceModelList kept;
    for (const convert::DeviceModel& preset : config.presets)
        if (&preset != found)
            kept.add(preset);
    config.presets = kept;
    config.presets.renumber();
    if (!convert::saveConfiguration()) {
        std::fprintf(stderr, "quillfer-cli presets: 不能写入 cfg 文件\n");
        return kExitFailed;
    }
    return kExitOk;
}

int importPreset(const std::string& file)
{
    convert::DeviceModel preset;
    std::string error;
    if (!readPresetFile(file, preset, error)) {
        std::fprintf(stderr, "quillfer-cli presets: %s\n", error.c_str());
        return kExitFailed;
    }
    if (!configurationWritable())
        return kExitFailed;
    convert::Configuration& config = convert::settings().record();
    for (const convert::DeviceModel& existing : config.presets) {
        if (existing.category == preset.category && existing.name == preset.name) {
            std::fprintf(stderr, "quillfer-cli presets: 已有预设 '%s'\n", preset.name.c_str());
            return kExitFailed;
        }
    }
    config.presets.add(preset);
    config.presets.renumber();
    if (!convert::saveConfiguration()) {
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

bool readPresetFile(const std::string& file, convert::DeviceModel& out, std::string& error)
{
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
        error = "不能读取 " + file + "：" + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes(kMaxFileSize + 1);
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    bytes.resize(got);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (got <= kMaxFileSize && looksLikePresetText(text)) {
        if (!presetFromText(text, out, error)) {
            error = file + " " + error;
            return false;
        }
        return true;
    }
    if (got < kMagicSize + 8 || got > kMaxFileSize || std::memcmp(bytes.data(), kMagic, kMagicSize) != 0) {
        error = file + " 不是预设文件";
        return false;
    }
    const uint32_t n = readLe(bytes.data() + kMagicSize);
    if (n != got - kMagicSize - 8 || check(bytes.data() + kMagicSize + 4, n) != readLe(bytes.data() + got - 4)) {
        error = file + " 已损坏：校验不符";
        return false;
    }
    core::ByteBuffer record;
    record.appendBytes(bytes.data() + kMagicSize + 4, n);
    convert::DeviceModel preset;
    if (!preset.decode(record) || !preset.isPreset) {
        error = file + " 中没有可读的预设";
        return false;
    }
    out = preset;
    return true;
}

} // namespace qf::cli
