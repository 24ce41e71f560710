#include "ui/shell/qt_notification_sink.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <algorithm>

#include "ui/shell/message_dispatch.h"

namespace qf::ui {

namespace {

QEvent::Type sinkEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A post carries its message; a send carries its pending record.
class SinkEvent final : public QEvent {
public:
    explicit SinkEvent(const core::Message& message) : QEvent(sinkEventType()), message(message) {}
    explicit SinkEvent(std::shared_ptr<QtNotificationSink::Pending> pending)
        : QEvent(sinkEventType()), pending(std::move(pending))
    {}

    core::Message message;
    std::shared_ptr<QtNotificationSink::Pending> pending;
};

} // namespace

// Receives the sink's events on the UI thread and runs the handler.
class QtNotificationSink::Relay final : public QObject {
public:
    Relay(const Handler* handler, std::shared_ptr<Shared> shared) : handler_(handler), shared_(std::move(shared)) {}

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != sinkEventType())
            return QObject::event(e);
        auto* se = static_cast<SinkEvent*>(e);
        if (!se->pending) {
            bool shutDown;
            {
                std::lock_guard lock(shared_->mutex);
                shutDown = shared_->shutDown;
            }
            if (!shutDown)
                (*handler_)(se->message);
            return true;
        }
        {
            std::lock_guard lock(shared_->mutex);
            // Released by shutdown already: the sender has gone on.
            if (shared_->shutDown || se->pending->done)
                return true;
            se->pending->taken = true;
        }
        const intptr_t result = (*handler_)(se->pending->message);
        std::lock_guard lock(shared_->mutex);
        se->pending->result = result;
        se->pending->done = true;
        std::erase(shared_->waiting, se->pending);
        shared_->answered.notify_all();
        return true;
    }

private:
    const Handler* handler_;
    std::shared_ptr<Shared> shared_;
};

QtNotificationSink::QtNotificationSink(Handler handler)
    : handler_(std::move(handler)), shared_(std::make_shared<Shared>()),
      relay_(std::make_unique<Relay>(&handler_, shared_))
{}

QtNotificationSink::QtNotificationSink(QObject* receiver)
    : QtNotificationSink([target = QPointer<QObject>(receiver)](const core::Message& m) -> intptr_t {
          return target ? sendMessage(target.data(), m.message, m.wParam, m.lParam) : 0;
      })
{}

QtNotificationSink::~QtNotificationSink() { shutdown(); }

intptr_t QtNotificationSink::send(uint32_t message, uint64_t wParam, intptr_t lParam)
{
    if (QThread::currentThread() == relay_->thread()) {
        if (isShutDown())
            return kRefused;
        return handler_(core::Message{message, wParam, lParam});
    }
    auto pending = std::make_shared<Pending>();
    pending->message = core::Message{message, wParam, lParam};
    // Keep a local handle on the shared state: after shutdown the sink itself
    // may be destroyed while this thread is still waking up.
    std::shared_ptr<Shared> shared = shared_;
    std::unique_lock lock(shared->mutex);
    if (shared->shutDown)
        return kRefused;
    shared->waiting.push_back(pending);
    QCoreApplication::postEvent(relay_.get(), new SinkEvent(pending));
    shared->answered.wait(lock, [&] { return pending->done; });
    return pending->result;
}

void QtNotificationSink::post(uint32_t message, uint64_t wParam, intptr_t lParam)
{
    std::lock_guard lock(shared_->mutex);
    if (shared_->shutDown)
        return;
    QCoreApplication::postEvent(relay_.get(), new SinkEvent(core::Message{message, wParam, lParam}));
}

void QtNotificationSink::shutdown()
{
    std::lock_guard lock(shared_->mutex);
    if (shared_->shutDown)
        return;
    shared_->shutDown = true;
    // A handler that has started finishes and answers its sender itself.
    for (const auto& p : shared_->waiting) {
        if (!p->taken) {
            p->result = kRefused;
            p->done = true;
        }
    }
    std::erase_if(shared_->waiting, [](const auto& p) { return p->done; });
    shared_->answered.notify_all();
}

bool QtNotificationSink::isShutDown() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->shutDown;
}

} // namespace qf::ui

namespace qf::ui {

int QtNotificationSink::waitingSends() const
{
    std::lock_guard lock(shared_->mutex);
    return static_cast<int>(shared_->waiting.size());
}

} // namespace qf::ui
