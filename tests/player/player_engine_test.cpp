// The engine against the real player (null drivers, clips made by ffmpeg) and
// against a scripted stand-in where timing must be pinned.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>
#include <thread>

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
using Clock = std::chrono::steady_clock;

int64_t msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class PlayerEngineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.startThread(0)); }
    void TearDown() override
    {
        // The sinks refuse sends first, so the join cannot wait on this thread.
        windows.shutdown();
        engine.stopThread();
    }

    // Starts the entry and waits for code 9.
    void startAndWaitPlaying(const void* entry, const std::string& path)
    {
        const int playing = windows.count('p', PLAYER_PLAYING);
        ASSERT_EQ(engine.startPlayback(entry, path.c_str()), PlayerState::Starting);
        ASSERT_TRUE(windows.waitFor('p', PLAYER_PLAYING, 5000, playing + 1)) << engine.lastCommandLine();
        ASSERT_EQ(engine.state(), PlayerState::Playing);
    }

    // A busy machine may let an answer miss its 200 ms; a miss gives 0 (or
    // the last position) and is simply asked again, as the player window's
    // timer does.
    int32_t lengthSoon()
    {
        int32_t length = 0;
        for (int tries = 0; tries < 5 && length == 0; ++tries)
            length = engine.queryLength();
        return length;
    }
    int32_t positionSoon(int32_t atLeast)
    {
        int32_t position = 0;
        for (int tries = 0; tries < 5 && position < atLeast; ++tries)
            position = engine.queryPosition();
        return position;
    }

    WindowRecorder windows;
    PlayerEngine engine{windows.video(), windows.player()};
    const int entryA = 1;
    const int entryB = 2;
};

class RealPlayerTest : public PlayerEngineTest {
protected:
    void SetUp() override
    {
        testing::useRealPlayer();
        PlayerEngineTest::SetUp();
    }
};

class FakePlayerTest : public PlayerEngineTest {
protected:
    void SetUp() override
    {
        PlayerEngineTest::SetUp();
        engine.setPlayerPath(testing::fakePlayer().c_str());
    }
    std::string media(const char* mode) { return testing::dataDir() + "/" + mode; }
};

// --- the real player ------------------------------------------------------

TEST_F(RealPlayerTest, PlaysPausesResumesAndReportsTheEnd)
{
    const std::string path = testing::clip(5);
    startAndWaitPlaying(&entryA, path);
    EXPECT_EQ(windows.codes('p'), (std::vector<uint32_t>{PLAYER_STARTING, PLAYER_PLAYING}));
    EXPECT_EQ(windows.find('p', PLAYER_PLAYING)->entry, reinterpret_cast<intptr_t>(&entryA));
    EXPECT_NE(engine.lastCommandLine().find("-vo null -ao null \"" + path + "\""), std::string::npos);

    EXPECT_EQ(lengthSoon(), 5);

    sleepMs(1300);
    const int32_t before = positionSoon(1);
    EXPECT_GE(before, 1);
    EXPECT_LE(before, 3);

    engine.togglePause();
    EXPECT_EQ(engine.state(), PlayerState::Paused);
    EXPECT_EQ(engine.queryPosition(), 0) << "no query while paused";
    sleepMs(2200);
    engine.togglePause();
    ASSERT_EQ(engine.state(), PlayerState::Playing);
    const int32_t after = positionSoon(before);
    EXPECT_GE(after, before);
    EXPECT_LE(after, before + 1) << "the player went on while paused";

    // To the end: 7 to the video window, then to the player window.
    engine.seekAbsolute(4);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_ENDED, 5000));
    EXPECT_EQ(windows.codes('v'), (std::vector<uint32_t>{PLAYER_ENDED}));
    EXPECT_EQ(windows.find('v', PLAYER_ENDED)->entry, reinterpret_cast<intptr_t>(&entryA));
    EXPECT_LE(windows.find('v', PLAYER_ENDED)->at, windows.find('p', PLAYER_ENDED)->at);
    EXPECT_EQ(engine.state(), PlayerState::Idle);

    // The next file gets its own length, not the one of the file that ended.
    startAndWaitPlaying(&entryB, testing::clip(3));
    EXPECT_EQ(lengthSoon(), 3);
}

