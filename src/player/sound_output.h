#pragma once
// Which sound output the player can open on this machine, found once per
// program run. The player tries the outputs of its -ao list one by one at
// every start; a sound server that never answers costs seconds each time.
// SoundOutputFinder asks the player once, in the background, playing a
// moment of silence with the whole list, and remembers the output that
// opened (or that none did), so that every later start names only that one.
//
// Threads: start() and stop() belong to the engine's owner (the UI thread);
// the search runs on a thread of its own; result() may be called from any
// thread.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace qf::platform {
class ChildProcess;
}

namespace qf::player {

// The outputs tried, in order, when none has been found yet. The list ends
// in the silent output rather than letting the player go on through all it
// has: some (the network sound server's) wait seconds for a server that is
// not there.
inline constexpr std::string_view kSoundOutputCandidates = "pulse,alsa,jack,oss,null";
// The output that always opens and plays nothing.
inline constexpr std::string_view kSilentSoundOutput = "null";
// The longest the search may take before the answer counts as "none works".
inline constexpr int kSoundSearchLimitMs = 15000;

// The output the player opened, from one line of its output ("AO: [alsa]
// 44100Hz ..." gives "alsa"); empty for any other line, also for the same
// tag on an output that failed ("AO: [pulse] Init failed").
std::string soundOutputOfLine(std::string_view line);

// The command line of the search: the player with no picture and the
// candidates, playing a twentieth of a second of silence.
std::string soundSearchCommandLine(std::string_view quotedPlayerPath, std::string_view candidates);

class SoundOutputFinder {
public:
    enum class Status { NotSearched, Searching, Found, NoneWorks };

    SoundOutputFinder() = default;
    SoundOutputFinder(const SoundOutputFinder&) = delete;
    SoundOutputFinder& operator=(const SoundOutputFinder&) = delete;
    ~SoundOutputFinder();

    // Starts the search unless one has run or runs. quotedPlayerPath as on
    // the player's command line.
    void start(std::string quotedPlayerPath);
    // Ends a search under way (its player is killed) and joins its thread.
    // A search cut short leaves the status NotSearched.
    void stop();

    Status status() const;
    // The -ao argument for the next start: the output found, the silent
    // output when none works, else the whole candidate list.
    std::string soundOutput() const;

private:
    void search(std::string quotedPlayerPath);

    mutable std::mutex mutex_;
    Status status_ = Status::NotSearched; // guarded by mutex_
    std::string found_; // guarded by mutex_
    bool stopping_ = false; // guarded by mutex_
    std::thread thread_; // owner's thread only
};

} // namespace qf::player
