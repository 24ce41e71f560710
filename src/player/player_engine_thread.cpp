// The engine thread: the only one that starts the player, talks to it and
// ends it. It takes the UI thread's commands in order, reads whatever the
// player writes as it comes, moves a launch from Starting to Playing once the
// player is up, and reports how each launch ended.

#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "core/messages.h"
#include "core/platform/process.h"
#include "player/player_engine.h"
#include "player/slave_protocol.h"

namespace qf::player {

namespace {

using Clock = std::chrono::steady_clock;

// Lines taken in one go, so that a player that never stops talking cannot
// keep the thread from its queue.
constexpr int kMaxLinesAtOnce = 256;

// Seconds with three decimals from milliseconds, whatever the locale's
// decimal point: "-1.250", "12.000".
std::string secondsText(int64_t ms)
{
    std::string text = ms < 0 ? "-" : "";
    const uint64_t magnitude = ms < 0 ? uint64_t(0) - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
    text += std::to_string(magnitude / 1000);
    const std::string fraction = std::to_string(1000 + magnitude % 1000);
    text += '.';
    text += fraction.substr(1);
    return text;
}

// A descriptor that turns readable when the process ends; -1 where the
// kernel refuses one (the engine thread then looks for the end now and then).
int openExitFd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

} // namespace

// Marks the engine thread busy while it lives (a nested scope leaves the
// outer one's mark).
class PlayerEngine::BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& busy) : busy_(busy), was_(busy.exchange(true)) {}
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope() { busy_.store(was_); }

private:
    std::atomic<bool>& busy_;
    bool was_;
};

void PlayerEngine::threadMain()
{
    // Named for top -H and the benches, which read its run time.
    pthread_setname_np(pthread_self(), kThreadName);
    for (;;) {
        std::deque<Command> batch;
        {
            std::lock_guard lock(queueMutex_);
            batch.swap(queue_);
        }
        for (Command& command : batch) {
            if (command.kind == Command::Kind::Quit) {
                finishCurrent(true);
                return;
            }
            handle(command);
        }
        if (current_.process)
            serviceProcess();
        else
            catchUp();
        sleepUntilWork();
    }
}

