// The UI thread's side of the player engine: launching and ending the
// player, and the slave commands.

#include "player/player_engine.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "core/messages.h"
#include "core/platform/process.h"
#include "core/program_directory.h"
#include "player/player_settings.h"
#include "player/slave_protocol.h"

namespace qf::player {

namespace {

// Launches not yet taken up by the engine thread are remembered up to this
// many (only a thread that never runs lets them pile up).
constexpr size_t kMaxLaunchRecords = 16;
// A drain gives up after this many lines, so that a player that never stops
// talking cannot hold a caller.
constexpr int kMaxDrainLines = 256;

int32_t limited(int64_t value, int64_t low, int64_t high)
{
    return static_cast<int32_t>(std::clamp(value, low, high));
}

// While paused, a command must not wake the player behind the engine's back.
const char* pausePrefix(PlayerState state) { return state == PlayerState::Paused ? "pausing_keep " : ""; }

} // namespace

PlayerEngine::PlayerEngine(core::NotificationSink& videoWindow, core::NotificationSink& playerWindow)
    : videoSink_(videoWindow), playerSink_(playerWindow)
{
}

PlayerEngine::~PlayerEngine() { stopThread(); }

void PlayerEngine::setPlayerPath(const char* quotedPath)
{
    std::lock_guard lock(ioMutex_);
    playerPath_ = quotedPath ? quotedPath : "";
}

std::string PlayerEngine::lastCommandLine() const
{
    std::lock_guard lock(ioMutex_);
    return lastCommandLine_;
}

std::string PlayerEngine::videoOutput() const
{
    std::lock_guard lock(ioMutex_);
    return videoOutput_;
}

bool PlayerEngine::startThread(uint32_t videoWindowId)
{
    stopThread();
    if (!playerDriversFromEnvironment()) {
        std::string quotedPlayer;
        {
            std::lock_guard lock(ioMutex_);
            quotedPlayer = playerPath_.empty() ? core::toolPaths().playerPath.c_str() : playerPath_;
        }
        sound_.start(std::move(quotedPlayer));
    }
    videoWindowId_.store(videoWindowId);
    quitting_.store(false);
    threadRunning_.store(true);
    try {
        thread_ = std::thread([this] { threadMain(); });
    } catch (const std::system_error&) {
        threadRunning_.store(false);
        return false;
    }
    return true;
}

void PlayerEngine::stopThread()
{
    quitting_.store(true);
    sound_.stop();
    terminatePlayer();
    if (thread_.joinable()) {
        postToThread(ThreadMessage{kQuitMessage, nullptr, 0});
        thread_.join();
    }
    threadRunning_.store(false);
    {
        std::lock_guard lock(queueMutex_);
        queue_.clear();
    }
    std::lock_guard lock(ioMutex_);
    launches_.clear();
    state_.store(PlayerState::Idle);
}

void PlayerEngine::postToThread(const ThreadMessage& message)
{
    std::lock_guard lock(queueMutex_);
    queue_.push_back(message);
    queueChanged_.notify_one();
}

PlayerState PlayerEngine::startPlayback(const void* entry, const char* path)
{
    if (state_.load() == PlayerState::Paused) {
        std::lock_guard lock(ioMutex_);
        sendDrainedLocked("pause\n");
        state_.store(PlayerState::Playing);
        return PlayerState::Playing;
    }
    stopPlayback();
    if (!path || !*path)
        return state_.load();
    settings_.take();
    uint64_t launch = 0;
    {
        std::lock_guard lock(ioMutex_);
        if (!launchLocked(path))
            return state_.load();
        state_.store(PlayerState::Starting);
        launch = launch_;
    }
    playerSink_.post(core::WM_PLAYER_NOTIFY, core::PLAYER_STARTING, reinterpret_cast<intptr_t>(entry));
    postToThread(ThreadMessage{core::WM_PLAY_ENTRY, entry, launch});
    // The engine thread may already have moved on; the caller asks whether
    // the process was created.
    return PlayerState::Starting;
}

bool PlayerEngine::launchLocked(const char* path)
{
    terminateLocked();
    // A new file starts without the last one's length and position.
    position_ = 0;
    length_ = 0;
    const std::string quotedPlayer = playerPath_.empty() ? core::toolPaths().playerPath.c_str() : playerPath_;
    lastCommandLine_ = buildPlayerCommandLine(quotedPlayer, videoWindowId_.load(), playerDrivers(sound_.soundOutput()), path);
    auto process = std::make_shared<platform::ChildProcess>();
    platform::ChildProcess::Options options;
    options.stdinPipe = true;
    options.mergeStderr = false;
    if (!process->start(lastCommandLine_, options))
        return false;
    process_ = std::move(process);
    reader_.reset();
    question_ = PositionQuestion{};
    videoOutput_.clear();
    announcedLength_ = 0;
    launches_.push_back(LaunchRecord{++launch_, false});
    if (launches_.size() > kMaxLaunchRecords)
        launches_.pop_front();
    return true;
}

void PlayerEngine::stopPlayback()
{
    std::unique_lock lock(ioMutex_);
    if (!process_ || process_->hasExited())
        return;
    // Idle first, so that the end of the process counts as requested.
    state_.store(PlayerState::Idle);
    const uint64_t launch = launch_;
    terminateLocked();
    position_ = 0;
    length_ = 0;
    // Let the engine thread take up this end before the caller starts the
    // next file, so that its 6 comes before the next launch's 8.
    if (threadRunning_.load())
        ioChanged_.wait_for(lock, std::chrono::milliseconds(kStopHandOverMs),
                            [&] { return reportedLaunch_ >= launch || !threadRunning_.load(); });
}

void PlayerEngine::terminatePlayer()
{
    std::lock_guard lock(ioMutex_);
    terminateLocked();
}

void PlayerEngine::terminateLocked()
{
    if (!process_)
        return;
    if (!process_->hasExited()) {
        if (LaunchRecord* record = recordLocked(launch_))
            record->stopRequested = true;
        // "quit" is the slave's close request; a player that does not act on
        // it in time is killed.
        process_->write("quit\n");
        std::string discarded;
        for (int tries = 0; tries < kCloseTries; ++tries) {
            // Keep its output flowing: a player blocked on a full pipe
            // cannot quit.
            while (reader_.readLine(*process_, discarded)) {
            }
            if (process_->waitExit(kCloseWaitMs))
                break;
        }
        if (!process_->hasExited())
            process_->terminate(0);
    }
    process_.reset();
    reader_.reset();
    question_ = PositionQuestion{};
    ioChanged_.notify_all();
}

PlayerEngine::LaunchRecord* PlayerEngine::recordLocked(uint64_t launch)
{
    for (LaunchRecord& record : launches_)
        if (record.launch == launch)
            return &record;
    return nullptr;
}

bool PlayerEngine::writeLocked(std::string_view line)
{
    return process_ && process_->write(line);
}

void PlayerEngine::drainLocked()
{
    if (!process_)
        return;
    std::string line;
    int misses = 2;
    for (int lines = 0; lines < kMaxDrainLines;) {
        if (reader_.readLine(*process_, line)) {
            noteLineLocked(line);
            ++lines;
            continue;
        }
        if (reader_.waitForOutput(*process_, 0))
            continue;
        if (misses == 0)
            return;
        --misses;
    }
}

bool PlayerEngine::sendDrainedLocked(std::string_view line)
{
    if (!writeLocked(line))
        return false;
    drainLocked();
    return true;
}

void PlayerEngine::sendPictureLocked()
{
    sendDrainedLocked(core::TextString::formatted("brightness %d 1\n", brightness_.load()).view());
    sendDrainedLocked(core::TextString::formatted("contrast %d 1\n", contrast_.load()).view());
    sendDrainedLocked(core::TextString::formatted("hue %d 1\n", hue_.load()).view());
    sendDrainedLocked(core::TextString::formatted("saturation %d 1\n", saturation_.load()).view());
}

std::optional<int32_t> PlayerEngine::queryLocked(std::string_view command, std::string_view tag)
{
    if (!writeLocked(command))
        return 0;
    // Lines the player printed before the answer (start-up chatter, other
    // replies) are passed over: only the answer's own tag is read as one,
    // and a position answer owed to an earlier question goes to that one.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kQueryWaitMs);
    std::string line;
    const auto answered = [&]() -> std::optional<int32_t> {
        while (reader_.readLine(*process_, line)) {
            const bool owed = line.starts_with(kPositionAnswerTag) && positionAnswerOwedLocked();
            if (!owed && isAnswerLine(line, tag))
                return parseAnswerSeconds(line, tag);
            noteLineLocked(line);
        }
        return std::nullopt;
    };
    for (;;) {
        if (const auto answer = answered())
            return answer;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !reader_.waitForOutput(*process_, static_cast<int>(left)))
            return answered();
    }
}

