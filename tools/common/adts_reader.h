#pragma once
// Splits an ADTS AAC stream into its raw frames (headers and CRCs removed).
// Pure: bytes in, frames out; throws ToolError on anything that is not a
// clean ADTS stream of one sample rate and channel layout.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qf::kit {

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

// name is used in messages only.
AacStream parseAdts(std::string_view bytes, const std::string& name);

} // namespace qf::kit
