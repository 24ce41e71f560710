#pragma once
// Shared by the player tests (each test runs in its own process): short clips
// made by ffmpeg, a scripted stand-in for the player, and a recorder of the
// engine's notifications to the two windows.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/notification_sink.h"

namespace qf::player::testing {

// The scratch folder of the player tests, made on first use.
std::string dataDir();

// An AVI clip (160x120 MPEG-4 at 25 fps with an MP2 sine tone) of the given
// length, made unless it exists. Fails the calling test when ffmpeg fails.
std::string clip(int seconds);

// A 30-s 64x48 H.264 clip at 25 fps with an AAC tone and a keyframe every
// 10 s (0, 10, 20), as x264 makes by default for 25 fps; made unless it exists.
std::string keyframeClip();

// A file with the .avi extension that holds no media at all.
std::string brokenFile();

// Points the tool paths at the build's program directory, checks that its
// player link is there (a missing player fails the test, never skips it),
// and selects the null drivers.
void useRealPlayer();

// A shell script that stands in for the player. It takes its behaviour from
// the media path's file name:
//   normal     prints a start line, answers the two queries (an unrelated
//              line with a number in it comes first), logs every command
//   slow       the same, but holds its answer to get_time_length until the
//              next get_time_length comes (so the first is never answered in
//              time, however slow the machine)
//   latepos    the same, but answers get_time_pos after 300 ms, with 3, 4,
//              5, ... seconds, and notes each answer given in the log
//   nostart    prints two lines and exits 1 without a start line
//   silent     prints nothing and reads nothing, ignores "quit"
//   slowstart  prints its start line after 600 ms, then as normal
//   deaf       prints a start line, logs commands but ignores "quit"
//   announced  announces a length of 61.2 s before its start line and its
//              video output (x11) after it, then as normal
//   orphan     as normal, but leaves a child that holds its output open for
//              10 s after it quits
// Commands go to the file named by FAKE_PLAYER_LOG. Returns the quoted path.
std::string fakePlayer();
std::string fakePlayerLog();
// The lines logged so far.
std::vector<std::string> loggedCommands();
// Waits up to timeoutMs until the log holds at least count lines.
std::vector<std::string> waitForCommands(size_t count, int timeoutMs);
// The position answers the stand-in has written to its output so far
// ("latepos"), and a wait for them: once written, they are in the pipe.
int answersGiven();
bool waitForAnswers(int count, int timeoutMs);

struct Event {
    char to = 0; // 'v' video window, 'p' player window
    uint32_t code = 0;
    intptr_t entry = 0;
    std::chrono::steady_clock::time_point at;
};

// Two sinks received on the test thread, recording what arrives.
class WindowRecorder {
public:
    WindowRecorder();
    ~WindowRecorder();

    core::QueuedSink& video() { return video_; }
    core::QueuedSink& player() { return player_; }

    // Pumps both sinks until the predicate holds or the time is up.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    // Waits until `to` has received `code` (at least n times).
    bool waitFor(char to, uint32_t code, int timeoutMs, int n = 1);
    void pumpFor(int ms);
    int count(char to, uint32_t code) const;
    std::vector<uint32_t> codes(char to) const;
    const Event* find(char to, uint32_t code) const;
    // The entries of the reports with this code, in order.
    std::vector<intptr_t> entries(char to, uint32_t code) const;
    void shutdown();

private:
    std::vector<Event> events_;
    core::QueuedSink video_;
    core::QueuedSink player_;
};

} // namespace qf::player::testing
