#pragma once
// ConversionTask: one row of the task list. A command-line builder (so a
// settings record) with the task's state, the time its encoding started and
// the last encoder output line.
//
// Threads: the UI thread owns the task. While the task is queued or running
// (states 4..8 with the worker busy) the worker thread writes the commands,
// the line buffer and the files; the UI thread reads them only while it
// handles a notification the worker sent synchronously (the worker waits).

#include <cstdint>
#include <ctime>

#include "convert/command_line_builder.h"
#include "core/text_string.h"
#include "tasks/task_state.h"

namespace qf::tasks {

class ConversionTask : public convert::CommandLineBuilder {
public:
    static constexpr uint32_t kLineBufferSize = 1024; // bytes, the zero included

    ConversionTask();
    ConversionTask(const ConversionTask&) = delete;
    ConversionTask& operator=(const ConversionTask&) = delete;
    ~ConversionTask() override;

    int32_t state = kStateNotDone; // a TaskState; the task list sets it
    std::time_t startTime = 0; // calendar seconds; set on entering 5 or 6

    // The last encoder output line, without its line end. Written by the
    // worker; the task list reads it while handling a progress notification.
    core::TextString lineBuffer;

    // Why the last run failed: the encoder's or a tool's reason line, empty
    // when there is none. Written by the worker before it sends the failed
    // or bad-parameters notification; cleared when a run starts. The task
    // list reads it while handling that notification or while the task is
    // not queued.
    core::TextString failureReason;

    // A warning about a run that finished: the output is shorter than the
    // source (kDamagedSourceWarning, the length reached / the length
    // expected). Same threads and lifetime as failureReason.
    core::TextString warning;

    // Where a run's output goes, set by the one who adds the task (the UI
    // thread): the folder below the output folder that keeps the source's
    // place in a folder tree ("" none); an exact output path instead of the
    // format's own name ("" none); and whether a run writes over a file of
    // that name instead of taking the next free " (N)".
    core::TextString outputSubfolder;
    // The folder below a dropped or chosen folder that the source was found
    // in ("" none), kept whether or not the output keeps it.
    core::TextString sourceSubfolder;
    core::TextString fixedOutputPath;
    bool replaceOutput = false;
    // The path a run asked for before numbering: where a new " (N)" is
    // counted from when the numbered one is taken by the time the run
    // begins. Set with the output path before a run.
    core::TextString requestedOutputPath;
};

inline constexpr const char* kDamagedSourceWarning = "源文件可能已损坏:只转换了 ";

} // namespace qf::tasks
