// Start-up latency of the player engine against the player alone, in the
// same run, and the longest time any engine call kept the calling (UI)
// thread; last, the position poll while the engine thread waits on a player
// that has stopped answering (stopped by a signal, as a hung one would be).
//
//   player_bench [RUNS]   (default 20; needs ffmpeg and the program
//                          directory's player link; null drivers unless
//                          QUILLFER_PLAYER_DRIVERS says otherwise)
//
// Baseline: the same command line started directly, timed from the start of
// the process to its first start line ("Starting..." or "VO: [").
// Engine: startPlayback until the Playing notification is handled (the state
// is Playing by then: start line seen, settings sent).

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/messages.h"
#include "core/notification_sink.h"
#include "core/platform/process.h"
#include "core/program_directory.h"
#include "player/output_reader.h"
#include "player/player_engine.h"
#include "player/slave_protocol.h"

namespace {

using Clock = std::chrono::steady_clock;
using qf::player::PlayerEngine;
using qf::player::PlayerState;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

// The player alone: milliseconds to its start line, or -1.
double baselineRun(const std::string& commandLine)
{
    qf::platform::ChildProcess process;
    qf::platform::ChildProcess::Options options;
    options.stdinPipe = true;
    options.mergeStderr = false;
    const auto t0 = Clock::now();
    if (!process.start(commandLine, options))
        return -1;
    qf::player::OutputReader reader;
    std::string line;
    double found = -1;
    while (msSince(t0) < 5000) {
        if (reader.readLine(process, line)) {
            if (qf::player::isStartLine(line)) {
                found = msSince(t0);
                break;
            }
            continue;
        }
        if (!reader.waitForOutput(process, 50) && reader.atEnd())
            break;
    }
    process.write("quit\n");
    if (!process.waitExit(500))
        process.terminate(0);
    return found;
}

// Times every engine call the UI thread makes.
class CallTimer {
public:
    template <typename F> auto operator()(const char* name, F&& call)
    {
        const auto t0 = Clock::now();
        if constexpr (std::is_void_v<decltype(call())>) {
            call();
            note(name, msSince(t0));
        } else {
            auto result = call();
            note(name, msSince(t0));
            return result;
        }
    }
    void print() const
    {
        std::printf("longest UI-thread call per operation (ms):\n");
        for (const auto& [name, ms] : longest_)
            std::printf("  %-16s %8.2f\n", name.c_str(), ms);
    }
    double overall() const
    {
        double m = 0;
        for (const auto& [name, ms] : longest_)
            m = std::max(m, ms);
        return m;
    }

private:
    void note(const char* name, double ms) { longest_[name] = std::max(longest_[name], ms); }
    std::map<std::string, double> longest_;
};

// Our child process (the engine's player: no sound search runs), or 0.
pid_t childProcess()
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    pid_t found = 0;
    while (const dirent* e = ::readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string text;
        if (!std::getline(stat, text) || text.rfind(')') == std::string::npos)
            continue;
        // "pid (name) state ppid ...": the name may hold anything.
        char state = 0;
        long ppid = 0;
        if (std::sscanf(text.c_str() + text.rfind(')') + 1, " %c %ld", &state, &ppid) == 2 && ppid == ::getpid()
            && state != 'Z')
            found = static_cast<pid_t>(std::atol(e->d_name));
    }
    ::closedir(proc);
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    ::setenv(qf::player::kPlayerDriversVariable, "-vo null -ao null", 0);
    qf::core::toolPaths().build(QF_PROGRAM_DIR);

