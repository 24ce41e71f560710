#pragma once
// Which streams a run writes and which source streams it reads (-map). Pure.

#include <string>
#include <vector>

#include "command_line.h"
#include "source_facts.h"

namespace qf::encoder {

struct StreamChoice {
    bool video = false; // a video stream is written
    bool audio = false;
    bool audioOptional = false; // written when the source has one
    int pass = 0; // 0 single pass, 1 or 2; known once the encoders are
    std::string error; // why the run cannot be made; "" when it can
};

// The streams written, checked against the source when its facts are known.
StreamChoice chooseStreams(const Command& command, const SourceFacts* facts);

struct StreamMap {
    std::vector<std::string> videoMap; // "-map" and its stream, or nothing
    std::vector<std::string> audioMap;
    const SourceStream* videoSource = nullptr; // the streams read, when the facts are known
    const SourceStream* audioSource = nullptr;
    std::string error; // -aid names no audio stream; "" when the map holds
};

// The -map options for the chosen streams. -aid is the container's own
// stream number, so it needs the facts (needsSourceFacts says so).
StreamMap mapStreams(const Command& command, const SourceFacts* facts, const StreamChoice& streams);

} // namespace qf::encoder
