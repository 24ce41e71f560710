// The engine thread as the player's only user: the UI thread's calls go on
// while the engine thread is held in a synchronous report, commands keep
// their order across launches, and the length is known without waiting.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/messages.h"
#include "player/player_engine.h"
#include "player/support/player_test_support.h"

namespace qf::player {
namespace {

using core::PLAYER_ENDED;
using core::PLAYER_PLAYING;
using core::PLAYER_STARTING;
using core::PLAYER_STOPPED;
using testing::WindowRecorder;

class EngineQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.setPlayerPath(testing::fakePlayer().c_str());
        ASSERT_TRUE(engine.startThread(0));
    }
    void TearDown() override
    {
        windows.shutdown();
        engine.stopThread();
    }
    std::string media(const char* mode) { return testing::dataDir() + "/" + mode; }
    void startAndWaitPlaying(const void* entry, const char* mode)
    {
        const int playing = windows.count('p', PLAYER_PLAYING);
        ASSERT_EQ(engine.startPlayback(entry, media(mode).c_str()), PlayerState::Starting);
        ASSERT_TRUE(windows.waitFor('p', PLAYER_PLAYING, 5000, playing + 1));
    }
    static intptr_t id(const int& entry) { return reinterpret_cast<intptr_t>(&entry); }

    WindowRecorder windows;
    PlayerEngine engine{windows.video(), windows.player()};
    const int entryA = 1;
    const int entryB = 2;
    const int entryC = 3;
};

// The test thread does not pump the video window's sink while it calls the
// engine: the engine thread's synchronous report of A's stop cannot finish,
// yet every call returns with the state it published, and once the reports
// are handled, they come in launch order.
TEST_F(EngineQueueTest, CallsGoOnWhileTheEngineThreadWaitsForAReport)
{
    startAndWaitPlaying(&entryA, "normal");
    testing::waitForCommands(5, 2000);

    ASSERT_EQ(engine.startPlayback(&entryB, media("normal").c_str()), PlayerState::Starting);
    EXPECT_EQ(engine.state(), PlayerState::Starting);
    EXPECT_EQ(engine.position(), 0);
    EXPECT_EQ(engine.knownLength(), 0) << "not playing yet";
    EXPECT_EQ(engine.pollPosition(), 0);
    // B is stopped, and C started, before the engine thread has taken B up.
    engine.stopPlayback();
    EXPECT_EQ(engine.state(), PlayerState::Idle);
    engine.setVolume(35); // stored for C's start-up
    ASSERT_EQ(engine.startPlayback(&entryC, media("normal").c_str()), PlayerState::Starting);

    ASSERT_TRUE(windows.waitFor('p', PLAYER_PLAYING, 5000, 2));
    windows.pumpFor(100);
    EXPECT_EQ(windows.codes('v'), (std::vector<uint32_t>{PLAYER_STOPPED, PLAYER_STOPPED}));
    EXPECT_EQ(
        windows.codes('p'),
        (std::vector<uint32_t>{PLAYER_STARTING, PLAYER_PLAYING, PLAYER_STARTING, PLAYER_STARTING, PLAYER_PLAYING}));
    EXPECT_EQ(engine.state(), PlayerState::Playing);

    // The reports name their launches: A's stop, then B's (which never
    // had a player: it was stopped before it began), then C.
    EXPECT_EQ(windows.entries('v', PLAYER_STOPPED), (std::vector<intptr_t>{id(entryA), id(entryB)}));
    EXPECT_EQ(windows.entries('p', PLAYER_STARTING), (std::vector<intptr_t>{id(entryA), id(entryB), id(entryC)}));
    EXPECT_EQ(windows.entries('p', PLAYER_PLAYING), (std::vector<intptr_t>{id(entryA), id(entryC)}));

    // A heard its stop; only C came up, with the volume stored meanwhile.
    const std::vector<std::string> sent = testing::waitForCommands(5 + 1 + 5, 2000);
    ASSERT_EQ(sent.size(), 11u);
    EXPECT_EQ(sent[5], "quit");
    EXPECT_EQ(
        std::vector<std::string>(sent.begin() + 6, sent.end()),
        (std::vector<std::string>{"volume 35 1", "brightness -85 1", "contrast 0 1", "hue 0 1", "saturation 0 1"}));
}

TEST_F(EngineQueueTest, CommandsKeepTheirOrderAcrossAStopAndTheNextLaunch)
{
    startAndWaitPlaying(&entryA, "normal");
    testing::waitForCommands(5, 2000);
    engine.setVolume(30);
    engine.seekRelative(4);
    engine.togglePause();
    engine.setMute(true);
    engine.stopPlayback();
    engine.setBrightness(10); // stored only: nothing plays
    startAndWaitPlaying(&entryB, "normal");
    engine.seekAbsolute(9);
    const std::vector<std::string> expected{
        "volume 30 1",      "seek 4 0",     "pause",   "pausing_keep mute 1", "quit",         "volume 30 1",
        "brightness -75 1", "contrast 0 1", "hue 0 1", "saturation 0 1",      "seek 9.000 2", "get_time_pos"};
    std::vector<std::string> sent = testing::waitForCommands(5 + expected.size(), 3000);
    ASSERT_EQ(sent.size(), 5 + expected.size());
    sent.erase(sent.begin(), sent.begin() + 5);
    EXPECT_EQ(sent, expected);
}

