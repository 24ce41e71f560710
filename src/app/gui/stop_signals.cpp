#include "app/gui/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qf::app {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Written by the handler, read on the UI thread: plain descriptors and an
// atomic flag, all the handler may touch.
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_pending = 0;

extern "C" void onStopSignal(int signo)
{
    if (g_pending) {
        // The user insists while the orderly end is under way.
        std::signal(signo, SIG_DFL);
        std::raise(signo);
        return;
    }
    g_pending = 1;
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("quillfer: no pipe for the stop signals: they end the program without its clean-up");
        return;
    }
    g_pending = 0;
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { take(); });
    for (int signo : kSignals) {
        // A signal ignored by whoever started us (nohup, a background job
        // of a script) stays ignored, as they meant.
        struct sigaction previous {};
        if (::sigaction(signo, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        // Interrupted system calls go on: the handler only wakes the loop.
        action.sa_flags = SA_RESTART;
        ::sigaction(signo, &action, nullptr);
    }
}

StopSignals::~StopSignals()
{
    if (!notifier_)
        return;
    for (int signo : kSignals) {
        struct sigaction current {};
        if (::sigaction(signo, nullptr, &current) == 0 && current.sa_handler == onStopSignal)
            std::signal(signo, SIG_DFL);
    }
    notifier_.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::take()
{
    unsigned char number = 0;
    if (::read(g_pipe[0], &number, 1) != 1)
        return;
    notifier_->setEnabled(false);
    if (onSignal_)
        onSignal_(number);
}

} // namespace qf::app
