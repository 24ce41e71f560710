// The player view on a real X server with the real player:
//  (a) from a double click on a playlist row until the first picture shows
//      in the video window, against the player alone started with the very
//      same command line into the same window, to its first picture;
//  (b) the UI thread's longest stall while a file plays with the position
//      timer running (the gap between the ticks of a 1 ms timer);
//  (c) the same while a file starts: from the double click until a second
//      after the player is up, from a stopped player and over a playing one;
//  (d) the engine thread's processor time while the file plays (the
//      position timer running) and while it is paused, as a share of one
//      core.
// For the stalls the event loop sleeps between events, as the program's
// does, and the display is set up as the program sets it up; the longest
// stall is taken apart (the thread's own run time, its wait for a
// processor, the longest single event) and the idle window's gaps give the
// machine's own share.
// The view chooses its own drivers, as the program does (the sound output
// found once per run); the player alone is given the same command line with
// the silent sound output (-ao null), which is mplayer's own fastest start.
//
//   bench/player_view_bench.sh BUILD_DIR [RUNS]   (runs it under xvfb-run)
//
// A picture "shows" when a tenth of the video window's pixels on screen are
// no longer the colour key; both sides are timed by the same screen polls.
// The window keeps its starting display mode (the picture's own size), and
// the player alone draws into the same window at the same size.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/platform/process.h"
#include "core/program_directory.h"
#include "player/player_engine.h"
#include "player/slave_protocol.h"
#include "probe/media_info_library.h"
#include "ui/notify/floating_tip.h"
#include "ui/player/player_window.h"
#include "ui/player/playlist_view.h"
#include "ui/player/video_window.h"
#include "ui/shell/qt_shell.h"

namespace {

using qf::ui::PlayerWindow;

// Times every event the UI thread delivers, to name what a stall was.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!recording_)
            return QApplication::notify(receiver, event);
        QElapsedTimer t;
        t.start();
        const int type = event->type();
        const char* kind = receiver->metaObject()->className();
        const bool done = QApplication::notify(receiver, event);
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        if (ms > longest_) {
            longest_ = ms;
            what_ = std::string(kind) + " event " + std::to_string(type);
        }
        return done;
    }
    void record(bool on)
    {
        recording_ = on;
        if (on) {
            longest_ = 0;
            what_.clear();
        }
    }
    std::string longestEvent() const
    {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f ms: ", longest_);
        return text + what_;
    }

private:
    bool recording_ = false;
    double longest_ = 0;
    std::string what_;
};

TimedApplication* timedApp() { return static_cast<TimedApplication*>(QCoreApplication::instance()); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

bool pictureShown(QWidget* video)
{
    const QRect r(video->mapToGlobal(QPoint(0, 0)), video->size());
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    int picture = 0, all = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4, ++all) {
            const QColor c = image.pixelColor(x, y);
            picture += std::abs(c.red() - 16) + std::abs(c.green() - 16) + std::abs(c.blue() - 16) > 30;
        }
    return all > 0 && picture * 10 >= all;
}

// Polls the screen until the picture shows; milliseconds since t, or -1.
double untilPicture(QWidget* video, const QElapsedTimer& t, int timeoutMs)
{
    while (t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        if (pictureShown(video))
            return static_cast<double>(t.nsecsElapsed()) / 1e6;
    }
    return -1;
}

std::string loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return "?";
    return f.readLine().left(14).trimmed().toStdString();
}

// The processor time the engine thread has used so far, in milliseconds
// (found by its name); -1 when there is no such thread.
double engineThreadMs()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly)
            || comm.readAll().trimmed() != QByteArray(qf::player::PlayerEngine::kThreadName))
            continue;
        QFile stat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        return stat.readAll().split(' ').value(0).toDouble() / 1e6;
    }
    return -1;
}

// Runs the event loop for `ms` as the program's own loop runs: asleep until
// something happens. (A loop that spins on processEvents() keeps a processor
// busy and is preempted like a computation, which on two cores with a player
// starting shows as stalls of a whole time slice that are not the window's.)
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Back to the bare colour key, with no player.
bool clearVideo(PlayerWindow& window)
{
    window.command(PlayerWindow::kStop);
    pump(200);
    // The player alone leaves its last picture; the view's stop does not.
    window.videoWindow()->clearPicture();
    QElapsedTimer t;
    t.start();
    while (pictureShown(window.videoWindow()) && t.elapsed() < 2000)
        pump(10);
    return !pictureShown(window.videoWindow());
}

