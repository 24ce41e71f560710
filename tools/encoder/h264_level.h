#pragma once
// The H.264 level a stream needs: the smallest level whose limits (frame
// size, macroblock rate, bit rate, decoded-picture buffer) hold the stream.
// A player that checks the level refuses a stream that exceeds its level's
// limits. Pure.

namespace qf::encoder {

struct H264Demand {
    int width = 0; // pixels; 0 when unknown (the size is then not checked)
    int height = 0;
    double fps = 0; // 0 when unknown (the rate is then not checked)
    int kbps = 0; // the highest bit rate asked for; 0 when none
    int dpbFrames = 1; // reference frames the decoder must keep
    bool highProfile = false; // High allows 1.25 times the bit rate
};

// The smallest level_idc (10, 11, 12, 13, 20, ... 52) at or above
// `requested` that holds the stream; 52 when none does. A requested value
// that is no level (9 for 1b, or 0) counts from the lowest level.
int fittingH264Level(int requested, const H264Demand& demand);

// The frames x264 keeps for reference with these settings: the reference
// count, or more when B-frames are reordered (a B-pyramid needs four).
int x264DecodedPictureFrames(int refs, int bframes);

} // namespace qf::encoder
