#pragma once
// ADTS AAC frame headers, and an ADTS AAC stream split into its raw frames
// (headers and CRCs removed). Pure: bytes in, facts out.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qf::kit {

constexpr uint32_t kAdtsSampleRates[]
    = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

// The fields of a frame header as written, unchecked.
struct AdtsHeader {
    uint32_t headerSize = 7; // 9 with a CRC
    uint32_t profile = 0; // audio object type - 1 (1 = LC)
    uint32_t rateIndex = 0; // into kAdtsSampleRates, if in range
    uint32_t channels = 0; // the channel configuration; 0: stated in the stream
    size_t length = 0; // the whole frame, header included
    uint32_t extraBlocks = 0; // raw data blocks in the frame beyond the first
};

// Whether bytes start with the sync word of an MPEG-4 or MPEG-2 ADTS header.
bool hasAdtsSync(std::string_view bytes);

// The header at the start of head, which holds at least 7 bytes.
AdtsHeader readAdtsHeader(std::string_view head);

struct AacStream {
    uint32_t sampleRate = 0;
    uint32_t channels = 0; // from the channel configuration
    uint32_t profile = 0; // audio object type - 1 (1 = LC)
    struct Frame {
        size_t offset = 0; // raw frame, within the input bytes
        size_t size = 0;
    };
    std::vector<Frame> frames;
};

// Throws ToolError on anything that is not a clean ADTS stream of one sample
// rate and channel layout; name is used in messages only.
AacStream parseAdts(std::string_view bytes, const std::string& name);

} // namespace qf::kit
