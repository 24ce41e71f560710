#include "common/adts_reader.h"
#include "common/byte_order.h"
#include "common/tool_error.h"
#include "pmp-muxer/pmp_layout.h"
#include "pmp-muxer/pmp_muxer.h"

#include <gtest/gtest.h>

namespace qf::kit {
namespace {

// Checks the invariants every schedule must keep: one plan per video frame,
// 1..255 frames each, frames in order without gaps, and delays that match
// the frames' start times.
void expectSound(const PacketSchedule& s, uint32_t frames, uint32_t vScale, uint32_t vRate, uint32_t audio,
                 uint32_t aRate)
{
    ASSERT_EQ(s.packets.size(), frames);
    uint32_t next = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const PacketPlan& p = s.packets[i];
        ASSERT_GE(p.audioCount, 1u) << "packet " << i;
        ASSERT_LE(p.audioCount, 255u);
        ASSERT_EQ(p.firstAudio, next) << "packet " << i;
        next += p.audioCount;
        double videoStart = 1e6 * i * vScale / vRate;
        double videoEnd = 1e6 * (i + 1) * vScale / vRate;
        EXPECT_NEAR(p.firstDelay, 1e6 * p.firstAudio * 1024 / aRate - videoStart, 1.0);
        EXPECT_NEAR(p.lastDelay, videoEnd - 1e6 * (next - 1) * 1024 / aRate, 1.0);
    }
    EXPECT_EQ(next + s.droppedFrames, std::max(audio, next));
    EXPECT_EQ(s.fillerFrames, next > audio ? next - audio : 0);
}

TEST(PmpSchedule, EveryPacketCarriesAudioAndTimingIsExact)
{
    struct Case {
        uint32_t frames, vScale, vRate, audio, aRate;
        uint32_t filler, dropped;
    };
    const Case cases[] = {
        {90, 1001, 30000, 131, 44100, 0, 1}, // ordinary: audio a little longer
        {75, 1, 25, 130, 44100, 0, 0},
        {180, 1, 60, 141, 48000, 39, 0}, // more video frames than audio frames: taken early, then filler
        {91, 1001, 30000, 48, 48000, 60, 0}, // audio ends first: silent filler
        {3, 1, 1, 200, 8000, 0, 200 - 3 * 8000 / 1024 - 1},
        {2, 1, 1, 1000, 48000, 0, 1000 - 2 * 48000 / 1024 - 1},
    };
    for (const Case& c : cases) {
        PacketSchedule s = schedulePackets(c.frames, c.vScale, c.vRate, c.audio, 1024, c.aRate);
        SCOPED_TRACE(testing::Message() << c.frames << " frames at " << c.vRate << "/" << c.vScale);
        expectSound(s, c.frames, c.vScale, c.vRate, c.audio, c.aRate);
        EXPECT_EQ(s.fillerFrames, c.filler);
        EXPECT_EQ(s.droppedFrames, c.dropped);
    }
}

TEST(PmpSchedule, AudioFrameGoesToTheVideoFrameDuringWhichItStarts)
{
    // 10 fps video, 48000/1024 = 46.875 audio frames per second.
    PacketSchedule s = schedulePackets(3, 1, 10, 20, 1024, 48000);
    // Frame k starts at k*21.33 ms: frames 0-4 start before 100 ms, 5-9 before 200 ms.
    EXPECT_EQ(s.packets[0].audioCount, 5u);
    EXPECT_EQ(s.packets[1].firstAudio, 5u);
    EXPECT_EQ(s.packets[1].audioCount, 5u);
    EXPECT_EQ(s.packets[0].firstDelay, 0);
    EXPECT_EQ(s.packets[0].lastDelay, 100000 - 85333);
}

TEST(PmpLayout, HeaderFieldsSitAtTheirOffsets)
{
    PmpHeader h;
    h.videoFormat = 1;
    h.frames = 148;
    h.width = 480;
    h.height = 272;
    h.videoScale = 1001;
    h.videoRate = 30000;
    h.maxAudioPerPacket = 3;
    h.audioRate = 48000;
    h.channels = 2;
    std::string bytes = encodePmpHeader(h);
    ASSERT_EQ(bytes.size(), kPmpHeaderSize);
    EXPECT_EQ(bytes.substr(0, 4), "pmpm");
    const auto* p = bytesOf(bytes);
    const uint32_t expected[] = {1, 1, 148, 480, 272, 1001, 30000, 1, 1, 3, 1024, 48000, 1};
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(readLe32(p + 4 + 4 * i), expected[i]) << "field " << i;
}

TEST(PmpLayout, PacketHeaderHoldsCountDelaysAndLengths)
{
    PacketPlan plan{7, 2, 1500, -300};
    std::string bytes = encodePacketHeader(plan, 5000, {371, 380});
    ASSERT_EQ(bytes.size(), kPacketHeaderSize + 8);
    const auto* p = bytesOf(bytes);
    EXPECT_EQ(p[0], 2);
    EXPECT_EQ(static_cast<int32_t>(readLe32(p + 1)), 1500);
    EXPECT_EQ(static_cast<int32_t>(readLe32(p + 5)), -300);
    EXPECT_EQ(readLe32(p + 9), 5000u);
    EXPECT_EQ(readLe32(p + 13), 371u);
    EXPECT_EQ(readLe32(p + 17), 380u);
}

TEST(PmpLayout, SilentFramesAreSingleOrPairElements)
{
    // SCE (id 0) or CPE (id 1) in the first three bits, ID_END last.
    EXPECT_EQ(static_cast<uint8_t>(silentAacFrame(1)[0]) >> 5, 0);
    EXPECT_EQ(static_cast<uint8_t>(silentAacFrame(2)[0]) >> 5, 1);
    EXPECT_EQ(silentAacFrame(1).size(), 4u); // 32 bits
    EXPECT_EQ(silentAacFrame(2).size(), 7u); // 55 bits, padded
    EXPECT_THROW(silentAacFrame(6), ToolError);
}

// One ADTS frame: 44100 Hz (index 4), the given channels, `payload` bytes.
std::string adtsFrame(const std::string& payload, int channels = 2, bool crc = false, int rateIndex = 4)
{
    size_t length = payload.size() + (crc ? 9 : 7);
    std::string h(crc ? 9 : 7, '\0');
    h[0] = '\xff';
    h[1] = static_cast<char>(crc ? 0xf0 : 0xf1);
    h[2] = static_cast<char>((1 << 6) | (rateIndex << 2) | (channels >> 2));
    h[3] = static_cast<char>(((channels & 3) << 6) | ((length >> 11) & 3));
    h[4] = static_cast<char>((length >> 3) & 0xff);
    h[5] = static_cast<char>(((length & 7) << 5) | 0x1f);
    h[6] = static_cast<char>(0xfc);
    return h + payload;
}

TEST(AdtsReader, StripsHeadersAndCrc)
{
    std::string bytes = adtsFrame("abc") + adtsFrame("defg", 2, true) + adtsFrame("h");
    AacStream s = parseAdts(bytes, "a.aac");
    EXPECT_EQ(s.sampleRate, 44100u);
    EXPECT_EQ(s.channels, 2u);
    ASSERT_EQ(s.frames.size(), 3u);
    EXPECT_EQ(bytes.substr(s.frames[0].offset, s.frames[0].size), "abc");
    EXPECT_EQ(bytes.substr(s.frames[1].offset, s.frames[1].size), "defg");
    EXPECT_EQ(bytes.substr(s.frames[2].offset, s.frames[2].size), "h");
}

TEST(AdtsReader, RejectsBrokenStreams)
{
    std::string good = adtsFrame("abcdef");
    const std::pair<std::string, const char*> cases[] = {
        {"", "holds no audio"},
        {"ID3\x03garbage", "no frame sync"},
        {good + good.substr(0, 9), "truncated frame"},
        {good + good.substr(0, 3), "truncated frame header"},
        {good + adtsFrame("x", 1), "change"},
        {good + adtsFrame("x", 2, false, 3), "change"},
        {adtsFrame("x", 0), "channel layout"},
        {adtsFrame("x", 2, false, 14), "sample rate"},
    };
    for (const auto& [bytes, message] : cases) {
        try {
            parseAdts(bytes, "a.aac");
            ADD_FAILURE() << "accepted: " << message;
        } catch (const ToolError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

TEST(PmpVideo, CodecAndKeyframeDetection)
{
    EXPECT_EQ(pmpVideoFormat("XVID"), 0);
    EXPECT_EQ(pmpVideoFormat("fmp4"), 0);
    EXPECT_EQ(pmpVideoFormat("H264"), 1);
    EXPECT_EQ(pmpVideoFormat("avc1"), 1);
    EXPECT_EQ(pmpVideoFormat("MJPG"), -1);
    using namespace std::string_literals;
    EXPECT_TRUE(isKeyframe(0, "\0\0\x01\xb0\x01\0\0\x01\xb6\x10"s)); // I-VOP
    EXPECT_FALSE(isKeyframe(0, "\0\0\x01\xb6\x50"s)); // P-VOP
    EXPECT_TRUE(isKeyframe(1, "\0\0\0\x01\x67\x42\0\0\x01\x65\x88\x80"s)); // SPS then IDR
    EXPECT_FALSE(isKeyframe(1, "\0\0\0\x01\x09\xf0\0\0\x01\x41\x9a\x00"s)); // AUD then non-IDR
}

} // namespace
} // namespace qf::kit
