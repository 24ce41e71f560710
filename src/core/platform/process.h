#pragma once
// A hidden child program started from a Windows-style command line (no shell
// is ever involved), with its standard output (and optionally its standard
// input) on pipes. The child leads its own process group, so ending it ends
// whatever it started.
//
// Owned by one thread at a time; no call blocks unless it says so.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qf::platform {

class ChildProcess {
public:
    struct Options {
        bool stdinPipe = false;        // give the child a pipe on standard input
        bool mergeStderr = true;       // the child's standard error goes to the output pipe
        const char* workingDirectory = nullptr;  // null: the caller's
    };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Ends the child and its group if still running, and closes the pipes.
    ~ChildProcess();

    // Splits the line, starts the program. False when the line is empty or
    // the program cannot be started (missing, not executable); error() says why.
    bool start(std::string_view commandLine, const Options& options);
    bool start(std::string_view commandLine) { return start(commandLine, Options{}); }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& error() const { return error_; }

    // Zero-timeout test: output is waiting, or the pipe has reached its end.
    bool readable() const;
    // Waits up to timeoutMs for readable(). Blocks.
    bool waitReadable(int timeoutMs) const;
    // Reads what is available, at most n bytes, without blocking. Returns the
    // count, 0 at end of output, -1 when nothing is pending now.
    ptrdiff_t read(char* buffer, size_t n);
    // Writes all bytes to the child's standard input. False on a broken pipe.
    bool write(std::string_view bytes);
    void closeInput();

    // Zero-timeout: true when the child has ended (and was reaped).
    bool hasExited();
    // Blocks up to timeoutMs (negative: forever) for the child to end.
    bool waitExit(int timeoutMs);
    int exitStatus() const { return exitStatus_; }

    // Sends the signal to the child's whole group (SIGTERM, then SIGKILL after
    // graceMs when it lingers) and reaps the child. Safe to call twice.
    void terminate(int graceMs = 100);

private:
    pid_t pid_ = -1;
    int outFd_ = -1;     // read end of the child's standard output
    int inFd_ = -1;      // write end of the child's standard input
    bool exited_ = false;
    int exitStatus_ = -1;
    std::string error_;
};

} // namespace qf::platform
