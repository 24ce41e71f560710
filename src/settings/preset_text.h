#pragma once
// A user preset as text a person can read and edit: one "key = value" a line
// under a "[quillfer-preset 1]" header, the category and the format by name,
// the 27 parameters by member name, each after a comment saying what its
// value means. What `presets export` writes and `--preset-file` and
// `presets import` read (beside the older binary files, preset_file.h).
//
//   name = 我的 Touch
//   category = IPOD
//   format = mp4-X264,AAC        (a format's label or its value 0..13)
//   videoBitrateIndex = 12       (any of the 27 members; a missing one takes
//                                 the category's default for the format)
//   containerOptions = ...       (the five option strings, as stored)
//
// Lines starting with '#' or ';' and blank lines are ignored. Pure functions:
// any thread.

#include <string>
#include <string_view>

#include "convert/device_models.h"

namespace qf::settings {

// The preset's text. Its first format is the one written.
std::string presetToText(const convert::DeviceModel& preset);

// True when `bytes` start like a text preset (comments, then the header).
bool looksLikePresetText(std::string_view bytes);

// Reads a text preset. False with a Chinese message naming the line on an
// unknown key, a repeated key, a value outside its range, an unknown
// category or format, or a missing name, category or format.
bool presetFromText(std::string_view text, convert::DeviceModel& out, std::string& error);

} // namespace qf::settings
