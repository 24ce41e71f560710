// The engine thread: one WM_PLAY_ENTRY per launch. It waits for the player's
// start line, sends the remembered settings, waits for the process to end and
// reports how it ended.

#include <chrono>
#include <thread>

#include "core/messages.h"
#include "core/platform/process.h"
#include "player/player_engine.h"
#include "player/player_settings.h"
#include "player/slave_protocol.h"

namespace qf::player {

void PlayerEngine::threadMain()
{
    for (;;) {
        ThreadMessage message;
        {
            std::unique_lock lock(queueMutex_);
            queueChanged_.wait(lock, [&] { return !queue_.empty(); });
            message = queue_.front();
            queue_.pop_front();
        }
        if (message.message == kQuitMessage)
            return;
        if (message.message == core::WM_PLAY_ENTRY)
            runPlayback(message);
    }
}

bool PlayerEngine::aliveLocked(uint64_t launch)
{
    if (launch_ != launch || !process_ || process_->hasExited())
        return false;
    const LaunchRecord* record = recordLocked(launch);
    return record && !record->stopRequested;
}

void PlayerEngine::runPlayback(const ThreadMessage& message)
{
    const uint64_t launch = message.launch;
    const auto entry = reinterpret_cast<intptr_t>(message.entry);

    if (waitForStartLine(launch))
        sendStartupCommands(launch);

    // A player that ended before its start line still passes through
    // Playing (its end follows at once); a stopped one does not.
    bool playing = false;
    {
        std::lock_guard lock(ioMutex_);
        const LaunchRecord* record = recordLocked(launch);
        if (record && !record->stopRequested && launch_ == launch && state_.load() == PlayerState::Starting) {
            state_.store(PlayerState::Playing);
            playing = true;
        }
    }
    if (playing && !quitting_.load())
        playerSink_.post(core::WM_PLAYER_NOTIFY, core::PLAYER_PLAYING, entry);

    waitForEnd(launch);

    bool requested = true;
    {
        std::lock_guard lock(ioMutex_);
        for (auto it = launches_.begin(); it != launches_.end(); ++it) {
            if (it->launch == launch) {
                requested = it->stopRequested;
                launches_.erase(it);
                break;
            }
        }
        // Idle before the reports, so that their handlers see the player gone;
        // a newer launch keeps its own state.
        if (launch_ == launch)
            state_.store(PlayerState::Idle);
        reportedLaunch_ = launch;
        ioChanged_.notify_all();
    }
    if (quitting_.load())
        return;
    if (requested) {
        videoSink_.send(core::WM_PLAYER_NOTIFY, core::PLAYER_STOPPED, entry);
    } else {
        videoSink_.send(core::WM_PLAYER_NOTIFY, core::PLAYER_ENDED, entry);
        playerSink_.post(core::WM_PLAYER_NOTIFY, core::PLAYER_ENDED, entry);
    }
}

bool PlayerEngine::waitForStartLine(uint64_t launch)
{
    using Clock = std::chrono::steady_clock;
    Clock::duration silence{};
    std::string line;
    for (;;) {
        std::shared_ptr<platform::ChildProcess> process;
        bool ended = false;
        {
            std::lock_guard lock(ioMutex_);
            if (!aliveLocked(launch))
                return false;
            while (reader_.readLine(*process_, line)) {
                noteLineLocked(line);
                if (isStartLine(line))
                    return true;
            }
            process = process_;
            ended = reader_.atEnd();
        }
        if (ended) {
            // Output closed; the process is about to be gone.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        // Woken by output, or by the pipe closing when a stop ends the
        // player; the mutex stays free meanwhile. Only silence uses up the
        // budget, chatter before the start line does not.
        const auto before = Clock::now();
        if (!process->waitReadable(kStartupPollMs)) {
            silence += Clock::now() - before;
            if (silence >= std::chrono::milliseconds(kStartupSilenceMs)) {
                std::lock_guard lock(ioMutex_);
                return aliveLocked(launch);
            }
        }
    }
}

void PlayerEngine::sendStartupCommands(uint64_t launch)
{
    std::lock_guard lock(ioMutex_);
    if (!aliveLocked(launch))
        return;
    sendDrainedLocked(core::TextString::formatted("volume %u 1\n", settings_.volume()).view());
    sendPictureLocked();
}

void PlayerEngine::waitForEnd(uint64_t launch)
{
    std::unique_lock lock(ioMutex_);
    while (launch_ == launch && process_ && !process_->hasExited())
        ioChanged_.wait_for(lock, std::chrono::milliseconds(kEndPollMs));
}

} // namespace qf::player
