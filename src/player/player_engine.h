#pragma once
// PlayerEngine: the preview player's engine. It runs the external player in
// slave mode as a child process (commands on its standard input, answers on
// its standard output), lets it draw into the video window, and owns the
// engine thread.
//
// Threads. Every public operation belongs to the UI thread (the player
// window's). The engine thread alone starts the player, writes to it, reads
// from it and ends it: the UI thread's operations post commands to it, in
// order, and return without waiting for the player, answering from the state
// the engine thread publishes (the state, the announced length, the video
// output, the position answers). The engine thread sleeps until there is
// work: a command (the queue signals an event descriptor), output from the
// player, the player's end, or the end of the start-up's wait for its start
// line; it never wakes on a clock of its own. The UI thread keeps the position and
// length estimates itself. Two calls wait, and are not for the timer or the
// buttons: queryLength and queryPosition ask the player and wait up to
// 200 ms for its answer (plus the engine thread's turn); and stopThread joins
// the thread, which first ends the player.
//
// Each start is a launch with its own number; the state is published with
// the launch it belongs to, so that the engine thread's changes for a launch
// the UI thread has already stopped or replaced never touch the newer one.
//
// Notifications (WM_PLAYER_NOTIFY; the second parameter is the entry, passed
// through untouched), all from the engine thread:
//   8  the process was created for the entry    -> player window, posted
//   9  the player is up, settings sent          -> player window, posted
//   6  the process ended after a requested stop -> video window, sent
//   7  the process ended by itself              -> video window, sent;
//                                                  then player window, posted
// The end of one launch is reported before the next launch's 8. A stop
// requested while the engine thread still waits for the start line is
// reported like any requested stop: 6 to the video window, nothing (not even
// 9) to the player window. A launch stopped before the engine thread took it
// up still gets its 8 and its 6, without a process.
//
// Shutdown: stopThread() joins the engine thread. The engine thread may be
// inside a synchronous send to the video window at that moment; the video
// window's sink must therefore refuse sends once its owner is going away (shut
// it down before stopThread, as QueuedSink::shutdown does), or the join waits
// for a handler that the joining thread itself would have to run.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "core/notification_sink.h"
#include "core/text_string.h"
#include "player/output_reader.h"
#include "player/player_settings.h"
#include "player/sound_output.h"

namespace qf::platform {
class ChildProcess;
}

namespace qf::player {

// The engine's state; the same numbers serve as notification codes. Code 7
// (ended by itself) is never a state.
enum class PlayerState : int32_t {
    Idle = 6,
    Starting = 8,
    Playing = 9,
    Paused = 10,
};

class PlayerEngine {
public:
    // Fixed waits, in milliseconds.
    static constexpr int kStartupSilenceMs = 2000; // no start line for this long: go on anyway
    static constexpr int kQueryWaitMs = 200; // wait for a query's answer
    static constexpr int kQueryTurnMs = 300; // and for the engine thread to come to the query
    static constexpr int kAnswerOverdueMs = 250; // a position answer not seen by then may be unread
    // pollPosition's bound on an idle engine thread's turn (a safety net: it
    // is woken at once, and is never waited for while it deals with the player).
    static constexpr int kCatchUpMs = 20;
    // Without a descriptor for the player's end, the engine thread looks for
    // it this often once the player's output has closed, and at this slower
    // pace while it is open (a child of the player may hold it open).
    static constexpr int kExitLookMs = 1;
    static constexpr int kExitLookOpenMs = 100;
    // A player that leaves its full input pipe unread this long is stuck.
    static constexpr int kWriteWaitMs = 100;
    static constexpr int kCloseTries = 11; // "quit", then 11 waits of 10 ms, then kill
    static constexpr int kCloseWaitMs = 10;
    static constexpr int kPositionLostMs = 3000; // pollPosition asks again after this long unanswered
    // Seeks. The player's own seek to a point snaps forward to the next
    // keyframe (or back to the last one past the final keyframe); a seek
    // back by an amount snaps back. So a seek goes to the point, and when it
    // landed after it, back by the distance, and then by this margin more
    // for each further try (the player's reading can run ahead of the
    // picture by a few tenths of a second).
    static constexpr int kSeekMarginMs = 500;
    static constexpr int kSeekTries = 4;
    // The engine thread waits this long for where a seek landed: a missed
    // answer would leave the seek past its point. Nothing else waits on it.
    static constexpr int kSeekAnswerWaitMs = 1000;