TEST_F(EngineQueueTest, KnownLengthNeverWaitsAndTakesTheAnswerLater)
{
    // Announced at start-up: known at once, never asked.
    startAndWaitPlaying(&entryA, "announced");
    EXPECT_EQ(engine.knownLength(), 61);
    EXPECT_EQ(engine.length(), 61);

    // Not announced: the first call asks and says 0; the answer comes in
    // the background and a later call has it.
    startAndWaitPlaying(&entryB, "normal");
    EXPECT_EQ(engine.knownLength(), 0);
    // Waiting without asking again: a slow answer would otherwise be asked
    // for once per poll, and the count below would depend on the machine.
    EXPECT_TRUE(windows.waitUntil([&] { return engine.knownLength(false) == 42; }, 5000)) << engine.knownLength(false);
    EXPECT_EQ(engine.length(), 42);
    const size_t asked = testing::loggedCommands().size();
    EXPECT_EQ(engine.knownLength(), 42);
    windows.pumpFor(100);
    EXPECT_EQ(testing::loggedCommands().size(), asked) << "asked again once known";

    // Stopped: 0.
    engine.stopPlayback();
    EXPECT_EQ(engine.knownLength(), 0);

    // Asked once; later calls that do not ask still take the answer.
    startAndWaitPlaying(&entryC, "normal");
    // A's start-up and quit, B's start-up, question and quit, C's start-up.
    ASSERT_EQ(testing::waitForCommands(5 + 1 + 5 + 1 + 1 + 5, 2000).size(), 18u);
    const size_t before = testing::loggedCommands().size();
    EXPECT_EQ(engine.knownLength(), 0);
    EXPECT_TRUE(windows.waitUntil([&] { return engine.knownLength(false) == 42; }, 5000));
    windows.pumpFor(100);
    std::vector<std::string> sent = testing::loggedCommands();
    ASSERT_GE(sent.size(), before);
    sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(sent, (std::vector<std::string>{"get_time_length"}));
}

TEST_F(EngineQueueTest, KnownLengthOfAPlayerThatHoldsItsAnswerComesWithTheNextQuestion)
{
    startAndWaitPlaying(&entryA, "slow");
    EXPECT_EQ(engine.knownLength(), 0);
    // Each call asks again while unknown; the stand-in answers the first
    // question when the second comes.
    EXPECT_TRUE(windows.waitUntil([&] { return engine.knownLength() == 42; }, 5000));
}

TEST_F(EngineQueueTest, TerminatePlayerIsARequestedStop)
{
    startAndWaitPlaying(&entryA, "normal");
    engine.terminatePlayer();
    ASSERT_TRUE(windows.waitFor('v', PLAYER_STOPPED, 3000));
    EXPECT_EQ(engine.state(), PlayerState::Idle);
    windows.pumpFor(100);
    EXPECT_EQ(windows.count('p', PLAYER_ENDED), 0);
    EXPECT_EQ(windows.count('v', PLAYER_ENDED), 0);
}

TEST_F(EngineQueueTest, APlayerThatEndsWhileStoppedIsReportedOnce)
{
    // "nostart" ends by itself at once; the stop races with that end.
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(engine.startPlayback(&entryA, media("nostart").c_str()), PlayerState::Starting);
        engine.stopPlayback();
    }
    ASSERT_TRUE(windows.waitUntil(
        [&] { return windows.count('v', PLAYER_STOPPED) + windows.count('v', PLAYER_ENDED) == 5; }, 5000));
    windows.pumpFor(200);
    EXPECT_EQ(windows.count('v', PLAYER_STOPPED) + windows.count('v', PLAYER_ENDED), 5);
    EXPECT_EQ(windows.count('p', PLAYER_STARTING), 5);
    EXPECT_EQ(windows.count('p', PLAYER_ENDED), windows.count('v', PLAYER_ENDED));
    EXPECT_EQ(engine.state(), PlayerState::Idle);
}

// A launch that ends by itself while the next one is being made must not
// touch the next one's state or reports.
TEST_F(EngineQueueTest, TheEndOfAReplacedLaunchLeavesTheNextOneAlone)
{
    for (int round = 1; round <= 4; ++round) {
        ASSERT_EQ(engine.startPlayback(&entryA, media("nostart").c_str()), PlayerState::Starting);
        ASSERT_EQ(engine.startPlayback(&entryB, media("normal").c_str()), PlayerState::Starting);
        const auto playingB = [&] {
            const std::vector<intptr_t> playing = windows.entries('p', PLAYER_PLAYING);
            return std::count(playing.begin(), playing.end(), id(entryB));
        };
        ASSERT_TRUE(windows.waitUntil([&] { return playingB() == round; }, 5000)) << "round " << round;
        EXPECT_EQ(engine.state(), PlayerState::Playing) << "round " << round;
        engine.stopPlayback();
        ASSERT_TRUE(windows.waitUntil(
            [&] {
                return windows.entries('v', PLAYER_STOPPED).size() + windows.entries('v', PLAYER_ENDED).size()
                    == static_cast<size_t>(2 * round);
            },
            5000))
            << "round " << round;
    }
    windows.pumpFor(100);
    // B was stopped every time; A ended by itself or was replaced.
    for (const intptr_t ended : windows.entries('v', PLAYER_ENDED))
        EXPECT_EQ(ended, id(entryA));
    EXPECT_EQ(windows.entries('p', PLAYER_ENDED), windows.entries('v', PLAYER_ENDED));
    EXPECT_EQ(engine.state(), PlayerState::Idle);
}

} // namespace
} // namespace qf::player
