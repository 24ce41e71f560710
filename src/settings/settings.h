#pragma once
// The user's settings: the presets, the output folder and the application
// options, as one record (Configuration) and its process-wide owner
// (Settings). The record is stored in the "cfg" file (configuration_file.h);
// a preset also travels as a file of its own (preset_file.h).
//
// Every value here lives from start-up to exit and belongs to the UI thread:
// current() hands it out to UI-thread code only. No other thread reads any of
// it: tasks carry their own output paths, and the player engine its own copy
// of what it sends to a player.

#include <cstdint>

#include "convert/device_models.h"
#include "core/text_string.h"
#include "player/player_settings.h"

namespace qf::settings {

inline constexpr const char* kDefaultOutputFolderName = "Tarnwell输出";
inline constexpr const char* kFallbackOutputFolderName = "转换输出";

// The player's volume range, as the signed number the file holds.
inline constexpr int32_t kDefaultPlayerVolume = static_cast<int32_t>(player::kDefaultPlayerVolume);
inline constexpr int32_t kMaxPlayerVolume = static_cast<int32_t>(player::kMaxPlayerVolume);

struct ApplicationOptions {
    bool showFloatingTips = true;
    bool promptNoFiles = true;
    bool promptNoneChecked = true;
    int32_t playerVolume = kDefaultPlayerVolume; // 0..kMaxPlayerVolume
    bool autoPlay = false;
    bool loopPlay = false;
    bool shutdownWhenDone = false; // never stored: every run starts with it off
    bool keepFolderTree = false; // outputs keep the subfolder their source was found in
};

struct Configuration {
    convert::DeviceModelList presets; // in the order they were created or loaded
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

    convert::DeviceModelList& presets() { return config_.presets; }
    const convert::DeviceModelList& presets() const { return config_.presets; }
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
Settings& current();

// The save-preset command (convert::addPreset) on the process-wide preset list.
int32_t addPreset(const char* name, const convert::ConversionSettings& settings, convert::DeviceModelList& list);

} // namespace qf::settings
