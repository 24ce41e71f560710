#pragma once
// The MEncoder video and audio filter lists as ffmpeg filter graphs. Pure.

#include <optional>
#include <string>

#include "command_line.h"

namespace qf::encoder {

// The libswscale flag name for MEncoder's -sws number (default bicubic).
std::string scalerName(std::optional<int> sws);

struct VideoChainOptions {
    bool squarePixels = false; // lavc without aspect=: MEncoder writes square pixels
    bool discAspect = false; // a disc without aspect=: 4:3 or 16:9, the nearer to the source's
    bool telecine = false; // MPEG-PS "telecine": progressive 24000/1001 frames for soft pulldown
    // No aspect was asked for: the picture keeps its shape inside the frame
    // that scale= asks for, with black bars where the shapes differ (players
    // of devices ignore a stored pixel aspect). The bars are square pixels, or
    // on a disc the pixels of its 4:3 or 16:9 display.
    bool fitFrame = false;
    std::string pixelFormat; // the encoder's input format, forced last ("" = the decoder's)
    // The constant frame rate that fpscap= came to for this source ("" = none).
    std::string cappedRate;
    // An unscaled picture of odd width or height loses its last column or
    // row: 4:2:0 codecs need even sizes.
    bool evenSize = false;
    // PQ or HLG into 8 bits: tone-mapped to SDR BT.709 so that the colours
    // are not washed out.
    bool toneMap = false;
};

struct VideoChain {
    std::string graph; // "" when there is nothing to filter
    bool hardDup = false;
    bool telecine = false; // the frames are 24000/1001, ready for the pulldown flags
};

VideoChain buildVideoChain(const Command& command, const VideoChainOptions& options);

// True for scale=0:0, the scale to the display size that dsize= sets.
bool scalesToDisplaySize(const FilterSpec& filter);

struct AudioChainOptions {
    int channelLimit = 2; // -channels (MEncoder's default 2)
    // The source stream's channel count when known: the chain then names one
    // exact layout wherever it changes the count. A list of layouts leaves
    // the choice to ffmpeg, which cannot always make it (5.1 into dynaudnorm).
    std::optional<int> sourceChannels;
    bool normalise = true; // volnorm is carried out (see buildAudioChain)
    // The output's sample timestamps follow on from each other exactly (a
    // DVD authoring program refuses timestamps that step back by the
    // millisecond jitter of a Matroska source).
    bool continuousTimestamps = false;
    bool mixToMono = false; // lame mode=3
    std::optional<double> volume; // lame vol=
};

struct AudioChain {
    std::string graph;
    std::optional<int> resampleRate; // from lavcresample=
    bool normalised = false; // the graph holds the normaliser
};

AudioChain buildAudioChain(const Command& command, const AudioChainOptions& options);

} // namespace qf::encoder
