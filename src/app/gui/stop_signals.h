#pragma once
// The window's answer to SIGTERM, SIGHUP and SIGINT (a logout, a shutdown,
// `kill`, Ctrl-C in the terminal that started it; a signal the starter left
// ignored, as nohup does, stays ignored): the program ends as the
// close command ends it, without asking, so that a running conversion is
// stopped and leaves nothing, and the instance socket goes. A second signal
// while that is under way ends the program at once, as the signal would.
//
// The handler only writes the signal's number into a pipe; a socket notifier
// takes it on the UI thread. One object at a time; UI thread only.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace qf::app {

class StopSignals : public QObject {
public:
    // onSignal runs on the UI thread with the signal's number.
    explicit StopSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    // Puts the default actions back where it changed them.
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool installed() const { return notifier_ != nullptr; }

private:
    void take();

    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace qf::app
