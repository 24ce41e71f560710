#pragma once
// WorkerPool: several ConversionWorkers behind one TaskQueue, so that one
// task list runs that many tasks at once, each on a worker of its own.
//
// Tasks are handed out in turn as they are queued; the end of a run goes to
// every worker, so the receiver gets one NOTIFY_QUEUE_FINISHED per worker
// (queueFinishedCount() of them end a run). Threads as ConversionWorker.

#include <memory>
#include <vector>

#include "tasks/conversion_worker.h"

namespace qf::tasks {

class WorkerPool final : public TaskQueue {
public:
    explicit WorkerPool(int count); // at least one worker
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool() override;

    int queueFinishedCount() const { return static_cast<int>(workers_.size()); }
    void startThreads(core::NotificationSink& owner);
    void startTickTimer(); // one tick for the whole pool
    void stopTickTimer();
    void endThreads();

    // TaskQueue.
    bool isBusy() const override;
    void markBusy() override;
    void enqueue(ConversionTask* task) override;
    void enqueueEnd() override;
    void requestStop() override;

private:
    std::vector<std::unique_ptr<ConversionWorker>> workers_;
    size_t next_ = 0; // host thread: the worker the next task goes to
};

} // namespace qf::tasks
