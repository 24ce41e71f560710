// The worker thread: order of tasks and notifications, stop at every phase,
// the end-of-queue and reset rules, the tick, and shutdown while the worker
// waits on its receiver.

#include <chrono>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <filesystem>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "convert/command_line_builder.h"
#include "core/messages.h"
#include "tasks/conversion_worker.h"
#include "support/thread_state.h"
#include "tasks/support/fake_programs.h"

namespace qf::tasks {
namespace {

using testing::FakePrograms;
using testing::fileExists;
using testing::listDir;
using Events = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

class ConversionWorkerTest : public ::testing::Test {
protected:
    ConversionWorkerTest()
    {
        programs.writeStandardSet();
        convert::CommandLineBuilder::setEncoderPath(("\"" + programs.dir() + "/ALDER.DAT\"").c_str());
    }
    ~ConversionWorkerTest() override
    {
        sink.shutdown();
        worker.endThread();
        unsetenv("QF_FAKE_HANG");
    }

    ConversionTask* addTask(const std::string& name, int32_t category = 3, int32_t format = 9)
    {
        auto task = std::make_unique<ConversionTask>();
        task->sourcePath = (programs.dir() + "/in/" + name + ".avi").c_str();
        task->selectModel(category, 0, format);
        task->media.hasVideo = true;
        task->media.hasAudio = true;
        task->makeOutputPath(outDir().c_str());
        names[task.get()] = name;
        tasks.push_back(std::move(task));
        return tasks.back().get();
    }
    void queue(std::initializer_list<ConversionTask*> run)
    {
        worker.markBusy();
        for (ConversionTask* t : run)
            worker.enqueue(t);
        worker.enqueueEnd();
    }
    std::string outDir() const { return programs.dir() + "/out"; }
    std::string hangingMarker() const { return programs.dir() + "/hanging"; }

    // Pumps the receiver until pred holds; false after timeoutMs.
    template <class Pred> bool pumpUntil(Pred pred, int timeoutMs = 10000)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!pred()) {
            if (Clock::now() > end)
                return false;
            sink.waitAndPump(5);
        }
        return true;
    }
    bool finished() const { return !events.empty() && events.back().rfind("finished", 0) == 0; }

    void record(const core::Message& m)
    {
        const uint32_t code = core::taskNotifyCode(m.wParam);
        const uint32_t detail = core::taskNotifyDetail(m.wParam);
        const auto* task = reinterpret_cast<const ConversionTask*>(m.lParam);
        const std::string who = task ? names[task] + " " : "";
        switch (code) {
        case core::NOTIFY_TICK: ++ticks; return;
        case core::NOTIFY_PROGRESS_LINE: return;
        case core::NOTIFY_QUEUE_FINISHED: events.push_back("finished " + std::to_string(detail)); return;
        case core::NOTIFY_STATE_CHANGED: events.push_back(who + "state " + std::to_string(detail)); return;
        case core::NOTIFY_DONE: events.push_back(who + "done"); return;
        case core::NOTIFY_STOPPED: events.push_back(who + "stopped"); return;
        case core::NOTIFY_FAILED: events.push_back(who + "failed"); return;
        default: events.push_back(who + "code " + std::to_string(code)); return;
        }
    }

    FakePrograms programs;
    Events events;
    int ticks = 0;
    std::map<const ConversionTask*, std::string> names;
    core::QueuedSink sink{[this](const core::Message& m) {
        record(m);
        return intptr_t{0};
    }};
    ConversionWorker worker{programs.environment()};
    std::vector<std::unique_ptr<ConversionTask>> tasks; // destroyed before the worker
};

TEST_F(ConversionWorkerTest, RunsTasksInQueueOrderAndFinishesOnce)
{
    ConversionTask* a = addTask("a");
    ConversionTask* b = addTask("b");
    ConversionTask* c = addTask("c");
    worker.startThread(sink);
    queue({a, b, c});
    ASSERT_TRUE(pumpUntil([&] { return finished(); }));
    EXPECT_EQ(events,
              (Events{"a state 5", "a state 8", "a done", "b state 5", "b state 8", "b done", "c state 5", "c state 8",
                      "c done", "finished 0"}));
    EXPECT_FALSE(worker.isBusy());
    sink.waitAndPump(50);
    EXPECT_EQ(events.size(), 10u);
}

