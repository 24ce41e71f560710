#pragma once
// ConversionWorker: runs queued conversion tasks one at a time on a thread of
// its own and reports every step to the task list through a NotificationSink.
//
// How a host drives it (UI thread):
//   ConversionWorker worker;              // tool paths and program directory
//                                         // from core::toolPaths()/programDirectory()
//   worker.startThread(sink);             // sink: the task list's receiver
//   model.start() / worker.enqueue(task) ... worker.enqueueEnd();
//   worker.requestStop();                 // the stop command
//   every kTickIntervalMs: worker.onTimer();   // the host's own timer, or
//   worker.startTickTimer();              // a timer thread of the worker's own
//   ...
//   sink.shutdown();                      // release a worker waiting in send()
//   worker.endThread();                   // or just destroy the worker
//
// Queue messages (WM_QUEUE_TASK's second parameter): a task runs it; QUEUE_END
// (-1) clears busy and sends queue-finished with the stop flag as detail (and
// clears that flag); QUEUE_RESET (0) clears stop, and busy when nothing is
// queued behind it. They are taken strictly in the order posted.
//
// Notifications go to the sink as WM_TASK_NOTIFY: send() for everything but
// the tick, so the worker waits while the receiver reads the task; the tick is
// posted. A send the sink refuses (kRefused) means the receiver is going
// away: from then on every stop check answers "stop" and nothing more is
// sent, so the queue drains at once without running anything.
//
// Shutdown: endThread() makes every stop check answer "stop", drops what is
// still queued, and joins the thread (the running program is ended within
// one poll of 10 ms plus the runner's close). It never kills a thread. A
// worker blocked in send() is released only by its sink: a host whose UI
// thread cannot pump while it joins must shut its sink down first.
//
// Threads: the public operations below are for the host's thread, except
// where marked. The job (runTask etc.) runs on the worker thread only; tests
// may call it directly on their own thread while no worker thread runs.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/messages.h"
#include "core/notification_sink.h"
#include "core/program_directory.h"
#include "core/text_string.h"
#include "tasks/child_process_runner.h"
#include "tasks/conversion_task.h"
#include "tasks/failure_reason.h"
#include "tasks/output_claim.h"
#include "tasks/task_list_model.h"

namespace qf::tasks {

class ConversionWorker : public ChildProcessRunner, public TaskQueue {
public:
    static constexpr int kTickIntervalMs = 1002;
    static constexpr int kPollMs = 10; // between reads of a silent program
    // An output shorter than the source by more than this is reported as
    // coming from a damaged source.
    static constexpr double kShortOutputToleranceSeconds = 1.0;

    // Where the programs are. Copied at construction; immutable afterwards.
    struct Environment {
        core::ToolPaths tools;
        core::TextString programDirectory; // no trailing slash
    };

    ConversionWorker(); // from the process-wide tool paths and program directory
    explicit ConversionWorker(Environment environment);
    ConversionWorker(const ConversionWorker&) = delete;
    ConversionWorker& operator=(const ConversionWorker&) = delete;
    // Stops the tick timer, ends the thread, closes a held program.
    ~ConversionWorker() override;

    const Environment& environment() const { return environment_; }

    // Ends a previous thread, remembers the receiver (not owned; it must
    // outlive the thread) and starts the worker thread.
    void startThread(core::NotificationSink& owner);
    // See Shutdown above. Safe to call when no thread runs.
    void endThread();
    bool threadRunning() const { return thread_.joinable(); }

    // TaskQueue. Any thread.
    bool isBusy() const override { return busy_.load(); }
    void markBusy() override { busy_.store(true); }
    void enqueue(ConversionTask* task) override;
    void enqueueEnd() override { postQueueMessage(core::QUEUE_END); }
    // While busy: every stop check from now on answers "stop"; the flag is
    // cleared when the end-of-queue marker of this run is taken.
    void requestStop() override;
    bool stopRequested() const { return stop_.load(); }
    // WM_QUEUE_TASK with a raw second parameter (a task, QUEUE_END, QUEUE_RESET).
    void postQueueMessage(intptr_t lParam);

    // The tick: posts NOTIFY_TICK to the receiver when busy, else nothing.
    // Call it every kTickIntervalMs from the host's timer (any thread).
    void onTimer();
    // Or let the worker run that timer on a thread of its own.
    void startTickTimer();
    void stopTickTimer();

    // ---- The job; worker thread only (or a test thread while no thread runs).

    // The receiver for the job when it is driven without startThread (tests).
    void setOwner(core::NotificationSink* owner) { owner_ = owner; }

    // Runs one task from its command lines to done, failed or stopped.
    void runTask(ConversionTask& task);
    // True when the encoder ended without a failure line.
    bool runEncoderPass(ConversionTask& task, const char* commandLine);
    // True, with the rate, when the probe ran to its end. Without a rate line
    // the rate is the integer part of the source's frame rate (0 if none).
    bool runFrameRateProbe(ConversionTask& task, const char* commandLine, int32_t& rate);
    // True when the tool ran to its end; its output is read and dropped.
    bool runTool(ConversionTask& task, const char* commandLine);

