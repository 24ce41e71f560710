#pragma once
// PlayerEngine: the preview player's engine. It runs the external player in
// slave mode as a child process (commands on its standard input, answers on
// its standard output), lets it draw into the video window, and owns the
// engine thread, which waits for each player to come up, sends it the
// remembered volume and picture settings, waits for it to end and reports.
//
// Threads. Every public operation belongs to the UI thread (the player
// window's). The engine thread only runs the start-up wait and start-up
// commands and waits for the process to end. The process, its pipes and the
// state transitions are guarded by one mutex, held around whole command
// lines (a command and the lines read after it), so the two threads never
// interleave their writes. UI-thread calls block at most for: a query's
// answer (200 ms; pollPosition never waits for one), ending a player that
// ignores "quit" (about 110 ms, then it is killed), the engine thread's
// hand-over after a requested stop (up to 200 ms) and the engine thread's
// current 10 ms look into the pipe.
//
// Notifications (WM_PLAYER_NOTIFY; the second parameter is the entry, passed
// through untouched):
//   8  startPlayback created the process        -> player window, posted
//   9  the player is up, settings sent          -> player window, posted
//   6  the process ended after a requested stop -> video window, sent
//   7  the process ended by itself              -> video window, sent;
//                                                  then player window, posted
// A stop requested while the engine thread still waits for the start line is
// reported like any requested stop: 6 to the video window, nothing (not even
// 9) to the player window.
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
    static constexpr int kStartupSilenceMs = 2000;  // no start line for this long: go on anyway
    static constexpr int kStartupPollMs = 10;       // longest wait for output while starting
    static constexpr int kEndPollMs = 10;           // look for the process's end this often
    static constexpr int kQueryWaitMs = 200;        // wait for a query's answer
    static constexpr int kCloseTries = 11;          // "quit", then 11 waits of 10 ms, then kill
    static constexpr int kCloseWaitMs = 10;
    static constexpr int kStopHandOverMs = 200;     // wait for the engine thread after a stop
    static constexpr int kPositionLostMs = 3000;    // pollPosition asks again after this long unanswered

    // Picture settings in the player's own units, as they start.
    static constexpr int32_t kInitialBrightness = -85;

    // The sinks must outlive the engine.
    PlayerEngine(core::NotificationSink& videoWindow, core::NotificationSink& playerWindow);
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
    // when the thread cannot be made.
    bool startThread(uint32_t videoWindowId);
    // Ends any player, then ends and joins the engine thread. See Shutdown.
    void stopThread();

    // Paused: resumes the paused file (the path is not looked at) and returns
    // Playing. Otherwise stops any playback, launches the player on the path
    // and returns Starting on success (posting 8 and waking the engine
    // thread), else Idle. A null or empty path only stops.
    PlayerState startPlayback(const void* entry, const char* path);
    // Ends the running player as a requested stop (the engine thread reports
    // 6). Nothing when no player runs or it has already ended by itself.
    void stopPlayback();
    // Playing -> Paused, Paused -> Playing (the settings are sent again);
    // nothing in other states.
    void togglePause();

    // Whole seconds. The length is cached once the player reports one that
    // is not 0; it is asked for only while Playing. The length the player
    // announced at start-up (-identify) is the answer when it has one, so a
    // slow start that leaves the question unanswered still gets a length. The position is 0 unless
    // Playing; an answer of 0 (or none within 200 ms) keeps the last one.
    int32_t queryLength();
    int32_t queryPosition();
    // The position for the timer, without waiting for the player: takes the
    // answer to the question the last call left (whichever command's read
    // came upon it), then asks again, and returns the remembered position
    // (0 unless Playing; an answer of 0 keeps the last one). The answer is
    // moved on by the time since it was asked and by the relative seeks sent
    // since. A seek to a point, a pause or a new file makes an answer still
    // owed stale: it is passed over. Sends nothing unless Playing.
    int32_t pollPosition();

    void setMute(bool on);             // sent while Playing or Paused (stays paused)
    void setVolume(uint32_t volume);   // stores min(volume, 100) always; sent while Playing
    void seekRelative(int32_t seconds);   // sent while Playing; the position estimate moves always
    void seekAbsolute(uint32_t seconds);  // position := seconds; sent while Playing or Paused

    // Slider positions in, player units stored (always) and sent (Playing):
    // brightness p - 85 limited to -100..100; contrast p; hue p - 100, but
    // p = 100 gives -1; saturation p limited to -100..100.
    void setBrightness(int32_t position);
    void setContrast(int32_t position);
    void setHue(int32_t position);
    void setSaturation(int32_t position);

    // Ends the player process and closes its pipes; a process still running
    // counts as a requested stop. Does not change the state.
    void terminatePlayer();

    PlayerState state() const { return state_.load(); }
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
    // The search for a sound output: NoneWorks means every start plays
    // without sound.
    SoundOutputFinder::Status soundOutputStatus() const { return sound_.status(); }
    // The command line of the last launch (for tests and diagnostics).
    std::string lastCommandLine() const;

