#include "common/adts_reader.h"

#include "common/byte_order.h"
#include "common/tool_error.h"

namespace qf::kit {

bool hasAdtsSync(std::string_view bytes)
{
    const uint8_t* p = bytesOf(bytes);
    return bytes.size() >= 2 && p[0] == 0xff && (p[1] & 0xf6) == 0xf0;
}

AdtsHeader readAdtsHeader(std::string_view head)
{
    const uint8_t* p = bytesOf(head);
    AdtsHeader h;
    h.headerSize = (p[1] & 0x01) == 0 ? 9 : 7;
    h.profile = p[2] >> 6;
    h.rateIndex = (p[2] >> 2) & 0x0f;
    h.channels = ((p[2] & 0x01) << 2) | (p[3] >> 6);
    h.length = (static_cast<size_t>(p[3] & 0x03) << 11) | (static_cast<size_t>(p[4]) << 3) | (p[5] >> 5);
    h.extraBlocks = p[6] & 0x03;
    return h;
}

AacStream parseAdts(std::string_view bytes, const std::string& name)
{
    auto bad = [&](const std::string& why, size_t at) -> ToolError {
        return ToolError(name + " is not a valid ADTS AAC stream (" + why + " at byte " + std::to_string(at) + ")");
    };
    AacStream stream;
    size_t pos = 0;
    while (pos < bytes.size()) {
        std::string_view head = bytes.substr(pos, 7);
        if (head.size() < 7)
            throw bad("truncated frame header", pos);
        if (!hasAdtsSync(head))
            throw bad("no frame sync", pos);
        AdtsHeader h = readAdtsHeader(head);
        if (h.rateIndex >= std::size(kAdtsSampleRates))
            throw bad("invalid sample rate", pos);
        if (h.channels == 0)
            throw bad("channel layout only in the stream, not supported", pos);
        if (h.extraBlocks != 0)
            throw bad("several raw blocks in one frame, not supported", pos);
        if (h.length <= h.headerSize)
            throw bad("invalid frame length", pos);
        if (h.length > bytes.size() - pos)
            throw bad("truncated frame", pos);
        if (stream.frames.empty()) {
            stream.sampleRate = kAdtsSampleRates[h.rateIndex];
            stream.channels = h.channels;
            stream.profile = h.profile;
        } else if (stream.sampleRate != kAdtsSampleRates[h.rateIndex] || stream.channels != h.channels) {
            throw bad("sample rate or channels change", pos);
        }
        stream.frames.push_back({pos + h.headerSize, h.length - h.headerSize});
        pos += h.length;
    }
    if (stream.frames.empty())
        throw ToolError(name + " holds no audio");
    return stream;
}

} // namespace qf::kit
