#pragma once
// Reads what the helper kit needs from an AVI file: the main and stream
// headers of the first RIFF 'AVI ' (the OpenDML header lives there too), the
// data chunks of every 'movi' list (also in 'AVIX' extensions) and the
// keyframe flags of 'idx1'. All fields are little-endian; chunks are padded
// to even sizes. Failures throw ToolError with a message naming the file.

#include "common/file_bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qf::kit {

struct AviStream {
    std::string type; // fccType: "vids", "auds", ...
    std::string handler; // fccHandler as text
    uint32_t scale = 0; // dwScale
    uint32_t rate = 0; // dwRate: rate/scale units per second
    uint32_t length = 0; // dwLength
    // From 'strf' of a video stream (BITMAPINFOHEADER); empty/0 otherwise.
    std::string compression; // biCompression as text
    uint32_t width = 0;
    uint32_t height = 0;
    // From 'strf' of an audio stream (WAVEFORMATEX); 0/empty otherwise.
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    std::string extradata; // the cbSize bytes after the fixed fields
};

struct AviHeader {
    uint32_t microSecPerFrame = 0;
    uint32_t totalFrames = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<AviStream> streams;
    struct Range {
        uint64_t offset = 0; // first byte after the 'movi' type
        uint64_t size = 0;
    };
    std::vector<Range> movi; // in file order
    uint64_t idx1Offset = 0; // payload of 'idx1'; 0 when there is none
    uint64_t idx1Size = 0;

    // Index into streams of the first video stream, or -1.
    int firstVideoStream() const;
};

struct AviChunk {
    uint32_t id = 0; // chunk id as read (little-endian fourcc)
    uint64_t offset = 0; // payload offset in the file
    uint32_t size = 0; // payload size
};

// Parses the headers. The header list must be complete; what follows it may
// be cut short (a probe only needs the headers), in which case movi ranges
// are clipped to the file.
AviHeader readAviHeader(InputFile& file);

// Frames per second of the first video stream: dwRate/dwScale of its stream
// header, or 1e6/dwMicroSecPerFrame when either is 0 (the main header's value
// is rounded to whole microseconds, so it is only a fallback).
double videoFrameRate(const AviHeader& header, const std::string& fileName);

// The data chunks of one stream ("NNdc"/"NNdb" for video, "NNwb" audio) in
// file order, descending into 'rec ' lists. Throws when a chunk runs past its
// list or the file.
std::vector<AviChunk> streamChunks(InputFile& file, const AviHeader& header, int stream);

// AVIIF_KEYFRAME of the idx1 entries for one stream, in index order. Empty
// when the file has no idx1.
std::vector<bool> indexKeyframes(InputFile& file, const AviHeader& header, int stream);

} // namespace qf::kit
