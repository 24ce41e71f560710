#include <cstdlib>

#include <gtest/gtest.h>

#include "core/platform/command_line.h"
#include "player/slave_protocol.h"

namespace qf::player {
namespace {

TEST(SlaveProtocolTest, AnswerMilliseconds)
{
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=12.34", kPositionAnswerTag), 12340);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=0.9", kPositionAnswerTag), 900);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=7.12345", kPositionAnswerTag), 7123);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=5", kPositionAnswerTag), 5000);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=5.", kPositionAnswerTag), 5000);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=-1.5", kPositionAnswerTag), 0);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=", kPositionAnswerTag), 0);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_LENGTH=3.5", kPositionAnswerTag), 0);
    EXPECT_EQ(parseAnswerMilliseconds("ANS_TIME_POSITION=99999999999.5", kPositionAnswerTag),
              int64_t{INT32_MAX} * 1000);
}

TEST(SlaveProtocolTest, StartLines)
{
    struct Case {
        const char* line;
        bool start;
    };
    const Case cases[] = {
        {"Starting playback...", true},
        {"starting", true},
        {"STARTING PLAYBACK", true},
        {"VO: [null] 160x120 => 160x120 Planar YV12", true},
        {"vo: [xv] 640x480", true},
        {"Startin", false},
        {"VO: null", false},
        {"AO: [null] 44100Hz 2ch s16le", false},
        {"Playing /tmp/a.avi.", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isStartLine(c.line), c.start) << c.line;
}

TEST(SlaveProtocolTest, AnswerSeconds)
{
    struct Case {
        const char* line;
        std::string_view tag;
        int32_t seconds;
        bool answer;
    };
    const Case cases[] = {
        {"ANS_LENGTH=3.00", kLengthAnswerTag, 3, true},
        {"ANS_LENGTH=5417.9", kLengthAnswerTag, 5417, true},
        {"ANS_LENGTH=", kLengthAnswerTag, 0, true},
        {"ANS_LENGTH=0.00", kLengthAnswerTag, 0, true},
        {"ANS_LENGTH=-2", kLengthAnswerTag, 0, true},
        {"ANS_LENGTH=99999999999", kLengthAnswerTag, INT32_MAX, true},
        {"ANS_TIME_POSITION=1.6", kPositionAnswerTag, 1, true},
        {"ANS_TIME_POSITION=12", kPositionAnswerTag, 12, true},
        {"ANS_ERROR=PROPERTY_UNAVAILABLE", kPositionAnswerTag, 0, true},
        {"ID_VIDEO_ASPECT=1.3333", kPositionAnswerTag, 0, false},
        {"ANS_TIME_POSITION=1.6", kLengthAnswerTag, 0, false},
        {"", kLengthAnswerTag, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseAnswerSeconds(c.line, c.tag), c.seconds) << c.line;
        EXPECT_EQ(isAnswerLine(c.line, c.tag), c.answer) << c.line;
    }
}

TEST(SlaveProtocolTest, CommandLine)
{
    EXPECT_EQ(buildPlayerCommandLine("\"/p/MPlayer.exe\"", 73400323, "-vo xv,x11, -ao pulse,alsa,", "/m/a b.avi"),
              "\"/p/MPlayer.exe\" -wid 73400323 -quiet -slave -identify -colorkey 0x101010 -nodouble -noautosub -zoom "
              "-osdlevel 0 -vo xv,x11, -ao pulse,alsa, \"/m/a b.avi\"");
    EXPECT_EQ(buildPlayerCommandLine("\"/p/MPlayer.exe\"", 0, "-vo null -ao null", "/m/a.avi", rotationFilter(270)),
              "\"/p/MPlayer.exe\" -quiet -slave -identify -colorkey 0x101010 -nodouble -noautosub -zoom "
              "-osdlevel 0 -vf rotate=2 -vo null -ao null \"/m/a.avi\"");
    EXPECT_EQ(rotationFilter(90), "rotate=1");
    EXPECT_EQ(rotationFilter(180), "flip,mirror");
    EXPECT_EQ(rotationFilter(0), "");
    EXPECT_EQ(rotationFilter(45), "");
}

TEST(SlaveProtocolTest, DisplaySizeFromTheVideoOutputLine)
{
    struct Case {
        const char* line;
        int32_t width, height; // 0: none
    };
    const Case cases[] = {
        {"VO: [x11] 160x120 => 214x120 Planar YV12  [zoom]", 214, 120},
        {"VO: [xv] 1080x1920 => 1080x1920 Planar YV12", 1080, 1920},
        {"VO: [x11] 160x120 => 0x120 Planar YV12", 0, 0},
        {"VO: [x11] 160x120 => 214", 0, 0},
        {"VO: [x11] 160x120", 0, 0},
        {"ID_VIDEO_WIDTH=160 => 2x2", 0, 0},
        {"VO: [x11] 1x1 => 99999999999x5", 0, 0},
    };
    for (const Case& c : cases) {
        int32_t w = 0, h = 0;
        EXPECT_EQ(displaySizeOfLine(c.line, w, h), c.width != 0) << c.line;
        EXPECT_EQ(w, c.width) << c.line;
        EXPECT_EQ(h, c.height) << c.line;
    }
}

TEST(SlaveProtocolTest, MediaPathComesBackAsOneArgument)
{
    const char* paths[] = {"/m/a.avi", "/m/a b.avi", "/m/x\" -dumpfile \"y.avi", "/m/back\\slash\\", "/m/文件 1.mkv"};
    for (const char* path : paths) {
        const auto args = platform::splitCommandLine(buildPlayerCommandLine("\"/p/player\"", 0, "-vo null", path));
        ASSERT_FALSE(args.empty());
        EXPECT_EQ(args.back(), path);
        EXPECT_EQ(args.size(), 14u) << path;
    }
}

TEST(SlaveProtocolTest, DriversFromTheEnvironment)
{
    const char* saved = std::getenv(kPlayerDriversVariable);
    const std::string keep = saved ? saved : "";
    ::setenv(kPlayerDriversVariable, "-vo null -ao null", 1);
    EXPECT_EQ(playerDrivers(), "-vo null -ao null");
    ::setenv(kPlayerDriversVariable, "  ", 1);
    EXPECT_EQ(playerDrivers(), kDefaultPlayerDrivers);
    ::unsetenv(kPlayerDriversVariable);
    EXPECT_EQ(playerDrivers(), kDefaultPlayerDrivers);
    if (saved)
        ::setenv(kPlayerDriversVariable, keep.c_str(), 1);
}

} // namespace
} // namespace qf::player