double baselineRun(QWidget* video, const std::string& commandLine)
{
    qf::platform::ChildProcess process;
    qf::platform::ChildProcess::Options options;
    options.stdinPipe = true;
    QElapsedTimer t;
    t.start();
    if (!process.start(commandLine, options))
        return -1;
    const double ms = untilPicture(video, t, 5000);
    process.write("quit\n");
    if (!process.waitExit(500))
        process.terminate(0);
    return ms;
}

void doubleClickFirstRow(PlayerWindow& window)
{
    qf::ui::PlaylistView* list = window.playlistView();
    const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
    QMouseEvent press(QEvent::MouseButtonDblClick, QPointF(at), QPointF(list->viewport()->mapToGlobal(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &press);
}

double viewRun(PlayerWindow& window)
{
    QElapsedTimer t;
    t.start();
    doubleClickFirstRow(window);
    return untilPicture(window.videoWindow(), t, 5000);
}

// Gaps between the ticks of a 1 ms timer, in milliseconds, while it runs.
class TickGaps {
public:
    TickGaps()
    {
        ticker_.setTimerType(Qt::PreciseTimer);
        ticker_.setInterval(1);
        QObject::connect(&ticker_, &QTimer::timeout, &ticker_, [this] {
            const qint64 now = clock_.nsecsElapsed();
            const Sched sched = threadSched();
            longestOwn_ = std::max(longestOwn_,
                                   static_cast<double>(now - last_) / 1e6 - (sched.queuedMs - lastSched_.queuedMs));
            if (static_cast<double>(now - last_) / 1e6 > longest_) {
                longest_ = static_cast<double>(now - last_) / 1e6;
                longestCpu_ = sched.ranMs - lastSched_.ranMs;
                longestQueued_ = sched.queuedMs - lastSched_.queuedMs;
            }
            last_ = now;
            lastSched_ = sched;
        });
        clock_.start();
        last_ = clock_.nsecsElapsed();
        lastSched_ = threadSched();
        ticker_.start();
    }
    double longest() const { return longest_; }
    // During the longest gap: how long the UI thread ran, and how long it
    // was ready but waited for a processor (the machine's share, not ours).
    // The rest it slept: the event loop, or a wait in a system call.
    double longestCpu() const { return longestCpu_; }
    double longestQueued() const { return longestQueued_; }
    // The longest gap less the time the thread waited for a processor in it.
    double longestOwn() const { return longestOwn_; }

private:
    struct Sched {
        double ranMs = 0;
        double queuedMs = 0;
    };
    static Sched threadSched()
    {
        Sched s;
        if (FILE* f = std::fopen("/proc/thread-self/schedstat", "r")) {
            unsigned long long ran = 0, queued = 0;
            if (std::fscanf(f, "%llu %llu", &ran, &queued) == 2)
                s = {static_cast<double>(ran) / 1e6, static_cast<double>(queued) / 1e6};
            std::fclose(f);
        }
        return s;
    }

    QTimer ticker_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    Sched lastSched_;
    double longest_ = 0;
    double longestCpu_ = 0;
    double longestQueued_ = 0;
    double longestOwn_ = 0;
};

double longestStall_ = 0;
std::string longestEvent_;

// The longest stall from a double click on the first row until a second
// after the window has handled the player's Playing report. Nothing else
// runs on the UI thread meanwhile: the screen polls that time the first
// picture (a grab and a scan of the video area, 1-3 ms each) would count
// as the window's own stalls. The double click's own handling is returned
// in *handling.
double startStall(PlayerWindow& window, double* handling, double* own)
{
    int playing = 0;
    const QMetaObject::Connection counted
        = QObject::connect(&window, &PlayerWindow::engineReported, &window, [&](int code) { playing += code == 9; });
    TickGaps gaps;
    pump(50);
    timedApp()->record(true);
    QElapsedTimer t;
    t.start();
    doubleClickFirstRow(window);
    *handling = static_cast<double>(t.nsecsElapsed()) / 1e6;
    {
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        const QMetaObject::Connection quit
            = QObject::connect(&window, &PlayerWindow::engineReported, &loop, [&](int code) {
                  if (code == 9)
                      loop.quit();
              });
        if (playing == 0)
            loop.exec();
        QObject::disconnect(quit);
    }
    pump(1000);
    timedApp()->record(false);
    if (gaps.longest() > longestStall_) {
        longestStall_ = gaps.longest();
        char ran[160];
        std::snprintf(ran, sizeof ran, "%.2f ms: the UI thread ran %.2f ms, waited for a processor %.2f ms; ",
                      gaps.longest(), gaps.longestCpu(), gaps.longestQueued());
        longestEvent_ = ran + timedApp()->longestEvent();
    }
    QObject::disconnect(counted);
    *own = gaps.longestOwn();
    return playing > 0 ? gaps.longest() : -1;
}

void startStallRuns(PlayerWindow& window, int runs)
{
    std::vector<double> fromStopped, overPlaying, handling, own;
    for (int run = 0; run < runs; ++run) {
        if (!clearVideo(window))
            return;
        double ms = 0, ownMs = 0;
        fromStopped.push_back(startStall(window, &ms, &ownMs));
        handling.push_back(ms);
        own.push_back(ownMs);
        // The same row again while it plays: the running player is ended
        // and a new one started.
        overPlaying.push_back(startStall(window, &ms, &ownMs));
        handling.push_back(ms);
        own.push_back(ownMs);
    }
    const auto longest
        = [](const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); };
    std::printf("UI thread while starting, %d runs each (a failed start counts as -1)\n", runs);
    std::printf("  from a stopped player: median %8.2f ms, longest %8.2f ms   (target < 5)\n", median(fromStopped),
                longest(fromStopped));
    std::printf("  over a playing one:    median %8.2f ms, longest %8.2f ms   (target < 5)\n", median(overPlaying),
                longest(overPlaying));
    std::printf("  the double click's own handling: median %.2f ms, longest %.2f ms\n", median(handling),
                longest(handling));
    std::printf("  less the waits for a processor:  median %.2f ms, longest %.2f ms (load %s)\n", median(own),
                longest(own), loadAverage().c_str());
    std::printf("  the longest stall: %s\n", longestEvent_.c_str());
}

// The gaps between the ticks of a 1 ms timer over `seconds`, sorted.
std::vector<double> tickGaps(int seconds)
{
    std::vector<double> gaps;
    QElapsedTimer t;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    qint64 last = 0;
    t.start();
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = t.nsecsElapsed();
        gaps.push_back(static_cast<double>(now - last) / 1e6);
        last = now;
    });
    last = t.nsecsElapsed();
    ticker.start();
    pump(seconds * 1000);
    ticker.stop();
    std::sort(gaps.begin(), gaps.end());
    return gaps;
}