private:
    struct ThreadMessage {
        uint32_t message = 0;     // WM_PLAY_ENTRY, or kQuitMessage
        const void* entry = nullptr;
        uint64_t launch = 0;      // the launch the entry was started with
    };
    struct LaunchRecord {
        uint64_t launch = 0;
        bool stopRequested = false;
    };
    static constexpr uint32_t kQuitMessage = 0;
    // The position question pollPosition leaves with the player. The player
    // answers questions in order, one line each.
    struct PositionQuestion {
        bool asked = false;         // sent, answer not yet seen
        std::chrono::steady_clock::time_point askedAt;
        bool answered = false;      // answer seen, not yet taken
        int64_t answerMs = 0;
        int32_t shiftSeconds = 0;   // relative seeks sent after the question
        int staleAnswers = 0;       // position answers still owed to dropped questions
    };

    // Engine thread.
    void threadMain();
    void runPlayback(const ThreadMessage& message);
    bool waitForStartLine(uint64_t launch);
    void sendStartupCommands(uint64_t launch);
    void waitForEnd(uint64_t launch);

    // Callers hold ioMutex_.
    bool launchLocked(const char* path);
    void terminateLocked();
    bool aliveLocked(uint64_t launch);
    bool writeLocked(std::string_view line);
    void drainLocked();
    bool sendDrainedLocked(std::string_view line);
    // The answer's whole seconds; 0 when the command could not be sent,
    // nothing when no answer came in time (one is still owed then).
    std::optional<int32_t> queryLocked(std::string_view command, std::string_view tag);
    // Every line read off the pipe passes here: a position answer is kept
    // for pollPosition or passed over as stale.
    void noteLineLocked(std::string_view line);
    bool positionAnswerOwedLocked() const;
    void forgetPositionQuestionLocked();
    void sendPictureLocked();
    LaunchRecord* recordLocked(uint64_t launch);

    void postToThread(const ThreadMessage& message);

    core::NotificationSink& videoSink_;    // immutable after construction
    core::NotificationSink& playerSink_;   // immutable after construction

    // UI thread only.
    std::thread thread_;
    int32_t position_ = 0;
    int32_t length_ = 0;

    // Read by the engine thread, written by the UI thread.
    std::atomic<uint32_t> videoWindowId_{0};
    std::atomic<int32_t> brightness_{kInitialBrightness};
    std::atomic<int32_t> contrast_{0};
    std::atomic<int32_t> hue_{0};
    std::atomic<int32_t> saturation_{0};
    EngineSettings settings_;              // taken again before each launch
    std::atomic<bool> quitting_{false};    // stopThread is under way: report nothing
    std::atomic<bool> threadRunning_{false};

    // Written under ioMutex_; read freely.
    std::atomic<PlayerState> state_{PlayerState::Idle};

    mutable std::mutex ioMutex_;
    std::condition_variable ioChanged_;     // guarded by ioMutex_: process ended or replaced, report handed over
    // Guarded by ioMutex_. Shared so that the engine thread can wait on the
    // output pipe without the mutex (waitReadable only); everything else on
    // it runs under the mutex.
    std::shared_ptr<platform::ChildProcess> process_;
    OutputReader reader_;                   // guarded by ioMutex_
    PositionQuestion question_;             // guarded by ioMutex_; reset with the process
    uint64_t launch_ = 0;                   // guarded by ioMutex_: counts launches
    uint64_t reportedLaunch_ = 0;           // guarded by ioMutex_: last launch whose end the thread took up
    std::deque<LaunchRecord> launches_;     // guarded by ioMutex_: launches not yet reported
    std::string playerPath_;                // guarded by ioMutex_; empty: the program directory's
    std::string lastCommandLine_;           // guarded by ioMutex_
    std::string videoOutput_;               // guarded by ioMutex_; reset with the process
    int32_t announcedLength_ = 0;           // guarded by ioMutex_; reset with the process

    SoundOutputFinder sound_;               // started and stopped on the UI thread

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;  // guarded by queueMutex_
    std::deque<ThreadMessage> queue_;       // guarded by queueMutex_
};

} // namespace qf::player