bool PlayerEngine::positionAnswerOwedLocked() const { return question_.staleAnswers > 0 || question_.asked; }

void PlayerEngine::noteLineLocked(std::string_view line)
{
    if (!line.starts_with(kPositionAnswerTag)) {
        if (std::string output = videoOutputOfLine(line); !output.empty())
            videoOutput_ = std::move(output);
        else if (const int32_t length = identifiedLength(line); length > 0)
            announcedLength_ = length;
        else if (const int32_t late = parseAnswerSeconds(line, kLengthAnswerTag); late > 0)
            announcedLength_ = late;   // the answer to a question given up on
        return;
    }
    if (question_.staleAnswers > 0) {
        --question_.staleAnswers;
        return;
    }
    if (!question_.asked)
        return;
    question_.asked = false;
    question_.answered = true;
    question_.answerMs = parseAnswerMilliseconds(line, kPositionAnswerTag);
}

void PlayerEngine::forgetPositionQuestionLocked()
{
    if (question_.asked)
        ++question_.staleAnswers;
    question_.asked = false;
    question_.answered = false;
    question_.shiftSeconds = 0;
}

void PlayerEngine::togglePause()
{
    std::lock_guard lock(ioMutex_);
    const PlayerState state = state_.load();
    if (state == PlayerState::Playing) {
        sendDrainedLocked("pause\n");
        // An answer owed now would be moved on by the time spent paused.
        forgetPositionQuestionLocked();
        state_.store(PlayerState::Paused);
    } else if (state == PlayerState::Paused) {
        // "pause" toggles; any other command would leave the player paused.
        sendDrainedLocked("pause\n");
        sendDrainedLocked(core::TextString::formatted("volume %u 1\n", settings_.volume()).view());
        sendPictureLocked();
        state_.store(PlayerState::Playing);
    }
}

