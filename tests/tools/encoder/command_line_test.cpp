// Parsing of the encoder's command line and its value syntax.
#include <gtest/gtest.h>

#include "command_line.h"
#include "encoder_test_support.h"
#include "value_syntax.h"

namespace qf::encoder {
namespace {

using test::splitLine;

struct RefusedCase {
    const char* name;
    const char* line;
    const char* reason; // part of the message
};

// Everything outside the accepted subset is a command-line error, which the
// system reports as bad parameters.
const RefusedCase kRefused[] = {
    {"UnknownOption", "in.avi -badoption x -ovc copy -nosound -o o.avi", "-badoption is not an MEncoder option"},
    {"UnknownSubOption", "in.avi -ovc lavc -lavcopts vcodec=mpeg4:foo=1 -nosound -o o.avi",
     "Option lavcopts: Unknown suboption foo"},
    {"XvidHasNoVbitrate", "in.avi -ovc xvid -xvidencopts vbitrate=100 -nosound -o o.avi",
     "Option xvidencopts: Unknown suboption vbitrate"},
    {"X264HasNoAspectKey", "in.avi -ovc x264 -x264encopts aspect=4/3 -nosound -o o.avi", "Unknown suboption aspect"},
    {"XvidHasNoSarKey", "in.avi -ovc xvid -xvidencopts sar=4/3 -nosound -o o.avi", "Unknown suboption sar"},
    {"LavcHasNoBitrateKey", "in.avi -ovc lavc -lavcopts bitrate=500 -nosound -o o.avi", "Unknown suboption bitrate"},
    {"UnknownVideoCodec", "in.avi -ovc lavc -lavcopts vcodec=nosuch -nosound -o o.avi", "bad value for vcodec"},
    {"MbdOutOfRange", "in.avi -ovc lavc -lavcopts mbd=3 -nosound -o o.avi", "bad value for mbd"},
    {"BitrateNotANumber", "in.avi -ovc lavc -lavcopts vbitrate=fast -nosound -o o.avi", "bad value for vbitrate"},
    {"EmptySubOption", "in.avi -ovc lavc -lavcopts vbitrate=500: -nosound -o o.avi", "empty suboption"},
    {"ValueMissingForKey", "in.avi -ovc lavc -lavcopts vbitrate -nosound -o o.avi", "bad value for vbitrate"},
    {"FlagWithOddValue", "in.avi -ovc lavc -lavcopts trell=2 -nosound -o o.avi", "bad value for trell"},
    // The encoder settings a preset may pass are speed settings with plain values.
    {"EncoderOptionOutsideTheList",
     "in.avi -ovc lavc -lavcopts vcodec=libx265:o=x265-params=csv=/tmp/x -nosound -o o.mp4", "bad value for o"},
    {"EncoderOptionValueNotPlain", "in.avi -ovc lavc -lavcopts vcodec=libx265:o=preset=../x -nosound -o o.mp4",
     "bad value for o"},
    {"DisplaySizeOtherThanABox", "in.avi -vf-add dsize=1920:1080:1:2,scale=0:0 -ovc copy -nosound -o o.avi",
     "bad parameters for filter 'dsize=1920:1080:1:2'"},
    {"FrameRateCapZero", "in.avi -vf-add fpscap=0 -ovc copy -nosound -o o.avi", "bad parameters for filter 'fpscap=0'"},
    {"X264UnknownPreset", "in.avi -ovc x264 -x264encopts preset=warp -nosound -o o.mp4", "bad value for preset"},
    {"BadAspect", "in.avi -ovc lavc -lavcopts aspect=16/0 -nosound -o o.avi", "bad value for aspect"},
    {"BadPartitions", "in.avi -ovc x264 -x264encopts partitions=some -nosound -o o.avi", "bad value for partitions"},
    {"LameModeOutOfRange", "in.avi -oac mp3lame -lameopts mode=5 -ovc copy -o o.avi", "bad value for mode"},
    {"LameVolumeOutOfRange", "in.avi -oac mp3lame -lameopts vol=11 -ovc copy -o o.avi", "bad value for vol"},
    {"FaacMpegVersion", "in.avi -oac faac -faacopts mpeg=3 -ovc copy -o o.avi", "bad value for mpeg"},
    {"FaacObject", "in.avi -oac faac -faacopts object=5 -ovc copy -o o.avi", "bad value for object"},
    {"UnknownAudioCodec", "in.avi -oac lavc -lavcopts acodec=vorbis -ovc copy -o o.avi", "bad value for acodec"},
    {"UnknownVideoEncoder", "in.avi -ovc theora -nosound -o o.avi", "-ovc: invalid value 'theora'"},
    {"UnknownAudioEncoder", "in.avi -oac pcm -ovc copy -o o.avi", "-oac: invalid value 'pcm'"},
    {"EncoderWithSubOptions", "in.avi -ovc copy:max_bframes=0 -nosound -o o.avi", "-ovc: invalid value"},
    {"UnknownOutputFormat", "in.avi -of mkv -ovc copy -nosound -o o.avi", "-of: invalid value 'mkv'"},
    {"OutputFormatWithSubOptions", "in.avi -ovc frameno -of rawaudio:max_bframes=0 -oac copy -o o.avi",
     "-of: invalid value"},
    {"UnknownLavfFormat", "in.avi -of lavf -lavfopts format=mkv -ovc copy -nosound -o o.mkv", "bad value for format"},
    {"UnknownMpegOption", "in.avi -of mpeg -mpegopts format=dvd:vaspect=4/3 -ovc copy -nosound -o o.mpg",
     "Option mpegopts: Unknown suboption vaspect"},
    {"BadStartTime", "in.avi -ss 1:xx -ovc copy -nosound -o o.avi", "-ss: invalid value '1:xx'"},
    {"StartHoursOutOfRange", "in.avi -ss 1000001:00:00 -ovc copy -nosound -o o.avi",
     "-ss: invalid value '1000001:00:00'"},
    {"BadEndPosition", "in.avi -endpos 10parsecs -ovc copy -nosound -o o.avi", "-endpos: invalid value"},
    {"ZeroFrameRate", "in.avi -ofps 0 -ovc copy -nosound -o o.avi", "-ofps: invalid value '0'"},
    {"BadSampleRate", "in.avi -srate fast -ovc copy -nosound -o o.avi", "-srate: invalid value"},
    {"TooManyChannels", "in.avi -channels 9 -ovc copy -nosound -o o.avi", "-channels: invalid value"},
    {"NegativeAudioId", "in.avi -aid -1 -ovc copy -nosound -o o.avi", "-aid: invalid value"},
    {"LongFourcc", "in.avi -ffourcc DIVX5 -ovc copy -nosound -o o.avi", "-ffourcc: invalid value"},
    {"UnknownVideoFilter", "in.avi -vf-add scale=320:240,denoise3d -ovc copy -nosound -o o.avi",
     "Couldn't find video filter 'denoise3d'"},
    {"ScaleNeedsTwoSizes", "in.avi -vf-add scale=320 -ovc copy -nosound -o o.avi", "bad parameters for filter"},
    {"ScaleOfZero", "in.avi -vf-add scale=0:240 -ovc copy -nosound -o o.avi", "bad parameters for filter"},
    {"EqOfText", "in.avi -vf-add eq2=bright -ovc copy -nosound -o o.avi", "bad parameters for filter"},
    {"EmptyFilterInList", "in.avi -vf-add scale=320:240,,harddup -ovc copy -nosound -o o.avi",
     "Couldn't find video filter ''"},
    {"UnknownAudioFilter", "in.avi -af volume=2 -oac mp3lame -ovc copy -o o.avi",
     "Couldn't find audio filter 'volume'"},
    {"ChannelRouteOutsideOutputs", "in.avi -af channels=1:1:0:1 -oac mp3lame -ovc copy -o o.avi",
     "bad parameters for filter"},
    {"PanLevelsNotMultipleOfOutputs", "in.avi -af pan=2:0.5:0.5:1 -oac mp3lame -ovc copy -o o.avi",
     "bad parameters for filter"},
    {"OptionWithoutValueAtEnd", "in.avi -ovc copy -nosound -o", "-o: needs a parameter"},
    {"NoSource", "-ovc copy -nosound -o o.avi", "No file given"},
    {"TwoSources", "a.avi b.avi -ovc copy -nosound -o o.avi", "Only one source file"},
    {"NoOutput", "in.avi -ovc copy -nosound", "No output file given"},
};

class EncoderRefusedLine : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(EncoderRefusedLine, IsACommandLineError)
{
    ParseResult parsed = parseCommandLine(splitLine(GetParam().line));
    EXPECT_FALSE(parsed.ok);
    EXPECT_NE(parsed.error.find(GetParam().reason), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(Refused, EncoderRefusedLine, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderCommandLine, RepeatedGroupsMergeAndLaterKeysWin)
{
    ParseResult p = parseCommandLine(
        splitLine("in.avi -lavcopts acodec=ac3:abitrate=128 -lavcopts vcodec=mpeg2video:abitrate=192 -ovc lavc "
                  "-oac lavc -o o.mpg"));
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(*p.command.lavc.get("acodec"), "ac3");
    EXPECT_EQ(*p.command.lavc.get("vcodec"), "mpeg2video");
    EXPECT_EQ(*p.command.lavc.get("abitrate"), "192");
    EXPECT_EQ(p.command.lavc.items().size(), 3u);
}

TEST(EncoderCommandLine, FlagsAndBareTurbo)
{
    ParseResult p = parseCommandLine(splitLine("in.avi -ovc lavc -lavcopts trell:mv0=0:turbo -nosound -o o.avi"));
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.command.lavc.flag("trell"));
    EXPECT_FALSE(p.command.lavc.flag("mv0"));
    EXPECT_EQ(*p.command.lavc.get("turbo"), "1");
}

TEST(EncoderCommandLine, EndPositionIsATimeOrASize)
{
    ParseResult time = parseCommandLine(splitLine("in.avi -ss 1:30 -endpos 00:02:30.5 -ovc copy -nosound -o o.avi"));
    ASSERT_TRUE(time.ok);
    EXPECT_DOUBLE_EQ(*time.command.startSeconds, 90);
    EXPECT_DOUBLE_EQ(*time.command.lengthSeconds, 150.5);
    ParseResult size = parseCommandLine(splitLine("in.avi -endpos 2kb -ovc copy -nosound -o o.avi"));
    ASSERT_TRUE(size.ok);
    EXPECT_EQ(*size.command.sizeLimitBytes, 2048);
    EXPECT_FALSE(size.command.lengthSeconds);
}

TEST(EncoderValueSyntax, ClockTimes)
{
    EXPECT_DOUBLE_EQ(*parseClockTime("00:01:00"), 60);
    EXPECT_DOUBLE_EQ(*parseClockTime("01:02:03"), 3723);
    EXPECT_DOUBLE_EQ(*parseClockTime("2:03.5"), 123.5);
    EXPECT_DOUBLE_EQ(*parseClockTime("45"), 45);
    // Hour and minute fields beyond the parser's range are refused, not read
    // as whatever an empty result holds.
    for (const char* bad : {"", ":10", "1::2", "a:10", "1:2:3:4", "1.5:10", "-5", "10.", "1e3", "1000001:00",
                            "0:99999999999999999999999:00"}) {
        EXPECT_FALSE(parseClockTime(bad)) << bad;
    }
}

TEST(EncoderValueSyntax, NumbersRatiosAndSizes)
{
    EXPECT_DOUBLE_EQ(*parseRatio("16/9"), 16.0 / 9.0);
    EXPECT_DOUBLE_EQ(*parseRatio("1.66/1"), 1.66);
    EXPECT_DOUBLE_EQ(*parseRatio("14.985"), 14.985);
    EXPECT_FALSE(parseRatio("1/0"));
    EXPECT_FALSE(parseRatio("a/b"));
    EXPECT_DOUBLE_EQ(*parseDecimal("-0.5"), -0.5);
    EXPECT_FALSE(parseDecimal("1,5"));
    EXPECT_FALSE(parseDecimal("."));
    EXPECT_FALSE(parseInteger("12x", 0, 100));
    EXPECT_FALSE(parseInteger("101", 0, 100));
    EXPECT_EQ(*parseByteSize("3MB"), 3 * 1024 * 1024);
    EXPECT_EQ(*parseByteSize("100b"), 100);
    EXPECT_FALSE(parseByteSize("kb"));
    EXPECT_FALSE(parseByteSize("12"));
    EXPECT_EQ(formatDecimal(0.5), "0.5");
    EXPECT_EQ(formatDecimal(150), "150");
    EXPECT_EQ(extensionOf("D:/out/clip.avi-mp3.MP3"), "mp3");
    EXPECT_EQ(extensionOf("D:/out.dir/noext"), "");
}

TEST(EncoderCommandLine, KnownOptions)
{
    EXPECT_TRUE(isKnownOption("-ovc"));
    EXPECT_TRUE(isKnownOption("-nosound"));
    EXPECT_FALSE(isKnownOption("-"));
    EXPECT_FALSE(isKnownOption("ovc"));
    EXPECT_FALSE(isKnownOption("-vop"));
}

} // namespace
} // namespace qf::encoder
