#pragma once
// A user preset as a file of its own: text (preset_text.h), or the older
// binary layout (see cli_presets.cpp).

#include <cstdint>
#include <string>
#include <vector>

#include "convert/device_models.h"

namespace qf::cli {

// False with a message when the file is missing, not a preset file, cut or
// altered, or holds no preset the program can use.
bool readPresetFile(const std::string& file, convert::DeviceModel& out, std::string& error);

} // namespace qf::cli
