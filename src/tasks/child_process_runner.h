#pragma once
// One hidden external program at a time, its output read line by line
// without ever waiting for output that is not there.
//
// start() runs a Windows-style command line (no shell; the program is the
// first, quoted token) with standard input on /dev/null and standard output
// and standard error on one pipe; openStream() makes that pipe readable by
// readLine(). The runner never reads exit codes: owners judge a run by its
// output lines and by the files it leaves.
//
// Owned by one thread (the conversion worker's); nothing is locked. No call
// blocks except waitForOutput() and close(), which waits at most about
// 100 ms for a program that still runs before ending it. Owners poll:
// readLine(), and when it gives nothing, hasExited(), then waitForOutput(10).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/platform/process.h"
#include "core/text_string.h"
#include "tasks/line_reader.h"

namespace qf::tasks {

class ChildProcessRunner {
public:
    // The line size every owner reads with: pieces of at most 1023 bytes.
    static constexpr size_t kLineSize = 1024;
    // close(): polls of 10 ms before a program that still runs is ended.
    static constexpr int kClosePolls = 10;
    static constexpr int kClosePollMs = 10;

    ChildProcessRunner() = default;
    ChildProcessRunner(const ChildProcessRunner&) = delete;
    ChildProcessRunner& operator=(const ChildProcessRunner&) = delete;
    // Closes a held program.
    virtual ~ChildProcessRunner();

    // Closes a held program first. False, with nothing held and error()
    // saying why, when the line is empty or the program cannot be started.
    // workingDirectory: where the program runs (null: ours).
    bool start(std::string_view commandLine, const char* workingDirectory = nullptr);
    // Makes the output readable; false when no program is held.
    bool openStream();

    // Reads one line into buffer (at most size - 1 bytes, zero-terminated,
    // its line feed kept; CR LF arrives as LF). Returns false at once when no
    // whole line is ready: the rest of a partial line is awaited by later
    // calls, never by blocking. A line with no line feed comes out in pieces
    // of size - 1 bytes; whatever is left when the output ends comes out as a
    // last line. False when no stream is open or size < 2.
    bool readLine(char* buffer, size_t size);
    bool readLine(core::TextString& line, size_t size = kLineSize);

    // Zero-timeout: true when no program is held, or when it has ended and
    // no line of what it wrote is left to read (at the size of the last
    // readLine). Owners stop reading once this is true, so output that
    // arrived between their last empty read and the program's end is kept
    // for them first: its last line is never lost.
    bool hasExited();

    // Waits at most timeoutMs for the held program to write more or to end,
    // and returns as soon as it does: an owner's poll loop then neither
    // sleeps past a program's last line nor past its end.
    void waitForOutput(int timeoutMs);

    // The program's top-level window. This platform has no enumeration of
    // other processes' windows: always none (0).
    uintptr_t findWindow() const { return 0; }

    // Ends the program if it still runs after kClosePolls polls of
    // kClosePollMs (its whole process group, with whatever it started), ends
    // what it started that still holds the output pipe, and releases
    // everything. Does nothing when no program is held.
    void close();

    bool holdsChild() const { return child_ != nullptr; }
    // How the held program ended: its exit code, or 128 + n when signal n
    // ended it; -1 while it runs or when none is held. For the reason of a
    // run that printed none, never to judge a run.
    int exitStatus() const { return child_ ? child_->exitStatus() : -1; }
    // Why the last start() failed.
    const std::string& error() const { return error_; }

private:
    // Moves what the pipe has now into the reader, until a line of maxBytes
    // is ready; marks the pipe's end.
    void pump(size_t maxBytes);
    // True when some process still holds the pipe's write end.
    bool outputStillHeld();

    std::unique_ptr<platform::ChildProcess> child_;
    LineReader reader_;
    bool streamOpen_ = false;
    size_t lineBytes_ = kLineSize - 1; // the line size of the last readLine, less its terminator
    std::string error_;
};

} // namespace qf::tasks