TEST_F(RealPlayerTest, RequestedStopReportsSixToTheVideoWindowOnly)
{
    startAndWaitPlaying(&entryA, testing::clip(5));
    sleepMs(300);
    engine.stopPlayback();
    EXPECT_EQ(engine.state(), PlayerState::Idle);
    EXPECT_EQ(engine.position(), 0);
    EXPECT_EQ(engine.length(), 0);
    ASSERT_TRUE(windows.waitFor('v', PLAYER_STOPPED, 2000));
    windows.pumpFor(300);
    EXPECT_EQ(windows.codes('v'), (std::vector<uint32_t>{PLAYER_STOPPED}));
    EXPECT_EQ(windows.codes('p'), (std::vector<uint32_t>{PLAYER_STARTING, PLAYER_PLAYING}));
    // A second stop has nothing left to stop.
    engine.stopPlayback();
    windows.pumpFor(100);
    EXPECT_EQ(windows.count('v', PLAYER_STOPPED), 1);
}

TEST_F(RealPlayerTest, FileThePlayerCannotOpenEndsSoonAfterPlaying)
{
    ASSERT_EQ(engine.startPlayback(&entryA, testing::brokenFile().c_str()), PlayerState::Starting);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_ENDED, 5000));
    EXPECT_EQ(windows.codes('p'), (std::vector<uint32_t>{PLAYER_STARTING, PLAYER_PLAYING, PLAYER_ENDED}));
    EXPECT_EQ(windows.codes('v'), (std::vector<uint32_t>{PLAYER_ENDED}));
    EXPECT_LT(msBetween(windows.find('p', PLAYER_PLAYING)->at, windows.find('p', PLAYER_ENDED)->at), 1000);
    EXPECT_EQ(engine.state(), PlayerState::Idle);
}

TEST_F(RealPlayerTest, StopRightAfterTheStartIsARequestedStop)
{
    ASSERT_EQ(engine.startPlayback(&entryA, testing::clip(5).c_str()), PlayerState::Starting);
    engine.stopPlayback();
    ASSERT_TRUE(windows.waitFor('v', PLAYER_STOPPED, 2000));
    windows.pumpFor(300);
    EXPECT_EQ(windows.count('v', PLAYER_ENDED), 0);
    EXPECT_EQ(windows.count('p', PLAYER_ENDED), 0);
    EXPECT_EQ(engine.state(), PlayerState::Idle);
}

TEST_F(RealPlayerTest, StartWhilePausedResumesTheSameFile)
{
    startAndWaitPlaying(&entryA, testing::clip(5));
    engine.togglePause();
    ASSERT_EQ(engine.state(), PlayerState::Paused);
    EXPECT_EQ(engine.startPlayback(&entryB, testing::clip(3).c_str()), PlayerState::Playing);
    EXPECT_EQ(lengthSoon(), 5) << "the paused file goes on";
    windows.pumpFor(100);
    EXPECT_EQ(windows.count('p', PLAYER_STARTING), 1);
}

TEST_F(RealPlayerTest, PolledPositionGrowsWhilePlayingAndStaysPutWhilePaused)
{
    startAndWaitPlaying(&entryA, testing::clip(5));
    const auto started = Clock::now();
    std::vector<int32_t> seen;
    for (int i = 0; i < 6; ++i) {
        seen.push_back(engine.pollPosition());
        sleepMs(400);
    }
    for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_GE(seen[i], seen[i - 1]) << "poll " << i;
    const int32_t before = engine.pollPosition();
    EXPECT_GE(before, 1);
    EXPECT_LE(before, msBetween(started, Clock::now()) / 1000 + 1);

    engine.togglePause();
    ASSERT_EQ(engine.state(), PlayerState::Paused);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(engine.pollPosition(), 0) << "0 while paused";
        sleepMs(400);
    }
    engine.togglePause();
    ASSERT_EQ(engine.state(), PlayerState::Playing);
    // A question while paused would have woken the player.
    const int32_t after = positionSoon(before);
    EXPECT_GE(after, before);
    EXPECT_LE(after, before + 1) << "the player went on while paused";
}