// The longest gap between the ticks of a 1 ms timer while the file plays,
// and, as the machine's own share, the same with the window idle.
void stallRun(PlayerWindow& window, int seconds)
{
    clearVideo(window);
    const std::vector<double> idle = tickGaps(seconds);
    window.command(PlayerWindow::kPlay);
    pump(1500);
    if (!window.positionTimerRunning()) {
        std::fprintf(stderr, "player_view_bench: the position timer does not run\n");
        return;
    }
    const double ranBefore = engineThreadMs();
    QElapsedTimer playing;
    playing.start();
    const std::vector<double> gaps = tickGaps(seconds);
    const double playingShare = (engineThreadMs() - ranBefore) / static_cast<double>(playing.elapsed()) * 100;
    const auto longestOf = [](const std::vector<double>& v) { return v.empty() ? 0 : v.back(); };
    const auto p99Of = [](const std::vector<double>& v) { return v.empty() ? 0 : v[v.size() * 99 / 100]; };
    std::printf("UI thread while playing, %d s with the position timer running (%zu ticks of a 1 ms timer)\n", seconds,
                gaps.size());
    std::printf("  longest stall                          %8.2f ms   (target < 5)\n", longestOf(gaps));
    std::printf("  99th percentile gap                    %8.2f ms\n", p99Of(gaps));
    std::printf("  the same window idle, no player: longest %.2f ms, 99th percentile %.2f ms (load %s)\n",
                longestOf(idle), p99Of(idle), loadAverage().c_str());
    // What one position poll (the timer's call) costs the UI thread, for
    // telling the engine's share from the window's own work.
    double query = 0;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer q;
        q.start();
        window.engine().pollPosition();
        query = std::max(query, static_cast<double>(q.nsecsElapsed()) / 1e6);
        pump(20);
    }
    std::printf("  longest of 50 position polls           %8.2f ms\n", query);
    std::printf("  player state Playing at the end        %8s\n",
                window.engine().state() == qf::player::PlayerState::Playing ? "yes" : "no");

    window.command(PlayerWindow::kPause);
    pump(300);
    const double pausedBefore = engineThreadMs();
    QElapsedTimer paused;
    paused.start();
    pump(seconds * 1000);
    const double pausedShare = (engineThreadMs() - pausedBefore) / static_cast<double>(paused.elapsed()) * 100;
    const bool wasPaused = window.engine().state() == qf::player::PlayerState::Paused;
    window.command(PlayerWindow::kPlay);
    std::printf("engine thread's processor time, as a share of one core\n");
    std::printf("  while playing (position timer running) %8.3f %%\n", playingShare);
    std::printf("  while paused                           %8.3f %%   (target <= 1; %s)\n", pausedShare,
                wasPaused ? "paused throughout" : "NOT paused");
}

} // namespace

