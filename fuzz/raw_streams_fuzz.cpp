// Arbitrary bytes as the muxer's raw inputs: a raw MPEG-4 video stream is
// declined with a reason or cut into samples that tile the bytes from the
// first, behind the decoder configuration; an ADTS stream is declined or
// split into raw frames in order inside the bytes. Never a fault.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/window_reader.h"
#include "mp4-muxer/raw_streams.h"

using namespace qf::kit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MemorySource source(bytes);

    M4vStream video = splitM4v(source);
    if (video.doubt.empty()) {
        if (video.samples.empty() || video.timeResolution == 0
            || bytes.substr(0, video.decoderConfig.size()) != video.decoderConfig)
            std::abort();
        uint64_t end = 0;
        for (const RawSample& s : video.samples) {
            if (s.offset != end || s.size == 0)
                std::abort();
            end += s.size;
        }
        if (end != size)
            std::abort();
    } else if (!video.samples.empty()) {
        std::abort();
    }

    AdtsStream sound = splitAdts(source);
    if (sound.doubt.empty()) {
        if (sound.samples.empty() || sound.sampleRate == 0 || sound.sampleRate > 65535
            || sound.audioSpecificConfig.size() != 2)
            std::abort();
        uint64_t end = 0;
        for (const RawSample& s : sound.samples) {
            if (s.offset < end + 7 || s.offset > end + 9 || s.size == 0 || s.size > size - s.offset)
                std::abort();
            end = s.offset + s.size;
        }
        if (end != size)
            std::abort();
    } else if (!sound.samples.empty()) {
        std::abort();
    }
    return 0;
}