    // The engine thread's name, as the system shows it.
    static constexpr const char* kThreadName = "qf-player";

    // Picture settings in the player's own units, as they start.
    static constexpr int32_t kInitialBrightness = -85;

    // The sinks must outlive the engine. The options are the owner's
    // remembered ones; the engine keeps its own copy from here on (the
    // owner remembers what the user changes through it, such as volume()).
    PlayerEngine(core::NotificationSink& videoWindow, core::NotificationSink& playerWindow,
                 const PlayerOptions& options = {});
    PlayerEngine(const PlayerEngine&) = delete;
    PlayerEngine& operator=(const PlayerEngine&) = delete;
    // stopThread().
    ~PlayerEngine();

    // The quoted path of the player program; by default the program
    // directory's player (core::toolPaths().playerPath), taken at each launch.
    void setPlayerPath(const char* quotedPath);

    // Stops a running engine thread first, then starts one. videoWindowId is
    // the native window the player draws into (an X11 window id); 0 means no
    // window (headless). Unless the environment chooses the drivers, the
    // search for a working sound output starts too (once per engine). False
    // when the thread (or its wake-up descriptor) cannot be made.
    bool startThread(uint32_t videoWindowId);
    // Ends any player, then ends and joins the engine thread (which waits
    // for the player to quit, about 110 ms at most). See Shutdown.
    void stopThread();

    // Paused: resumes the paused file (the path is not looked at) and returns
    // Playing. Otherwise stops any playback and, when the player program can
    // be started, makes a new launch of it on the path and returns Starting
    // (the engine thread starts the process and posts 8), else Idle. A null
    // or empty path only stops. The video filters, when given, go to the
    // player's -vf (an upright turn). Never waits.
    PlayerState startPlayback(const void* entry, const char* path, std::string_view videoFilters = {});
    // A requested stop: Idle at once, position and length 0; the engine
    // thread ends the player and reports 6. Nothing when nothing plays or
    // the player has already ended by itself. Never waits.
    void stopPlayback();
    // Playing -> Paused, Paused -> Playing (the settings are sent again);
    // nothing in other states.
    void togglePause();

    // Whole seconds. The length is cached once the player reports one that
    // is not 0; it is asked for only while Playing. The length the player
    // announced at start-up (-identify) is the answer when it has one, so a
    // slow start that leaves the question unanswered still gets a length.
    // The position is 0 unless Playing; an answer of 0 (or none within
    // 200 ms) keeps the last one. Both wait for the player's answer.
    int32_t queryLength();
    int32_t queryPosition();
    // The length without waiting: the cached one, else (while Playing) the
    // one the player has announced or answered so far, else 0, and then the
    // player is asked (unless `ask` is false), so that a later call has it.
    int32_t knownLength(bool ask = true);
    // The position for the timer, without waiting for the player: takes the
    // answer to the question the last call left, then asks again, and
    // returns the remembered position (0 unless Playing; an answer of 0
    // keeps the last one). The answer is moved on by the time since it was
    // asked and by the relative seeks sent since. A seek to a point, a pause
    // or a new file makes an answer still owed stale: it is passed over.
    // While an answer is overdue (kAnswerOverdueMs; a player answers within
    // a frame or two), an engine thread that is asleep is woken to read what
    // the player may have written meanwhile, and waited for (kCatchUpMs at
    // most); one that is busy with the player (writing to it, waiting for an
    // answer or its end, reporting) is not waited for, so this never waits
    // for the player. Sends nothing unless Playing.
    int32_t pollPosition();

    void setMute(bool on); // sent while Playing or Paused (stays paused)
    void setVolume(uint32_t volume); // stores min(volume, 100) always; sent while Playing
    uint32_t volume() const { return volume_.load(); }
    void seekRelative(int32_t seconds); // sent while Playing; the position estimate moves always
    // position := seconds; sent while Playing or Paused. The player lands on
    // a keyframe at or before that point (see Seeks).
    void seekAbsolute(uint32_t seconds);
    // A step from where the player is (the keys): back lands at or before
    // that point less the step (down to 0); forward lands at or before that
    // point plus the step but past where it was, else on the first keyframe
    // after. Sent while Playing or Paused; the estimate moves by the step.
    void seekStep(int32_t seconds);
    // Ends the file as if it had played to its end (fast forward past the
    // last keyframe, which no seek reaches): the player quits and the end
    // is reported as code 7. Sent while Playing or Paused.
    void endOfFile();

