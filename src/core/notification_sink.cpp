#include "core/notification_sink.h"

#include <chrono>

namespace qf::core {

QueuedSink::QueuedSink(Handler handler) : handler_(std::move(handler)), owner_(std::this_thread::get_id()) {}

QueuedSink::~QueuedSink()
{
    shutdown();
    std::lock_guard lock(mutex_);
    for (Item* item : queue_)
        if (!item->synchronous)
            delete item;
    queue_.clear();
}

intptr_t QueuedSink::send(uint32_t message, uint64_t wParam, intptr_t lParam)
{
    if (std::this_thread::get_id() == owner_) {
        if (isShutDown())
            return kRefused;
        return handler_(Message{message, wParam, lParam});
    }
    Item item{Message{message, wParam, lParam}, true};
    std::unique_lock lock(mutex_);
    if (shutDown_)
        return kRefused;
    queue_.push_back(&item);
    arrived_.notify_all();
    // A handler already running is waited for: the item lives on this stack.
    answered_.wait(lock, [&] { return item.done || (shutDown_ && !item.taken); });
    if (!item.done) {
        // Shut down before the receiver got to it: take it back out.
        std::erase(queue_, &item);
        return kRefused;
    }
    return item.result;
}

void QueuedSink::post(uint32_t message, uint64_t wParam, intptr_t lParam)
{
    std::lock_guard lock(mutex_);
    if (shutDown_)
        return;
    queue_.push_back(new Item{Message{message, wParam, lParam}, false});
    arrived_.notify_all();
}

int QueuedSink::pump()
{
    int ran = 0;
    for (;;) {
        Item* item = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty() || shutDown_)
                return ran;
            item = queue_.front();
            queue_.pop_front();
            item->taken = true;
        }
        const intptr_t result = handler_(item->msg);
        ++ran;
        if (item->synchronous) {
            std::lock_guard lock(mutex_);
            item->result = result;
            item->done = true;
            answered_.notify_all();
        } else {
            delete item;
        }
    }
}

int QueuedSink::waitAndPump(int timeoutMs)
{
    {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue_.empty() || shutDown_; });
    }
    return pump();
}

void QueuedSink::shutdown()
{
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    answered_.notify_all();
    arrived_.notify_all();
}

bool QueuedSink::isShutDown() const
{
    std::lock_guard lock(mutex_);
    return shutDown_;
}

} // namespace qf::core