void PlayerEngine::sleepUntilWork()
{
    pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
    int timeoutMs = -1;
    if (current_.process) {
        if (current_.reader.hasLine())
            timeoutMs = 0; // lines left over from a long burst
        else if (!current_.reader.atEnd())
            fds[1].fd = current_.process->outputFd();
        if (current_.exitFd >= 0)
            fds[2].fd = current_.exitFd;
        else if (timeoutMs != 0)
            timeoutMs = current_.reader.atEnd() ? kExitLookMs : kExitLookOpenMs;
        if (current_.starting) {
            const auto left = std::chrono::milliseconds(kStartupSilenceMs) - current_.silence;
            const auto leftMs = std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count());
            if (timeoutMs < 0 || leftMs < timeoutMs)
                timeoutMs = static_cast<int>(leftMs);
        }
    }
    const auto before = Clock::now();
    int ready;
    do
        ready = ::poll(fds, 3, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (fds[0].revents & POLLIN) {
        // Consumed before the queue is looked at: a command posted after
        // this read signals again.
        uint64_t count = 0;
        if (::read(wakeFd_, &count, sizeof count) < 0) {}
    }
    // Only silence uses up the start-up budget; chatter before the start
    // line does not.
    if (current_.starting && !(fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
        current_.silence += Clock::now() - before;
}

void PlayerEngine::handle(Command& command)
{
    const BusyScope busy(engineBusy_);
    const bool ours = current_.process && command.launch == current_.launch;
    switch (command.kind) {
    case Command::Kind::PlayEntry: playEntry(command); break;
    case Command::Kind::Stop:
        if (ours)
            finishCurrent(true);
        break;
    case Command::Kind::Write:
        if (ours)
            write(command.text);
        break;
    case Command::Kind::AskPosition:
        if (ours && write("get_time_pos\n")) {
            // Timed from when the player can see the question.
            std::lock_guard lock(factsMutex_);
            if (facts_.launch == command.launch && facts_.question.asked)
                facts_.question.askedAt = Clock::now();
        }
        break;
    case Command::Kind::Query: answerQuery(command); break;
    case Command::Kind::Seek:
        if (ours)
            seek(command);
        break;
    case Command::Kind::Quit: break;
    }
}

void PlayerEngine::playEntry(Command& command)
{
    // The UI thread stops a launch before it makes the next one, so any
    // player still here belongs to a launch it has replaced.
    if (current_.process)
        finishCurrent(true);
    catchUp();
    const auto entry = reinterpret_cast<intptr_t>(command.entry);
    const bool stopped = status_.load() != packed(command.launch, PlayerState::Starting);
    auto process = std::make_unique<platform::ChildProcess>();
    bool started = false;
    if (!stopped) {
        platform::ChildProcess::Options options;
        options.stdinPipe = true;
        options.mergeStderr = false;
        started = process->start(command.text, options);
    }
    if (started) {
        current_.launch = command.launch;
        current_.entry = entry;
        current_.exitFd = openExitFd(process->pid());
        current_.process = std::move(process);
        current_.reader.reset();
        current_.starting = true;
        current_.startLineSeen = false;
        current_.silence = {};
    } else if (!stopped) {
        // Checked as startable, yet the process could not be made (out of
        // processes or descriptors): the launch ends as if stopped, so that
        // no end-of-file rule tries the next file at once.
        changeState(command.launch, PlayerState::Starting, PlayerState::Idle);
    }
    if (!started)
        launchGone(command.launch);
    if (quitting_.load())
        return;
    if (started || stopped)
        playerSink_.post(core::WM_PLAYER_NOTIFY, core::PLAYER_STARTING, entry);
    if (!started)
        videoSink_.send(core::WM_PLAYER_NOTIFY, core::PLAYER_STOPPED, entry);
}

void PlayerEngine::serviceProcess()
{
    catchUp();
    if (current_.starting
        && (current_.startLineSeen || current_.silence >= std::chrono::milliseconds(kStartupSilenceMs)))
        beginPlaying(true);
    if (current_.process->hasExited()) {
        // A player that ended before its start line still passes through
        // Playing (its end follows at once); a stopped one does not.
        if (current_.starting)
            beginPlaying(false);
        finishCurrent(false);
    }
}

void PlayerEngine::beginPlaying(bool withSettings)
{
    const BusyScope busy(engineBusy_);
    current_.starting = false;
    const uint32_t launch = current_.launch;
    if (status_.load() != packed(launch, PlayerState::Starting))
        return;
    if (withSettings) {
        current_.sentVolume = volume_.load();
        current_.sentPicture[0] = brightness_.load();
        current_.sentPicture[1] = contrast_.load();
        current_.sentPicture[2] = hue_.load();
        current_.sentPicture[3] = saturation_.load();
        write(core::TextString::formatted("volume %u 1\n", current_.sentVolume).view());
        write(core::TextString::formatted("brightness %d 1\n", current_.sentPicture[0]).view());
        write(core::TextString::formatted("contrast %d 1\n", current_.sentPicture[1]).view());
        write(core::TextString::formatted("hue %d 1\n", current_.sentPicture[2]).view());
        write(core::TextString::formatted("saturation %d 1\n", current_.sentPicture[3]).view());
    }
    if (!changeState(launch, PlayerState::Starting, PlayerState::Playing))
        return;
    if (withSettings)
        sendChangedSettings();
    if (!quitting_.load())
        playerSink_.post(core::WM_PLAYER_NOTIFY, core::PLAYER_PLAYING, current_.entry);
}

void PlayerEngine::sendChangedSettings()
{
    // What the UI thread stored between the start-up's commands and Playing
    // was only stored: send it now.
    if (const uint32_t volume = volume_.load(); volume != current_.sentVolume)
        write(core::TextString::formatted("volume %u 1\n", volume).view());
    static constexpr const char* kPicture[4]
        = {"brightness %d 1\n", "contrast %d 1\n", "hue %d 1\n", "saturation %d 1\n"};
    const int32_t now[4] = {brightness_.load(), contrast_.load(), hue_.load(), saturation_.load()};
    for (int i = 0; i < 4; ++i)
        if (now[i] != current_.sentPicture[i])
            write(core::TextString::formatted(kPicture[i], now[i]).view());
}

void PlayerEngine::finishCurrent(bool requested)
{
    if (!current_.process)
        return;
    const BusyScope busy(engineBusy_);
    const uint32_t launch = current_.launch;
    const intptr_t entry = current_.entry;
    endProcess();
    launchGone(launch);
    catchUp();
    // Idle before the reports, so that their handlers see the player gone.
    // A launch the UI thread has already stopped, or replaced, ended on
    // request whatever the reason.
    bool byItself = false;
    for (uint64_t status = status_.load(); launchOf(status) == launch && stateOf(status) != PlayerState::Idle;) {
        if (status_.compare_exchange_weak(status, packed(launch, PlayerState::Idle))) {
            byItself = !requested;
            break;
        }
    }
    if (quitting_.load())
        return;
    if (!byItself) {
        videoSink_.send(core::WM_PLAYER_NOTIFY, core::PLAYER_STOPPED, entry);
    } else {
        videoSink_.send(core::WM_PLAYER_NOTIFY, core::PLAYER_ENDED, entry);
        playerSink_.post(core::WM_PLAYER_NOTIFY, core::PLAYER_ENDED, entry);
    }
}

void PlayerEngine::endProcess()
{
    catchUp();
    platform::ChildProcess& process = *current_.process;
    if (!process.hasExited()) {
        // "quit" is the slave's close request; a player that does not act on
        // it in time is killed.
        process.write("quit\n", kWriteWaitMs);
        std::string discarded;
        for (int tries = 0; tries < kCloseTries; ++tries) {
            // Keep its output flowing: a player blocked on a full pipe
            // cannot quit.
            while (current_.reader.readLine(process, discarded)) {}
            if (process.waitExit(kCloseWaitMs))
                break;
        }
        if (!process.hasExited())
            process.terminate(0);
    }
    current_.process.reset();
    if (current_.exitFd >= 0)
        ::close(current_.exitFd);
    current_.exitFd = -1;
    current_.reader.reset();
    current_.starting = false;
}

bool PlayerEngine::write(std::string_view line)
{
    catchUp();
    if (!current_.process->write(line, kWriteWaitMs))
        return false;
    // Take in what has come meanwhile, so that answers are seen early.
    readLines();
    return true;
}

void PlayerEngine::readLines()
{
    std::string line;
    for (int lines = 0; lines < kMaxLinesAtOnce && current_.reader.readLine(*current_.process, line); ++lines) {
        noteLine(line);
        if (current_.starting && isStartLine(line))
            current_.startLineSeen = true;
    }
}

void PlayerEngine::noteLine(std::string_view line)
{
    std::lock_guard lock(factsMutex_);
    if (facts_.launch != current_.launch)
        return;
    if (!line.starts_with(kPositionAnswerTag)) {
        if (std::string output = videoOutputOfLine(line); !output.empty()) {
            facts_.videoOutput = std::move(output);
            displaySizeOfLine(line, facts_.displayWidth, facts_.displayHeight);
        } else if (const int32_t length = identifiedLength(line); length > 0)
            facts_.announcedLength = length;
        else if (const int32_t late = parseAnswerSeconds(line, kLengthAnswerTag); late > 0)
            facts_.announcedLength = late; // the answer to a question given up on, or not waited for
        return;
    }
    PositionQuestion& q = facts_.question;
    if (q.staleAnswers > 0) {
        --q.staleAnswers;
        return;
    }
    if (!q.asked)
        return;
    q.asked = false;
    q.answered = true;
    q.answerMs = parseAnswerMilliseconds(line, kPositionAnswerTag);
    caughtUp_.notify_all();
}

bool PlayerEngine::positionAnswerOwed()
{
    std::lock_guard lock(factsMutex_);
    return facts_.launch == current_.launch && (facts_.question.staleAnswers > 0 || facts_.question.asked);
}

void PlayerEngine::answerQuery(Command& command)
{
    QueryReply& reply = *command.reply;
    {
        std::lock_guard lock(reply.mutex);
        if (reply.abandoned)
            return;
    }
    const auto finish = [&](std::optional<int32_t> answer) {
        std::lock_guard lock(reply.mutex);
        reply.answer = answer;
        reply.finished = true;
        reply.done.notify_all();
    };
    if (!current_.process || command.launch != current_.launch)
        return finish(0);
    // What has arrived may hold the announced length, or a late answer.
    catchUp();
    const bool isLength = command.tag == kLengthAnswerTag;
    if (isLength) {
        std::lock_guard lock(factsMutex_);
        if (facts_.launch == command.launch && facts_.announcedLength > 0) {
            const int32_t length = facts_.announcedLength;
            return finish(length);
        }
    }
    if (!current_.process->write(command.text, kWriteWaitMs))
        return finish(0);
    // Lines the player printed before the answer (start-up chatter, other
    // replies) are passed over: only the answer's own tag is read as one,
    // and a position answer owed to an earlier question goes to that one.
    platform::ChildProcess& process = *current_.process;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kQueryWaitMs);
    std::string line;
    const auto answered = [&]() -> std::optional<int32_t> {
        while (current_.reader.readLine(process, line)) {
            const bool owed = line.starts_with(kPositionAnswerTag) && positionAnswerOwed();
            if (!owed && isAnswerLine(line, command.tag))
                return parseAnswerSeconds(line, command.tag);
            noteLine(line);
        }
        return std::nullopt;
    };
    for (;;) {
        if (const auto answer = answered())
            return finish(answer);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !current_.reader.waitForOutput(process, static_cast<int>(left)))
            break;
    }
    const std::optional<int32_t> answer = answered();
    if (!answer && !isLength) {
        // It comes later, too old by then.
        std::lock_guard lock(factsMutex_);
        if (facts_.launch == command.launch)
            ++facts_.question.staleAnswers;
    }
    finish(answer);
}