    // True when the run must end now: the running program is closed and the
    // stopped notification has been sent for the task.
    bool stopCheck(ConversionTask& task);
    // Sends WM_TASK_NOTIFY and waits until the receiver has handled it.
    void notify(uint32_t code, uint32_t detail, ConversionTask* task);

    // Post-processing of the formats whose encoder output is an AVI
    // intermediate. True when the final file is in place.
    virtual bool postProcess3gp(ConversionTask& task);
    virtual bool postProcessPmp(ConversionTask& task);
    virtual bool postProcessMp4WithAtoms(ConversionTask& task);
    virtual bool postProcessMp4(ConversionTask& task);

private:
    enum class ReadResult { Line, Nothing, Ended };

    void threadMain();
    // Reads what the program printed; Ended only once it has ended and every
    // line it wrote has been taken.
    ReadResult readOutput(char* buffer, size_t size);
    bool mustStop() const { return stop_.load() || quitting_.load() || receiverGone_.load(); }
    // Keeps the reason with the task (the Chinese sentence of its cause, then
    // the program's line; Unknown: the cause is read from the line), then
    // sends the failed, bad-parameters or folder-failed notification.
    void fail(ConversionTask& task, uint32_t code, std::string_view reason, FailureCause cause = FailureCause::Unknown);
    // A video format for a source without video, or an audio format for one
    // without audio: fails the task before anything is made or run.
    bool refusedBeforeRunning(ConversionTask& task);
    // After a first pass that succeeded: its two-pass log is in the output
    // folder, or the task has failed with the pass's reason.
    bool firstPassLeftItsLog(ConversionTask& task);
    // Claims the task's output name (the next free " (N)" when another
    // program took it) and builds the commands that write into the claim's
    // folder. Null, with the task failed, when nothing can be made there.
    std::unique_ptr<OutputClaim> claimOutput(ConversionTask& task);
    // Gives the finished output its name; false, with the task failed, when
    // it cannot.
    bool publishOutput(ConversionTask& task, OutputClaim& claim);
    // Where the programs run and leave their logs and scripts: the claim's
    // folder during runTask, else the output folder (kept in `scratch`).
    const char* encoderFolder(const ConversionTask& task, core::TextString& scratch) const;
    // The seconds the output should cover (the probed source from the start
    // position, cut to the length asked for); 0 when unknown.
    static double expectedSeconds(const ConversionTask& task);
    // Sets the task's warning when the encoder reached less than expected.
    void warnIfShort(ConversionTask& task);
    void deleteTwoPassLogs(const ConversionTask& task);
    bool stoppedBeforeMuxing(ConversionTask& task);
    // A step left no file: fails with the tool's last line as the reason.
    void failMissing(ConversionTask& task, const char* base, const char* suffix);
    bool muxMp4Style(ConversionTask& task, bool is3gp);
    bool writeAtomScript(const char* path);
    void removeFiles(const char* base, std::initializer_list<const char*> suffixes);
    // The encoder's last output file must exist and hold bytes.
    bool checkFinalOutput(ConversionTask& task);
    // The running task's output folder: held open when the run begins, so
    // that a move or removal under the run is noticed.
    void holdOutputFolder(const char* folder);
    void releaseOutputFolder();
    // The held folder is no longer the directory at its path (removed, or
    // renamed and perhaps replaced).
    bool outputFolderMoved(const ConversionTask& task) const;
    void tickTimerMain(std::stop_token stop);

    const Environment environment_; // immutable after construction
    std::string workFolder_; // worker thread: the running task's work folder (its claim's)
    std::string outputBeingMade_; // worker thread: where the running task's programs write its output
    std::string lastToolLine_; // worker thread: the last line the running tool printed
    double reachedSeconds_ = -1; // worker thread: the furthest "Pos:" of the last encoder pass; -1 none
    int lastExitStatus_ = 0; // worker thread: how the last encoder pass ended (128 + n: signal n)
    int outputFolderFd_ = -1; // worker thread: the running task's output folder, or -1

    std::atomic<core::NotificationSink*> owner_{nullptr};
    std::atomic<bool> busy_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> quitting_{false}; // endThread has begun
    std::atomic<bool> receiverGone_{false}; // a send was refused

    std::mutex mutex_;
    std::condition_variable queued_; // guarded by mutex_: queue_ grew or quitting_
    std::deque<intptr_t> queue_; // guarded by mutex_
    std::thread thread_; // host thread only

    std::mutex tickMutex_;
    std::condition_variable_any tickWake_;
    std::jthread tickThread_; // host thread only
};

} // namespace qf::tasks
