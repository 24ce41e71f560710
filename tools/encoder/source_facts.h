#pragma once
// Facts about the source file, read from one ffprobe run where they matter
// (wantsSourceFacts): the picture size and rate give the H.264 level; when
// known, the channel count keeps mono sound mono ahead of the normaliser
// and the duration tells whether it can work at all. -aid and a bare-stream
// copy to an unknown file extension need them, because their meaning
// depends on the container or the codec.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qf::encoder {

struct SourceStream {
    int index = -1; // ffmpeg's stream index
    int id = -1; // container stream id (MPEG-PS/TS), -1 when none
    std::string type; // "video", "audio", ...
    std::string codec; // ffmpeg codec name
    int width = 0; // coded picture size, 0 when unknown
    int height = 0;
    int rotation = 0; // degrees of the display matrix (phones film upright this way)
    double frameRate = 0; // frames per second, 0 when unknown
    int channels = 0; // audio channels, 0 when unknown
    std::string pixelFormat{}; // ffmpeg pix_fmt, "" when unknown
    std::string colorTransfer{}; // "smpte2084" (PQ), "arib-std-b67" (HLG), ...
    std::string fieldOrder{}; // "progressive", "tt", "bb", "tb", "bt", "" when unknown

    // More than 8 bits per sample (10-bit phone and camera video, HDR).
    bool highBitDepth() const;
    // High dynamic range: PQ or HLG.
    bool hdr() const { return colorTransfer == "smpte2084" || colorTransfer == "arib-std-b67"; }

    // The picture as shown: the coded size turned by the rotation.
    int shownWidth() const { return rotation % 180 != 0 ? height : width; }
    int shownHeight() const { return rotation % 180 != 0 ? width : height; }
};

struct SourceFacts {
    std::string formatName; // ffprobe format_name, e.g. "avi", "mov,mp4,m4a,3gp,3g2,mj2"
    std::optional<double> durationSeconds;
    std::vector<SourceStream> streams;

    const SourceStream* firstOfType(std::string_view type) const;
    int countOfType(std::string_view type) const;
};

// The ffprobe arguments (after the program name) whose output parseProbeOutput reads.
std::vector<std::string> probeArguments(const std::string& sourcePath);

// Reads ffprobe's "-of compact" lines ("stream|index=0|codec_name=mpeg4|...").
SourceFacts parseProbeOutput(std::string_view text);

} // namespace qf::encoder
