#pragma once
// The MEncoder video and audio filter lists as ffmpeg filter graphs. Pure.

#include <optional>
#include <string>

#include "command_line.h"

namespace qf::encoder {

// The libswscale flag name for MEncoder's -sws number (default bicubic).
std::string scalerName(std::optional<int> sws);

struct VideoChainOptions {
  bool squarePixels = false;  // lavc without aspect=: MEncoder writes square pixels
  bool discAspect = false;    // a disc without aspect=: 4:3 or 16:9, the nearer to the source's
  bool telecine = false;      // MPEG-PS "telecine": progressive 24000/1001 frames for soft pulldown
};

struct VideoChain {
  std::string graph;  // "" when there is nothing to filter
  bool hardDup = false;
  bool telecine = false;  // the frames are 24000/1001, ready for the pulldown flags
};

VideoChain buildVideoChain(const Command& command, const VideoChainOptions& options);

struct AudioChainOptions {
  int channelLimit = 2;            // -channels (MEncoder's default 2)
  bool mixToMono = false;          // lame mode=3
  std::optional<double> volume;    // lame vol=
};

struct AudioChain {
  std::string graph;
  std::optional<int> resampleRate;  // from lavcresample=
};

AudioChain buildAudioChain(const Command& command, const AudioChainOptions& options);

}  // namespace qf::encoder