// --- the stand-in: commands and timing --------------------------------------

TEST_F(FakePlayerTest, SendsTheSettingsAfterTheStartLine)
{
    engine.setVolume(30);
    engine.setBrightness(10); // -75
    engine.setHue(100); // -1
    startAndWaitPlaying(&entryA, media("normal"));
    EXPECT_EQ(
        testing::waitForCommands(5, 2000),
        (std::vector<std::string>{"volume 30 1", "brightness -75 1", "contrast 0 1", "hue -1 1", "saturation 0 1"}));
}

TEST_F(RealPlayerTest, SeeksLandAtOrBeforeThePointWithTenSecondKeyframes)
{
    startAndWaitPlaying(&entryA, testing::keyframeClip());
    // The player's own seek to a point snaps forward to the next keyframe
    // (15 gave 20); every landing must be at or before the point, at most
    // one keyframe interval (10 s) before it. (An answer of 0 keeps the
    // estimate, the point; a landing after it is never 0.)
    const auto landed = [&] { return engine.queryPosition(); };
    for (uint32_t point : {15u, 3u, 25u, 12u, 21u, 9u, 28u, 18u, 5u, 11u}) {
        engine.seekAbsolute(point);
        EXPECT_EQ(engine.position(), static_cast<int32_t>(point));
        const int32_t p = landed();
        EXPECT_LE(p, static_cast<int32_t>(point)) << "after a seek to " << point;
        EXPECT_GE(p, static_cast<int32_t>(point) - 10) << "after a seek to " << point;
    }
    // Steps from where the player is: back by the step or more, down to 0;
    // forward, past where it was and not past the step.
    engine.seekAbsolute(15);
    int32_t from = landed();
    for (int i = 0; i < 3; ++i) {
        engine.seekStep(-10);
        const int32_t p = landed();
        EXPECT_LE(p, std::max(0, from - 10)) << "back from " << from;
        from = p;
    }
    for (int i = 0; i < 2; ++i) {
        engine.seekStep(10);
        const int32_t p = landed();
        EXPECT_GT(p, from) << "forward from " << from;
        EXPECT_LE(p, from + 10 + 1) << "forward from " << from;
        from = p;
    }
    // Past the last keyframe no seek goes on: the end is asked for.
    engine.endOfFile();
    ASSERT_TRUE(windows.waitFor('p', PLAYER_ENDED, 5000));
    EXPECT_EQ(windows.count('v', PLAYER_STOPPED), 0) << "reported as a requested stop";
}

TEST_F(FakePlayerTest, CommandsWhilePlayingAndPaused)
{
    startAndWaitPlaying(&entryA, media("normal"));
    testing::waitForCommands(5, 2000);
    engine.setVolume(250);
    engine.seekRelative(-3);
    engine.setMute(true);
    engine.togglePause();
    engine.setVolume(20); // stored only
    engine.setSaturation(7); // stored only
    engine.setMute(false);
    engine.seekAbsolute(12);
    engine.togglePause();
    const std::vector<std::string> expected{"volume 100 1",
                                            "seek -3 0",
                                            "mute 1",
                                            "pause",
                                            "pausing_keep mute 0",
                                            "pausing_keep seek 12.000 2",
                                            "pausing_keep get_time_pos",
                                            "pause",
                                            "volume 20 1",
                                            "brightness -85 1",
                                            "contrast 0 1",
                                            "hue 0 1",
                                            "saturation 7 1"};
    std::vector<std::string> sent = testing::waitForCommands(5 + expected.size(), 2000);
    ASSERT_EQ(sent.size(), 5 + expected.size());
    sent.erase(sent.begin(), sent.begin() + 5);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(engine.volume(), 20u);
}

