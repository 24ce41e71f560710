#pragma once
// The probe's one output line. The reader takes the integer part of what
// follows the label, so the number is printed with a '.' whatever the
// locale, and one blank after the colon.

#include <cstdio>
#include <string>

namespace qf::kit {

inline std::string frameRateLine(double framesPerSecond)
{
    char text[64];
    std::snprintf(text, sizeof text, "Video frame rate: %.3f", framesPerSecond);
    return text;
}

} // namespace qf::kit
