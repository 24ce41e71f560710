#pragma once
// The process-wide configuration: user presets, the output folder and the
// application options, kept in one binary file "cfg" (blocks of a
// core::ByteBuffer; layout in configuration.cpp). Read at start-up, written
// at exit.
//
// Where the file lives: "<program directory>/cfg" while the program
// directory is writable; for an installed copy whose program directory is
// not, "<XDG config folder>/quillfer/cfg" (read from there once it exists,
// else the program directory's file seeds it: see seedConfigurationFile).
//
// Every value here lives from start-up to exit and belongs to the UI thread:
// settings() hands it out to UI-thread code only. No other
// thread reads any of it: tasks carry their own output paths, and the player
// engine its own copy of the options the player window hands it
// (player/player_settings.h).

#include <cstdint>

#include "convert/device_models.h"
#include "core/byte_buffer.h"
#include "core/text_string.h"
#include "player/player_settings.h"

namespace qf::convert {

inline constexpr const char* kDefaultOutputFolderName = "Tarnwell输出";
inline constexpr const char* kFallbackOutputFolderName = "转换输出";

struct ApplicationOptions {
    bool showFloatingTips = true;
    bool promptNoFiles = true;
    bool promptNoneChecked = true;
    int32_t playerVolume = static_cast<int32_t>(player::kDefaultPlayerVolume); // 0..player::kMaxPlayerVolume
    bool autoPlay = false;
    bool loopPlay = false;
    bool shutdownWhenDone = false; // never stored: every run starts with it off
    bool keepFolderTree = false; // outputs keep the subfolder their source was found in
};

struct Configuration {
    DeviceModelList presets; // in the order they were created or loaded
    core::TextString outputFolder; // forward slashes, no trailing slash
    ApplicationOptions options;
};

// The owner of the process-wide configuration, with typed access. It lives
// from start-up (loadConfiguration) to exit (saveConfiguration) and belongs
// to the UI thread: no other thread reads it.
class Settings {
public:
    // The whole record, as the cfg file loads and saves it.
    Configuration& record() { return config_; }
    const Configuration& record() const { return config_; }

    DeviceModelList& presets() { return config_.presets; }
    const DeviceModelList& presets() const { return config_.presets; }
    const core::TextString& outputFolder() const { return config_.outputFolder; }
    void setOutputFolder(const core::TextString& folder) { config_.outputFolder = folder; }

    bool showFloatingTips() const { return config_.options.showFloatingTips; }
    void setShowFloatingTips(bool on) { config_.options.showFloatingTips = on; }
    bool promptNoFiles() const { return config_.options.promptNoFiles; }
    void setPromptNoFiles(bool on) { config_.options.promptNoFiles = on; }
    bool promptNoneChecked() const { return config_.options.promptNoneChecked; }
    void setPromptNoneChecked(bool on) { config_.options.promptNoneChecked = on; }
    bool shutdownWhenDone() const { return config_.options.shutdownWhenDone; }
    void setShutdownWhenDone(bool on) { config_.options.shutdownWhenDone = on; }
    bool keepFolderTree() const { return config_.options.keepFolderTree; }
    void setKeepFolderTree(bool on) { config_.options.keepFolderTree = on; }

    // 0..100: a larger value is stored as 100, and a stored value out of
    // range reads as the nearer end.
    uint32_t playerVolume() const;
    void setPlayerVolume(uint32_t volume);
    bool autoPlay() const { return config_.options.autoPlay; }
    void setAutoPlay(bool on) { config_.options.autoPlay = on; }
    bool loopPlay() const { return config_.options.loopPlay; }
    void setLoopPlay(bool on) { config_.options.loopPlay = on; }

private:
    Configuration config_;
};

// The process-wide owner.
Settings& settings();

enum class LoadMode {
    ReadWrite, // the application: creates the output folder, keeps an unreadable file as "cfg.bad"
    ReadOnly, // the CLI: touches nothing on disk
};

struct ConfigurationPaths {
    core::TextString readPath; // the file to read (may be missing)
    core::TextString writePath; // the file to write
};

// The locations for a program directory; the one-argument form asks the file
// system whether the directory is writable and takes the system-wide seed
// (/etc/quillfer/cfg in the package). An installed copy reads the user's
// file once it exists, else the system-wide seed, else the program
// directory's; it always writes the user's.
ConfigurationPaths configurationPaths(const char* programDirectory);
ConfigurationPaths configurationPaths(const char* programDirectory, bool programDirectoryWritable,
                                      const char* systemFile = nullptr);

// "<documents>/Tarnwell输出", or "<program directory>/转换输出" when there is
// no documents folder.
core::TextString defaultOutputFolder(const char* programDirectory);

// The file's bytes.
void encodeConfiguration(const Configuration& config, core::ByteBuffer& out);
// Decodes the whole file into `out`. False, with `out` unchanged, when any
// item is missing or malformed or the output folder text is empty.
bool decodeConfiguration(const core::ByteBuffer& bytes, Configuration& out);

// Empty preset list, the default output folder (created in ReadWrite mode),
// default options.
void applyConfigurationDefaults(Configuration& config, const char* programDirectory, LoadMode mode);

// Loads `path` into `config`; true when the file's contents were taken. A
// missing or unreadable file gives the defaults; in ReadWrite mode an
// unreadable file that `keepBadAs` is given for is first kept under that
// name. A stored output folder that cannot be created (an unplugged drive)
// is replaced by the default one; presets and options are kept.
bool loadConfigurationFile(Configuration& config, const char* path, const char* programDirectory, LoadMode mode,
                           const char* keepBadAs = nullptr);
// A user's first start of an installed copy: the cfg shipped in the program
// directory (system-wide presets and options) is loaded and, in ReadWrite
// mode, written at once as the user's own file, so that it is the user's from
// then on. Its output folder belonged to whoever saved it; the user gets the
// default one. True when the shipped file was taken; otherwise the defaults
// apply and nothing is written.
bool seedConfigurationFile(Configuration& config, const char* shippedPath, const char* userPath,
                           const char* programDirectory, LoadMode mode);
// Writes the file through core::writeFileAtomically, so an interrupted save
// never leaves a cut file and a new file gets the permissions the umask
// gives any file. Creates the folder of `path`.
bool saveConfigurationFile(const Configuration& config, const char* path);

// The start-up and exit steps on the process-wide configuration, at the
// locations of programDirectory().
bool loadConfiguration(LoadMode mode = LoadMode::ReadWrite);
bool saveConfiguration();

} // namespace qf::convert
