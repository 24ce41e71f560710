#pragma once
// Short media files made with ffmpeg's generated sources, once per build tree
// and shared by the probe tests (each test runs in its own process).

#include <string>

namespace qf::probe::testing {

struct ProbeMedia {
    std::string dir;
    std::string videoAndAudio; // AVI: 160x120 MPEG-4 video at 25 fps, 2 s of MP3 at 44.1 kHz
    std::string audioOnly; // MP3, 2 s
    std::string videoOnly; // AVI without audio, 2 s
    std::string chineseName; // the AVI above under a Chinese file name
    std::string text; // a plain text file
    std::string image; // one PNG picture
};

// Makes the files unless they exist; fails the calling test when ffmpeg is
// missing or fails.
const ProbeMedia& probeMedia();

// The real library in the build's program directory.
std::string realLibraryPath();

} // namespace qf::probe::testing
