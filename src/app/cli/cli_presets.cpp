// quillfer-cli presets: a user preset to a file and back, so that a batch on
// another machine converts with the same settings. The file holds the
// preset's record as the cfg stores it, after a header line and its length,
// and a check of the record's bytes after it.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_presets.h"
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

void printHelp()
{
    std::printf("usage: quillfer-cli presets export NAME FILE\n"
                "       quillfer-cli presets import FILE\n\n"
                "export writes the user preset NAME of the cfg file to FILE (never over a\n"
                "file that stands there). import adds the preset in FILE to the cfg file's\n"
                "presets (a preset of that name and category must not be there yet);\n"
                "close the program's window first, which writes the cfg file when it ends.\n"
                "'convert --preset-file FILE' converts with such a file without importing it.\n\n"
                "Exit status: 0 done, 1 failed, 2 usage error.\n");
}

int exportPreset(const std::string& name, const std::string& file)
{
    const convert::DeviceModel* found = nullptr;
    std::string names;
    for (const convert::DeviceModel& preset : convert::settings().presets()) {
        names += (names.empty() ? "" : ", ") + std::string(preset.name.c_str());
        if (!found && name == preset.name.c_str())
            found = &preset;
    }
    if (!found) {
        std::fprintf(stderr, "quillfer-cli presets: no preset '%s'; presets: %s\n", name.c_str(),
                     names.empty() ? "(none)" : names.c_str());
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    encodePresetFile(*found, bytes);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "quillfer-cli presets: cannot create %s: %s\n", file.c_str(), std::strerror(errno));
        return kExitFailed;
    }
    const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (::close(fd) != 0 || !written) {
        ::unlink(file.c_str());
        std::fprintf(stderr, "quillfer-cli presets: cannot write %s\n", file.c_str());
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
    // A cfg file that could not be read gave the defaults: saving them
    // would lose the user's presets.
    const convert::ConfigurationPaths paths = convert::configurationPaths(core::programDirectory());
    convert::Configuration onDisk;
    if (core::fs::exists(paths.readPath.c_str())
        && !convert::loadConfigurationFile(onDisk, paths.readPath.c_str(), core::programDirectory(),
                                           convert::LoadMode::ReadOnly)) {
        std::fprintf(stderr, "quillfer-cli presets: the cfg file %s cannot be read; nothing was changed\n",
                     paths.readPath.c_str());
        return kExitFailed;
    }
    convert::Configuration& config = convert::settings().record();
    for (const convert::DeviceModel& existing : config.presets) {
        if (existing.category == preset.category && existing.name == preset.name) {
            std::fprintf(stderr, "quillfer-cli presets: a preset '%s' is there already\n", preset.name.c_str());
            return kExitFailed;
        }
    }
    config.presets.add(preset);
    config.presets.renumber();
    if (!convert::saveConfiguration()) {
        std::fprintf(stderr, "quillfer-cli presets: cannot write the cfg file\n");
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
    const bool exporting = args.size() == 3 && args[0] == "export";
    const bool importing = args.size() == 2 && args[0] == "import";
    if (!exporting && !importing) {
        std::fprintf(stderr, "quillfer-cli presets: give 'export NAME FILE' or 'import FILE'\n");
        return kExitUsage;
    }
    if (!startUp())
        return kExitFailed;
    return exporting ? exportPreset(args[1], args[2]) : importPreset(args[1]);
}

const CliRegistration registration(Subcommand{"presets", "export a user preset to a file, or import one", runPresets});

} // namespace

void encodePresetFile(const convert::DeviceModel& preset, std::vector<uint8_t>& out)
{
    core::ByteBuffer record;
    preset.encode(record);
    out.assign(kMagic, kMagic + kMagicSize);
    const uint32_t n = record.length();
    const uint32_t sum = check(record.data(), n);
    for (const uint32_t value : {n})
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    out.insert(out.end(), record.data(), record.data() + n);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(sum >> (8 * i)));
}

bool readPresetFile(const std::string& file, convert::DeviceModel& out, std::string& error)
{
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
        error = "cannot read " + file + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes(kMaxFileSize + 1);
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    bytes.resize(got);
    if (got < kMagicSize + 8 || got > kMaxFileSize || std::memcmp(bytes.data(), kMagic, kMagicSize) != 0) {
        error = file + " is not a preset file";
        return false;
    }
    const uint32_t n = readLe(bytes.data() + kMagicSize);
    if (n != got - kMagicSize - 8 || check(bytes.data() + kMagicSize + 4, n) != readLe(bytes.data() + got - 4)) {
        error = file + " is damaged: its check does not match";
        return false;
    }
    core::ByteBuffer record;
    record.appendBytes(bytes.data() + kMagicSize + 4, n);
    convert::DeviceModel preset;
    if (!preset.decode(record) || !preset.isPreset) {
        error = file + " holds no readable preset";
        return false;
    }
    out = preset;
    return true;
}

} // namespace qf::cli
