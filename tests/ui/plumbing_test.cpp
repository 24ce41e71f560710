// The message plumbing: the Qt notification sink across real threads, the
// window message tables, the text boundary and the opacity backend.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/messages.h"
#include "core/window_fade.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_notification_sink.h"
#include "ui/shell/qt_shell.h"

using qf::core::Message;
using qf::core::NotificationSink;
using qf::ui::QtNotificationSink;

namespace {

// Runs the UI thread's event loop until done() or the timeout.
template <typename F> bool pumpUntil(F done, int timeoutMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

TEST(QtNotificationSink, SendsAndPostsArriveInOrderOnTheUiThread)
{
    std::vector<uint64_t> seen;
    bool wrongThread = false;
    QThread* ui = QThread::currentThread();
    QtNotificationSink sink([&](const Message& m) -> intptr_t {
        wrongThread |= QThread::currentThread() != ui;
        seen.push_back(m.wParam);
        return static_cast<intptr_t>(m.wParam * 10 + 1);
    });
    std::atomic<bool> finished{false};
    std::vector<intptr_t> results;
    std::thread worker([&] {
        sink.post(qf::core::WM_TASK_NOTIFY, 1, 0);
        results.push_back(sink.send(qf::core::WM_TASK_NOTIFY, 2, 0));
        sink.post(qf::core::WM_TASK_NOTIFY, 3, 0);
        results.push_back(sink.send(qf::core::WM_TASK_NOTIFY, 4, 0));
        finished = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_TRUE(pumpUntil([&] { return seen.size() == 4; }));
    EXPECT_EQ(seen, (std::vector<uint64_t>{1, 2, 3, 4}));
    EXPECT_EQ(results, (std::vector<intptr_t>{21, 41}));
    EXPECT_FALSE(wrongThread);
}

TEST(QtNotificationSink, SendFromTheUiThreadRunsTheHandlerAtOnce)
{
    int calls = 0;
    QtNotificationSink sink([&](const Message& m) -> intptr_t {
        ++calls;
        return static_cast<intptr_t>(m.lParam + 1);
    });
    EXPECT_EQ(sink.send(qf::core::WM_PLAYER_NOTIFY, 1, 41), 42);
    EXPECT_EQ(calls, 1);
    sink.shutdown();
    EXPECT_EQ(sink.send(qf::core::WM_PLAYER_NOTIFY, 1, 41), NotificationSink::kRefused);
    EXPECT_EQ(calls, 1);
}

TEST(QtNotificationSink, ShutdownReleasesAWaitingSenderSoTheJoinCannotDeadlock)
{
    int calls = 0;
    auto sink = std::make_unique<QtNotificationSink>([&](const Message&) -> intptr_t {
        ++calls;
        return 7;
    });
    std::atomic<intptr_t> result{0};
    std::thread worker([&] { result = sink->send(qf::core::WM_TASK_NOTIFY, 4, 0); });
    // Do not run the event loop: the send stays pending, as it does while the
    // UI thread is busy closing the window.
    QElapsedTimer t;
    t.start();
    while (sink->waitingSends() == 0 && t.elapsed() < 5000)
        QThread::msleep(1);
    ASSERT_EQ(sink->waitingSends(), 1);
    sink->shutdown();
    worker.join();
    EXPECT_EQ(result.load(), NotificationSink::kRefused);
    EXPECT_EQ(sink->waitingSends(), 0);
    // Later sends and posts are refused and dropped, and the queued event of
    // the released send must not run the handler afterwards.
    std::thread late([&] {
        result = sink->send(qf::core::WM_TASK_NOTIFY, 5, 0);
        sink->post(qf::core::WM_TASK_NOTIFY, 6, 0);
    });
    late.join();
    EXPECT_EQ(result.load(), NotificationSink::kRefused);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
    sink.reset();
    QCoreApplication::processEvents();
}

TEST(QtNotificationSink, ManySendersAllGetTheirOwnAnswers)
{
    QtNotificationSink sink([](const Message& m) -> intptr_t { return m.lParam * 2; });
    constexpr int kThreads = 4, kSends = 50;
    std::atomic<int> wrong{0}, finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kSends; ++i) {
                const intptr_t v = t * 1000 + i;
                if (sink.send(qf::core::WM_TASK_NOTIFY, 3, v) != v * 2)
                    ++wrong;
            }
            ++finished;
        });
    EXPECT_TRUE(pumpUntil([&] { return finished.load() == kThreads; }));
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(QtNotificationSink, ReceiverSinkDeliversThroughTheWindowsMessageTable)
{
    qf::ui::MessageWidget window;
    std::vector<uint32_t> codes;
    window.messages().on(qf::core::WM_TASK_NOTIFY, qf::core::NOTIFY_PROGRESS_LINE, [&](const Message& m) -> intptr_t {
        codes.push_back(qf::core::taskNotifyCode(m.wParam));
        return 5;
    });
    QtNotificationSink sink(&window);
    std::atomic<intptr_t> answer{0}, unknown{-1};
    std::thread worker([&] {
        answer
            = sink.send(qf::core::WM_TASK_NOTIFY, qf::core::makeTaskNotifyParam(qf::core::NOTIFY_PROGRESS_LINE, 9), 0);
        unknown = sink.send(qf::core::WM_TASK_NOTIFY, qf::core::NOTIFY_DONE, 0);
    });
    EXPECT_TRUE(pumpUntil([&] { return unknown.load() != -1; }));
    worker.join();
    EXPECT_EQ(answer.load(), 5);
    EXPECT_EQ(unknown.load(), 0); // no handler: answered 0, like an unhandled message
    EXPECT_EQ(codes, (std::vector<uint32_t>{qf::core::NOTIFY_PROGRESS_LINE}));
}

TEST(MessageTable, ExactCodeWinsOverTheCatchAllAndPostsAreQueued)
{
    qf::ui::MessageWidget window;
    std::vector<int> calls;
    window.messages().on(qf::core::WM_MAIN_REQUEST, qf::core::REQ_ALL_DONE, [&](const Message&) -> intptr_t {
        calls.push_back(1);
        return 11;
    });
    window.messages().onAny(qf::core::WM_MAIN_REQUEST, [&](const Message& m) -> intptr_t {
        calls.push_back(2);
        return static_cast<intptr_t>(m.wParam);
    });
    EXPECT_EQ(qf::ui::sendMessage(&window, qf::core::WM_MAIN_REQUEST, qf::core::REQ_ALL_DONE, 0), 11);
    EXPECT_EQ(qf::ui::sendMessage(&window, qf::core::WM_MAIN_REQUEST, qf::core::REQ_IS_CONVERTING, 0), 9);
    EXPECT_EQ(qf::ui::sendMessage(&window, qf::core::WM_TRAY_NOTIFY, 0, 515), 0);
    qf::ui::postMessage(&window, qf::core::WM_MAIN_REQUEST, qf::core::REQ_ALL_DONE, 0);
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 1}));
}