TEST_F(ConversionWorkerTest, StopWhileTheSecondTaskEncodes)
{
    programs.write("ALDER.DAT",
                   "case \"$*\" in *b.avi*) : > '" + hangingMarker()
                       + "'; exec sleep 30;; esac\n"
                         "printf x > \"$OUT\"");
    ConversionTask* a = addTask("a");
    ConversionTask* b = addTask("b");
    ConversionTask* c = addTask("c");
    worker.startThread(sink);
    queue({a, b, c});
    ASSERT_TRUE(pumpUntil([&] { return fileExists(hangingMarker()); }));
    worker.requestStop();
    EXPECT_TRUE(worker.stopRequested());
    // The encoder would sleep for 30 s: the run ends long before only when
    // the stop ends it.
    ASSERT_TRUE(pumpUntil([&] { return finished(); }, 20000));
    EXPECT_EQ(events,
              (Events{"a state 5", "a state 8", "a done", "b state 5", "b stopped", "c stopped", "finished 1"}));
    EXPECT_FALSE(worker.isBusy());
    EXPECT_FALSE(worker.stopRequested());
    EXPECT_EQ(programs.calls().size(), 2u); // c never ran

    // The next run is not touched by the old stop.
    events.clear();
    queue({c});
    ASSERT_TRUE(pumpUntil([&] { return finished(); }));
    EXPECT_EQ(events, (Events{"c state 5", "c state 8", "c done", "finished 0"}));
}

TEST_F(ConversionWorkerTest, StopAtEveryPhaseLeavesNoIntermediates)
{
    struct Case {
        const char* phase;
        int32_t category;
        int32_t format;
    } cases[] = {
        {"encode", 0, 0},        {"probe", 0, 0},     {"extract-video", 0, 0}, {"extract-audio", 0, 0},
        {"mux-video", 0, 0},     {"mux-audio", 0, 0}, {"mux-video", 0, 6},     {"atoms", 2, 3},
        {"extract-audio", 2, 1}, {"pmp", 2, 1},       {"encode", 3, 9},
    };
    worker.startThread(sink);
    for (const Case& c : cases) {
        std::filesystem::remove_all(outDir());
        std::filesystem::remove(hangingMarker());
        setenv("QF_FAKE_HANG", c.phase, 1);
        events.clear();
        ConversionTask* t = addTask("clip", c.category, c.format);
        queue({t});
        ASSERT_TRUE(pumpUntil([&] { return fileExists(hangingMarker()); })) << c.phase;
        worker.requestStop();
        ASSERT_TRUE(pumpUntil([&] { return finished(); }, 20000)) << c.phase;
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events[events.size() - 2], "clip stopped") << c.phase;
        EXPECT_EQ(events.back(), "finished 1") << c.phase;
        EXPECT_EQ(listDir(outDir()), Events{}) << c.phase << " format " << c.format;
        EXPECT_FALSE(fileExists(programs.dir() + "/SPRUCE.ini")) << c.phase;
    }
}

TEST_F(ConversionWorkerTest, AStoppedToolsHiddenPartialFileGoesToo)
{
    // The helper tools write ".<name>.part-XXXXXX" beside their output and
    // rename it when done; one ended by force cannot remove it itself.
    programs.write("CEDAR.DLL",
                   "d=$(dirname \"$LAST\"); n=$(basename \"$LAST\"); printf x > \"$d/.$n.part-Ab12Cd\"\n"
                   "hang mux-video");
    setenv("QF_FAKE_HANG", "mux-video", 1);
    ConversionTask* t = addTask("clip", 0, 6);
    std::filesystem::create_directories(outDir());
    // Someone else's file of that shape stays.
    testing::writeFile(outDir() + "/.other.mp4.part-Ab12Cd", "not ours");
    worker.startThread(sink);
    queue({t});
    ASSERT_TRUE(pumpUntil([&] { return fileExists(hangingMarker()); }, 30000));
    // In the run's own work folder, which goes with the run.
    ASSERT_TRUE(fileExists(outDir() + "/.clip.avi-mp4.mp4.quillfer/.clip.avi-mp4.mp4.part-Ab12Cd"));
    worker.requestStop();
    ASSERT_TRUE(pumpUntil([&] { return finished(); }, 30000));
    EXPECT_EQ(events[events.size() - 2], "clip stopped");
    EXPECT_EQ(listDir(outDir()), Events{".other.mp4.part-Ab12Cd"});
}

TEST_F(ConversionWorkerTest, StopWhenMuxingBeginsRemovesTheIntermediate)
{
    ConversionTask* t = addTask("clip", 0, 0);
    // Stop from inside the handler of the muxing state, before any tool runs.
    core::QueuedSink stopper([&](const core::Message& m) {
        if (core::taskNotifyCode(m.wParam) == core::NOTIFY_STATE_CHANGED
            && core::taskNotifyDetail(m.wParam) == kStateMuxing)
            worker.requestStop();
        record(m);
        return intptr_t{0};
    });
    worker.startThread(stopper);
    queue({t});
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!finished() && Clock::now() < end)
        stopper.waitAndPump(5);
    EXPECT_EQ(events, (Events{"clip state 5", "clip state 8", "clip stopped", "finished 1"}));
    EXPECT_EQ(listDir(outDir()), Events{});
    stopper.shutdown();
    worker.endThread();
}