TEST_F(FakePlayerTest, NothingIsSentBeforeThePlayerIsUp)
{
    ASSERT_EQ(engine.startPlayback(&entryA, media("slowstart").c_str()), PlayerState::Starting);
    sleepMs(100);
    ASSERT_EQ(engine.state(), PlayerState::Starting);
    // While Starting: pause, mute and seeks do nothing, the queries answer 0
    // unasked, and the volume and picture are only stored for the start-up.
    engine.togglePause();
    engine.setMute(true);
    engine.seekAbsolute(3);
    engine.seekRelative(2);
    engine.setVolume(40);
    engine.setBrightness(10);
    engine.setContrast(5);
    EXPECT_EQ(engine.queryLength(), 0);
    EXPECT_EQ(engine.queryPosition(), 0);
    EXPECT_EQ(engine.state(), PlayerState::Starting);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_PLAYING, 3000));
    EXPECT_EQ(engine.state(), PlayerState::Playing) << "the pause was not taken";
    EXPECT_EQ(
        testing::waitForCommands(5, 2000),
        (std::vector<std::string>{"volume 40 1", "brightness -75 1", "contrast 5 1", "hue 0 1", "saturation 0 1"}));
    windows.pumpFor(100);
    EXPECT_EQ(testing::loggedCommands().size(), 5u);
}

TEST_F(FakePlayerTest, PausedPlayerHearsOnlyTheResume)
{
    startAndWaitPlaying(&entryA, media("normal"));
    testing::waitForCommands(5, 2000);
    engine.togglePause();
    ASSERT_EQ(engine.state(), PlayerState::Paused);
    engine.setBrightness(20);
    engine.setContrast(3);
    engine.setHue(40);
    engine.seekRelative(5);
    EXPECT_EQ(engine.queryLength(), 0) << "no length known and none asked while paused";
    EXPECT_EQ(engine.queryPosition(), 0);
    EXPECT_EQ(engine.brightness(), -65);
    EXPECT_EQ(engine.contrast(), 3);
    EXPECT_EQ(engine.hue(), -60);
    // Starting another file while paused only resumes this one: one "pause",
    // no settings, no new process.
    EXPECT_EQ(engine.startPlayback(&entryB, media("slow").c_str()), PlayerState::Playing);
    EXPECT_EQ(engine.state(), PlayerState::Playing);
    EXPECT_EQ(engine.queryLength(), 42);
    engine.togglePause();
    EXPECT_EQ(engine.queryLength(), 42) << "cached, not asked again";
    const std::vector<std::string> expected{"pause", "pause", "get_time_length", "pause"};
    std::vector<std::string> sent = testing::waitForCommands(5 + expected.size(), 2000);
    windows.pumpFor(100);
    sent = testing::loggedCommands();
    ASSERT_GE(sent.size(), 5u);
    sent.erase(sent.begin(), sent.begin() + 5);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(windows.count('p', PLAYER_STARTING), 1);
}

TEST_F(FakePlayerTest, QueryAnswersSkipUnrelatedLines)
{
    startAndWaitPlaying(&entryA, media("normal"));
    // An unrelated line with digits where the position's number would sit
    // comes first; only the tagged answer counts.
    EXPECT_EQ(engine.queryPosition(), 7);
    EXPECT_EQ(engine.queryLength(), 42);
    EXPECT_EQ(engine.length(), 42);
}

TEST_F(FakePlayerTest, LateLengthAnswerIsNotCached)
{
    startAndWaitPlaying(&entryA, media("slow"));
    const auto asked = Clock::now();
    EXPECT_EQ(engine.queryLength(), 0);
    EXPECT_GE(msBetween(asked, Clock::now()), 190);
    EXPECT_EQ(engine.length(), 0);
    EXPECT_EQ(engine.queryLength(), 42) << "asked again while playing";
}

TEST_F(FakePlayerTest, AnnouncedLengthAndVideoOutputNeedNoQuestion)
{
    startAndWaitPlaying(&entryA, media("announced"));
    EXPECT_EQ(engine.queryLength(), 61);
    EXPECT_EQ(engine.length(), 61);
    EXPECT_TRUE(windows.waitUntil([&] { return engine.videoOutput() == "x11"; }, 5000)) << engine.videoOutput();
    windows.pumpFor(100);
    for (const std::string& command : testing::loggedCommands())
        EXPECT_NE(command, "get_time_length");
    // The next file starts without the last one's facts.
    ASSERT_EQ(engine.startPlayback(&entryB, media("normal").c_str()), PlayerState::Starting);
    EXPECT_EQ(engine.videoOutput(), "");
}

