// Figures for the conversion worker, each against a baseline from the same run:
//  a) one encoder command run directly vs through the worker (median of N);
//  b) CPU used by this process (the worker thread polling, the host waiting)
//     while a silent child runs for 10 s, as a share of one core;
//  c) stop latency: from requestStop until the stopped notification has
//     arrived and the child's whole process group is gone;
//  d) a queue of 5,000 tasks whose encoder exits at once: time per task,
//     against spawning the same program directly.
//
// usage: worker_bench PROGRAM_DIR CLIP [RUNS]

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "convert/command_line_builder.h"
#include "core/messages.h"
#include "core/notification_sink.h"
#include "core/platform/process.h"
#include "tasks/conversion_worker.h"

namespace {

using namespace qf;
using Clock = std::chrono::steady_clock;
namespace stdfs = std::filesystem;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A worker with its receiver on this thread.
struct Harness {
    explicit Harness(tasks::ConversionWorker::Environment environment) : worker(std::move(environment))
    {
        worker.startThread(sink);
    }
    ~Harness()
    {
        sink.shutdown();
        worker.endThread();
    }
    // Queues the tasks and pumps until the queue has finished.
    void runAll(const std::vector<tasks::ConversionTask*>& run)
    {
        finished = false;
        worker.markBusy();
        for (tasks::ConversionTask* t : run)
            worker.enqueue(t);
        worker.enqueueEnd();
        while (!finished)
            sink.waitAndPump(50);
    }

    bool finished = false;
    int stopped = 0;
    int done = 0;
    int failed = 0;
    core::QueuedSink sink{[this](const core::Message& m) {
        switch (core::taskNotifyCode(m.wParam)) {
        case core::NOTIFY_QUEUE_FINISHED: finished = true; break;
        case core::NOTIFY_STOPPED: ++stopped; break;
        case core::NOTIFY_DONE: ++done; break;
        case core::NOTIFY_FAILED:
        case core::NOTIFY_BAD_PARAMETERS:
        case core::NOTIFY_FOLDER_FAILED: ++failed; break;
        default: break;
        }
        return intptr_t{0};
    }};
    tasks::ConversionWorker worker;
};

std::unique_ptr<tasks::ConversionTask> makeTask(const std::string& source, const std::string& outDir)
{
    auto task = std::make_unique<tasks::ConversionTask>();
    task->sourcePath = source.c_str();
    task->selectModel(3, 0, 9); // flv: one pass, no post-processing
    task->media.hasVideo = true;
    task->media.hasAudio = true;
    task->makeOutputPath(outDir.c_str());
    return task;
}

// True while a live (not zombie) process belongs to the group. A killed
// grandchild stays a zombie until whoever adopted it reaps it; it runs no
// more and holds nothing.
bool groupAlive(pid_t group)
{
    for (const auto& entry : stdfs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat))
            continue;
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %ld %ld", &state, &ppid, &pgrp) == 3 && pgrp == group
            && state != 'Z')
            return true;
    }
    return false;
}

// Runs a command line to its end, reading its output as it comes.
void runDirectly(const char* commandLine)
{
    platform::ChildProcess child;
    if (!child.start(commandLine))
        return;
    char buffer[4096];
    for (;;) {
        child.waitReadable(1000);
        const ptrdiff_t got = child.read(buffer, sizeof buffer);
        if (got == 0)
            break;
    }
    child.waitExit(-1);
}

std::string fakeDir(const std::string& name, const std::string& encoderBody)
{
    const std::string dir = stdfs::temp_directory_path().string() + "/qf-worker-bench-" + name;
    stdfs::create_directories(dir);
    const std::string encoder = dir + "/ALDER.DAT";
    std::ofstream(encoder) << "#!/bin/sh\n" << encoderBody << "\n";
    stdfs::permissions(encoder, stdfs::perms::owner_all | stdfs::perms::group_read | stdfs::perms::others_read);
    return dir;
}

tasks::ConversionWorker::Environment environmentFor(const std::string& dir)
{
    tasks::ConversionWorker::Environment environment;
    environment.tools.build(dir.c_str());
    environment.programDirectory = dir.c_str();
    return environment;
}

void setEncoder(const std::string& dir)
{
    convert::CommandLineBuilder::setEncoderPath(("\"" + dir + "/ALDER.DAT\"").c_str());
}

void benchOverhead(const std::string& programDir, const std::string& clip, int runs)
{
    setEncoder(programDir);
    const std::string out = stdfs::temp_directory_path().string() + "/qf-worker-bench-out";
    stdfs::create_directories(out);
    Harness harness(environmentFor(programDir));
    std::vector<double> direct, worker;
    for (int i = 0; i < runs; ++i) {
        auto task = makeTask(clip, out);
        task->buildCommands();
        const std::string command = task->firstCommand().c_str();
        auto t0 = Clock::now();
        runDirectly(command.c_str());
        direct.push_back(seconds(Clock::now() - t0));
        stdfs::remove(task->outputPath.c_str());
        t0 = Clock::now();
        harness.runAll({task.get()});
        worker.push_back(seconds(Clock::now() - t0));
        stdfs::remove(task->outputPath.c_str());
    }
    if (harness.done != runs)
        std::printf("warning: only %d of %d worker runs converted (%d failed)\n", harness.done, runs, harness.failed);
    std::printf("a) encoder run, median of %d: direct %.3f s, through the worker %.3f s, ratio %.3f (target <= 1.02)\n",
                runs, median(direct), median(worker), median(worker) / median(direct));
}

