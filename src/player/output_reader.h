#pragma once
// Lines from the player's standard output, read without ever blocking on an
// empty pipe: a line is handed out only when it is complete (or the output
// has ended, or it has reached the length limit).
//
// Not thread-safe: the engine guards it together with the process.

#include <string>

namespace qf::platform {
class ChildProcess;
}

namespace qf::player {

class OutputReader {
public:
    // Longest line handed out, line feed included; a longer line comes out
    // in pieces.
    static constexpr size_t kMaxLine = 255;

    // Takes in what the pipe holds now and hands out one line without its
    // line end (CR LF or LF). False when no line is complete.
    bool readLine(platform::ChildProcess& process, std::string& line);

    // Waits up to timeoutMs for more output to arrive (0: one look). False
    // at the end of the output, so that a caller polling a player that has
    // closed its output does not spin. Blocks.
    bool waitForOutput(platform::ChildProcess& process, int timeoutMs);

    // A line is waiting in the buffer.
    bool hasLine() const;
    bool atEnd() const { return atEnd_; }
    void reset();

private:
    // Reads what is pending now; true when bytes came.
    bool fill(platform::ChildProcess& process);

    std::string buffer_;
    bool atEnd_ = false;
};

} // namespace qf::player
