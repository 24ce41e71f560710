// Figures for the program window, each against a baseline from this run:
//  a) the UI thread's longest stall while a conversion feeds progress to
//     the task list, measured by a 5 ms timer that this bench runs, against
//     the same timer over the same time with nothing converting;
//  b) adding FILES by a drop on the window, against probing the same files
//     with the engine's prober alone.
//
// usage: main_window_bench PROGRAM_DIR CLIP FILES_DIR
// (run it through bench/main_window_bench.sh, which makes the files)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "convert/command_line_builder.h"
#include "core/program_directory.h"
#include "probe/media_info_library.h"
#include "settings/settings.h"
#include "tasks/task_list_model.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/task_list_view.h"
#include "ui/main/main_window.h"
#include "ui/shell/qt_shell.h"

namespace {

using namespace qf;
namespace stdfs = std::filesystem;

constexpr int kTimerMs = 5;

// Runs the event loop for as long as busy() holds (at least minMs), with a
// kTimerMs timer; returns the longest gap between two of its ticks beyond
// its period, in ms.
double longestStall(const std::function<bool()>& busy, int minMs, int maxMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    timer.start(kTimerMs);
    while ((clock.elapsed() < minMs || busy()) && clock.elapsed() < maxMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return std::max(0.0, worst / 1e6 - kTimerMs);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: main_window_bench PROGRAM_DIR CLIP FILES_DIR\n");
        return 2;
    }
    const std::string programDir = argv[1];
    if (!probe::loadMediaInfoLibrary(programDir.c_str())) {
        std::fprintf(stderr, "main_window_bench: no media library in %s\n", programDir.c_str());
        return 1;
    }
    core::programLocation().programDirectory = programDir.c_str();
    core::toolPaths().build(programDir.c_str());
    convert::CommandLineBuilder::setEncoderPath(core::toolPaths().encoderPath.c_str());
    const std::string out = (stdfs::temp_directory_path() / ("qf-window-bench-" + std::to_string(getpid()))).string();
    stdfs::create_directories(out);
    settings::current().setOutputFolder(out.c_str());

    auto window = std::make_unique<ui::MainWindow>();
    window->show();
    ui::TaskListView* list = window->taskList();

    // a) A conversion feeding the list: DVD, two passes of MPEG-2, so that
    // progress lines arrive for a good while.
    // Let the window settle first (its other pages are made after the first paint).
    longestStall([] { return false; }, 500, 500);
    const double idle = longestStall([] { return false; }, 3000, 3000);
    convert::ConversionSettings dvd;
    dvd.selectModel(4, 0, 10);
    window->parameterPanel()->applySettings(dvd);
    list->addFiles({ui::toQ(argv[2])});
    while (list->addingFiles())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    list->model().setChecked(0, true);
    QElapsedTimer run;
    run.start();
    if (!list->start()) {
        std::fprintf(stderr, "main_window_bench: the conversion did not start\n");
        return 1;
    }
    const double converting = longestStall([&] { return list->isConverting(); }, 1000, 600000);
    std::printf("a) longest UI stall while converting (%.1f s, state %s): %.1f ms; idle: %.1f ms (target < 20 ms)\n",
                run.elapsed() / 1000.0, list->model().row(0).text[tasks::kColumnState].c_str(), converting, idle);
    list->deleteChecked();

    // b) A drop of many files against the engine's prober.
    QStringList paths;
    for (const auto& entry : stdfs::directory_iterator(argv[3]))
        paths.push_back(ui::toQ(entry.path().string()));
    paths.sort();
    QElapsedTimer probeClock;
    probeClock.start();
    {
        tasks::LibraryMediaProber prober;
        probe::MediaFacts facts;
        int accepted = 0;
        for (const QString& path : paths)
            accepted += prober.probe(ui::fromQ(path).c_str(), facts) ? 1 : 0;
        if (accepted != paths.size())
            std::fprintf(stderr, "main_window_bench: only %d of %lld files probe\n", accepted,
                         static_cast<long long>(paths.size()));
    }
    const double probeMs = probeClock.nsecsElapsed() / 1e6;
    QElapsedTimer dropClock;
    dropClock.start();
    window->dropFiles(paths, list->geometry().center());
    // The files are probed off the UI thread: the drop ends when the last row is in.
    while (list->addingFiles())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double dropMs = dropClock.nsecsElapsed() / 1e6;
    std::printf(
        "b) %lld files: drop on the window %.1f ms, engine probe alone %.1f ms, ratio %.2f (target <= 1.5); rows %d\n",
        static_cast<long long>(paths.size()), dropMs, probeMs, dropMs / probeMs, list->model().rowCount());

    window.reset();
    stdfs::remove_all(out);
    return 0;
}
