#pragma once
// Helpers shared by the encoder's unit tests.

#include <string>
#include <vector>

#include "translation.h"

namespace qf::encoder::test {

// Splits a command line the way the system's lines are written: blanks
// separate, double quotes group and are dropped.
inline std::vector<std::string> splitLine(const std::string& line)
{
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    bool started = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            started = true;
        } else if (c == ' ' && !quoted) {
            if (started)
                out.push_back(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        out.push_back(current);
    return out;
}

// The number of arguments every ffmpeg run starts with (logging and progress).
inline constexpr std::size_t kHeadArgs = 10;

// The ffmpeg arguments after the fixed head, joined by blanks.
inline std::string joinTail(const Translation& t)
{
    std::string out;
    for (std::size_t i = kHeadArgs; i < t.ffmpegArgs.size(); ++i) {
        if (!out.empty())
            out += ' ';
        out += t.ffmpegArgs[i];
    }
    return out;
}

} // namespace qf::encoder::test
