#pragma once
// The audio half of an ffmpeg run: the filter graph, the sample rate, the
// encoder and its options. Kept as parts, not as a finished list, because
// the sound encoded by a second ffmpeg takes the same parts with one more
// filter and the fed run copies what this one would encode. Pure.

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"
#include "source_facts.h"

namespace qf::encoder {

struct AudioContext {
    bool written = false; // an audio stream is written at all
    const std::string& muxerFormat;
    const SourceStream* source = nullptr; // when the facts are known
    std::optional<double> sourceSeconds; // the seconds of source read, when known
    bool normalise = true; // volnorm may be carried out
    bool globalHeader = false; // the headers go into the extradata too
};

struct AudioArguments {
    bool written = false;
    bool copied = false; // -oac copy: no filters, no rate, no encoder
    std::string graph; // -af; "" when there is nothing to filter
    std::optional<int> rate; // -ar, the rate the sound is encoded at, when the run names it
    std::vector<std::string> codecArgs; // -c:a and the encoder's options
    std::string bitrate; // what -b:a asks for; "" when nothing is asked
    bool globalHeader = false;
    int kbps = 0; // for the status line; 0 = unknown
    bool normalised = false; // the graph holds the normaliser
};

AudioArguments audioArguments(const Command& command, const AudioContext& context);

// The arguments in the order ffmpeg takes them; `extraFilter` (when not
// "") ends the filter graph.
std::vector<std::string> audioArgumentList(const AudioArguments& audio, const std::string& extraFilter = "");

} // namespace qf::encoder