// The stand-in answers each position question 300 ms late, with 3, 4, 5, ...

TEST_F(FakePlayerTest, PollNeverWaitsAndTheNextPollTakesTheAnswer)
{
    startAndWaitPlaying(&entryA, media("latepos"));
    testing::waitForCommands(5, 2000);
    const auto asked = Clock::now();
    // Had it waited for the answer, it would have 3.
    EXPECT_EQ(engine.pollPosition(), 0) << "waited for the answer";
    ASSERT_EQ(testing::waitForCommands(6, 5000).size(), 6u);
    // A poll while the answer is still owed sends nothing (unless the test
    // was held up long enough for the answer to come: then it is taken).
    if (engine.pollPosition() == 0) {
        windows.pumpFor(50);
        EXPECT_EQ(testing::loggedCommands().size(), 6u) << "asked again while the answer is owed";
    }
    ASSERT_TRUE(testing::waitForAnswers(1, 5000));
    const int32_t p = engine.pollPosition();
    // 3 s when asked, moved on by the time since.
    EXPECT_GE(p, 3);
    EXPECT_LE(p, 3 + msBetween(asked, Clock::now()) / 1000);
    EXPECT_EQ(engine.position(), p);
    windows.pumpFor(100);
    std::vector<std::string> sent = testing::loggedCommands();
    ASSERT_GE(sent.size(), 5u);
    sent.erase(sent.begin(), sent.begin() + 5);
    EXPECT_EQ(sent, (std::vector<std::string>{"get_time_pos", "get_time_pos"}));
}

TEST_F(FakePlayerTest, PolledAnswerReadByAnotherCommandIsStillTaken)
{
    startAndWaitPlaying(&entryA, media("latepos"));
    testing::waitForCommands(5, 2000);
    const auto asked = Clock::now();
    engine.pollPosition();
    ASSERT_TRUE(testing::waitForAnswers(1, 5000));
    engine.setVolume(30); // its drain reads the waiting answer
    const int32_t p = engine.pollPosition();
    EXPECT_GE(p, 3);
    EXPECT_LE(p, 3 + msBetween(asked, Clock::now()) / 1000);

    // The synchronous query passes the poll's answer (4) on to the poll and
    // gives up on its own (5) unless that comes within its wait (a machine
    // that stalls the test long enough lets it); then the poll asks again.
    ASSERT_TRUE(testing::waitForAnswers(2, 5000));
    const int32_t asked5 = engine.queryPosition();
    EXPECT_TRUE(asked5 == p || asked5 >= 5) << asked5;
    const int32_t q = engine.pollPosition();
    EXPECT_GE(q, 4);
    EXPECT_LE(q, std::max(asked5, 4) + msBetween(asked, Clock::now()) / 1000);
    // The query's late answer (5), when it came late, is not taken for the
    // poll's: the poll's own answer is the 6 after it.
    EXPECT_TRUE(windows.waitUntil([&] { return engine.pollPosition() >= 6; }, 10000)) << engine.position();
}

TEST_F(FakePlayerTest, PolledAnswerFromBeforeASeekIsPassedOverOrMovedOn)
{
    startAndWaitPlaying(&entryA, media("latepos"));
    testing::waitForCommands(5, 2000);
    engine.pollPosition();
    engine.seekAbsolute(20);
    const auto asked = Clock::now();
    EXPECT_EQ(engine.pollPosition(), 20) << "the answer from before the seek was taken";
    // The answer owed (3) is passed over; the seek asks where the player
    // landed (4: the stand-in does not seek), the poll after it gets 5.
    ASSERT_TRUE(testing::waitForAnswers(3, 5000));
    const int32_t p = engine.pollPosition();
    EXPECT_GE(p, 4);
    EXPECT_LE(p, 5 + msBetween(asked, Clock::now()) / 1000);
    // A relative seek after the question moves the answer (6) on.
    const auto shifted = Clock::now();
    engine.seekRelative(10);
    ASSERT_TRUE(testing::waitForAnswers(4, 5000));
    const int32_t q = engine.pollPosition();
    EXPECT_GE(q, 16);
    EXPECT_LE(q, 16 + msBetween(shifted, Clock::now()) / 1000 + 1);
}

