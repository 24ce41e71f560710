#pragma once
// Plays the skin's short sounds on the desktop's sound server. The sound
// library is loaded on first play, on a thread of the output, so that a start
// of the program never waits for it and a click never blocks on it. Each voice
// plays one sound at a time: playing a voice again restarts it, while
// different voices overlap. Without the library or a server a play is
// skipped silently (and counted as unavailable).

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qf::ui {

class SoundOutput {
public:
    static constexpr int kRate = 22050; // 16-bit mono samples at this rate
    using Samples = std::shared_ptr<const std::vector<int16_t>>;

    // library: the file dlopen() is given; tests name a missing one.
    explicit SoundOutput(std::string library = "libpulse-simple.so.0");
    ~SoundOutput(); // cuts playing sounds short and joins the voices
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    void play(int voice, Samples samples);

    struct Tally {
        int played = 0; // sounds that went to the server to the end
        int cut = 0; // sounds cut short by a restart or the end
        int unavailable = 0; // plays that found no library or no server
    };
    Tally tally() const;
    // True once every requested play is over (for tests), false after ms.
    bool waitIdle(int ms) const;

private:
    struct Voice;
    void run(Voice& voice);
    enum class Outcome { Played, Cut, Unavailable };
    Outcome render(Voice& voice, const std::vector<int16_t>& samples, uint64_t generation);
    bool interrupted(const Voice& voice, uint64_t generation) const;

    std::string library_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::vector<std::unique_ptr<Voice>> voices_;
    Tally tally_;
};

} // namespace qf::ui