std::optional<int64_t> PlayerEngine::askPosition(std::string_view prefix, int waitMs)
{
    // Not write(): its look at the output must not take the answer as a
    // line of no interest.
    catchUp();
    if (!current_.process->write(std::string(prefix) + "get_time_pos\n", kWriteWaitMs))
        return std::nullopt;
    // An answer owed to an earlier question goes to that one.
    platform::ChildProcess& process = *current_.process;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::string line;
    for (;;) {
        while (current_.reader.readLine(process, line)) {
            const bool owed = line.starts_with(kPositionAnswerTag) && positionAnswerOwed();
            if (!owed && isAnswerLine(line, kPositionAnswerTag)) {
                if (!line.starts_with(kPositionAnswerTag))
                    return std::nullopt;
                return parseAnswerMilliseconds(line, kPositionAnswerTag);
            }
            noteLine(line);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !current_.reader.waitForOutput(process, static_cast<int>(left))) {
            // It comes later, too old by then.
            std::lock_guard lock(factsMutex_);
            if (facts_.launch == current_.launch)
                ++facts_.question.staleAnswers;
            return std::nullopt;
        }
    }
}

void PlayerEngine::seek(const Command& command)
{
    const std::string prefix = command.paused ? "pausing_keep " : "";
    const auto seekLine = [&](int64_t ms, bool toPoint) {
        return write(prefix + "seek " + secondsText(ms) + (toPoint ? " 2\n" : " 0\n"));
    };
    // Where the player is, for a step.
    std::optional<int64_t> from;
    if (command.step) {
        from = askPosition(prefix, kSeekAnswerWaitMs);
        if (!from) {
            seekLine(command.ms, false);
            return;
        }
    }
    const int64_t target = std::max<int64_t>(0, command.step ? *from + command.ms : command.ms);
    if (!seekLine(target, true))
        return;
    std::optional<int64_t> landed = askPosition(prefix, kSeekAnswerWaitMs);
    const std::optional<int64_t> after = landed;
    // Snapped forward past the point: back by the distance, then by more each
    // try (a first margin would skip a keyframe just before the point).
    for (int tries = 1; landed && *landed > target && tries < kSeekTries; ++tries) {
        if (!seekLine(target - *landed - int64_t{kSeekMarginMs} * (tries - 1), false))
            return;
        landed = askPosition(prefix, kSeekAnswerWaitMs);
    }
    // A step forward that fell back to where it started (or before) goes to
    // the keyframe after the point instead.
    if (command.step && command.ms > 0 && landed && after && *landed <= *from && *after > *from) {
        if (!seekLine(*after - 50, true))
            return;
        landed = askPosition(prefix, kSeekAnswerWaitMs);
    }
    // While paused the next poll comes after the resume, which asks anew.
    if (landed && prefix.empty())
        tellLanded(*landed);
}

void PlayerEngine::tellLanded(int64_t ms)
{
    // The next poll takes where the picture is, not the point asked for.
    std::lock_guard lock(factsMutex_);
    if (facts_.launch != current_.launch)
        return;
    PositionQuestion& q = facts_.question;
    if (q.asked)
        return; // the answer to that question comes after the seek
    q.answered = true;
    q.answerMs = ms;
    q.askedAt = Clock::now();
    q.shiftSeconds = 0;
}

void PlayerEngine::catchUp()
{
    // Whatever is read here was written before this request was made.
    const uint64_t request = catchUpRequest_.load();
    if (current_.process)
        readLines();
    acknowledgeCatchUp(request);
}

void PlayerEngine::acknowledgeCatchUp(uint64_t request)
{
    current_.caughtUp = std::max(current_.caughtUp, request);
    std::lock_guard lock(factsMutex_);
    if (request > facts_.caughtUp) {
        facts_.caughtUp = request;
        caughtUp_.notify_all();
    }
}

} // namespace qf::player
