#pragma once
// The receiving end of window messages, seen from the engine. A worker or the
// player engine holds a NotificationSink per receiver (the task list, the
// player window, the video window) and reports through it:
//  - send(): synchronous. Returns only after the receiver's handler has run
//    on the receiver's thread, with the handler's result. Returns
//    `kRefused` without running anything once the sink is shut down, so that
//    no thread waits forever on a receiver that is going away.
//  - post(): queued. Returns at once; the handler runs later on the receiver's
//    thread. Dropped after shutdown.
// Both may be called from any thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qf::core {

struct Message {
    uint32_t message = 0;
    uint64_t wParam = 0;
    intptr_t lParam = 0;
};

class NotificationSink {
public:
    static constexpr intptr_t kRefused = INTPTR_MIN;

    virtual ~NotificationSink() = default;
    virtual intptr_t send(uint32_t message, uint64_t wParam, intptr_t lParam) = 0;
    virtual void post(uint32_t message, uint64_t wParam, intptr_t lParam) = 0;
};

// A plain thread-safe sink for the CLI and the tests: the receiving thread
// calls pump() or waitAndPump() to run queued posts and pending sends in the
// order they arrived. A send from the receiving thread itself runs the handler
// directly (as a window message sent within one thread does).
class QueuedSink final : public NotificationSink {
public:
    using Handler = std::function<intptr_t(const Message&)>;

    // The thread that constructs the sink is its receiving thread.
    explicit QueuedSink(Handler handler);
    ~QueuedSink() override;

    intptr_t send(uint32_t message, uint64_t wParam, intptr_t lParam) override;
    void post(uint32_t message, uint64_t wParam, intptr_t lParam) override;

    // Receiving thread only. Runs everything queued now; returns how many ran.
    int pump();
    // Receiving thread only. Waits up to timeoutMs for something to arrive,
    // then pumps. Returns how many ran.
    int waitAndPump(int timeoutMs);

    // Any thread. From now on sends return kRefused and posts are dropped;
    // senders already waiting are released with kRefused.
    void shutdown();
    bool isShutDown() const;

private:
    struct Item {
        Message msg;
        bool synchronous = false;
        bool taken = false; // the receiver has started the handler
        bool done = false;
        intptr_t result = 0;
    };

    Handler handler_; // immutable after construction
    const std::thread::id owner_; // immutable after construction

    mutable std::mutex mutex_;
    std::condition_variable arrived_; // guarded by mutex_: queue_ grew
    std::condition_variable answered_; // guarded by mutex_: a send finished
    std::deque<Item*> queue_; // guarded by mutex_
    bool shutDown_ = false; // guarded by mutex_
};

} // namespace qf::core
