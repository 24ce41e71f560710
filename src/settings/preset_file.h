#pragma once
// A user preset as a file of its own, so that a batch on another machine, or
// the window, converts with the same settings: text (preset_text.h), or the
// older binary layout (preset_file.cpp), which is still read. Pure functions
// apart from loadPresetFile's read: any thread.

#include <string>
#include <string_view>

#include "convert/device_models.h"

namespace qf::settings {

// The largest preset file read; anything longer is not one.
inline constexpr uint32_t kMaxPresetFileSize = 1 << 20;

// Decodes a preset file's bytes, text or binary. False with a Chinese message
// (to follow the file's name) when the bytes are not a preset file, are cut
// or altered, or hold no preset the program can use; `out` is then unchanged.
bool readPresetFile(std::string_view bytes, convert::DeviceModel& out, std::string& error);

// Reads the file `path` and decodes it; the message names the file.
bool loadPresetFile(const std::string& path, convert::DeviceModel& out, std::string& error);

} // namespace qf::settings
