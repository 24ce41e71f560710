// The "cfg" file. Items, each a block (32-bit little-endian length, bytes):
//   1 (4) the number of user presets
//   2     one item per preset: its model entry record (DeviceModel::encode)
//   3     the output folder's text
//   4 (1) showFloatingTips   5 (1) promptNoFiles   6 (1) promptNoneChecked
//   7 (4) playerVolume       8 (1) autoPlay        9 (1) loopPlay
//  10 (1) keepFolderTree: added later, so absent from older files (false),
//         and older copies read a file up to item 9 and leave the rest

#include "convert/configuration.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "core/atomic_file.h"
#include "core/external_programs.h"
#include "core/file_system.h"
#include "core/platform/user_folders.h"
#include "core/program_directory.h"

namespace qf::convert {

namespace {

// The file holds the volume as a signed number.
constexpr int32_t kMaxVolume = static_cast<int32_t>(player::kMaxPlayerVolume);

constexpr const char* kConfigSubfolder = "/quillfer";

void appendFlag(core::ByteBuffer& out, bool value)
{
    const uint8_t b = value ? 1 : 0;
    out.appendBlock(&b, 1);
}

void appendInt(core::ByteBuffer& out, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    const uint8_t le[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    out.appendBlock(le, 4);
}

bool readFlag(core::ByteBuffer& in, bool& value)
{
    uint8_t b = 0;
    if (!in.readFixed(&b, 1))
        return false;
    value = b != 0;
    return true;
}

bool readInt(core::ByteBuffer& in, int32_t& value)
{
    uint8_t le[4];
    if (!in.readFixed(le, 4))
        return false;
    value
        = static_cast<int32_t>(uint32_t(le[0]) | uint32_t(le[1]) << 8 | uint32_t(le[2]) << 16 | uint32_t(le[3]) << 24);
    return true;
}

bool readWholeFile(const char* path, core::ByteBuffer& out)
{
    const int64_t size = core::fs::fileSize(path);
    if (size < 0 || size > int64_t(UINT32_MAX) - 2)
        return false;
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    core::ByteBuffer buffer(static_cast<uint32_t>(size));
    uint8_t chunk[4096];
    size_t got = 0;
    while (got < static_cast<size_t>(size)) {
        const size_t want = std::min(sizeof chunk, static_cast<size_t>(size) - got);
        const size_t n = std::fread(chunk, 1, want, f);
        if (n == 0)
            break;
        buffer.appendBytes(chunk, static_cast<uint32_t>(n));
        got += n;
    }
    std::fclose(f);
    if (got < static_cast<size_t>(size))
        return false;
    out.assign(buffer);
    out.rewind();
    return true;
}

// Keeps an unreadable file for the user to inspect; a rename where it can,
// else a copy of its bytes.
void keepUnreadableFile(const char* path, const char* keepAs)
{
    if (!core::fs::isFile(path))
        return;
    if (std::rename(path, keepAs) == 0)
        return;
    FILE* in = std::fopen(path, "rb");
    if (!in)
        return;
    FILE* out = std::fopen(keepAs, "wb");
    if (out) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0)
            std::fwrite(chunk, 1, n, out);
        std::fclose(out);
    }
    std::fclose(in);
}

} // namespace

Settings& settings()
{
    static Settings owner;
    return owner;
}

uint32_t Settings::playerVolume() const
{
    return static_cast<uint32_t>(std::clamp<int32_t>(config_.options.playerVolume, 0, kMaxVolume));
}

void Settings::setPlayerVolume(uint32_t volume)
{
    config_.options.playerVolume = static_cast<int32_t>(std::min(volume, player::kMaxPlayerVolume));
}

ConfigurationPaths configurationPaths(const char* programDirectory)
{
    return configurationPaths(programDirectory, programDirectory && ::access(programDirectory, W_OK) == 0,
                              QF_SYSTEM_CONFIG_FILE);
}

ConfigurationPaths configurationPaths(const char* programDirectory, bool programDirectoryWritable,
                                      const char* systemFile)
{
    ConfigurationPaths paths;
    core::TextString local = core::TextString::formatted("%s/%s", programDirectory ? programDirectory : "",
                                                         core::external::kConfigurationFile);
    if (programDirectoryWritable) {
        paths.readPath = local;
        paths.writePath = local;
        return paths;
    }
    // An installed copy: the user's own file once it exists, so that what was
    // saved last time is what is read; until then the shipped one, if any.
    const std::string user = platform::configFolder() + kConfigSubfolder + "/" + core::external::kConfigurationFile;
    paths.writePath = user.c_str();
    // The administrator's seed comes before the one in the program directory,
    // which a package upgrade would replace.
    if (core::fs::isFile(user.c_str()))
        paths.readPath = paths.writePath;
    else if (systemFile && *systemFile && core::fs::isFile(systemFile))
        paths.readPath = systemFile;
    else if (core::fs::isFile(local.c_str()))
        paths.readPath = local;
    else
        paths.readPath = paths.writePath;
    return paths;
}

core::TextString defaultOutputFolder(const char* programDirectory)
{
    core::TextString folder(platform::documentsFolder().c_str());
    if (folder.empty())
        return core::TextString::formatted("%s/%s", programDirectory ? programDirectory : "",
                                           kFallbackOutputFolderName);
    folder.replaceAll("\\", "/");
    folder.trimRight('/');
    folder.append("/");
    folder.append(kDefaultOutputFolderName);
    return folder;
}