TEST_F(FakePlayerTest, PollSendsNothingWhilePausedAndDropsTheOwedAnswer)
{
    startAndWaitPlaying(&entryA, media("latepos"));
    testing::waitForCommands(5, 2000);
    engine.pollPosition();
    engine.togglePause();
    ASSERT_EQ(engine.state(), PlayerState::Paused);
    EXPECT_EQ(engine.pollPosition(), 0);
    ASSERT_TRUE(testing::waitForAnswers(1, 5000));
    EXPECT_EQ(engine.pollPosition(), 0);
    engine.togglePause();
    testing::waitForCommands(5 + 8, 5000);
    // The answer owed from before the pause (3) is passed over.
    EXPECT_EQ(engine.pollPosition(), 0);
    ASSERT_TRUE(testing::waitForAnswers(2, 5000));
    EXPECT_GE(engine.pollPosition(), 4);
    windows.pumpFor(100);
    std::vector<std::string> sent = testing::loggedCommands();
    ASSERT_GE(sent.size(), 5u);
    sent.erase(sent.begin(), sent.begin() + 5);
    EXPECT_EQ(sent,
              (std::vector<std::string>{"get_time_pos", "pause", "pause", "volume 50 1", "brightness -85 1",
                                        "contrast 0 1", "hue 0 1", "saturation 0 1", "get_time_pos", "get_time_pos"}));
}

TEST_F(FakePlayerTest, EndIsSeenWhileAChildOfThePlayerKeepsItsOutputOpen)
{
    startAndWaitPlaying(&entryA, media("orphan"));
    engine.endOfFile();
    EXPECT_TRUE(windows.waitFor('p', PLAYER_ENDED, 5000)) << "seen only when the output closes";
}

TEST_F(FakePlayerTest, NoStartLineAtAllStillPassesThroughPlaying)
{
    ASSERT_EQ(engine.startPlayback(&entryA, media("nostart").c_str()), PlayerState::Starting);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_ENDED, 3000));
    EXPECT_EQ(windows.codes('p'), (std::vector<uint32_t>{PLAYER_STARTING, PLAYER_PLAYING, PLAYER_ENDED}));
    EXPECT_TRUE(testing::loggedCommands().empty()) << "nothing is sent to a player that has gone";
}

TEST_F(FakePlayerTest, SilentPlayerIsTakenAsPlayingAfterTwoSeconds)
{
    const auto started = Clock::now();
    ASSERT_EQ(engine.startPlayback(&entryA, media("silent").c_str()), PlayerState::Starting);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_PLAYING, 5000));
    const int64_t waited = msBetween(started, windows.find('p', PLAYER_PLAYING)->at);
    EXPECT_GE(waited, PlayerEngine::kStartupSilenceMs - 50);
    // It ignores "quit": the stop kills it and still counts as requested.
    engine.stopPlayback();
    ASSERT_TRUE(windows.waitFor('v', PLAYER_STOPPED, 2000));
    EXPECT_EQ(windows.count('p', PLAYER_ENDED), 0);
}

TEST_F(FakePlayerTest, StopDuringTheStartupWaitReportsSixAndNoPlaying)
{
    ASSERT_EQ(engine.startPlayback(&entryA, media("slowstart").c_str()), PlayerState::Starting);
    sleepMs(150);
    ASSERT_EQ(engine.state(), PlayerState::Starting);
    engine.stopPlayback();
    ASSERT_TRUE(windows.waitFor('v', PLAYER_STOPPED, 2000));
    windows.pumpFor(800);
    EXPECT_EQ(windows.codes('p'), (std::vector<uint32_t>{PLAYER_STARTING}));
    EXPECT_EQ(windows.codes('v'), (std::vector<uint32_t>{PLAYER_STOPPED}));
    EXPECT_EQ(engine.state(), PlayerState::Idle);
}