    // Slider positions in, player units stored (always) and sent (Playing):
    // brightness p - 85 limited to -100..100; contrast p; hue p - 100, but
    // p = 100 gives -1; saturation p limited to -100..100.
    void setBrightness(int32_t position);
    void setContrast(int32_t position);
    void setHue(int32_t position);
    void setSaturation(int32_t position);

    // The engine thread ends the player process as a requested stop (6);
    // the state changes when it has. Never waits.
    void terminatePlayer();
    // A requested stop that waits (up to timeoutMs) until the player
    // process is gone, for a window about to be destroyed: the player must
    // not draw into it after. The report (6) follows as usual. True when no
    // player is left.
    bool stopPlaybackAndWait(int timeoutMs);

    PlayerState state() const { return stateOf(status_.load()); }
    int32_t position() const { return position_; }
    int32_t length() const { return length_; }
    int32_t brightness() const { return brightness_.load(); }
    int32_t contrast() const { return contrast_.load(); }
    int32_t hue() const { return hue_.load(); }
    int32_t saturation() const { return saturation_.load(); }
    uint32_t videoWindowId() const { return videoWindowId_.load(); }
    // The video output the running player opened ("xv", "x11"); empty until
    // it says (and for sound alone).
    std::string videoOutput() const;
    // The size the running player shows its picture at (pixel aspect and
    // filters applied), from its video output's line; false until it says
    // (and for sound alone).
    bool displaySize(int32_t& width, int32_t& height) const;
    // The search for a sound output: NoneWorks means every start plays
    // without sound.
    SoundOutputFinder::Status soundOutputStatus() const { return sound_.status(); }
    // The command line of the last launch (for tests and diagnostics).
    std::string lastCommandLine() const { return lastCommandLine_; }

private:
    // The answer to a waiting query, handed from the engine thread.
    struct QueryReply {
        std::mutex mutex;
        std::condition_variable done; // guarded by mutex
        bool finished = false; // guarded by mutex
        bool abandoned = false; // guarded by mutex: the caller stopped waiting
        std::optional<int32_t> answer; // guarded by mutex
    };
    struct Command {
        enum class Kind {
            PlayEntry, // start the process of a launch (WM_PLAY_ENTRY)
            Stop, // end the launch's process as a requested stop
            Write, // send the line to the launch's player
            AskPosition, // the poll's question
            Query, // a question whose answer the caller waits for
            Seek, // a seek that lands at or before its point
            Quit,
        };
        explicit Command(Kind k, uint32_t forLaunch = 0, const void* forEntry = nullptr)
            : kind(k), launch(forLaunch), entry(forEntry)
        {}
        Kind kind;
        uint32_t launch;
        const void* entry; // PlayEntry
        std::string text; // PlayEntry: the command line; otherwise the line
        std::string_view tag; // Query: the answer's tag
        std::shared_ptr<QueryReply> reply; // Query
        int64_t ms = 0; // Seek: the point, or the step when `step`
        bool step = false;
        bool paused = false; // Seek: sent while paused
    };
    // The position question pollPosition leaves with the player. The player
    // answers questions in order, one line each.
    struct PositionQuestion {
        bool asked = false; // sent, answer not yet seen
        std::chrono::steady_clock::time_point askedAt;
        bool answered = false; // answer seen, not yet taken
        int64_t answerMs = 0;
        int32_t shiftSeconds = 0; // relative seeks sent after the question
        int staleAnswers = 0; // position answers still owed to dropped questions
    };
    // What the player said about the current launch.
    struct Facts {
        uint32_t launch = 0;
        std::string videoOutput;
        int32_t displayWidth = 0;
        int32_t displayHeight = 0;
        int32_t announcedLength = 0;
        PositionQuestion question;
        uint64_t caughtUp = 0; // the last catch-up request the engine thread answered
    };
    // The engine thread's launch and its process.
    struct Current {
        uint32_t launch = 0;
        intptr_t entry = 0;
        std::unique_ptr<platform::ChildProcess> process;
        int exitFd = -1; // readable once the process has ended; -1: none
        OutputReader reader;
        bool starting = false; // the start line is still awaited
        bool startLineSeen = false;
        std::chrono::steady_clock::duration silence{};
        // The settings as the start-up sent them.
        uint32_t sentVolume = 0;
        int32_t sentPicture[4] = {};
        uint64_t caughtUp = 0; // the last catch-up request answered
    };