void encodeConfiguration(const Configuration& config, core::ByteBuffer& out)
{
    appendInt(out, config.presets.size());
    for (const DeviceModel& preset : config.presets) {
        core::ByteBuffer record;
        preset.encode(record);
        out.appendBlock(record);
    }
    out.appendBlock(config.outputFolder);
    appendFlag(out, config.options.showFloatingTips);
    appendFlag(out, config.options.promptNoFiles);
    appendFlag(out, config.options.promptNoneChecked);
    appendInt(out, config.options.playerVolume);
    appendFlag(out, config.options.autoPlay);
    appendFlag(out, config.options.loopPlay);
    appendFlag(out, config.options.keepFolderTree);
}

bool decodeConfiguration(const core::ByteBuffer& bytes, Configuration& out)
{
    core::ByteBuffer in(bytes);
    in.rewind();
    Configuration read;
    int32_t count = 0;
    if (!readInt(in, count) || count < 0)
        return false;
    core::ByteBuffer record;
    for (int32_t i = 0; i < count; ++i) {
        DeviceModel preset;
        if (!in.readBlock(record) || !preset.decode(record))
            return false;
        read.presets.add(preset);
    }
    if (!in.readBlock(read.outputFolder) || read.outputFolder.empty())
        return false;
    ApplicationOptions& o = read.options;
    if (!readFlag(in, o.showFloatingTips) || !readFlag(in, o.promptNoFiles) || !readFlag(in, o.promptNoneChecked)
        || !readInt(in, o.playerVolume) || !readFlag(in, o.autoPlay) || !readFlag(in, o.loopPlay))
        return false;
    o.keepFolderTree = false;
    if (in.remaining() > 0 && !readFlag(in, o.keepFolderTree))
        return false;
    o.playerVolume = std::clamp(o.playerVolume, 0, kMaxVolume);
    o.shutdownWhenDone = false;
    read.presets.renumber();
    out = read;
    return true;
}

void applyConfigurationDefaults(Configuration& config, const char* programDirectory, LoadMode mode)
{
    config.presets.clear();
    config.outputFolder = defaultOutputFolder(programDirectory);
    if (mode == LoadMode::ReadWrite)
        core::fs::makePath(config.outputFolder.c_str(), true);
    config.options = ApplicationOptions();
}

bool loadConfigurationFile(Configuration& config, const char* path, const char* programDirectory, LoadMode mode,
                           const char* keepBadAs)
{
    core::ByteBuffer bytes;
    Configuration read;
    const bool present = core::fs::isFile(path);
    if (present && readWholeFile(path, bytes) && decodeConfiguration(bytes, read)) {
        // An output folder on a drive that is gone must not cost the user
        // the presets and options: only the folder falls back.
        if (mode == LoadMode::ReadWrite && !core::fs::makePath(read.outputFolder.c_str(), true)) {
            read.outputFolder = defaultOutputFolder(programDirectory);
            core::fs::makePath(read.outputFolder.c_str(), true);
        }
        config = read;
        return true;
    }
    if (present && mode == LoadMode::ReadWrite && keepBadAs)
        keepUnreadableFile(path, keepBadAs);
    applyConfigurationDefaults(config, programDirectory, mode);
    return false;
}

bool seedConfigurationFile(Configuration& config, const char* shippedPath, const char* userPath,
                           const char* programDirectory, LoadMode mode)
{
    // Read as a guest: the shipped file is never renamed, its folder never made.
    Configuration seed;
    if (!loadConfigurationFile(seed, shippedPath, programDirectory, LoadMode::ReadOnly)) {
        applyConfigurationDefaults(config, programDirectory, mode);
        return false;
    }
    seed.outputFolder = defaultOutputFolder(programDirectory);
    if (mode == LoadMode::ReadWrite) {
        core::fs::makePath(seed.outputFolder.c_str(), true);
        saveConfigurationFile(seed, userPath);
    }
    config = seed;
    return true;
}

bool saveConfigurationFile(const Configuration& config, const char* path)
{
    if (!path || !*path)
        return false;
    const core::TextString folder = core::fs::directoryPart(path);
    if (!folder.empty() && !core::fs::makePath(folder.c_str(), true))
        return false;
    core::ByteBuffer bytes;
    encodeConfiguration(config, bytes);
    // A cut write keeps the previous file.
    return core::writeFileAtomically(path,
                                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.length()));
}

bool loadConfiguration(LoadMode mode)
{
    const char* dir = core::programDirectory();
    const ConfigurationPaths paths = configurationPaths(dir);
    if (paths.readPath != paths.writePath)
        return seedConfigurationFile(settings().record(), paths.readPath.c_str(), paths.writePath.c_str(), dir, mode);
    // Only the file that saving would overwrite needs keeping aside.
    const bool willOverwrite = paths.readPath == paths.writePath;
    const core::TextString bad = core::TextString::concat(paths.readPath.c_str(), ".bad");
    return loadConfigurationFile(settings().record(), paths.readPath.c_str(), dir, mode,
                                 willOverwrite ? bad.c_str() : nullptr);
}

bool saveConfiguration()
{
    const ConfigurationPaths paths = configurationPaths(core::programDirectory());
    return saveConfigurationFile(settings().record(), paths.writePath.c_str());
}

} // namespace qf::convert
