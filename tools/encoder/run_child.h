#pragma once
// Runs ffmpeg or ffprobe as a child in this process's own process group (so
// that ending the group ends the child too), never through a shell, with
// standard input on /dev/null and standard output and error read line by
// line. A stop signal to this process (recorded by signal_cleanup.h, which
// must be installed with StopAction::Record) ends the child; the child also
// ends when this process dies by any other means (SIGKILL, a crash).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qf::encoder {

struct ChildOutcome {
    bool started = false;
    std::string startError; // why it could not start
    bool interrupted = false; // this process was told to stop; the child was ended
    int exitCode = -1; // when it exited normally
    int termSignal = 0; // when a signal ended it
};

using LineHandler = std::function<void(std::string_view)>;

// Runs program (looked up on PATH) with args and waits for it, calling the
// handlers for each line of its standard output and error (lines end at
// '\n' or '\r'; the separators are not passed).
ChildOutcome runChild(const std::string& program, const std::vector<std::string>& args, const LineHandler& onStdout,
                      const LineHandler& onStderr);

struct FedOutcome {
    ChildOutcome main;
    bool feederStarted = false;
    int feederExitCode = -1;
    int feederSignal = 0;
};

// Runs program with feederArgs, its standard output on the standard input
// of program run with args, and waits for both. The handlers get the lines
// of the second; what the feeder writes on its standard error is dropped.
FedOutcome runFedChild(const std::string& program, const std::vector<std::string>& feederArgs,
                       const std::vector<std::string>& args, const LineHandler& onStdout, const LineHandler& onStderr);

} // namespace qf::encoder