TEST_F(ConversionWorkerTest, StopWhileIdleIsIgnoredAndResetClearsTheFlags)
{
    worker.requestStop();
    EXPECT_FALSE(worker.stopRequested());
    worker.startThread(sink);
    worker.markBusy();
    worker.requestStop();
    EXPECT_TRUE(worker.stopRequested());
    worker.postQueueMessage(core::QUEUE_RESET);
    ASSERT_TRUE(pumpUntil([&] { return !worker.isBusy(); }));
    EXPECT_FALSE(worker.stopRequested());
    EXPECT_TRUE(events.empty());
}

TEST_F(ConversionWorkerTest, TicksOnlyWhileBusy)
{
    worker.startThread(sink);
    worker.onTimer();
    sink.pump();
    EXPECT_EQ(ticks, 0);
    worker.markBusy();
    worker.onTimer();
    sink.pump();
    EXPECT_EQ(ticks, 1);

    ticks = 0;
    worker.startTickTimer();
    ASSERT_TRUE(pumpUntil([&] { return ticks > 0; }, 30000));
    worker.enqueueEnd();
    ASSERT_TRUE(pumpUntil([&] { return finished(); }, 30000));
    const int seen = ticks;
    // Over more than one interval no tick comes but, at most, the one the
    // timer had already sent off when the marker was taken.
    pumpUntil([] { return false; }, 2 * ConversionWorker::kTickIntervalMs + 200);
    EXPECT_LE(ticks, seen + 1);
    worker.stopTickTimer();
}

TEST_F(ConversionWorkerTest, EndThreadWhileAProgramRunsSilently)
{
    // Had endThread waited for the program's own end, it would find the
    // "ended" file there.
    const std::string ended = programs.dir() + "/ended";
    programs.write("ALDER.DAT", ": > '" + hangingMarker() + "'; sleep 30; : > '" + ended + "'");
    worker.startThread(sink);
    queue({addTask("a"), addTask("b")});
    ASSERT_TRUE(pumpUntil([&] { return fileExists(hangingMarker()); }));
    worker.endThread();
    EXPECT_FALSE(fileExists(ended));
    EXPECT_FALSE(worker.threadRunning());
    EXPECT_FALSE(worker.holdsChild());
    EXPECT_FALSE(worker.isBusy());
    EXPECT_EQ(programs.calls().size(), 1u);
}

// Answers the state changes itself and forwards the progress line to a
// QueuedSink nobody pumps, telling which thread came to wait in that send.
class SendWatchingSink : public core::NotificationSink {
public:
    intptr_t send(uint32_t message, uint64_t wParam, intptr_t lParam) override
    {
        if (core::taskNotifyCode(wParam) != core::NOTIFY_PROGRESS_LINE)
            return 0;
        sender.store(static_cast<pid_t>(::gettid()));
        return inner.send(message, wParam, lParam);
    }
    void post(uint32_t message, uint64_t wParam, intptr_t lParam) override { inner.post(message, wParam, lParam); }

    core::QueuedSink inner{[](const core::Message&) { return intptr_t{0}; }};
    std::atomic<pid_t> sender{0};
};

TEST_F(ConversionWorkerTest, ShutdownReleasesAWorkerBlockedInSend)
{
    programs.write("ALDER.DAT", "echo 'Pos: 1s (1%)'; exec sleep 30");
    SendWatchingSink watching;
    worker.startThread(watching);
    queue({addTask("a"), addTask("b"), addTask("c")});
    // Once the encoder runs nobody pumps: the worker waits in the send of
    // its progress line.
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (watching.sender.load() == 0 && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_NE(watching.sender.load(), 0);
    // Once the worker sleeps it waits in the send it entered.
    ASSERT_TRUE(qf::test::threadComesToSleep(watching.sender));
    watching.inner.shutdown();
    worker.endThread();
    EXPECT_FALSE(worker.holdsChild());
    EXPECT_FALSE(worker.isBusy());
    EXPECT_EQ(programs.calls().size(), 1u) << "nothing ran once the receiver had gone";
}

TEST_F(ConversionWorkerTest, AGoneReceiverDrainsTheQueueWithoutRunningAnything)
{
    worker.startThread(sink);
    sink.shutdown();
    queue({addTask("a"), addTask("b"), addTask("c")});
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (worker.isBusy() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(worker.isBusy());
    EXPECT_TRUE(programs.calls().empty());
}

} // namespace
} // namespace qf::tasks