    static uint64_t packed(uint32_t launch, PlayerState state)
    {
        return (uint64_t{launch} << 32) | static_cast<uint32_t>(state);
    }
    static PlayerState stateOf(uint64_t status) { return static_cast<PlayerState>(static_cast<int32_t>(status)); }
    static uint32_t launchOf(uint64_t status) { return static_cast<uint32_t>(status >> 32); }
    // from -> to, if the status still holds `from` for that launch.
    bool changeState(uint32_t launch, PlayerState from, PlayerState to);

    // Any thread: wakes the engine thread.
    void wake();

    // UI thread.
    void post(Command command);
    void postWrite(uint32_t launch, std::string line);
    std::optional<int32_t> runQuery(uint32_t launch, const char* line, std::string_view tag);
    void forgetPositionQuestionLocked(); // holds factsMutex_
    bool playerStartable(const std::string& commandLine) const;

    // Engine thread.
    void threadMain();
    void handle(Command& command);
    void playEntry(Command& command);
    void serviceProcess();
    // Sleeps until there is work: a command or catch-up request, output,
    // the process's end, or the end of the start-up's budget.
    void sleepUntilWork();
    void beginPlaying(bool withSettings);
    void sendChangedSettings();
    void finishCurrent(bool requested);
    void endProcess();
    bool write(std::string_view line);
    void readLines();
    void noteLine(std::string_view line);
    void answerQuery(Command& command);
    void seek(const Command& command);
    std::optional<int64_t> askPosition(std::string_view prefix, int waitMs);
    void tellLanded(int64_t ms);
    bool positionAnswerOwed();
    // Reads what the player has written and answers the UI thread's
    // catch-up requests made before; done before anything that may block.
    void catchUp();
    void acknowledgeCatchUp(uint64_t request);

    core::NotificationSink& videoSink_; // immutable after construction
    core::NotificationSink& playerSink_; // immutable after construction
    // An eventfd: post() and the catch-up requests signal it, the engine
    // thread sleeps on it beside the player's output. Immutable after
    // construction; -1 when it could not be made (startThread fails).
    const int wakeFd_;

    // UI thread only.
    std::thread thread_;
    int32_t position_ = 0;
    int32_t length_ = 0;
    uint32_t launches_ = 0; // launches made so far
    std::string playerPath_; // empty: the program directory's
    std::string lastCommandLine_;

    // Engine thread only.
    Current current_;

    // Written by the UI thread, read by the engine thread.
    std::atomic<uint32_t> videoWindowId_{0};
    std::atomic<int32_t> brightness_{kInitialBrightness};
    std::atomic<int32_t> contrast_{0};
    std::atomic<int32_t> hue_{0};
    std::atomic<int32_t> saturation_{0};
    std::atomic<uint32_t> volume_; // 0..kMaxPlayerVolume
    std::atomic<bool> quitting_{false}; // stopThread is under way: report nothing
    std::atomic<uint64_t> catchUpRequest_{0};
    // Written by the engine thread: it is doing something that may wait for
    // the player or the UI thread, so pollPosition does not wait for its turn.
    std::atomic<bool> engineBusy_{false};
    class BusyScope;

    // (launch << 32) | state. The UI thread makes launches, stops and pauses;
    // the engine thread moves its own launch to Playing and to Idle.
    std::atomic<uint64_t> status_{packed(0, PlayerState::Idle)};

    // Held only around reading or changing the facts, never around I/O.
    mutable std::mutex factsMutex_;
    std::condition_variable caughtUp_; // guarded by factsMutex_
    Facts facts_; // guarded by factsMutex_

    SoundOutputFinder sound_; // started and stopped on the UI thread

    // The last launch whose process the engine thread has ended (or never
    // started), for stopPlaybackAndWait.
    std::mutex goneMutex_;
    std::condition_variable goneChanged_; // guarded by goneMutex_
    uint32_t goneLaunch_ = 0; // guarded by goneMutex_
    void launchGone(uint32_t launch);

    std::mutex queueMutex_;
    std::deque<Command> queue_; // guarded by queueMutex_; each push signals wakeFd_
};

} // namespace qf::player
