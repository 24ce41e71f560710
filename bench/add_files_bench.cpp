// Adding many files to the program window: the UI thread's longest stall
// while COUNT files are probed and added (target < 50 ms), against the same
// measure over an idle window in this run; whether the rows came in name
// order; and how long the stop button and a click took to be handled
// meanwhile.
//
// usage: add_files_bench PROGRAM_DIR CLIP [COUNT]
// (bench/add_files_bench.sh builds it and runs it under Xvfb)

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "convert/command_line_builder.h"
#include "core/program_directory.h"
#include "probe/media_info_library.h"
#include "settings/settings.h"
#include "tasks/task_list_model.h"
#include "ui/convert/task_list_view.h"
#include "ui/main/main_window.h"
#include "ui/shell/qt_shell.h"

namespace {

using namespace qf;
namespace stdfs = std::filesystem;

constexpr int kTimerMs = 2;

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Stall {
    double wallMs = 0; // the longest gap between two ticks beyond the period
    double cpuMs = 0; // the most CPU time the UI thread itself used between two ticks
};

// Runs the event loop while busy() holds (at least minMs) with a kTimerMs
// timer. The wall-clock gap counts whatever else the machine runs; the UI
// thread's own CPU time between two ticks is the program's part of it.
Stall longestStall(const std::function<bool()>& busy, int minMs, int maxMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double lastCpu = threadCpuMs();
    Stall worst;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = threadCpuMs();
        worst.wallMs = std::max(worst.wallMs, static_cast<double>(now - last) / 1e6 - kTimerMs);
        worst.cpuMs = std::max(worst.cpuMs, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
    });
    timer.start(kTimerMs);
    while ((clock.elapsed() < minMs || busy()) && clock.elapsed() < maxMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return worst;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: add_files_bench PROGRAM_DIR CLIP [COUNT]\n");
        return 2;
    }
    const std::string programDir = argv[1];
    const int count = argc == 4 ? std::max(1, std::atoi(argv[3])) : 300;
    if (!probe::loadMediaInfoLibrary(programDir.c_str())) {
        std::fprintf(stderr, "add_files_bench: no media library in %s\n", programDir.c_str());
        return 1;
    }
    core::programLocation().programDirectory = programDir.c_str();
    core::toolPaths().build(programDir.c_str());
    convert::CommandLineBuilder::setEncoderPath(core::toolPaths().encoderPath.c_str());
    const stdfs::path work = stdfs::temp_directory_path() / ("qf-add-bench-" + std::to_string(getpid()));
    stdfs::create_directories(work / "files");
    settings::current().setOutputFolder((work / "out").string().c_str());
    // Made in reverse name order, so that the listing's order is not the name order by chance.
    for (int i = count - 1; i >= 0; --i) {
        char name[32];
        std::snprintf(name, sizeof name, "clip %03d.avi", i);
        stdfs::copy_file(argv[2], work / "files" / name);
    }

    auto window = std::make_unique<ui::MainWindow>();
    window->show();
    ui::TaskListView* list = window->taskList();
    (void)longestStall([] { return false; }, 500, 500); // the window's other pages are made after its first paint
    const Stall idle = longestStall([] { return false; }, 2000, 2000);

    // A click on the stop button and on the list while the files come in:
    // posted now, handled when the UI thread gets to them.
    QElapsedTimer clock;
    clock.start();
    qint64 stopHandled = -1;
    QTimer::singleShot(50, window.get(), [&] {
        const qint64 asked = clock.elapsed();
        QMetaObject::invokeMethod(
            window.get(),
            [&, asked] {
                window->command(ui::MainWindow::kStop);
                stopHandled = clock.elapsed() - asked;
            },
            Qt::QueuedConnection);
    });
    window->dropFiles({ui::toQ((work / "files").string())}, list->geometry().center());
    const Stall adding = longestStall([&] { return list->addingFiles(); }, 100, 600000);
    const double seconds = clock.elapsed() / 1000.0;

    bool inOrder = list->model().rowCount() == count;
    for (int r = 1; inOrder && r < count; ++r)
        inOrder
            = std::string(list->model().task(r - 1)->sourcePath.c_str()) < list->model().task(r)->sourcePath.c_str();
    std::printf("adding %d files: %.1f s, rows %d %s\n"
                "  longest UI stall (wall clock) %.1f ms (target < 50 ms); idle window %.1f ms; ratio %.1f\n"
                "  most UI-thread CPU time between two ticks %.1f ms; idle window %.1f ms\n"
                "  a stop click was handled %lld ms after it came\n",
                count, seconds, list->model().rowCount(), inOrder ? "in name order" : "NOT in name order",
                adding.wallMs, idle.wallMs, idle.wallMs > 0 ? adding.wallMs / idle.wallMs : 0.0, adding.cpuMs,
                idle.cpuMs, static_cast<long long>(stopHandled));

    window.reset();
    stdfs::remove_all(work);
    return inOrder ? 0 : 1;
}
