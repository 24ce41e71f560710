#pragma once
// The encoder's two raw streams cut into the samples of an MP4 track,
// reading through a ByteSource so that a film of any length takes a fixed
// amount of memory. Anything the muxer would not copy exactly as ffmpeg
// does is reported as a doubt (and left to ffmpeg), never guessed at.

#include "common/window_reader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qf::kit {

struct RawSample {
    uint64_t offset = 0; // within the stream file
    uint32_t size = 0;
    bool sync = true;
};

// Raw MPEG-4 part 2 video. Each sample runs from the end of the previous
// one up to the first start code after its VOP, so the stream's headers stay
// in the first sample and a GOV header opens the sample of its I-VOP. The
// bytes before the first GOV or VOP are the decoder configuration.
struct M4vStream {
    std::string decoderConfig;
    uint32_t timeResolution = 0; // from the VOL
    std::vector<RawSample> samples;
    std::string doubt; // non-empty: not for this muxer, and why
};

M4vStream splitM4v(ByteSource& source);

// ADTS AAC with one raw block per frame: the raw frames, headers and CRCs
// left out, and the AudioSpecificConfig the headers describe.
struct AdtsStream {
    uint32_t sampleRate = 0;
    uint32_t channels = 0;
    std::string audioSpecificConfig;
    std::vector<RawSample> samples;
    std::string doubt;
};

AdtsStream splitAdts(ByteSource& source);

} // namespace qf::kit
