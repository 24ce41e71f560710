#pragma once
// One ffmpeg run as its parts, and the same run as two ffmpegs: the first
// (the feeder) encodes the sound onto the standard input of the second,
// which encodes the picture and copies the sound. Pure.

#include <string>
#include <vector>

#include "audio_arguments.h"
#include "command_line.h"
#include "source_facts.h"
#include "stream_mapping.h"

namespace qf::encoder {

struct RunParts {
    std::vector<std::string> head; // logging and progress
    std::vector<std::string> input; // input options and -i
    StreamMap map;
    std::vector<std::string> video;
    AudioArguments audio;
    std::vector<std::string> output; // limits, muxer and the output file
};

// The arguments of the single ffmpeg run.
std::vector<std::string> singleRun(const RunParts& parts);

// True when the split pays (see sound_beside.cpp).
bool soundBesideWorthwhile(const Command& command, const SourceFacts* facts, const StreamChoice& streams,
                           const StreamMap& map, const std::string& muxerFormat, const AudioArguments& audio);

struct SplitRun {
    std::vector<std::string> feederArgs;
    std::vector<std::string> fedArgs;
};

// The two ffmpegs; only for a run soundBesideWorthwhile accepts.
SplitRun splitRun(const RunParts& parts);

} // namespace qf::encoder
