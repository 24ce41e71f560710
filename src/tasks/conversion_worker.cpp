#include "tasks/conversion_worker.h"

#include "core/messages.h"

namespace qf::tasks {

namespace {

ConversionWorker::Environment processEnvironment()
{
    ConversionWorker::Environment environment;
    environment.tools = core::toolPaths();
    environment.programDirectory = core::programDirectory();
    return environment;
}

} // namespace

ConversionWorker::ConversionWorker() : ConversionWorker(processEnvironment()) {}

ConversionWorker::ConversionWorker(Environment environment) : environment_(std::move(environment)) {}

ConversionWorker::~ConversionWorker()
{
    stopTickTimer();
    endThread();
    close();
}

void ConversionWorker::startThread(core::NotificationSink& owner)
{
    endThread();
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        quitting_.store(false);
    }
    receiverGone_.store(false);
    owner_.store(&owner);
    thread_ = std::thread([this] { threadMain(); });
}

void ConversionWorker::endThread()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        quitting_.store(true);
        queue_.clear();
    }
    queued_.notify_all();
    thread_.join();
    busy_.store(false);
    stop_.store(false);
}

void ConversionWorker::enqueue(ConversionTask* task)
{
    if (task)
        postQueueMessage(reinterpret_cast<intptr_t>(task));
}

void ConversionWorker::postQueueMessage(intptr_t lParam)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(lParam);
    }
    queued_.notify_one();
}

void ConversionWorker::requestStop()
{
    // Under the queue lock so that the end-of-queue marker, which clears the
    // flag, cannot slip in between the busy test and the setting.
    std::lock_guard lock(mutex_);
    if (busy_.load())
        stop_.store(true);
}

void ConversionWorker::threadMain()
{
    for (;;) {
        intptr_t message = 0;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return quitting_.load() || !queue_.empty(); });
            if (quitting_.load())
                return;
            message = queue_.front();
            queue_.pop_front();
            if (message == core::QUEUE_RESET) {
                stop_.store(false);
                if (queue_.empty())
                    busy_.store(false);
                continue;
            }
        }
        if (message == core::QUEUE_END) {
            uint32_t detail = 0;
            {
                std::lock_guard lock(mutex_);
                detail = stop_.load() ? 1 : 0;
                busy_.store(false);
                stop_.store(false);
            }
            notify(core::NOTIFY_QUEUE_FINISHED, detail, nullptr);
            continue;
        }
        runTask(*reinterpret_cast<ConversionTask*>(message));
    }
}

bool ConversionWorker::stopCheck(ConversionTask& task)
{
    if (!mustStop())
        return false;
    close();
    notify(core::NOTIFY_STOPPED, 0, &task);
    return true;
}

void ConversionWorker::notify(uint32_t code, uint32_t detail, ConversionTask* task)
{
    core::NotificationSink* sink = owner_.load();
    if (!sink || quitting_.load() || receiverGone_.load())
        return;
    const intptr_t result
        = sink->send(core::WM_TASK_NOTIFY, core::makeTaskNotifyParam(code, detail), reinterpret_cast<intptr_t>(task));
    if (result == core::NotificationSink::kRefused)
        receiverGone_.store(true);
}

void ConversionWorker::onTimer()
{
    core::NotificationSink* sink = owner_.load();
    if (sink && busy_.load())
        sink->post(core::WM_TASK_NOTIFY, core::makeTaskNotifyParam(core::NOTIFY_TICK, 0), 0);
}

void ConversionWorker::startTickTimer()
{
    stopTickTimer();
    tickThread_ = std::jthread([this](std::stop_token stop) { tickTimerMain(stop); });
}

void ConversionWorker::stopTickTimer()
{
    if (!tickThread_.joinable())
        return;
    tickThread_.request_stop();
    tickWake_.notify_all();
    tickThread_.join();
}

void ConversionWorker::tickTimerMain(std::stop_token stop)
{
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(tickMutex_);
    for (;;) {
        next += std::chrono::milliseconds(kTickIntervalMs);
        if (tickWake_.wait_until(lock, stop, next, [] { return false; }) || stop.stop_requested())
            return;
        onTimer();
    }
}

} // namespace qf::tasks
