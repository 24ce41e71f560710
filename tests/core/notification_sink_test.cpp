#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <unistd.h>
#include <thread>
#include <vector>

#include "core/messages.h"
#include "core/notification_sink.h"
#include "support/thread_state.h"

using namespace qf::core;
using qf::test::threadComesToSleep;

TEST(QueuedSink, SendWaitsForTheHandlerAndReturnsItsResult)
{
    std::vector<uint32_t> seen;
    QueuedSink sink([&seen](const Message& m) {
        seen.push_back(taskNotifyCode(m.wParam));
        return intptr_t(m.lParam * 2);
    });
    std::atomic<intptr_t> result{0};
    std::atomic<bool> returned{false};
    std::atomic<pid_t> sender{0};
    std::thread worker([&] {
        sender.store(static_cast<pid_t>(::gettid()));
        sink.post(WM_TASK_NOTIFY, makeTaskNotifyParam(NOTIFY_TICK, 0), 0);
        result = sink.send(WM_TASK_NOTIFY, makeTaskNotifyParam(NOTIFY_DONE, 0), 21);
        returned = true;
    });
    ASSERT_TRUE(threadComesToSleep(sender));
    EXPECT_FALSE(returned.load()); // nobody pumped yet
    while (!returned.load())
        sink.waitAndPump(20);
    worker.join();
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(seen, (std::vector<uint32_t>{NOTIFY_TICK, NOTIFY_DONE})); // arrival order
    // A send on the receiving thread runs directly.
    EXPECT_EQ(sink.send(WM_TASK_NOTIFY, 0, 5), 10);
}

TEST(QueuedSink, ShutdownReleasesAWaitingSender)
{
    QueuedSink sink([](const Message&) { return intptr_t(1); });
    std::atomic<intptr_t> result{0};
    std::atomic<pid_t> sender{0};
    std::thread worker([&] {
        sender.store(static_cast<pid_t>(::gettid()));
        result = sink.send(WM_TASK_NOTIFY, 0, 0);
    });
    // Once the sender sleeps it waits in its send: nothing else in it sleeps.
    ASSERT_TRUE(threadComesToSleep(sender));
    EXPECT_EQ(result.load(), 0);
    sink.shutdown(); // as a window closing while the worker waits
    worker.join();
    EXPECT_EQ(result.load(), NotificationSink::kRefused);
    EXPECT_EQ(sink.send(WM_TASK_NOTIFY, 0, 0), NotificationSink::kRefused);
    sink.post(WM_TASK_NOTIFY, 0, 0);
    EXPECT_EQ(sink.pump(), 0);
}

TEST(Messages, NumbersAndPacking)
{
    EXPECT_EQ(WM_MAIN_REQUEST, 0x403u);
    EXPECT_EQ(WM_TASK_NOTIFY, 0x406u);
    EXPECT_EQ(WM_QUEUE_TASK, 0x407u);
    EXPECT_EQ(WM_PLAY_ENTRY, 0x409u);
    EXPECT_EQ(WM_PLAYER_NOTIFY, 1034u);
    const uint32_t w = makeTaskNotifyParam(NOTIFY_STATE_CHANGED, 7);
    EXPECT_EQ(taskNotifyCode(w), NOTIFY_STATE_CHANGED);
    EXPECT_EQ(taskNotifyDetail(w), 7u);
}
