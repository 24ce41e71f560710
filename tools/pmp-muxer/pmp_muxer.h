#pragma once
// Muxes the video of an AVI file and an ADTS AAC stream into a PMP file.
// Blocks; the output appears under its name only when complete.

#include <cstdint>
#include <string>

namespace qf::kit {

struct PmpMuxOptions {
    std::string videoPath; // AVI with MPEG-4 part 2 or H.264 video
    std::string audioPath; // ADTS AAC; "": a silent stereo track at 44100 Hz
    std::string outputPath;
    uint32_t videoScale = 0; // 0: the AVI's own rate
    uint32_t videoRate = 0;
};

struct PmpMuxSummary {
    std::string videoCodec; // "MPEG-4" or "H.264"
    uint32_t width = 0, height = 0;
    uint32_t videoScale = 0, videoRate = 0;
    uint32_t videoFrames = 0, keyFrames = 0;
    uint32_t emptyFrames = 0; // skipped frames: kept, they hold the timeline
    uint32_t sampleRate = 0, channels = 0;
    uint32_t audioFrames = 0, fillerFrames = 0, droppedFrames = 0;
    uint32_t maxAudioPerPacket = 0;
    uint64_t fileSize = 0;
};

// Throws ToolError (output left untouched) on any failure.
PmpMuxSummary muxPmp(const PmpMuxOptions& options);

// The plain-text log written beside the PMP file.
std::string pmpLogText(const PmpMuxOptions& options, const PmpMuxSummary& summary);

// 0 for MPEG-4 part 2, 1 for H.264, -1 for anything else; by fourcc,
// case-insensitive.
int pmpVideoFormat(const std::string& fourccText);

// Whether one coded frame is a keyframe, from the bitstream itself: an I-VOP
// for MPEG-4 part 2, an IDR slice for H.264 (Annex B).
bool isKeyframe(int videoFormat, const std::string& frame);

} // namespace qf::kit