    char dirTemplate[] = "/tmp/player_bench.XXXXXX";
    if (!::mkdtemp(dirTemplate)) {
        std::perror("player_bench: mkdtemp");
        return 1;
    }
    const std::string dir = dirTemplate;
    const std::string clip = dir + "/clip.avi";
    const std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=5 "
                             "-f lavfi -i sine=frequency=440:duration=5 -c:v mpeg4 -c:a mp2 -shortest '"
        + clip + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "player_bench: ffmpeg could not make the clip (scripts/install-deps.sh)\n");
        return 1;
    }

    int stopsSeen = 0;
    qf::core::QueuedSink video([&](const qf::core::Message& m) {
        stopsSeen += m.wParam == qf::core::PLAYER_STOPPED;
        return intptr_t{0};
    });
    int playingSeen = 0;
    Clock::time_point playingAt;
    qf::core::QueuedSink player([&](const qf::core::Message& m) {
        if (m.wParam == qf::core::PLAYER_PLAYING) {
            ++playingSeen;
            playingAt = Clock::now();
        }
        return intptr_t{0};
    });
    PlayerEngine engine(video, player);
    if (!engine.startThread(0)) {
        std::fprintf(stderr, "player_bench: no engine thread\n");
        return 1;
    }
    const auto pump = [&] {
        video.pump();
        player.pump();
    };

    CallTimer timed;
    std::vector<double> baseline, toState;
    std::string commandLine;
    const int entry = 0;
    for (int run = 0; run < runs; ++run) {
        // The player alone with the very same line, before the engine's run
        // on odd runs and after it on even ones, so neither side always
        // meets a warm or a cold start.
        if (run % 2 == 1 && !commandLine.empty())
            baseline.push_back(baselineRun(commandLine));
        const int seen = playingSeen;
        const auto t0 = Clock::now();
        const PlayerState started = timed("startPlayback", [&] { return engine.startPlayback(&entry, clip.c_str()); });
        if (started != PlayerState::Starting) {
            std::fprintf(stderr, "player_bench: the player did not start: %s\n", engine.lastCommandLine().c_str());
            return 1;
        }
        // Block until the notification arrives, as a UI thread does: a
        // busy wait here would take the processor from the player.
        double stateMs = -1;
        while (playingSeen == seen && msSince(t0) < 5000) {
            player.waitAndPump(5);
            video.pump();
        }
        if (playingSeen > seen && engine.state() == PlayerState::Playing)
            stateMs = std::chrono::duration<double, std::milli>(playingAt - t0).count();
        toState.push_back(stateMs);
        commandLine = engine.lastCommandLine();

        // The other calls the player window makes while a file plays.
        timed("knownLength", [&] { return engine.knownLength(); });
        timed("pollPosition", [&] { return engine.pollPosition(); });
        timed("setVolume", [&] { engine.setVolume(60); });
        timed("setBrightness", [&] { engine.setBrightness(1); });
        timed("seekRelative", [&] { engine.seekRelative(1); });
        timed("togglePause", [&] { engine.togglePause(); });
        timed("setMute", [&] { engine.setMute(false); });
        timed("seekAbsolute", [&] { engine.seekAbsolute(0); });
        timed("togglePause", [&] { engine.togglePause(); });
        const int stops = stopsSeen;
        timed("stopPlayback", [&] { engine.stopPlayback(); });
        // The stop returns at once; the engine thread ends the player
        // meanwhile. Start-up is timed from a stopped engine, as before.
        const auto stopped = Clock::now();
        while (stopsSeen == stops && msSince(stopped) < 5000)
            video.waitAndPump(5);
        pump();

        if (run % 2 == 0)
            baseline.push_back(baselineRun(commandLine));
    }
    // The hung player: a step makes the engine thread ask where the player
    // is and wait for the answer (kSeekAnswerWaitMs); meanwhile the timer's
    // next poll finds the question the one before left overdue.
    double hungPoll = -1;
    const int seen = playingSeen;
    if (engine.startPlayback(&entry, clip.c_str()) == PlayerState::Starting) {
        const auto t0 = Clock::now();
        while (playingSeen == seen && msSince(t0) < 5000) {
            player.waitAndPump(5);
            video.pump();
        }
        engine.pollPosition();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        engine.pollPosition();
        if (const pid_t pid = childProcess(); pid > 0 && ::kill(pid, SIGSTOP) == 0) {
            engine.seekStep(5);
            engine.pollPosition(); // its question waits behind the step
            std::this_thread::sleep_for(std::chrono::milliseconds(PlayerEngine::kAnswerOverdueMs + 50));
            const auto asked = Clock::now();
            engine.pollPosition();
            hungPoll = msSince(asked);
            ::kill(pid, SIGCONT);
        }
        const int stops = stopsSeen;
        engine.stopPlayback();
        const auto stopped = Clock::now();
        while (stopsSeen == stops && msSince(stopped) < 5000)
            video.waitAndPump(5);
        pump();
    }
    video.shutdown();
    player.shutdown();
    engine.stopThread();
    std::system(("rm -rf '" + dir + "'").c_str());

    for (double b : baseline)
        if (b < 0) {
            std::fprintf(stderr, "player_bench: the player alone printed no start line\n");
            return 1;
        }
    const double base = median(baseline);
    const double state = median(toState);
    std::vector<double> extra;
    for (size_t i = 0; i < toState.size() && i < baseline.size(); ++i)
        extra.push_back(toState[i] - baseline[i]);
    std::printf("player start-up, median of %d runs (ms)\n", runs);
    std::printf("  player alone, to its start line      %8.2f\n", base);
    std::printf("  engine, startPlayback to Playing      %8.2f   (%+.2f; target +30)\n", state, state - base);
    std::printf("  median of the paired differences      %+8.2f\n", median(extra));
    timed.print();
    std::printf("longest UI-thread call overall: %.2f ms\n", timed.overall());
    std::printf("position poll while the engine thread waits on a player that stopped answering: %.2f ms\n", hungPoll);
    return 0;
}
