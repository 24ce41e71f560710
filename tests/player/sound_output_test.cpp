// Finding the sound output once: the player's lines, the search's command
// line, and the search itself with stand-ins and with the real player.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>

#include "core/program_directory.h"
#include "player/slave_protocol.h"
#include "player/sound_output.h"
#include "player/support/player_test_support.h"

namespace qf::player {
namespace {

using Status = SoundOutputFinder::Status;

TEST(SoundOutputLines, NamesOnlyFromTheOutputsOwnLine)
{
    EXPECT_EQ(soundOutputOfLine("AO: [alsa] 44100Hz 2ch s16le (2 bytes per sample)"), "alsa");
    EXPECT_EQ(soundOutputOfLine("AO: [pulse] 48000Hz 2ch floatle"), "pulse");
    EXPECT_EQ(soundOutputOfLine("AO: [pulse] Init failed: Connection refused"), "") << "it did not open";
    EXPECT_EQ(soundOutputOfLine("Failed to initialize audio driver 'pulse'"), "");
    EXPECT_EQ(soundOutputOfLine("AO: [] 44100Hz"), "");
    EXPECT_EQ(soundOutputOfLine("AO: [a b] 44100Hz"), "") << "not a name to put on a command line";
    EXPECT_EQ(soundOutputOfLine("AO: [alsa"), "");
    EXPECT_EQ(soundOutputOfLine(" AO: [alsa]"), "");
}

TEST(SoundOutputLines, VideoOutputLengthAndPictureControls)
{
    EXPECT_EQ(videoOutputOfLine("VO: [x11] 1280x720 => 1280x720 Planar YV12  [zoom]"), "x11");
    EXPECT_EQ(videoOutputOfLine("VO: [xv] 320x240 => 320x240 Planar YV12"), "xv");
    EXPECT_EQ(videoOutputOfLine("VO: [x11"), "");
    EXPECT_EQ(videoOutputOfLine("Video: no video"), "");
    EXPECT_FALSE(videoOutputHasPictureControls("x11"));
    EXPECT_FALSE(videoOutputHasPictureControls("null"));
    EXPECT_TRUE(videoOutputHasPictureControls("xv"));
    EXPECT_TRUE(videoOutputHasPictureControls("gl"));
    EXPECT_EQ(identifiedLength("ID_LENGTH=296.04"), 296);
    EXPECT_EQ(identifiedLength("ID_LENGTH=0.00"), 0);
    EXPECT_EQ(identifiedLength("ID_VIDEO_WIDTH=320"), 0);
}

TEST(SoundOutputLines, TheSearchPlaysSilenceWithEveryCandidate)
{
    const std::string line = soundSearchCommandLine("\"/p/MPlayer.exe\"", kSoundOutputCandidates);
    EXPECT_EQ(line.rfind("\"/p/MPlayer.exe\" ", 0), 0u);
    EXPECT_NE(line.find(" -vo null "), std::string::npos);
    EXPECT_NE(line.find(" -ao pulse,alsa,jack,oss,null "), std::string::npos);
    EXPECT_NE(line.find(" /dev/zero"), std::string::npos);
    EXPECT_EQ(line.find("-wid"), std::string::npos);
}

TEST(SoundOutputLines, TheFoundOutputReplacesTheCandidatesUnlessTheEnvironmentChooses)
{
    const char* saved = std::getenv(kPlayerDriversVariable);
    const std::string keep = saved ? saved : "";
    ::unsetenv(kPlayerDriversVariable);
    EXPECT_EQ(playerDrivers("alsa"), "-vo xv,x11, -ao alsa");
    EXPECT_EQ(playerDrivers("null"), "-vo xv,x11, -ao null");
    EXPECT_EQ(playerDrivers(""), kDefaultPlayerDrivers);
    EXPECT_EQ(playerDrivers(kSoundOutputCandidates), kDefaultPlayerDrivers);
    ::setenv(kPlayerDriversVariable, "-vo null -ao null", 1);
    EXPECT_EQ(playerDrivers("alsa"), "-vo null -ao null");
    if (saved)
        ::setenv(kPlayerDriversVariable, keep.c_str(), 1);
    else
        ::unsetenv(kPlayerDriversVariable);
}

// A stand-in player for the search that runs the given shell text.
std::string standIn(const std::string& name, const std::string& body)
{
    const std::string path = testing::dataDir() + "/" + name + "-" + std::to_string(::getpid()) + ".sh";
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
    return "\"" + path + "\"";
}

bool waitStatus(const SoundOutputFinder& finder, Status wanted)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (finder.status() != wanted) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

TEST(SoundOutputFinderTest, RemembersTheOutputThatOpened)
{
    SoundOutputFinder finder;
    EXPECT_EQ(finder.status(), Status::NotSearched);
    EXPECT_EQ(finder.soundOutput(), kSoundOutputCandidates);
    finder.start(standIn("ao-alsa",
                         "echo 'AO: [pulse] Init failed: Connection refused'\n"
                         "echo 'Failed to initialize audio driver pulse'\n"
                         "echo 'AO: [alsa] 44100Hz 2ch s16le (2 bytes per sample)'\nsleep 30"));
    ASSERT_TRUE(waitStatus(finder, Status::Found));
    EXPECT_EQ(finder.soundOutput(), "alsa");
    // Once per run: a second start searches no more.
    finder.start(standIn("ao-none", "exit 0"));
    EXPECT_EQ(finder.status(), Status::Found);
    finder.stop();
    EXPECT_EQ(finder.soundOutput(), "alsa");
}

TEST(SoundOutputFinderTest, NoOutputThatOpensMeansSilence)
{
    SoundOutputFinder finder;
    finder.start(standIn("ao-none", "echo 'Could not open/initialize audio device -> no sound.'\nexit 0"));
    ASSERT_TRUE(waitStatus(finder, Status::NoneWorks));
    EXPECT_EQ(finder.soundOutput(), kSilentSoundOutput);
}

TEST(SoundOutputFinderTest, OnlyTheSilentOutputOpeningIsNoSoundAtAll)
{
    SoundOutputFinder finder;
    finder.start(standIn("ao-null",
                         "echo 'Failed to initialize audio driver alsa'\n"
                         "echo 'AO: [null] 44100Hz 2ch s16le (2 bytes per sample)'\nsleep 30"));
    ASSERT_TRUE(waitStatus(finder, Status::NoneWorks));
    EXPECT_EQ(finder.soundOutput(), kSilentSoundOutput);
}

TEST(SoundOutputFinderTest, StoppingASearchThatHangsEndsItsPlayer)
{
    SoundOutputFinder finder;
    finder.start(standIn("ao-hang", "exec sleep 60"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    finder.stop();
    // Cut short, nothing was learnt; the candidates stay.
    EXPECT_EQ(finder.status(), Status::NotSearched);
    EXPECT_EQ(finder.soundOutput(), kSoundOutputCandidates);
}

TEST(SoundOutputFinderTest, TheRealPlayerOpensSomeOutputOrNone)
{
    testing::useRealPlayer();
    SoundOutputFinder finder;
    finder.start(core::toolPaths().playerPath.c_str());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSoundSearchLimitMs / 1000 + 10);
    while (finder.status() == Status::Searching && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const Status status = finder.status();
    ASSERT_TRUE(status == Status::Found || status == Status::NoneWorks);
    const std::string output = finder.soundOutput();
    EXPECT_FALSE(output.empty());
    EXPECT_EQ(output.find(','), std::string::npos) << "one output, not the list: " << output;
}

} // namespace
} // namespace qf::player
