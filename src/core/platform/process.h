#pragma once
// A hidden child program started from a Windows-style command line (no shell
// is ever involved), with its standard output (and optionally its standard
// input) on pipes. The child leads its own process group, so ending it ends
// whatever it started, and it is killed when this process ends, however it
// ends.
//
// Owned by one thread at a time; no call blocks unless it says so.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "core/platform/subprocess.h"

namespace qf::platform {

class ChildProcess {
public:
    struct Options {
        bool stdinPipe = false; // give the child a pipe on standard input
        bool mergeStderr = true; // the child's standard error goes to the output pipe
        const char* workingDirectory = nullptr; // null: the caller's
    };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Ends the child and its group if still running, and closes the pipes.
    ~ChildProcess() = default;

    // Splits the line, starts the program. False when the line is empty or
    // the program cannot be started (missing, not executable); error() says why.
    bool start(std::string_view commandLine, const Options& options);
    bool start(std::string_view commandLine) { return start(commandLine, Options{}); }

    bool started() const { return child_.started(); }
    pid_t pid() const { return child_.pid(); }
    const std::string& error() const { return error_; }

    // Zero-timeout test: output is waiting, or the pipe has reached its end.
    bool readable() const { return child_.readable(); }
    // Waits up to timeoutMs for readable(). Blocks.
    bool waitReadable(int timeoutMs) const { return child_.waitReadable(timeoutMs); }
    // The output pipe's descriptor, for a caller that waits on it beside
    // others (poll); -1 without one. Still this object's: read through read().
    int outputFd() const { return child_.outputFd(); }
    // Reads what is available, at most n bytes, without blocking. Returns the
    // count, 0 at end of output, -1 when nothing is pending now.
    ptrdiff_t read(char* buffer, size_t n) { return child_.read(buffer, n); }
    // Writes all bytes to the child's standard input, waiting up to timeoutMs
    // (negative: for ever) while its pipe is full. False on a broken pipe or
    // when the time ran out.
    bool write(std::string_view bytes, int timeoutMs = -1) { return child_.write(bytes, timeoutMs); }
    void closeInput() { child_.closeInput(); }

    // Zero-timeout: true when the child has ended (and was reaped).
    bool hasExited() { return child_.hasExited(); }
    // Blocks up to timeoutMs (negative: forever) for the child to end.
    bool waitExit(int timeoutMs) { return child_.waitExit(timeoutMs); }
    // The exit code, or 128 + n when signal n ended it; -1 until then.
    int exitStatus() const
    {
        if (child_.exitedNormally())
            return child_.exitCode();
        return child_.termSignal() != 0 ? 128 + child_.termSignal() : -1;
    }

    // Sends the signal to the child's whole group (SIGTERM, then SIGKILL after
    // graceMs when it lingers) and reaps the child. Safe to call twice.
    void terminate(int graceMs = 100) { child_.terminate(graceMs); }

private:
    Subprocess child_; // destroyed first: ends a child that still runs
    std::string error_;
};

} // namespace qf::platform
