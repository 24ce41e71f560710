#pragma once
// Runs ffmpeg or ffprobe as a child in this process's own process group (so
// that ending the group ends the child too), never through a shell, with
// standard input on /dev/null and standard output and error read line by
// line. SIGTERM, SIGINT and SIGHUP sent to this process end the child and
// remove the file being written; the child also ends when this process dies
// by any other means (SIGKILL, a crash).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qf::encoder {

// Installs the handlers; call once at start-up.
void installInterruptHandlers();

// The file the interrupt handler removes at once (the output being
// written); "" disarms it. Not thread-safe; the program is single-threaded.
void setFileToRemoveOnInterrupt(const std::string& path);

// Further files the handler removes (at most four; the two-pass logs
// being written), and their disarming.
void addFileToRemoveOnInterrupt(const std::string& path);
void clearExtraFilesToRemoveOnInterrupt();

// The signal that interrupted this process, or 0.
int interruptSignal();

// Runs fn with the interrupt signals blocked (used around the final rename).
void withInterruptsBlocked(const std::function<void()>& fn);

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
