#include "common/signal_cleanup.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qf::kit {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Plain char arrays and sig_atomic_t flags: all the handler may touch. A
// slot's path is complete before its flag is set.
constexpr int kSlots = 8;
char g_paths[kSlots][PATH_MAX];
volatile std::sig_atomic_t g_used[kSlots];

volatile std::sig_atomic_t g_die = 1;
volatile std::sig_atomic_t g_stopSignal = 0;
int g_wakeRead = -1;
int g_wakeWrite = -1;

extern "C" void onStopSignal(int signo)
{
    const int savedErrno = errno;
    for (int i = 0; i < kSlots; ++i)
        if (g_used[i])
            ::unlink(g_paths[i]);
    if (g_die) {
        // Delivered again when the handler returns, now with the default
        // action, so the parent sees the signal the program died by.
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(signo, &action, nullptr);
        ::raise(signo);
        return;
    }
    if (g_stopSignal == 0)
        g_stopSignal = signo;
    if (g_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_wakeWrite, &byte, 1);
    }
    errno = savedErrno;
}

void stopSignalSet(sigset_t& set)
{
    sigemptyset(&set);
    for (int signo : kStopSignals)
        sigaddset(&set, signo);
}

} // namespace

void installStopHandlers(StopAction stopAction)
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    if (stopAction == StopAction::Record) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            g_wakeRead = fds[0];
            g_wakeWrite = fds[1];
        }
        g_die = 0;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    stopSignalSet(action.sa_mask);
    for (int signo : kStopSignals)
        ::sigaction(signo, &action, nullptr);
}

int stopSignal() { return g_stopSignal; }

int stopWakeDescriptor() { return g_wakeRead; }

RemovedOnStop::RemovedOnStop(const std::string& path)
{
    if (path.empty() || path.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kSlots; ++i) {
        if (g_used[i])
            continue;
        std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        g_used[i] = 1;
        slot_ = i;
        return;
    }
}

RemovedOnStop& RemovedOnStop::operator=(RemovedOnStop&& other) noexcept
{
    if (this != &other) {
        release();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

void RemovedOnStop::release()
{
    if (slot_ >= 0)
        g_used[slot_] = 0;
    slot_ = -1;
}

StopSignalsBlocked::StopSignalsBlocked()
{
    sigset_t block;
    stopSignalSet(block);
    ::pthread_sigmask(SIG_BLOCK, &block, &saved_);
}

StopSignalsBlocked::~StopSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

} // namespace qf::kit
