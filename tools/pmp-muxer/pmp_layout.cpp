#include "pmp_layout.h"

#include "common/byte_order.h"
#include "common/tool_error.h"

namespace qf::kit {

namespace {

// Microseconds at which unit number `index` starts, for units of
// scale/rate seconds. 64 bits hold any realistic product here: index below
// 2^32, scale below 2^24 and 10^6 stay under 2^63 for any clip shorter than
// several days at common rates.
int64_t startMicros(uint64_t index, uint32_t scale, uint32_t rate)
{
    return static_cast<int64_t>(index * scale * 1000000ull / rate);
}

// True when audio frame k starts before video frame i ends, compared exactly.
bool startsBefore(uint64_t k, uint32_t audioScale, uint32_t audioRate, uint64_t videoEnd, uint32_t videoScale,
                  uint32_t videoRate)
{
    return k * audioScale * videoRate < videoEnd * videoScale * audioRate;
}

class BitWriter {
public:
    void put(uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            if (used_ == 0)
                bytes_.push_back('\0');
            if ((value >> i) & 1)
                bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> used_));
            used_ = (used_ + 1) % 8;
        }
    }
    std::string bytes() const { return bytes_; }

private:
    std::string bytes_;
    int used_ = 0;
};

// individual_channel_stream with a long window and max_sfb 0: nothing coded.
void putEmptyChannel(BitWriter& w)
{
    w.put(100, 8); // global_gain (irrelevant: no bands)
    w.put(0, 1); // ics_reserved_bit
    w.put(0, 2); // window_sequence ONLY_LONG
    w.put(0, 1); // window_shape
    w.put(0, 6); // max_sfb
    w.put(0, 1); // predictor_data_present
    w.put(0, 1); // pulse_data_present
    w.put(0, 1); // tns_data_present
    w.put(0, 1); // gain_control_data_present
}

} // namespace

std::string encodePmpHeader(const PmpHeader& h)
{
    std::string out = "pmpm";
    for (uint32_t v : {1u, h.videoFormat, h.frames, h.width, h.height, h.videoScale, h.videoRate, h.audioFormat,
                       h.audioStreams, h.maxAudioPerPacket, h.audioScale, h.audioRate, h.channels == 2 ? 1u : 0u})
        appendLe32(out, v);
    return out;
}

PacketSchedule schedulePackets(uint32_t videoFrames, uint32_t videoScale, uint32_t videoRate, uint32_t audioFrames,
                               uint32_t audioScale, uint32_t audioRate)
{
    if (videoScale == 0 || videoRate == 0 || audioScale == 0 || audioRate == 0)
        throw ToolError("internal error: zero rate in the packet schedule");
    PacketSchedule schedule;
    schedule.packets.reserve(videoFrames);
    uint64_t next = 0;
    for (uint64_t i = 0; i < videoFrames; ++i) {
        PacketPlan plan;
        plan.firstAudio = static_cast<uint32_t>(next);
        while (next < audioFrames && plan.audioCount < kMaxAudioPerPacket
               && startsBefore(next, audioScale, audioRate, i + 1, videoScale, videoRate)) {
            ++next;
            ++plan.audioCount;
        }
        if (plan.audioCount == 0) {
            if (next >= audioFrames)
                ++schedule.fillerFrames;
            ++next;
            plan.audioCount = 1;
        }
        int64_t videoStart = startMicros(i, videoScale, videoRate);
        int64_t videoEnd = startMicros(i + 1, videoScale, videoRate);
        plan.firstDelay = static_cast<int32_t>(startMicros(plan.firstAudio, audioScale, audioRate) - videoStart);
        plan.lastDelay = static_cast<int32_t>(videoEnd - startMicros(next - 1, audioScale, audioRate));
        schedule.packets.push_back(plan);
    }
    if (next < audioFrames)
        schedule.droppedFrames = static_cast<uint32_t>(audioFrames - next);
    return schedule;
}

std::string encodePacketHeader(const PacketPlan& plan, uint32_t videoLength, const std::vector<uint32_t>& audioLengths)
{
    std::string out(1, static_cast<char>(plan.audioCount));
    appendLe32(out, static_cast<uint32_t>(plan.firstDelay));
    appendLe32(out, static_cast<uint32_t>(plan.lastDelay));
    appendLe32(out, videoLength);
    for (uint32_t length : audioLengths)
        appendLe32(out, length);
    return out;
}

std::string silentAacFrame(uint32_t channels)
{
    if (channels != 1 && channels != 2)
        throw ToolError("internal error: silent frame for " + std::to_string(channels) + " channels");
    BitWriter w;
    if (channels == 1) {
        w.put(0, 3); // ID_SCE
        w.put(0, 4); // element_instance_tag
        putEmptyChannel(w);
    } else {
        w.put(1, 3); // ID_CPE
        w.put(0, 4);
        w.put(0, 1); // common_window
        putEmptyChannel(w);
        putEmptyChannel(w);
    }
    w.put(7, 3); // ID_END
    return w.bytes();
}

} // namespace qf::kit