void benchIdleCpu()
{
    const std::string dir = fakeDir("silent", "sleep 10");
    setEncoder(dir);
    Harness harness(environmentFor(dir));
    auto task = makeTask(dir + "/in.avi", dir + "/out");
    const double cpu0 = cpuSeconds();
    const auto t0 = Clock::now();
    harness.runAll({task.get()});
    const double wall = seconds(Clock::now() - t0);
    const double cpu = cpuSeconds() - cpu0;
    std::printf("b) silent child for %.1f s: this process used %.3f s of CPU = %.2f%% of one core (target < 1%%)\n",
                wall, cpu, 100.0 * cpu / wall);
}

void benchStopLatency(int runs)
{
    // The encoder starts a grandchild in its group, then waits silently.
    const std::string dir = fakeDir("stop", "echo $$ > \"$(dirname \"$0\")/pid\"; sleep 60 & wait");
    setEncoder(dir);
    Harness harness(environmentFor(dir));
    std::vector<double> latencies;
    for (int i = 0; i < runs; ++i) {
        stdfs::remove(dir + "/pid");
        auto task = makeTask(dir + "/in.avi", dir + "/out");
        harness.finished = false;
        harness.worker.markBusy();
        harness.worker.enqueue(task.get());
        harness.worker.enqueueEnd();
        pid_t group = 0;
        while (group == 0) {
            harness.sink.waitAndPump(5);
            std::ifstream in(dir + "/pid");
            in >> group;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int stoppedBefore = harness.stopped;
        const auto t0 = Clock::now();
        harness.worker.requestStop();
        bool gone = false;
        double stoppedAt = 0;
        while (harness.stopped == stoppedBefore || !gone) {
            harness.sink.waitAndPump(1);
            if (stoppedAt == 0 && harness.stopped != stoppedBefore)
                stoppedAt = seconds(Clock::now() - t0) * 1000;
            gone = gone || !groupAlive(group);
        }
        latencies.push_back(seconds(Clock::now() - t0) * 1000);
        if (i == 0)
            std::printf("   first run: stopped notification after %.1f ms, group gone after %.1f ms\n", stoppedAt,
                        latencies.back());
        while (!harness.finished)
            harness.sink.waitAndPump(5);
    }
    std::printf("c) stop latency (stopped notification and no live process left in the group) over %d runs: median "
                "%.1f ms, worst %.1f ms (target < 150 ms)\n",
                runs, median(latencies), *std::max_element(latencies.begin(), latencies.end()));
}

void benchQueue(int count)
{
    const std::string dir = stdfs::temp_directory_path().string() + "/qf-worker-bench-queue";
    stdfs::create_directories(dir);
    stdfs::remove(dir + "/ALDER.DAT");
    stdfs::create_symlink("/bin/true", dir + "/ALDER.DAT");
    setEncoder(dir);
    // Baseline: the same program spawned directly.
    const int baselineRuns = 500;
    const std::string command = "\"" + dir + "/ALDER.DAT\" -o x";
    auto t0 = Clock::now();
    for (int i = 0; i < baselineRuns; ++i)
        runDirectly(command.c_str());
    const double spawn = seconds(Clock::now() - t0) / baselineRuns;

    Harness harness(environmentFor(dir));
    std::vector<std::unique_ptr<tasks::ConversionTask>> owned;
    std::vector<tasks::ConversionTask*> run;
    for (int i = 0; i < count; ++i) {
        owned.push_back(makeTask(dir + "/in" + std::to_string(i) + ".avi", dir + "/out"));
        run.push_back(owned.back().get());
    }
    t0 = Clock::now();
    harness.runAll(run);
    const double perTask = seconds(Clock::now() - t0) / count;
    std::printf("d) %d tasks whose encoder exits at once: %.2f ms per task; a direct spawn of it %.2f ms; "
                "worker overhead %.2f ms per task\n",
                count, perTask * 1000, spawn * 1000, (perTask - spawn) * 1000);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: worker_bench PROGRAM_DIR CLIP [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(5, std::atoi(argv[3])) : 5;
    const std::string only = getenv("QF_BENCH_ONLY") ? getenv("QF_BENCH_ONLY") : "abcd";
    if (only.find('a') != std::string::npos)
        benchOverhead(argv[1], argv[2], runs);
    if (only.find('b') != std::string::npos)
        benchIdleCpu();
    if (only.find('c') != std::string::npos)
        benchStopLatency(10);
    if (only.find('d') != std::string::npos)
        benchQueue(5000);
    return 0;
}
