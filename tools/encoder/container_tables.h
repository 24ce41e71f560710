#pragma once
// What ffmpeg muxer writes a command's output, and the container and codec
// facts behind the choice, kept as tables. Pure.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "source_facts.h"

namespace qf::encoder {

struct Muxer {
    std::string format; // ffmpeg -f
    std::vector<std::string> args; // muxer options
    bool unpackBframes = false; // copying MPEG-4 into a bare stream
};

struct MuxerChoice {
    Muxer muxer;
    std::string error; // why no muxer fits; "" when one does
};

// The muxer for the command's -of and output name. Facts are read only for
// a bare-stream copy whose output name does not tell the codec.
MuxerChoice chooseMuxer(const Command& command, const SourceFacts* facts);

// The container an extension names ("avi", "matroska", ...), if any.
std::optional<std::string> containerForExtension(std::string_view ext);

// A bare-stream copy whose output name alone tells what to write.
bool bareCopyResolvedByName(const Command& command);

// The codec an encoded stream will have, as ffmpeg names it.
std::string encodedVideoCodec(const Command& command);
std::string encodedAudioCodec(const Command& command);

// The program-stream muxers of the discs (DVD, SVCD, VCD).
bool isDiscMuxer(std::string_view format);
// The muxers of the MP4 family, which take -movflags.
bool isMp4Muxer(std::string_view format);

} // namespace qf::encoder
