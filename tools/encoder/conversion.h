#pragma once
// One encoder run: checks the source and the output, translates the command,
// runs ffmpeg while printing status lines on standard output, keeps the
// two-pass log and puts the finished file in place. Returns the exit status.

#include <string>

#include "command_line.h"

namespace qf::encoder {

int runConversion(const Command& command);

// Writes text to standard output at once (status lines must not wait in a buffer).
void say(const std::string& text);

} // namespace qf::encoder