TEST(QtShell, TextCrossesTheBoundaryUnchanged)
{
    const char* chinese = "Tarnwell输出/转换任务.mp4";
    EXPECT_EQ(qf::ui::toQ(chinese), QStringLiteral("Tarnwell输出/转换任务.mp4"));
    EXPECT_EQ(qf::ui::fromQ(qf::ui::toQ(chinese)), chinese);
    EXPECT_STREQ(qf::ui::toText(QStringLiteral("以后不要再弹出这个提示。")).text(), "以后不要再弹出这个提示。");
    EXPECT_TRUE(qf::ui::toQ(static_cast<const char*>(nullptr)).isEmpty());
}

TEST(QtShell, AnExplicitPlatformIsKept)
{
    const QByteArray before = qgetenv("QT_QPA_PLATFORM");
    ASSERT_FALSE(before.isEmpty());
    EXPECT_EQ(qf::ui::chooseGuiPlatform(), QString::fromUtf8(before));
    qunsetenv("QT_QPA_PLATFORM");
    EXPECT_EQ(qf::ui::chooseGuiPlatform(), QStringLiteral("xcb"));
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArrayLiteral("xcb"));
    qputenv("QT_QPA_PLATFORM", before);
}

// X shared memory off by default, a user's own choice kept.
TEST(QtShell, SharedMemoryPicturesOffUnlessTheUserChose)
{
    qunsetenv("QT_XCB_NO_MITSHM");
    qf::ui::chooseGuiPlatform();
    EXPECT_EQ(qgetenv("QT_XCB_NO_MITSHM"), QByteArrayLiteral("1"));
    qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("0"));
    qf::ui::chooseGuiPlatform();
    EXPECT_EQ(qgetenv("QT_XCB_NO_MITSHM"), QByteArrayLiteral("0"));
    qunsetenv("QT_XCB_NO_MITSHM");
}

// The opacity sequences of the two tip windows, read back from Qt.
TEST(WindowFadeOnQt, TipAndPopupOpacitySequences)
{
    ASSERT_TRUE(qf::ui::bindQtLayered());
    struct Case {
        uint32_t steps;
        uint8_t target;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {8, 220, {80, 67, 84, 101, 118, 135, 152, 169, 220}},
        {10, 230, {80, 65, 80, 95, 110, 125, 140, 155, 170, 185, 230}},
        {10, 255, {80, 67, 84, 101, 118, 135, 152, 169, 186, 203, 255}},
    };
    for (const Case& c : cases) {
        QWidget window(nullptr, Qt::ToolTip);
        auto& fade = qf::core::WindowFade::shared();
        fade.start(&window, c.steps, c.target);
        std::vector<int> seen{qRound(window.windowOpacity() * 255)};
        int ticks = 0;
        while (!fade.tick(&window) && ++ticks < 50)
            seen.push_back(qRound(window.windowOpacity() * 255));
        seen.push_back(qRound(window.windowOpacity() * 255));
        EXPECT_EQ(seen, c.expected) << "steps " << c.steps;
    }
}
