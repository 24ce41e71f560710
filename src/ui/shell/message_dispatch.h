#pragma once
// Window messages between widgets on the UI thread: a custom event that
// carries (message, wParam, lParam) and each window's message table, which
// maps (message, code) to a handler. The code is wParam's low 16 bits, as
// the message table of a window has always keyed it.
//
// A window that receives messages owns a MessageTable and forwards its
// event() to dispatchMessageEvent(), or derives from MessageWidget.
// UI thread only.

#include <QEvent>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "core/notification_sink.h"

namespace qf::ui {

class MessageEvent final : public QEvent {
public:
    static QEvent::Type eventType();

    explicit MessageEvent(const core::Message& message) : QEvent(eventType()), message_(message) {}

    const core::Message& message() const { return message_; }
    // Set by the receiving table; read by sendMessage().
    intptr_t result() const { return result_; }
    void setResult(intptr_t result) { result_ = result; }
    bool handled() const { return handled_; }
    void setHandled() { handled_ = true; }

private:
    core::Message message_;
    intptr_t result_ = 0;
    bool handled_ = false;
};

class MessageTable {
public:
    using Handler = std::function<intptr_t(const core::Message&)>;
    static constexpr uint32_t kAnyCode = 0xFFFFFFFFu;

    // A handler for one (message, code); kAnyCode catches every code of the
    // message that has no handler of its own.
    void on(uint32_t message, uint32_t code, Handler handler);
    void onAny(uint32_t message, Handler handler) { on(message, kAnyCode, std::move(handler)); }

    // Runs the matching handler. False (and *result untouched) when none matches.
    bool dispatch(const core::Message& message, intptr_t* result) const;

    static uint32_t codeOf(const core::Message& message) { return static_cast<uint32_t>(message.wParam & 0xFFFF); }

private:
    std::map<std::pair<uint32_t, uint32_t>, Handler> handlers_;
};

// For a window's event(): true when the event was a message (handled or not).
bool dispatchMessageEvent(QEvent* event, const MessageTable& table);

// Queued: the receiver's table runs later. Dropped if the receiver is gone.
void postMessage(QObject* receiver, uint32_t message, uint64_t wParam, intptr_t lParam);
// Synchronous, on the UI thread: returns the handler's result, 0 when the
// receiver is null or has no handler.
intptr_t sendMessage(QObject* receiver, uint32_t message, uint64_t wParam, intptr_t lParam);

// The control that sends a message identifies itself in lParam.
inline intptr_t controlParam(const QObject* control) { return reinterpret_cast<intptr_t>(control); }

// A plain widget with a message table.
class MessageWidget : public QWidget {
    Q_OBJECT
public:
    explicit MessageWidget(QWidget* parent = nullptr) : QWidget(parent) {}

    MessageTable& messages() { return messages_; }

protected:
    bool event(QEvent* event) override;

private:
    MessageTable messages_;
};

} // namespace qf::ui