TEST_F(FakePlayerTest, PlayerThatIgnoresQuitIsKilled)
{
    startAndWaitPlaying(&entryA, media("deaf"));
    // The stop returns (the player is killed, not waited for) and counts as requested.
    engine.stopPlayback();
    EXPECT_EQ(engine.state(), PlayerState::Idle);
    ASSERT_TRUE(windows.waitFor('v', PLAYER_STOPPED, 5000));
}

TEST_F(FakePlayerTest, NewFileReplacesThePlayingOne)
{
    startAndWaitPlaying(&entryA, media("normal"));
    ASSERT_EQ(engine.startPlayback(&entryB, media("normal").c_str()), PlayerState::Starting);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_PLAYING, 3000, 2));
    windows.pumpFor(50);
    EXPECT_EQ(windows.codes('v'), (std::vector<uint32_t>{PLAYER_STOPPED}));
    EXPECT_EQ(windows.find('v', PLAYER_STOPPED)->entry, reinterpret_cast<intptr_t>(&entryA));
    EXPECT_EQ(windows.codes('p'),
              (std::vector<uint32_t>{PLAYER_STARTING, PLAYER_PLAYING, PLAYER_STARTING, PLAYER_PLAYING}));
}

TEST_F(FakePlayerTest, MissingPlayerFailsTheStart)
{
    engine.setPlayerPath("\"/nonexistent/player\"");
    EXPECT_EQ(engine.startPlayback(&entryA, media("normal").c_str()), PlayerState::Idle);
    EXPECT_EQ(engine.startPlayback(&entryA, nullptr), PlayerState::Idle);
    windows.pumpFor(100);
    EXPECT_TRUE(windows.codes('p').empty());
}

TEST_F(FakePlayerTest, StopThreadEndsThePlayerWithoutReports)
{
    startAndWaitPlaying(&entryA, media("normal"));
    engine.stopThread();
    EXPECT_EQ(engine.state(), PlayerState::Idle);
    windows.pumpFor(100);
    EXPECT_TRUE(windows.codes('v').empty());
    // The thread can be started again and plays.
    ASSERT_TRUE(engine.startThread(0));
    startAndWaitPlaying(&entryB, media("normal"));
}

// Which notifications are sent (the engine thread waits for the handler) and
// which are posted.
class KindRecorder final : public core::NotificationSink {
public:
    explicit KindRecorder(core::NotificationSink& inner) : inner_(inner) {}
    intptr_t send(uint32_t message, uint64_t code, intptr_t entry) override
    {
        record("send", message, code);
        return inner_.send(message, code, entry);
    }
    void post(uint32_t message, uint64_t code, intptr_t entry) override
    {
        record("post", message, code);
        inner_.post(message, code, entry);
    }
    std::vector<std::string> kinds() const
    {
        std::lock_guard lock(mutex_);
        return kinds_;
    }

private:
    void record(const char* how, uint32_t message, uint64_t code)
    {
        std::lock_guard lock(mutex_);
        kinds_.push_back(std::string(how) + (message == core::WM_PLAYER_NOTIFY ? " " : " ?") + std::to_string(code));
    }
    core::NotificationSink& inner_;
    mutable std::mutex mutex_;
    std::vector<std::string> kinds_;
};

