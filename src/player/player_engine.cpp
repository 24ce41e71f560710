// The UI thread's side of the player engine: each operation changes the
// published state and posts its commands to the engine thread; none waits
// for the player except the two queries.

#include "player/player_engine.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <vector>

#include "core/messages.h"
#include "core/platform/command_line.h"
#include "core/platform/process.h"
#include "core/program_directory.h"
#include "player/player_settings.h"
#include "player/slave_protocol.h"

namespace qf::player {

namespace {

using Clock = std::chrono::steady_clock;

int32_t limited(int64_t value, int64_t low, int64_t high) { return static_cast<int32_t>(std::clamp(value, low, high)); }

// While paused, a command must not wake the player behind the engine's back.
const char* pausePrefix(PlayerState state) { return state == PlayerState::Paused ? "pausing_keep " : ""; }

} // namespace

PlayerEngine::PlayerEngine(core::NotificationSink& videoWindow, core::NotificationSink& playerWindow,
                           const PlayerOptions& options)
    : videoSink_(videoWindow), playerSink_(playerWindow), wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      volume_(std::min(options.volume, kMaxPlayerVolume))
{}

PlayerEngine::~PlayerEngine()
{
    stopThread();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

void PlayerEngine::setPlayerPath(const char* quotedPath) { playerPath_ = quotedPath ? quotedPath : ""; }

std::string PlayerEngine::videoOutput() const
{
    std::lock_guard lock(factsMutex_);
    return facts_.videoOutput;
}

bool PlayerEngine::displaySize(int32_t& width, int32_t& height) const
{
    std::lock_guard lock(factsMutex_);
    if (facts_.displayWidth <= 0 || facts_.displayHeight <= 0)
        return false;
    width = facts_.displayWidth;
    height = facts_.displayHeight;
    return true;
}

bool PlayerEngine::startThread(uint32_t videoWindowId)
{
    stopThread();
    if (wakeFd_ < 0)
        return false;
    if (!playerDriversFromEnvironment())
        sound_.start(playerPath_.empty() ? core::toolPaths().playerPath.c_str() : playerPath_);
    videoWindowId_.store(videoWindowId);
    quitting_.store(false);
    try {
        thread_ = std::thread([this] { threadMain(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void PlayerEngine::stopThread()
{
    quitting_.store(true);
    sound_.stop();
    if (thread_.joinable()) {
        // The engine thread ends the player before it leaves.
        post(Command{Command::Kind::Quit});
        thread_.join();
    }
    {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    status_.store(packed(launches_, PlayerState::Idle));
}

void PlayerEngine::wake()
{
    // Adds one to the counter; only a counter near overflow could refuse.
    const uint64_t one = 1;
    if (::write(wakeFd_, &one, sizeof one) < 0) {}
}

void PlayerEngine::post(Command command)
{
    {
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(command));
    }
    wake();
}

void PlayerEngine::postWrite(uint32_t launch, std::string line)
{
    Command command{Command::Kind::Write, launch};
    command.text = std::move(line);
    post(std::move(command));
}

bool PlayerEngine::changeState(uint32_t launch, PlayerState from, PlayerState to)
{
    uint64_t expected = packed(launch, from);
    return status_.compare_exchange_strong(expected, packed(launch, to));
}

bool PlayerEngine::playerStartable(const std::string& commandLine) const
{
    // What process creation itself checks first, so that the start's result
    // is known here while the engine thread creates the process.
    const std::vector<std::string> args = platform::splitCommandLine(commandLine);
    return !args.empty() && !args[0].empty() && ::access(args[0].c_str(), X_OK) == 0;
}

PlayerState PlayerEngine::startPlayback(const void* entry, const char* path, std::string_view videoFilters)
{
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Paused
        && changeState(launchOf(status), PlayerState::Paused, PlayerState::Playing)) {
        postWrite(launchOf(status), "pause\n");
        return PlayerState::Playing;
    }
    stopPlayback();
    if (!path || !*path)
        return state();
    const std::string quotedPlayer = playerPath_.empty() ? core::toolPaths().playerPath.c_str() : playerPath_;
    lastCommandLine_ = buildPlayerCommandLine(quotedPlayer, videoWindowId_.load(), playerDrivers(sound_.soundOutput()),
                                              path, videoFilters);
    if (!playerStartable(lastCommandLine_))
        return state();
    const uint32_t launch = ++launches_;
    // A new file starts without the last one's length, position and facts.
    position_ = 0;
    length_ = 0;
    {
        std::lock_guard lock(factsMutex_);
        const uint64_t caughtUp = facts_.caughtUp;
        facts_ = Facts{};
        facts_.launch = launch;
        facts_.caughtUp = caughtUp;
    }
    status_.store(packed(launch, PlayerState::Starting));
    Command command{Command::Kind::PlayEntry, launch, entry};
    command.text = lastCommandLine_;
    post(std::move(command));
    return PlayerState::Starting;
}

void PlayerEngine::stopPlayback()
{
    for (uint64_t status = status_.load();;) {
        if (stateOf(status) == PlayerState::Idle)
            return;
        // Idle first, so that the end of the process counts as requested.
        if (status_.compare_exchange_weak(status, packed(launchOf(status), PlayerState::Idle))) {
            position_ = 0;
            length_ = 0;
            post(Command{Command::Kind::Stop, launchOf(status)});
            return;
        }
    }
}

bool PlayerEngine::stopPlaybackAndWait(int timeoutMs)
{
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Idle || !thread_.joinable())
        return true;
    stopPlayback();
    std::unique_lock lock(goneMutex_);
    return goneChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return goneLaunch_ >= launchOf(status); });
}

void PlayerEngine::launchGone(uint32_t launch)
{
    std::lock_guard lock(goneMutex_);
    goneLaunch_ = std::max(goneLaunch_, launch);
    goneChanged_.notify_all();
}

void PlayerEngine::terminatePlayer() { post(Command{Command::Kind::Stop, launchOf(status_.load())}); }

void PlayerEngine::forgetPositionQuestionLocked()
{
    PositionQuestion& q = facts_.question;
    if (q.asked)
        ++q.staleAnswers;
    q.asked = false;
    q.answered = false;
    q.shiftSeconds = 0;
}

void PlayerEngine::togglePause()
{
    const uint64_t status = status_.load();
    const uint32_t launch = launchOf(status);
    if (stateOf(status) == PlayerState::Playing) {
        if (!changeState(launch, PlayerState::Playing, PlayerState::Paused))
            return;
        {
            // An answer owed now would be moved on by the time spent paused.
            std::lock_guard lock(factsMutex_);
            forgetPositionQuestionLocked();
        }
        postWrite(launch, "pause\n");
    } else if (stateOf(status) == PlayerState::Paused) {
        if (!changeState(launch, PlayerState::Paused, PlayerState::Playing))
            return;
        // "pause" toggles; any other command would leave the player paused.
        postWrite(launch, "pause\n");
        postWrite(launch, core::TextString::formatted("volume %u 1\n", volume_.load()).c_str());
        postWrite(launch, core::TextString::formatted("brightness %d 1\n", brightness_.load()).c_str());
        postWrite(launch, core::TextString::formatted("contrast %d 1\n", contrast_.load()).c_str());
        postWrite(launch, core::TextString::formatted("hue %d 1\n", hue_.load()).c_str());
        postWrite(launch, core::TextString::formatted("saturation %d 1\n", saturation_.load()).c_str());
    }
}

std::optional<int32_t> PlayerEngine::runQuery(uint32_t launch, const char* line, std::string_view tag)
{
    auto reply = std::make_shared<QueryReply>();
    Command command{Command::Kind::Query, launch};
    command.text = line;
    command.tag = tag;
    command.reply = reply;
    post(std::move(command));
    std::unique_lock lock(reply->mutex);
    // The engine thread may be busy with an earlier command (ending a player
    // that ignores "quit", a synchronous report): give up after its turn.
    if (!reply->done.wait_for(lock, std::chrono::milliseconds(kQueryWaitMs + kQueryTurnMs),
                              [&] { return reply->finished; })) {
        reply->abandoned = true;
        return std::nullopt;
    }
    return reply->answer;
}

int32_t PlayerEngine::queryLength()
{
    if (length_ != 0)
        return length_;
    const uint64_t status = status_.load();
    if (stateOf(status) != PlayerState::Playing)
        return 0;
    // The engine thread takes the announced length when it has one.
    length_ = runQuery(launchOf(status), "get_time_length\n", kLengthAnswerTag).value_or(0);
    return length_;
}

int32_t PlayerEngine::knownLength(bool ask)
{
    if (length_ != 0)
        return length_;
    const uint64_t status = status_.load();
    if (stateOf(status) != PlayerState::Playing)
        return 0;
    {
        std::lock_guard lock(factsMutex_);
        if (facts_.launch == launchOf(status) && facts_.announcedLength > 0) {
            length_ = facts_.announcedLength;
            return length_;
        }
    }
    // The answer, when it comes, is kept as the announced length.
    if (ask)
        postWrite(launchOf(status), "get_time_length\n");
    return 0;
}

int32_t PlayerEngine::queryPosition()
{
    const uint64_t status = status_.load();
    if (stateOf(status) != PlayerState::Playing)
        return 0;
    const std::optional<int32_t> answer = runQuery(launchOf(status), "get_time_pos\n", kPositionAnswerTag);
    if (answer && *answer != 0)
        position_ = *answer;
    return position_;
}

int32_t PlayerEngine::pollPosition()
{
    const uint64_t status = status_.load();
    if (stateOf(status) != PlayerState::Playing)
        return 0;
    std::unique_lock lock(factsMutex_);
    PositionQuestion& q = facts_.question;
    if (q.asked && Clock::now() - q.askedAt >= std::chrono::milliseconds(kAnswerOverdueMs)) {
        // The answer may be in the pipe already: one turn of an idle engine
        // thread reads it. A busy one (see engineBusy_) is not waited for,
        // and the player itself never is. The engine thread marks itself
        // busy before its own catch-up, so a request it did not see finds
        // it marked.
        const uint64_t request = catchUpRequest_.fetch_add(1) + 1;
        wake();
        caughtUp_.wait_for(lock, std::chrono::milliseconds(kCatchUpMs),
                           [&] { return facts_.caughtUp >= request || !q.asked || engineBusy_.load(); });
    }
    const auto now = Clock::now();
    if (q.answered) {
        q.answered = false;
        if (q.answerMs >= 1000) {
            const int64_t since = std::chrono::duration_cast<std::chrono::milliseconds>(now - q.askedAt).count();
            const int64_t ms = q.answerMs + since + int64_t{q.shiftSeconds} * 1000;
            position_ = limited(ms / 1000, 0, INT32_MAX);
        }
    } else if (q.asked) {
        if (now - q.askedAt < std::chrono::milliseconds(kPositionLostMs))
            return position_;
        // Taken as lost; should its answer still come, it stands for the
        // new question.
        q.asked = false;
    }
    q.shiftSeconds = 0;
    q.asked = true;
    q.askedAt = now;
    lock.unlock();
    post(Command{Command::Kind::AskPosition, launchOf(status)});
    return position_;
}

void PlayerEngine::setMute(bool on)
{
    const uint64_t status = status_.load();
    const PlayerState state = stateOf(status);
    if (state != PlayerState::Playing && state != PlayerState::Paused)
        return;
    postWrite(launchOf(status), core::TextString::formatted("%smute %d\n", pausePrefix(state), on ? 1 : 0).c_str());
}

void PlayerEngine::setVolume(uint32_t volume)
{
    volume = std::min(volume, kMaxPlayerVolume);
    volume_.store(volume);
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Playing)
        postWrite(launchOf(status), core::TextString::formatted("volume %u 1\n", volume).c_str());
}

void PlayerEngine::seekRelative(int32_t seconds)
{
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Playing) {
        {
            std::lock_guard lock(factsMutex_);
            PositionQuestion& q = facts_.question;
            // The player answers before it seeks.
            if (q.asked || q.answered)
                q.shiftSeconds = limited(int64_t{q.shiftSeconds} + seconds, INT32_MIN, INT32_MAX);
        }
        postWrite(launchOf(status), core::TextString::formatted("seek %d 0\n", seconds).c_str());
    }
    if (seconds < 0 && position_ < -int64_t{seconds})
        position_ = 0;
    else
        position_ = limited(int64_t{position_} + seconds, INT32_MIN, INT32_MAX);
}

void PlayerEngine::seekAbsolute(uint32_t seconds)
{
    position_ = limited(seconds, 0, INT32_MAX);
    {
        std::lock_guard lock(factsMutex_);
        forgetPositionQuestionLocked();
    }
    const uint64_t status = status_.load();
    const PlayerState state = stateOf(status);
    if (state == PlayerState::Playing || state == PlayerState::Paused) {
        Command command{Command::Kind::Seek, launchOf(status)};
        command.ms = int64_t{seconds} * 1000;
        command.paused = state == PlayerState::Paused;
        post(std::move(command));
    }
}

void PlayerEngine::seekStep(int32_t seconds)
{
    position_ = limited(std::max<int64_t>(0, int64_t{position_} + seconds), 0, INT32_MAX);
    {
        std::lock_guard lock(factsMutex_);
        forgetPositionQuestionLocked();
    }
    const uint64_t status = status_.load();
    const PlayerState state = stateOf(status);
    if (seconds != 0 && (state == PlayerState::Playing || state == PlayerState::Paused)) {
        Command command{Command::Kind::Seek, launchOf(status)};
        command.ms = int64_t{seconds} * 1000;
        command.step = true;
        command.paused = state == PlayerState::Paused;
        post(std::move(command));
    }
}

void PlayerEngine::endOfFile()
{
    const uint64_t status = status_.load();
    const PlayerState state = stateOf(status);
    // Not a requested stop: the state stays, so the end counts as the file's.
    if (state == PlayerState::Playing || state == PlayerState::Paused)
        postWrite(launchOf(status), "quit\n");
}

void PlayerEngine::setBrightness(int32_t position)
{
    brightness_.store(limited(int64_t{position} - 85, -100, 100));
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Playing)
        postWrite(launchOf(status), core::TextString::formatted("brightness %d 1\n", brightness_.load()).c_str());
}

void PlayerEngine::setContrast(int32_t position)
{
    contrast_.store(position);
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Playing)
        postWrite(launchOf(status), core::TextString::formatted("contrast %d 1\n", contrast_.load()).c_str());
}

void PlayerEngine::setHue(int32_t position)
{
    // The slider's right end maps to -1, not to the player's neutral 0.
    hue_.store(position == 100 ? -1 : limited(int64_t{position} - 100, INT32_MIN, INT32_MAX));
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Playing)
        postWrite(launchOf(status), core::TextString::formatted("hue %d 1\n", hue_.load()).c_str());
}

void PlayerEngine::setSaturation(int32_t position)
{
    saturation_.store(limited(position, -100, 100));
    const uint64_t status = status_.load();
    if (stateOf(status) == PlayerState::Playing)
        postWrite(launchOf(status), core::TextString::formatted("saturation %d 1\n", saturation_.load()).c_str());
}

} // namespace qf::player
