#pragma once
// Starting and ending child programs on POSIX, shared by the engine, the
// helper kit and the encoder front-end. Plain C++ and POSIX: no Qt, no engine.
//
// A child is started from an argument vector (never through a shell). Its
// standard output, and optionally its standard error and input, are pipes
// that no other child inherits. By default it leads its own process group, so
// ending it ends whatever it started, and the kernel kills it when this
// process ends by any means (SIGKILL included). Signals this process handles
// or blocks reach the child with their default action.
//
// A Subprocess is owned by one thread at a time; no call blocks unless it
// says so.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qf::platform {

struct SubprocessOptions {
    // Own group: signals go to the whole group. Caller's group: the child
    // stays in ours, so that whoever ends our group ends it too, and signals
    // go to the child alone.
    bool ownProcessGroup = true;
    // SIGKILL to the child when this process ends (not merely the thread
    // that started it).
    bool endWithParent = true;
    // Look argv[0] up on PATH when it holds no slash.
    bool searchPath = false;
    // A pipe on standard input; otherwise /dev/null.
    bool stdinPipe = false;
    enum class Errors { Merge, Pipe, Inherit };
    // Standard error: onto the output pipe, on a pipe of its own, or ours.
    Errors errors = Errors::Merge;
    // Descriptors the child takes as its standard input, output or error in
    // place of the above (-1: as above), such as the ends of a pipe between
    // two children. They are the caller's to close; outputFd() and errorFd()
    // are -1 for a stream given here.
    int inputFrom = -1;
    int outputTo = -1;
    int errorsTo = -1;
    // Where the child runs (null: ours). A relative program path still names
    // the program seen from our directory.
    const char* workingDirectory = nullptr;

    // A helper program's child (ffmpeg, ffprobe under our tools): in our
    // group, so that whoever ends the group ends it too, killed when we die
    // (a SIGKILL no handler sees cannot leave it writing on), found on PATH,
    // standard error on a pipe of its own.
    static SubprocessOptions toolChild()
    {
        SubprocessOptions o;
        o.ownProcessGroup = false;
        o.endWithParent = true;
        o.searchPath = true;
        o.errors = Errors::Pipe;
        return o;
    }
};

class Subprocess {
public:
    Subprocess() = default;
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;
    // Ends a child that still runs (terminate(0)) and closes the pipes.
    ~Subprocess();

    // 0 when the child runs; otherwise the errno of the failed step (pipe,
    // fork, the program's exec: ENOENT for a missing program) and nothing
    // is held. Blocks only until the program has been executed.
    int start(const std::vector<std::string>& argv, const SubprocessOptions& options);

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Read ends are non-blocking; -1 when there is none.
    int outputFd() const { return outFd_; }
    int errorFd() const { return errFd_; }

    // Zero-timeout test: output is waiting, or the pipe has reached its end.
    bool readable() const { return waitReadable(0); }
    // Waits up to timeoutMs (negative: forever) for readable(). Blocks.
    bool waitReadable(int timeoutMs) const;
    // Reads standard output without blocking: the count, 0 at its end (or
    // when there is no pipe), -1 when nothing is pending now.
    ptrdiff_t read(char* buffer, size_t n) { return readFd(outFd_, buffer, n); }
    // Writes all bytes to the child's standard input, waiting up to timeoutMs
    // (negative: for ever) while the pipe is full. False when there is no
    // pipe, the child has closed it, or the time ran out (a write longer than
    // PIPE_BUF may then have been sent in part); SIGPIPE never ends us.
    bool write(std::string_view bytes, int timeoutMs = -1);
    void closeInput();

    // Zero-timeout: true when the child has ended (and is reaped), or when
    // none was started.
    bool hasExited();
    // Blocks up to timeoutMs (negative: forever) for the child to end. A
    // forever wait that a signal interrupts returns false when stop() says so.
    bool waitExit(int timeoutMs, const std::function<bool()>& stop = {});
    // How it ended; meaningful once hasExited().
    bool exitedNormally() const { return reaped_ && wifexited_; }
    int exitCode() const { return exitedNormally() ? exitCode_ : -1; }
    int termSignal() const { return reaped_ && !wifexited_ ? termSignal_ : 0; }
    // True when someone else reaped the child, so its status is unknown.
    bool statusLost() const { return exited_ && !reaped_; }

    // Sends sig to the child's group when it leads one, else to the child.
    void signal(int sig) const;
    // SIGTERM, then SIGKILL after graceMs when it lingers; reaps the child.
    // A group it leads gets SIGKILL in any case, for members that outlive
    // their leader. Safe to call twice.
    void terminate(int graceMs);

    // Reads a non-blocking descriptor: as read() above.
    static ptrdiff_t readFd(int fd, char* buffer, size_t n);

private:
    void noteStatus(int status);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    int inFd_ = -1;
    bool ownGroup_ = true;
    bool exited_ = false;
    bool reaped_ = false;
    bool wifexited_ = false;
    int exitCode_ = -1;
    int termSignal_ = 0;
};

// Reads the child's standard output and error (whichever are pipes) until
// both reach their end, handing each piece to its sink; true then. Blocks.
// stop() is asked before each wait, and a signal or wakeFd (-1: none)
// becoming readable ends a wait: false as soon as stop() says so.
using OutputSink = std::function<void(std::string_view)>;
bool drainOutput(Subprocess& child, const OutputSink& onOutput, const OutputSink& onErrors, int wakeFd = -1,
                 const std::function<bool()>& stop = {});

// Cuts output into lines that end at LF, CR or CR LF (a progress display's
// CR rewrites are lines too). Empty lines are dropped; the separators are
// not passed on.
class LineSplitter {
public:
    using Handler = std::function<void(std::string_view)>;
    void push(std::string_view bytes, const Handler& handler);
    // Passes on an unfinished last line.
    void finish(const Handler& handler);

private:
    std::string pending_;
};

} // namespace qf::platform
