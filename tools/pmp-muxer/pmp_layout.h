#pragma once
// The PMP version 1 layout: a 56-byte header, an index of one entry per video
// frame ((packet size << 1) | keyframe), then one packet per video frame that
// carries the frame and the audio frames that start during it. All integers
// little-endian. Pure functions, no I/O.

#include <cstdint>
#include <string>
#include <vector>

namespace qf::kit {

struct PmpHeader {
    uint32_t videoFormat = 0; // 0 MPEG-4 part 2, 1 H.264
    uint32_t frames = 0; // video frames = packets
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t videoScale = 1; // fps = videoRate / videoScale
    uint32_t videoRate = 25;
    uint32_t audioFormat = 1; // 0 MP3, 1 AAC
    uint32_t audioStreams = 1;
    uint32_t maxAudioPerPacket = 1;
    uint32_t audioScale = 1024; // samples per audio frame
    uint32_t audioRate = 44100;
    uint32_t channels = 2;
};

constexpr size_t kPmpHeaderSize = 56;
constexpr size_t kPacketHeaderSize = 13; // n (u8), first_delay, last_delay, video length
constexpr uint32_t kMaxAudioPerPacket = 255;

std::string encodePmpHeader(const PmpHeader& header);

// Which audio frames go into each packet, and their timing against the
// video frame, in microseconds.
struct PacketPlan {
    uint32_t firstAudio = 0; // index of the first audio frame
    uint32_t audioCount = 0; // 1..255
    int32_t firstDelay = 0; // start of first audio frame - start of video frame
    int32_t lastDelay = 0; // end of video frame - start of last audio frame
};

struct PacketSchedule {
    std::vector<PacketPlan> packets;
    uint32_t fillerFrames = 0; // silent frames after the audio ran out
    uint32_t droppedFrames = 0; // audio frames that start after the last video frame
};

// Each audio frame goes into the packet of the video frame during which it
// starts. A packet never carries 0 audio frames (readers reject that): when
// none starts during a video frame the next one is taken early (its delay
// says when it plays), and once the audio has run out, frame indexes past
// the end stand for silent filler frames. Every stream must have the same
// count per packet, so one plan serves all streams.
PacketSchedule schedulePackets(uint32_t videoFrames, uint32_t videoScale, uint32_t videoRate, uint32_t audioFrames,
                               uint32_t audioScale, uint32_t audioRate);

// The 13-byte packet header followed by the audio frame lengths.
std::string encodePacketHeader(const PacketPlan& plan, uint32_t videoLength, const std::vector<uint32_t>& audioLengths);

// A raw AAC-LC frame that decodes to silence (an element with no scale
// factor bands), for 1 or 2 channels.
std::string silentAacFrame(uint32_t channels);

} // namespace qf::kit
