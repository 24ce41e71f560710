#include "tasks/worker_pool.h"

#include <algorithm>

namespace qf::tasks {

WorkerPool::WorkerPool(int count)
{
    for (int i = 0; i < std::max(count, 1); ++i)
        workers_.push_back(std::make_unique<ConversionWorker>());
}

WorkerPool::~WorkerPool()
{
    stopTickTimer();
    endThreads();
}

void WorkerPool::startThreads(core::NotificationSink& owner)
{
    for (auto& worker : workers_)
        worker->startThread(owner);
}

void WorkerPool::startTickTimer() { workers_.front()->startTickTimer(); }

void WorkerPool::stopTickTimer() { workers_.front()->stopTickTimer(); }

void WorkerPool::endThreads()
{
    for (auto& worker : workers_)
        worker->endThread();
}

bool WorkerPool::isBusy() const
{
    return std::any_of(workers_.begin(), workers_.end(), [](const auto& worker) { return worker->isBusy(); });
}

void WorkerPool::markBusy()
{
    // Every worker, so that the first one's tick runs while any task runs.
    for (auto& worker : workers_)
        worker->markBusy();
    next_ = 0;
}

void WorkerPool::enqueue(ConversionTask* task)
{
    workers_[next_]->enqueue(task);
    next_ = (next_ + 1) % workers_.size();
}

void WorkerPool::enqueueEnd()
{
    for (auto& worker : workers_)
        worker->enqueueEnd();
}

void WorkerPool::requestStop()
{
    for (auto& worker : workers_)
        worker->requestStop();
}

} // namespace qf::tasks
