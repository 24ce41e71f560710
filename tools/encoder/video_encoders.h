#pragma once
// The video encoders' options: MEncoder's -lavcopts, -xvidencopts and
// -x264encopts as the options of ffmpeg's encoders. Pure.

#include <initializer_list>
#include <string>
#include <vector>

#include "command_line.h"
#include "h264_level.h"
#include "source_facts.h"
#include "translation.h"

namespace qf::encoder {

struct EncoderContext {
    const std::string& muxerFormat;
    const SourceStream* source = nullptr; // when the facts are known
    int pass = 0;
};

// One encoder's options, and what the filter chain and the muxer must know of them.
struct VideoEncoding {
    std::vector<std::string> args; // -c:v and the encoder's options
    int kbps = 0; // the rate asked for; 0 = none
    std::vector<std::string> flags; // joined into -flags:v
    bool audioGlobalHeader = false; // -lavcopts aglobal
    bool squarePixels = false;
    bool discAspect = false; // flag 4:3 or 16:9, whichever the source's display aspect is nearer
    PassLog passLog = PassLog::None;

    void add(std::initializer_list<std::string> more) { args.insert(args.end(), more); }
};

// The options of the command's video encoder (lavc, xvid or x264).
VideoEncoding videoEncoding(const Command& command, const EncoderContext& context);

// What an x264 stream demands of its level, as far as the command line and
// the source (when known) tell.
H264Demand x264Demand(const Command& command, const SourceStream* videoSource, bool highProfile);

// The frame size alone needs more than the level asked for: x264's own
// choice, made from the real rate, is then at least as high.
bool sizeOutgrowsLevel(int requested, const H264Demand& demand);

} // namespace qf::encoder
