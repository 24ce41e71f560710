#pragma once
// Soft 3:2 pulldown on a finished MPEG-2 program stream, in place.
//
// The video was coded as progressive frames at 24000/1001. The edit marks it
// for 29.97 playback the way a DVD player expects: the sequence headers say
// 30000/1001 and progressive_sequence 0, and every picture keeps
// progressive_frame 1 with the top_field_first / repeat_first_field pattern
// (1,1) (0,0) (0,1) (1,0) in display order, so four frames fill ten fields.
// Only flag bits change: no byte moves, so the packs, their timestamps and
// the audio stay as the muxer wrote them.

#include <string>

namespace qf::encoder {

struct PulldownResult {
    bool ok = false;
    std::string error; // why not, when !ok
    long long pictures = 0;
};

PulldownResult applySoftPulldown(const std::string& path);

} // namespace qf::encoder