TEST(PlayerEngineNotifyTest, VideoWindowIsSentToPlayerWindowIsPostedTo)
{
    WindowRecorder windows;
    KindRecorder video(windows.video());
    KindRecorder player(windows.player());
    PlayerEngine engine(video, player);
    engine.setPlayerPath(testing::fakePlayer().c_str());
    ASSERT_TRUE(engine.startThread(0));
    const int entryA = 1;
    const int entryB = 2;
    ASSERT_EQ(engine.startPlayback(&entryA, (testing::dataDir() + "/normal").c_str()), PlayerState::Starting);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_PLAYING, 3000));
    engine.stopPlayback();
    ASSERT_TRUE(windows.waitFor('v', PLAYER_STOPPED, 2000));
    ASSERT_EQ(engine.startPlayback(&entryB, (testing::dataDir() + "/nostart").c_str()), PlayerState::Starting);
    ASSERT_TRUE(windows.waitFor('p', PLAYER_ENDED, 3000));
    windows.pumpFor(100);
    EXPECT_EQ(video.kinds(), (std::vector<std::string>{"send 6", "send 7"}));
    EXPECT_EQ(player.kinds(), (std::vector<std::string>{"post 8", "post 9", "post 8", "post 9", "post 7"}));
    windows.shutdown();
    engine.stopThread();
}

// --- stored values, no player -------------------------------------------------

TEST_F(PlayerEngineTest, PictureSettersStorePlayerUnits)
{
    struct Case {
        void (PlayerEngine::*set)(int32_t);
        int32_t (PlayerEngine::*get)() const;
        int32_t position;
        int32_t stored;
    };
    const Case cases[] = {
        {&PlayerEngine::setBrightness, &PlayerEngine::brightness, 0, -85},
        {&PlayerEngine::setBrightness, &PlayerEngine::brightness, -100, -100},
        {&PlayerEngine::setBrightness, &PlayerEngine::brightness, 100, 15},
        {&PlayerEngine::setBrightness, &PlayerEngine::brightness, 1, -84},
        {&PlayerEngine::setBrightness, &PlayerEngine::brightness, INT32_MIN, -100},
        {&PlayerEngine::setContrast, &PlayerEngine::contrast, 250, 250},
        {&PlayerEngine::setContrast, &PlayerEngine::contrast, -7, -7},
        {&PlayerEngine::setHue, &PlayerEngine::hue, 100, -1},
        {&PlayerEngine::setHue, &PlayerEngine::hue, 99, -1},
        {&PlayerEngine::setHue, &PlayerEngine::hue, 0, -100},
        {&PlayerEngine::setHue, &PlayerEngine::hue, 50, -50},
        {&PlayerEngine::setSaturation, &PlayerEngine::saturation, 150, 100},
        {&PlayerEngine::setSaturation, &PlayerEngine::saturation, -150, -100},
        {&PlayerEngine::setSaturation, &PlayerEngine::saturation, 1, 1},
    };
    EXPECT_EQ(engine.brightness(), -85);
    for (const Case& c : cases) {
        (engine.*c.set)(c.position);
        EXPECT_EQ((engine.*c.get)(), c.stored) << "slider position " << c.position;
    }
}

TEST_F(PlayerEngineTest, VolumeIsStoredWhateverTheState)
{
    EXPECT_EQ(engine.volume(), kDefaultPlayerVolume);
    engine.setVolume(250);
    EXPECT_EQ(engine.volume(), 100u);
    engine.setVolume(0);
    EXPECT_EQ(engine.volume(), 0u);
    // The owner's remembered volume, handed in, is where a new engine starts.
    EXPECT_EQ(PlayerEngine(windows.video(), windows.player(), PlayerOptions{30}).volume(), 30u);
    EXPECT_EQ(PlayerEngine(windows.video(), windows.player(), PlayerOptions{250}).volume(), 100u);
}

TEST_F(PlayerEngineTest, RelativeSeekMovesThePositionEstimate)
{
    struct Case {
        uint32_t from;
        int32_t step;
        int32_t to;
    };
    const Case cases[] = {{5, -8, 0}, {20, -8, 12}, {8, -8, 0}, {0, 4, 4}, {10, 64, 74}};
    for (const Case& c : cases) {
        engine.seekAbsolute(c.from);
        engine.seekRelative(c.step);
        EXPECT_EQ(engine.position(), c.to) << c.from << " " << c.step;
    }
    EXPECT_EQ(engine.queryPosition(), 0) << "not playing";
    EXPECT_EQ(engine.pollPosition(), 0) << "not playing";
}

} // namespace
} // namespace qf::player
