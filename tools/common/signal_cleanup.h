#pragma once
// What a helper program does when it is told to stop (SIGTERM, SIGINT or
// SIGHUP): the files registered here are removed at once, from the signal
// handler, so that a SIGKILL following the signal cannot leave them behind.
// Then the program either dies by the signal (StopAction::Die, for programs
// whose children end with them) or only records it (StopAction::Record, for
// a program that ends its children itself and then reports the stop).
//
// One table for the process, of a few fixed-size entries: the handler makes
// only async-signal-safe calls. Registration belongs to one thread (the
// helper programs have one); the handler may run at any moment.

#include <signal.h>
#include <string>

namespace qf::kit {

enum class StopAction { Die, Record };

// Installs the handlers. The first call decides; later calls do nothing.
void installStopHandlers(StopAction action);

// The signal that told this process to stop, or 0. Set with Record only.
int stopSignal();

// Becomes readable when a stop signal arrives (for poll beside a child's
// pipes); -1 when not installed with Record.
int stopWakeDescriptor();

// A file the handler removes while this object holds it. A path the table
// cannot take (full, or longer than a path can be) is not registered: the
// program's own clean-up still removes it when it ends normally.
class RemovedOnStop {
public:
    RemovedOnStop() = default;
    explicit RemovedOnStop(const std::string& path);
    ~RemovedOnStop() { release(); }
    RemovedOnStop(RemovedOnStop&& other) noexcept : slot_(other.slot_) { other.slot_ = -1; }
    RemovedOnStop& operator=(RemovedOnStop&& other) noexcept;
    RemovedOnStop(const RemovedOnStop&) = delete;
    RemovedOnStop& operator=(const RemovedOnStop&) = delete;

    // Takes the file out of the table (committed, or removed by the program).
    void release();

private:
    int slot_ = -1;
};

// Holds the stop signals back for its lifetime: a step that must happen
// whole (the final rename) runs inside one; a signal that came meanwhile is
// delivered when it ends.
class StopSignalsBlocked {
public:
    StopSignalsBlocked();
    ~StopSignalsBlocked();
    StopSignalsBlocked(const StopSignalsBlocked&) = delete;
    StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

private:
    sigset_t saved_; // the mask before
};

} // namespace qf::kit
