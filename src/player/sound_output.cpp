#include "player/sound_output.h"

#include <chrono>

#include "core/platform/process.h"
#include "player/output_reader.h"

namespace qf::player {

namespace {

// How often the search looks whether it has been told to stop.
constexpr int kSearchPollMs = 20;

} // namespace

std::string soundOutputOfLine(std::string_view line)
{
    constexpr std::string_view kTag = "AO: [";
    if (!line.starts_with(kTag))
        return {};
    const size_t close = line.find(']', kTag.size());
    if (close == std::string_view::npos || close == kTag.size())
        return {};
    // An output that opened says its rate ("AO: [alsa] 44100Hz ..."); one
    // that failed says so on a line with the same tag.
    const std::string_view rest = line.substr(close + 1);
    if (rest.size() < 2 || rest[0] != ' ' || rest[1] < '0' || rest[1] > '9')
        return {};
    const std::string_view name = line.substr(kTag.size(), close - kTag.size());
    // A driver name is a plain word; anything else is not a name to pass on.
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return {};
    return std::string(name);
}

std::string soundSearchCommandLine(std::string_view quotedPlayerPath, std::string_view candidates)
{
    std::string line(quotedPlayerPath);
    line += " -quiet -nolirc -noconsolecontrols -vo null -ao ";
    line += candidates;
    line += " -demuxer rawaudio -rawaudio channels=2:rate=44100:samplesize=2 -endpos 0.05 /dev/zero";
    return line;
}

SoundOutputFinder::~SoundOutputFinder() { stop(); }

void SoundOutputFinder::start(std::string quotedPlayerPath)
{
    {
        std::lock_guard lock(mutex_);
        if (status_ != Status::NotSearched || thread_.joinable())
            return;
        status_ = Status::Searching;
        stopping_ = false;
    }
    thread_ = std::thread([this, path = std::move(quotedPlayerPath)] { search(path); });
}

void SoundOutputFinder::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    stopping_ = false;
}

SoundOutputFinder::Status SoundOutputFinder::status() const
{
    std::lock_guard lock(mutex_);
    return status_;
}

std::string SoundOutputFinder::soundOutput() const
{
    std::lock_guard lock(mutex_);
    switch (status_) {
    case Status::Found: return found_;
    case Status::NoneWorks: return std::string(kSilentSoundOutput);
    default: return std::string(kSoundOutputCandidates);
    }
}

void SoundOutputFinder::search(std::string quotedPlayerPath)
{
    using Clock = std::chrono::steady_clock;
    platform::ChildProcess process;
    platform::ChildProcess::Options options;
    options.stdinPipe = true; // never the terminal's
    // The drivers that fail say so on standard error, a score of lines at
    // every start: read and dropped with the rest, never the user's terminal.
    options.mergeStderr = true;
    const auto finish = [&](Status status, std::string found) {
        std::lock_guard lock(mutex_);
        status_ = status;
        found_ = std::move(found);
    };
    if (!process.start(soundSearchCommandLine(quotedPlayerPath, kSoundOutputCandidates), options)) {
        // No player at all: the starts themselves will fail; nothing learnt.
        finish(Status::NotSearched, {});
        return;
    }
    OutputReader reader;
    std::string line;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kSoundSearchLimitMs);
    for (;;) {
        while (reader.readLine(process, line)) {
            std::string name = soundOutputOfLine(line);
            if (!name.empty()) {
                process.terminate(0);
                // The list ends in any output at all, and the last that
                // opens is the silent one: no real output works.
                if (name == kSilentSoundOutput)
                    finish(Status::NoneWorks, {});
                else
                    finish(Status::Found, std::move(name));
                return;
            }
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                process.terminate(0);
                status_ = Status::NotSearched;
                return;
            }
        }
        if (reader.atEnd() && process.waitExit(kSearchPollMs)) {
            finish(Status::NoneWorks, {});
            return;
        }
        if (Clock::now() >= deadline) {
            // A sound server that holds the player this long would hold
            // every start as long: play without sound instead.
            process.terminate(0);
            finish(Status::NoneWorks, {});
            return;
        }
        reader.waitForOutput(process, kSearchPollMs);
    }
}

} // namespace qf::player
