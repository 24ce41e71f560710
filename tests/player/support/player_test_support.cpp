#include "player/support/player_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <string_view>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/file_system.h"
#include "core/program_directory.h"
#include "player/slave_protocol.h"

namespace qf::player::testing {

namespace {

// Writes by a temporary name and renames, so that test processes running
// side by side never see half a file.
bool publish(const std::string& path, const std::function<bool(const std::string&)>& make)
{
    if (core::fs::isFile(path.c_str()))
        return true;
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    if (!make(temp)) {
        std::remove(temp.c_str());
        return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

const char* const kFakePlayer = R"SH(#!/bin/sh
# Stands in for the player in slave mode; see player_test_support.h.
log="${FAKE_PLAYER_LOG:-/dev/null}"
for last; do :; done
mode=$(basename "$last")
case "$mode" in
  nostart) echo "Playing $last."; echo "Failed to open $last."; exit 1 ;;
  silent) exec sleep 30 ;;
esac
echo "Playing $last."
[ "$mode" = slowstart ] && sleep 0.6
[ "$mode" = announced ] && echo "ID_LENGTH=61.20"
echo "Starting playback..."
[ "$mode" = orphan ] && { sleep 10 2>/dev/null & }
[ "$mode" = announced ] && echo "VO: [x11] 160x120 => 160x120 Planar YV12  [zoom]"
while IFS= read -r cmd; do
  echo "$cmd" >> "$log"
  case "$cmd" in
    quit*) [ "$mode" = deaf ] || { echo "Exiting... (Quit)"; exit 0; } ;;
    get_time_length)
      if [ "$mode" = slow ]; then
        [ -n "$held" ] && echo "ANS_LENGTH=42.50"
        held=1
      else
        echo "ANS_LENGTH=42.50"
      fi ;;
    get_time_pos)
      if [ "$mode" = latepos ]; then
        sleep 0.3; pos=$((${pos:-2} + 1)); echo "ANS_TIME_POSITION=$pos.0"; echo "#answered $pos" >> "$log"
      else
        echo "ID_VIDEO_ASPECT=1.3333"; echo "ANS_TIME_POSITION=7.9"
      fi ;;
  esac
done
)SH";

} // namespace

std::string dataDir()
{
    const std::string dir = std::string(QF_TEST_DATA_DIR) + "/player";
    core::fs::makePath(dir.c_str(), true);
    return dir;
}

std::string clip(int seconds)
{
    const std::string path = dataDir() + "/clip" + std::to_string(seconds) + "s.avi";
    const bool made = publish(path, [&](const std::string& temp) {
        const std::string d = std::to_string(seconds);
        const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=" + d
            + " -f lavfi -i sine=frequency=440:duration=" + d + " -c:v mpeg4 -c:a mp2 -shortest -f avi '" + temp + "'";
        return std::system(command.c_str()) == 0;
    });
    EXPECT_TRUE(made) << "ffmpeg could not make " << path;
    return path;
}

std::string keyframeClip()
{
    const std::string path = dataDir() + "/keyframes10s_30s.mp4";
    const bool made = publish(path, [&](const std::string& temp) {
        const std::string command
            = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25:duration=30"
              " -f lavfi -i sine=frequency=440:duration=30 -c:v libx264 -preset ultrafast -g 250 -keyint_min 250"
              " -sc_threshold 0 -c:a aac -shortest -f mp4 '"
            + temp + "'";
        return std::system(command.c_str()) == 0;
    });
    EXPECT_TRUE(made) << "ffmpeg could not make " << path;
    return path;
}

std::string brokenFile()
{
    const std::string path = dataDir() + "/broken.avi";
    publish(path, [](const std::string& temp) {
        std::ofstream out(temp);
        out << "this is not a media file\n";
        return static_cast<bool>(out);
    });
    return path;
}

void useRealPlayer()
{
    core::toolPaths().build(QF_PROGRAM_DIR);
    const std::string player = std::string(QF_PROGRAM_DIR) + "/MPlayer.exe";
    ASSERT_EQ(::access(player.c_str(), X_OK), 0) << "the player is missing: " << player << " (apt-get install mplayer)";
    ::setenv(kPlayerDriversVariable, "-vo null -ao null", 1);
}

std::string fakePlayerLog() { return dataDir() + "/fake-player-" + std::to_string(::getpid()) + ".log"; }

std::string fakePlayer()
{
    // Named by its text, so that a script left by an older build is never run.
    const std::string path
        = dataDir() + "/fake-player-" + std::to_string(std::hash<std::string_view>{}(kFakePlayer)) + ".sh";
    publish(path, [](const std::string& temp) {
        std::ofstream out(temp);
        out << kFakePlayer;
        out.close();
        return out && ::chmod(temp.c_str(), 0755) == 0;
    });
    const std::string log = fakePlayerLog();
    std::remove(log.c_str());
    ::setenv("FAKE_PLAYER_LOG", log.c_str(), 1);
    return "\"" + path + "\"";
}

std::vector<std::string> loggedCommands()
{
    std::vector<std::string> lines;
    std::ifstream in(fakePlayerLog());
    for (std::string line; std::getline(in, line);)
        if (!line.starts_with("#"))
            lines.push_back(line);
    return lines;
}

int answersGiven()
{
    int answers = 0;
    std::ifstream in(fakePlayerLog());
    for (std::string line; std::getline(in, line);)
        answers += line.starts_with("#answered ");
    return answers;
}

bool waitForAnswers(int count, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (answersGiven() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<std::string> waitForCommands(size_t count, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<std::string> lines = loggedCommands();
    while (lines.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        lines = loggedCommands();
    }
    return lines;
}

WindowRecorder::WindowRecorder()
    : video_([this](const core::Message& m) {
          events_.push_back(Event{'v', static_cast<uint32_t>(m.wParam), m.lParam, std::chrono::steady_clock::now()});
          return intptr_t{0};
      }),
      player_([this](const core::Message& m) {
          events_.push_back(Event{'p', static_cast<uint32_t>(m.wParam), m.lParam, std::chrono::steady_clock::now()});
          return intptr_t{0};
      })
{}

WindowRecorder::~WindowRecorder() { shutdown(); }

void WindowRecorder::shutdown()
{
    video_.shutdown();
    player_.shutdown();
}

bool WindowRecorder::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        player_.pump();
        video_.waitAndPump(2);
        player_.pump();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    }
}

bool WindowRecorder::waitFor(char to, uint32_t code, int timeoutMs, int n)
{
    return waitUntil([&] { return count(to, code) >= n; }, timeoutMs);
}

void WindowRecorder::pumpFor(int ms)
{
    waitUntil([] { return false; }, ms);
}

int WindowRecorder::count(char to, uint32_t code) const
{
    int n = 0;
    for (const Event& e : events_)
        n += e.to == to && e.code == code;
    return n;
}

std::vector<uint32_t> WindowRecorder::codes(char to) const
{
    std::vector<uint32_t> out;
    for (const Event& e : events_)
        if (e.to == to)
            out.push_back(e.code);
    return out;
}

std::vector<intptr_t> WindowRecorder::entries(char to, uint32_t code) const
{
    std::vector<intptr_t> out;
    for (const Event& e : events_)
        if (e.to == to && e.code == code)
            out.push_back(e.entry);
    return out;
}

const Event* WindowRecorder::find(char to, uint32_t code) const
{
    for (const Event& e : events_)
        if (e.to == to && e.code == code)
            return &e;
    return nullptr;
}

} // namespace qf::player::testing
