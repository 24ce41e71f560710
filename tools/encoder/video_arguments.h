#pragma once
// The video half of an ffmpeg run: the filter graph, the encoder and its
// options, the tags. Pure.

#include <string>
#include <vector>

#include "command_line.h"
#include "container_tables.h"
#include "source_facts.h"
#include "translation.h"

namespace qf::encoder {

struct VideoContext {
    bool written = false; // a video stream is written at all
    const Muxer& muxer;
    const SourceStream* source = nullptr; // when the facts are known
    int pass = 0;
};

struct VideoArguments {
    std::vector<std::string> args; // "-vn" when no video is written
    int kbps = 0; // the rate asked for; 0 = none
    PassLog passLog = PassLog::None;
    bool softPulldown = false; // the finished file gets the 3:2 pulldown flags
    // -lavcopts aglobal: the sound's headers go into its extradata too.
    bool audioGlobalHeader = false;
};

VideoArguments videoArguments(const Command& command, const VideoContext& context);

// The size, rate and colour rules of today's players: a box (dsize) or a
// frame-rate cap asks for them.
bool wantsModernChain(const Command& command);

} // namespace qf::encoder
