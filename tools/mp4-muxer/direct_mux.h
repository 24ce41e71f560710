#pragma once
// The muxer's own writer for the streams the system's encoder makes: raw
// MPEG-4 video without B-VOPs and ADTS AAC, into a new file or beside the
// one track of a file it (or ffmpeg) wrote. No other program starts.

#include "mux_plan.h"

#include <string>

namespace qf::kit {

// Writes job's output (through a temporary file, committed at the end) and
// returns an empty string; or writes nothing and returns why the streams
// or the existing file are left to ffmpeg. Throws ToolError for a failure
// that ffmpeg would meet too (a read or write error).
std::string muxDirectly(const MuxJob& job);

} // namespace qf::kit
