#pragma once
// The Qt side of core::NotificationSink: a worker or engine thread reports to
// a window on the UI thread.
//  - post() queues a custom event; the handler runs later on the UI thread,
//    in arrival order with the sends.
//  - send() from another thread queues an event and waits on a condition
//    until the handler has run, then returns its result. From the UI thread
//    itself it calls the handler directly.
//  - shutdown() (UI thread, before joining the reporting threads) makes every
//    later send return kRefused and drops later posts; senders still waiting
//    whose handler has not started are released with kRefused at once, so a
//    UI thread that joins a worker blocked in send() cannot deadlock.
// The sink must outlive every call into it: shut it down, join the senders,
// then destroy it. The destructor shuts down.

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/notification_sink.h"

namespace qf::ui {

class QtNotificationSink final : public core::NotificationSink {
public:
    using Handler = std::function<intptr_t(const core::Message&)>;

    // The handler runs on the thread that constructs the sink (the UI thread).
    explicit QtNotificationSink(Handler handler);
    // Delivers each message to the receiver's message table (sendMessage);
    // a receiver that is gone answers 0.
    explicit QtNotificationSink(QObject* receiver);
    ~QtNotificationSink() override;

    QtNotificationSink(const QtNotificationSink&) = delete;
    QtNotificationSink& operator=(const QtNotificationSink&) = delete;

    intptr_t send(uint32_t message, uint64_t wParam, intptr_t lParam) override;
    void post(uint32_t message, uint64_t wParam, intptr_t lParam) override;

    void shutdown();
    bool isShutDown() const;
    // Sends that are waiting for the UI thread right now.
    int waitingSends() const;

    // One pending synchronous send; shared by the sender and the queued event
    // so that neither outlives the other's view of it.
    struct Pending {
        core::Message message;
        bool taken = false; // guarded by Shared::mutex: the handler has started
        bool done = false; // guarded by Shared::mutex
        intptr_t result = core::NotificationSink::kRefused;
    };
    struct Shared {
        std::mutex mutex;
        std::condition_variable answered;
        bool shutDown = false; // guarded by mutex
        std::vector<std::shared_ptr<Pending>> waiting; // guarded by mutex
    };

private:
    class Relay;

    Handler handler_; // immutable after construction
    std::shared_ptr<Shared> shared_; // immutable pointer
    std::unique_ptr<Relay> relay_; // lives on the UI thread
};

} // namespace qf::ui
