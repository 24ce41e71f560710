#include "ui/shell/message_dispatch.h"

#include <QCoreApplication>

namespace qf::ui {

QEvent::Type MessageEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void MessageTable::on(uint32_t message, uint32_t code, Handler handler)
{
    handlers_[{message, code}] = std::move(handler);
}

bool MessageTable::dispatch(const core::Message& message, intptr_t* result) const
{
    auto it = handlers_.find({message.message, codeOf(message)});
    if (it == handlers_.end())
        it = handlers_.find({message.message, kAnyCode});
    if (it == handlers_.end() || !it->second)
        return false;
    const intptr_t r = it->second(message);
    if (result)
        *result = r;
    return true;
}

bool dispatchMessageEvent(QEvent* event, const MessageTable& table)
{
    if (event->type() != MessageEvent::eventType())
        return false;
    auto* m = static_cast<MessageEvent*>(event);
    intptr_t result = 0;
    if (table.dispatch(m->message(), &result)) {
        m->setResult(result);
        m->setHandled();
    }
    return true;
}

void postMessage(QObject* receiver, uint32_t message, uint64_t wParam, intptr_t lParam)
{
    if (receiver)
        QCoreApplication::postEvent(receiver, new MessageEvent(core::Message{message, wParam, lParam}));
}

intptr_t sendMessage(QObject* receiver, uint32_t message, uint64_t wParam, intptr_t lParam)
{
    if (!receiver)
        return 0;
    MessageEvent event(core::Message{message, wParam, lParam});
    QCoreApplication::sendEvent(receiver, &event);
    return event.result();
}

bool MessageWidget::event(QEvent* event)
{
    if (dispatchMessageEvent(event, messages_))
        return true;
    return QWidget::event(event);
}

} // namespace qf::ui
