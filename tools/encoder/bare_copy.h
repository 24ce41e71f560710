#pragma once
// Copying the MPEG-4 video or the AAC sound of an AVI into a bare stream
// without starting ffmpeg: the chunks are the stream, so concatenating them
// (AAC frames each behind an ADTS header) is the whole job when each holds
// one frame. Anything else (packed B-frames, other codecs, a very large
// file, an unreadable one) is left to ffmpeg.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "command_line.h"

namespace qf::encoder {

struct BareCopyResult {
    long long frames = 0; // VOPs written; 0 for sound
    long long bytes = 0;
    double seconds = 0; // the length of what was written
};

// True when the command is a plain copy of the video into a bare stream:
// no start, length, size limit, filters or rate change.
bool isPlainVideoCopy(const Command& command);

// Likewise for the sound into a bare stream.
bool isPlainAudioCopy(const Command& command);

// The number of VOP start codes (00 00 01 B6) in one chunk.
int countVops(std::string_view chunk);

// Writes the first video stream of `source` to `destination` when it is
// MPEG-4 part 2 with at most one VOP per chunk. nullopt: not done (nothing
// left behind); the caller runs ffmpeg. Throws only when writing fails.
std::optional<BareCopyResult> copyMpeg4FromAvi(const std::string& source, const std::string& destination);

// What an ADTS header says of an AAC stream, from its AudioSpecificConfig.
struct AacConfig {
    int objectType = 0; // 2 = LC
    int frequencyIndex = 0; // 0..12
    int channelConfig = 0; // 1..7
};

// nullopt when ADTS cannot carry the stream as the config describes it (an
// object type above 4, an explicit frequency, channels given by a PCE).
std::optional<AacConfig> readAacConfig(std::string_view audioSpecificConfig);

// The 7-byte MPEG-4 ADTS header of one frame of `payloadBytes`, no CRC;
// empty when the frame is too long for the header's 13-bit length.
std::string adtsHeader(const AacConfig& config, std::size_t payloadBytes);

// Writes the first audio stream of `source` to `destination` as ADTS when it
// is AAC with its config and one frame per chunk. As copyMpeg4FromAvi.
std::optional<BareCopyResult> copyAacFromAvi(const std::string& source, const std::string& destination);

} // namespace qf::encoder
