#pragma once
// Runs another program by its argument vector (never through a shell) and
// waits for it. The program is looked up on PATH when argv[0] has no slash.
// It stays in our process group and is killed when this process dies.
// Blocks until the program ends.

#include <string>
#include <vector>

namespace qf::kit {

struct ProgramResult {
    int exitCode = -1; // -1 when ended by a signal
    std::string output; // standard output
    std::string errors; // standard error
    bool succeeded() const { return exitCode == 0; }
    // The last non-blank line of standard error, for a one-line report.
    std::string lastErrorLine() const;
};

// Throws ToolError when the program cannot be started (for example "ffmpeg
// not found"). Standard input is /dev/null.
ProgramResult runProgram(const std::vector<std::string>& argv);

} // namespace qf::kit
