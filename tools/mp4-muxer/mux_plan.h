#pragma once
// The pure half of the MP4/3GP muxer: its command line, what kind of stream
// a file holds, how a requested frame rate becomes a fraction, and the
// ffmpeg argument vector that does the work. No I/O here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qf::kit {

struct MuxerArguments {
    std::string inputPath; // -c FILE / -create=FILE
    std::string outputPath; // the last non-option argument
    std::optional<double> rate; // -rate=R; 0 or absent: the stream's own
    bool force3gp = false; // -force3GPCompliance
};

// Options start with one or two dashes; values follow '=' or stand in the
// next argument. Throws UsageError on anything else.
MuxerArguments parseMuxerArguments(const std::vector<std::string>& args);

enum class StreamKind { Unknown, Mpeg4Video, AdtsAac };

// By the first bytes: an MPEG-4 part 2 start code (visual object sequence,
// visual object, video object layer, GOV, VOP or user data) or an ADTS sync.
StreamKind sniffStreamKind(std::string_view firstBytes);

struct Fraction {
    int64_t num = 0;
    int64_t den = 1;
};

// 29.97 -> 30000/1001 (likewise 23.976, 59.94 and their kin); whole numbers
// stay whole; anything else in thousandths. Zero or negative gives 0/1.
Fraction snapRate(double fps);

// "30000/1001", "25/1", "25" -> fraction; 0/1 when unreadable.
Fraction parseFraction(std::string_view text);

// The rate the muxed video plays at: the wanted one, unless it is absent or
// zero, the stream's own rate is unknown, or it is the own rate with its
// fraction cut. The system hands over the probe's rate cut to a whole
// number (29 for 30000/1001); taken literally that would drift the video
// away from the audio by 3 %, so such a rate means the stream's own.
Fraction playbackRate(Fraction own, std::optional<double> wantedFps);

struct MuxJob {
    MuxerArguments args;
    StreamKind kind = StreamKind::Unknown;
    bool addToExisting = false; // output exists: remux it with the new track
    int existingStreams = 0; // streams already in the output
    Fraction sourceRate; // the raw video's own rate (its VOL, else ffprobe)
    std::string temporaryPath; // where ffmpeg writes
};

// The ffmpeg argument vector (program name first) for the job. Video
// timestamps are scaled from the stream's own rate to the requested one; a
// whole-number request equal to the own rate with its fraction cut keeps
// the own rate.
std::vector<std::string> ffmpegArguments(const MuxJob& job);

} // namespace qf::kit