int main(int argc, char** argv)
{
    // The display connection set up as the program sets it up.
    qf::ui::chooseGuiPlatform();
    TimedApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    // The program's own choice of drivers, unless the caller sets them.
    qf::core::toolPaths().build(QF_PROGRAM_DIR);
    if (!qf::probe::loadMediaInfoLibrary(QF_PROGRAM_DIR)) {
        std::fprintf(stderr, "player_view_bench: cannot load OLIVE.dll from %s\n", QF_PROGRAM_DIR);
        return 1;
    }
    qf::ui::setFloatingTipsEnabled(false);

    const QString clip = QStringLiteral("/tmp/player_view_bench_clip.avi");
    if (QProcess::execute(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
             QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("testsrc=size=320x240:rate=25:duration=30"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"), QStringLiteral("sine=frequency=440:duration=30"), QStringLiteral("-c:v"),
             QStringLiteral("mpeg4"), QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-shortest"), clip})
        != 0) {
        std::fprintf(stderr, "player_view_bench: ffmpeg could not make the clip\n");
        return 1;
    }

    QElapsedTimer searched;
    searched.start();
    PlayerWindow window;
    window.setMessageBox([](QWidget*, const QString&) {});
    window.move(0, 0);
    window.show();
    using Status = qf::player::SoundOutputFinder::Status;
    while (window.engine().soundOutputStatus() == Status::Searching && searched.elapsed() < 30000)
        pump(5);
    const Status sound = window.engine().soundOutputStatus();
    std::printf("sound output search (once per run, in the background)  %8.2f ms: %s\n",
                static_cast<double>(searched.nsecsElapsed()) / 1e6,
                sound == Status::Found           ? "found"
                    : sound == Status::NoneWorks ? "none works, plays silently"
                                                 : "not searched (drivers from the environment)");
    pump(300);
    window.addPaths({clip});
    pump(1500);
    std::string commandLine = window.engine().lastCommandLine();
    if (commandLine.empty()) {
        std::fprintf(stderr, "player_view_bench: the player did not start\n");
        return 1;
    }
    std::printf("the view's command line: %s\n", commandLine.c_str());
    // The player alone: the same line with the silent sound output.
    if (const size_t ao = commandLine.find(" -ao "); ao != std::string::npos) {
        const size_t end = commandLine.find(' ', ao + 5);
        commandLine.replace(ao, end - ao, " -ao null");
    }

    std::vector<double> view, alone;
    for (int run = 0; run < runs; ++run) {
        // Alternate the order so that neither side always meets a warm start.
        for (int side = 0; side < 2; ++side) {
            if (!clearVideo(window)) {
                std::fprintf(stderr, "player_view_bench: the video window keeps a picture after the stop\n");
                return 1;
            }
            const bool viewSide = (run + side) % 2 == 0;
            const double ms = viewSide ? viewRun(window) : baselineRun(window.videoWindow(), commandLine);
            if (ms < 0) {
                std::fprintf(stderr, "player_view_bench: no picture within 5 s (%s)\n",
                             viewSide ? "view" : "player alone");
                return 1;
            }
            (viewSide ? view : alone).push_back(ms);
        }
    }
    std::vector<double> extra;
    for (size_t i = 0; i < view.size() && i < alone.size(); ++i)
        extra.push_back(view[i] - alone[i]);
    std::printf("first picture, median of %d runs (ms)\n", runs);
    std::printf("  player alone, start to first picture   %8.2f\n", median(alone));
    std::printf("  double click on a row to first picture %8.2f   (%+.2f; target +50)\n", median(view),
                median(view) - median(alone));
    std::printf("  median of the paired differences       %+8.2f\n", median(extra));

    startStallRuns(window, runs);
    clearVideo(window);
    stallRun(window, 5);
    window.command(PlayerWindow::kStop);
    QFile::remove(clip);
    return 0;
}
