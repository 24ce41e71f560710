// The "cfg" file. Items, each a block (32-bit little-endian length, bytes):
//   1 (4) the number of user presets
//   2     one item per preset: its model entry record (DeviceModel::encode)
//   3     the output folder's text
//   then the options of kOptionFields, in its order:
//   4 (1) showFloatingTips   5 (1) promptNoFiles   6 (1) promptNoneChecked
//   7 (4) playerVolume       8 (1) autoPlay        9 (1) loopPlay
//  10 (1) keepFolderTree: added later, so absent from older files (false),
//         and older copies read a file up to item 9 and leave the rest

#include "settings/configuration_file.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "core/atomic_file.h"
#include "core/external_programs.h"
#include "core/file_system.h"
#include "core/platform/user_folders.h"
#include "core/program_directory.h"

namespace qf::settings {

namespace {

constexpr const char* kConfigSubfolder = "/quillfer";

// One option of the file: a flag (an item of 1 byte) or a number (4 bytes).
// The one list below writes and reads them, so the two cannot drift apart.
struct OptionField {
    bool ApplicationOptions::*flag;
    int32_t ApplicationOptions::*number;
    bool addedLater; // older files end before it; it then keeps its default
};

constexpr OptionField flagField(bool ApplicationOptions::*member, bool addedLater = false)
{
    return {member, nullptr, addedLater};
}

constexpr OptionField numberField(int32_t ApplicationOptions::*member) { return {nullptr, member, false}; }

// shutdownWhenDone is left out on purpose: every run starts with it off.
constexpr OptionField kOptionFields[] = {
    flagField(&ApplicationOptions::showFloatingTips),
    flagField(&ApplicationOptions::promptNoFiles),
    flagField(&ApplicationOptions::promptNoneChecked),
    numberField(&ApplicationOptions::playerVolume),
    flagField(&ApplicationOptions::autoPlay),
    flagField(&ApplicationOptions::loopPlay),
    flagField(&ApplicationOptions::keepFolderTree, true),
};

// Keeps an unreadable file for the user to inspect; a rename where it can,
// else a copy of its bytes.
void keepUnreadableFile(const char* path, const char* keepAs)
{
    if (!core::fs::isFile(path))
        return;
    if (std::rename(path, keepAs) == 0)
        return;
    core::ByteBuffer bytes;
    if (core::fs::readWholeFile(path, bytes))
        core::writeFileAtomically(keepAs,
                                  std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.length()));
}

} // namespace

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
    out.appendIntItem(config.presets.size());
    for (const convert::DeviceModel& preset : config.presets) {
        core::ByteBuffer record;
        preset.encode(record);
        out.appendBlock(record);
    }
    out.appendBlock(config.outputFolder);
    for (const OptionField& field : kOptionFields) {
        if (field.flag)
            out.appendFlagItem(config.options.*field.flag);
        else
            out.appendIntItem(config.options.*field.number);
    }
}

bool decodeConfiguration(const core::ByteBuffer& bytes, Configuration& out)
{
    core::ByteBuffer in(bytes);
    in.rewind();
    Configuration read;
    int32_t count = 0;
    if (!in.readIntItem(count) || count < 0)
        return false;
    core::ByteBuffer record;
    for (int32_t i = 0; i < count; ++i) {
        convert::DeviceModel preset;
        if (!in.readBlock(record) || !preset.decode(record))
            return false;
        read.presets.add(preset);
    }
    if (!in.readBlock(read.outputFolder) || read.outputFolder.empty())
        return false;
    for (const OptionField& field : kOptionFields) {
        if (field.addedLater && in.remaining() == 0)
            break; // an older file: this and the later options keep their defaults
        const bool ok
            = field.flag ? in.readFlagItem(read.options.*field.flag) : in.readIntItem(read.options.*field.number);
        if (!ok)
            return false;
    }
    read.options.playerVolume = std::clamp(read.options.playerVolume, 0, kMaxPlayerVolume);
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
    if (present && core::fs::readWholeFile(path, bytes) && decodeConfiguration(bytes, read)) {
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
        return seedConfigurationFile(current().record(), paths.readPath.c_str(), paths.writePath.c_str(), dir, mode);
    // Only the file that saving would overwrite needs keeping aside.
    const bool willOverwrite = paths.readPath == paths.writePath;
    const core::TextString bad = core::TextString::concat(paths.readPath.c_str(), ".bad");
    return loadConfigurationFile(current().record(), paths.readPath.c_str(), dir, mode,
                                 willOverwrite ? bad.c_str() : nullptr);
}

bool saveConfiguration()
{
    const ConfigurationPaths paths = configurationPaths(core::programDirectory());
    return saveConfigurationFile(current().record(), paths.writePath.c_str());
}

} // namespace qf::settings
