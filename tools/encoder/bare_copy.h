#pragma once
// Copying the MPEG-4 video of an AVI into a bare .m4v stream without
// starting ffmpeg: the chunks are the stream, so concatenating them is the
// whole job when each holds one VOP. Anything else (packed B-frames, other
// codecs, a very large file, an unreadable one) is left to ffmpeg.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "command_line.h"

namespace qf::encoder {

struct BareCopyResult {
  long long frames = 0;   // VOPs written
  long long bytes = 0;
  double seconds = 0;     // frames at the stream's own rate
};

// True when the command is a plain copy of the video into a bare stream:
// no start, length, size limit, filters or rate change.
bool isPlainVideoCopy(const Command& command);

// The number of VOP start codes (00 00 01 B6) in one chunk.
int countVops(std::string_view chunk);

// Writes the first video stream of `source` to `destination` when it is
// MPEG-4 part 2 with at most one VOP per chunk. nullopt: not done (nothing
// left behind); the caller runs ffmpeg. Throws only when writing fails.
std::optional<BareCopyResult> copyMpeg4FromAvi(const std::string& source, const std::string& destination);

}  // namespace qf::encoder