int32_t PlayerEngine::queryLength()
{
    if (length_ != 0)
        return length_;
    std::lock_guard lock(ioMutex_);
    if (state_.load() != PlayerState::Playing)
        return 0;
    // What has arrived may hold the announced length, or a late answer.
    std::string line;
    for (int lines = 0; process_ && lines < kMaxDrainLines && reader_.readLine(*process_, line); ++lines)
        noteLineLocked(line);
    if (announcedLength_ > 0) {
        length_ = announcedLength_;
        return length_;
    }
    const int32_t answer = queryLocked("get_time_length\n", kLengthAnswerTag).value_or(0);
    length_ = answer;
    return answer;
}

int32_t PlayerEngine::queryPosition()
{
    std::lock_guard lock(ioMutex_);
    if (state_.load() != PlayerState::Playing)
        return 0;
    const std::optional<int32_t> answer = queryLocked("get_time_pos\n", kPositionAnswerTag);
    if (!answer)
        ++question_.staleAnswers;   // it comes later, too old by then
    else if (*answer != 0)
        position_ = *answer;
    return position_;
}

int32_t PlayerEngine::pollPosition()
{
    using Clock = std::chrono::steady_clock;
    std::lock_guard lock(ioMutex_);
    if (state_.load() != PlayerState::Playing)
        return 0;
    if (!process_)
        return position_;
    // Only what has already arrived: the buffer and one look into the pipe
    // per line.
    std::string line;
    for (int lines = 0; lines < kMaxDrainLines && reader_.readLine(*process_, line); ++lines)
        noteLineLocked(line);
    const auto now = Clock::now();
    if (question_.answered) {
        question_.answered = false;
        if (question_.answerMs >= 1000) {
            const int64_t since =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - question_.askedAt).count();
            const int64_t ms = question_.answerMs + since + int64_t{question_.shiftSeconds} * 1000;
            position_ = limited(ms / 1000, 0, INT32_MAX);
        }
    } else if (question_.asked) {
        if (now - question_.askedAt < std::chrono::milliseconds(kPositionLostMs))
            return position_;
        // Taken as lost; should its answer still come, it stands for the
        // new question.
        question_.asked = false;
    }
    question_.shiftSeconds = 0;
    if (writeLocked("get_time_pos\n")) {
        question_.asked = true;
        question_.askedAt = now;
    }
    return position_;
}

