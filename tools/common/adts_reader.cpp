#include "common/adts_reader.h"

#include "common/tool_error.h"

namespace qf::kit {

namespace {

constexpr uint32_t kSampleRates[]
    = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

} // namespace

AacStream parseAdts(std::string_view bytes, const std::string& name)
{
    auto bad = [&](const std::string& why, size_t at) -> ToolError {
        return ToolError(name + " is not a valid ADTS AAC stream (" + why + " at byte " + std::to_string(at) + ")");
    };
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    AacStream stream;
    size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 7)
            throw bad("truncated frame header", pos);
        const uint8_t* h = p + pos;
        if (h[0] != 0xff || (h[1] & 0xf6) != 0xf0)
            throw bad("no frame sync", pos);
        bool crc = (h[1] & 0x01) == 0;
        uint32_t profile = h[2] >> 6;
        uint32_t rateIndex = (h[2] >> 2) & 0x0f;
        uint32_t channels = ((h[2] & 0x01) << 2) | (h[3] >> 6);
        size_t length = (static_cast<size_t>(h[3] & 0x03) << 11) | (static_cast<size_t>(h[4]) << 3) | (h[5] >> 5);
        uint32_t blocks = h[6] & 0x03;
        size_t headerSize = crc ? 9 : 7;
        if (rateIndex >= std::size(kSampleRates))
            throw bad("invalid sample rate", pos);
        if (channels == 0)
            throw bad("channel layout only in the stream, not supported", pos);
        if (blocks != 0)
            throw bad("several raw blocks in one frame, not supported", pos);
        if (length <= headerSize)
            throw bad("invalid frame length", pos);
        if (length > bytes.size() - pos)
            throw bad("truncated frame", pos);
        if (stream.frames.empty()) {
            stream.sampleRate = kSampleRates[rateIndex];
            stream.channels = channels;
            stream.profile = profile;
        } else if (stream.sampleRate != kSampleRates[rateIndex] || stream.channels != channels) {
            throw bad("sample rate or channels change", pos);
        }
        stream.frames.push_back({pos + headerSize, length - headerSize});
        pos += length;
    }
    if (stream.frames.empty())
        throw ToolError(name + " holds no audio");
    return stream;
}

} // namespace qf::kit
