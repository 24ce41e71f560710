#pragma once
// The state of a conversion task and the text the task list shows for it.

#include <cstdint>

namespace qf::tasks {

enum TaskState : int32_t {
    kStateNotDone = 0, // new, or stopped
    kStateError = 1, // the output folder could not be made
    kStateUnreadable = 2, // a program could not start, the encoder gave up, or a file is missing
    kStateBadParameters = 3, // the settings gave no command line, or the encoder refused it
    kStateQueued = 4,
    kStateConverting = 5, // single pass
    kStateFirstPass = 6,
    kStateSecondPass = 7,
    kStateMuxing = 8,
    kStateDone = 9,
};

// The state column's text; "" for a value outside 0..9.
const char* taskStateText(int32_t state);

// States 4..8: while the worker is busy such a task is in its hands and may
// be neither deleted nor given new settings.
constexpr bool isActiveState(int32_t state) { return state >= kStateQueued && state <= kStateMuxing; }

} // namespace qf::tasks