void PlayerEngine::setMute(bool on)
{
    std::lock_guard lock(ioMutex_);
    const PlayerState state = state_.load();
    if (state != PlayerState::Playing && state != PlayerState::Paused)
        return;
    sendDrainedLocked(core::TextString::formatted("%smute %d\n", pausePrefix(state), on ? 1 : 0).view());
}

void PlayerEngine::setVolume(uint32_t volume)
{
    volume = std::min(volume, kMaxPlayerVolume);
    settings_.setVolume(volume);
    std::lock_guard lock(ioMutex_);
    if (state_.load() == PlayerState::Playing)
        sendDrainedLocked(core::TextString::formatted("volume %u 1\n", volume).view());
}

void PlayerEngine::seekRelative(int32_t seconds)
{
    {
        std::lock_guard lock(ioMutex_);
        if (state_.load() == PlayerState::Playing &&
            sendDrainedLocked(core::TextString::formatted("seek %d 0\n", seconds).view()) &&
            (question_.asked || question_.answered))
            // The player answers before it seeks.
            question_.shiftSeconds = limited(int64_t{question_.shiftSeconds} + seconds, INT32_MIN, INT32_MAX);
    }
    if (seconds < 0 && position_ < -int64_t{seconds})
        position_ = 0;
    else
        position_ = limited(int64_t{position_} + seconds, INT32_MIN, INT32_MAX);
}

void PlayerEngine::seekAbsolute(uint32_t seconds)
{
    position_ = limited(seconds, 0, INT32_MAX);
    std::lock_guard lock(ioMutex_);
    forgetPositionQuestionLocked();
    const PlayerState state = state_.load();
    if (state == PlayerState::Playing || state == PlayerState::Paused)
        sendDrainedLocked(core::TextString::formatted("%sseek %u 2\n", pausePrefix(state), seconds).view());
}

void PlayerEngine::setBrightness(int32_t position)
{
    brightness_.store(limited(int64_t{position} - 85, -100, 100));
    std::lock_guard lock(ioMutex_);
    if (state_.load() == PlayerState::Playing)
        sendDrainedLocked(core::TextString::formatted("brightness %d 1\n", brightness_.load()).view());
}

void PlayerEngine::setContrast(int32_t position)
{
    contrast_.store(position);
    std::lock_guard lock(ioMutex_);
    if (state_.load() == PlayerState::Playing)
        sendDrainedLocked(core::TextString::formatted("contrast %d 1\n", contrast_.load()).view());
}

void PlayerEngine::setHue(int32_t position)
{
    // The slider's right end maps to -1, not to the player's neutral 0.
    hue_.store(position == 100 ? -1 : limited(int64_t{position} - 100, INT32_MIN, INT32_MAX));
    std::lock_guard lock(ioMutex_);
    if (state_.load() == PlayerState::Playing)
        sendDrainedLocked(core::TextString::formatted("hue %d 1\n", hue_.load()).view());
}

void PlayerEngine::setSaturation(int32_t position)
{
    saturation_.store(limited(position, -100, 100));
    std::lock_guard lock(ioMutex_);
    if (state_.load() == PlayerState::Playing)
        sendDrainedLocked(core::TextString::formatted("saturation %d 1\n", saturation_.load()).view());
}

} // namespace qf::player
