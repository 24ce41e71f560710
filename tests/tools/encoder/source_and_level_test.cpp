// What the encoder reads from ffprobe, and how it uses those facts: the
// H.264 level, the downmix, the normaliser and the picture's shape.
#include <gtest/gtest.h>

#include "encoder_test_support.h"
#include "filter_chains.h"
#include "h264_level.h"
#include "source_facts.h"
#include "translation.h"

namespace qf::encoder {
namespace {

using test::joinTail;
using test::splitLine;

TEST(EncoderSourceFacts, ReadsSizeRotationRateAndChannels)
{
    // ffprobe's compact lines; the side data of a phone clip shares the stream's line.
    SourceFacts f = parseProbeOutput(
        "stream|index=0|codec_name=h264|codec_type=video|width=1920|height=1080|id=0x1|r_frame_rate=30/1|"
        "avg_frame_rate=30000/"
        "1001|pix_fmt=yuv420p10le|color_transfer=arib-std-b67|field_order=tt|side_data|rotation=-90\n\n"
        "stream|index=1|codec_name=aac|codec_type=audio|channels=6|id=0x2|r_frame_rate=0/0|avg_frame_rate=0/0\n"
        "format|format_name=mov,mp4,m4a,3gp,3g2,mj2|duration=12.5\n");
    ASSERT_EQ(f.streams.size(), 2u);
    const SourceStream& v = f.streams[0];
    EXPECT_EQ(v.rotation, 270);
    EXPECT_EQ(v.shownWidth(), 1080);
    EXPECT_EQ(v.shownHeight(), 1920);
    EXPECT_NEAR(v.frameRate, 29.97, 0.001); // the average rate wins over the base rate
    EXPECT_TRUE(v.highBitDepth());
    EXPECT_TRUE(v.hdr());
    EXPECT_EQ(v.fieldOrder, "tt");
    EXPECT_EQ(f.streams[1].channels, 6);
    EXPECT_EQ(f.streams[1].frameRate, 0); // "0/0" is no rate
    ASSERT_TRUE(f.durationSeconds.has_value());
    EXPECT_DOUBLE_EQ(*f.durationSeconds, 12.5);

    SourceFacts unknown
        = parseProbeOutput("stream|index=0|codec_type=video|width=N/A|r_frame_rate=25/1|avg_frame_rate=0/0\n");
    EXPECT_EQ(unknown.streams[0].width, 0);
    EXPECT_EQ(unknown.streams[0].frameRate, 25);
    EXPECT_EQ(unknown.streams[0].rotation, 0);

    // Out-of-range numbers from a hostile file are dropped or reduced, never overflowed.
    SourceFacts huge = parseProbeOutput("stream|index=0|codec_type=video|id=0xfffffffffff|rotation=1e300\n"
                                        "stream|index=1|codec_type=audio|id=0x1000000|rotation=-450\n");
    ASSERT_EQ(huge.streams.size(), 2u);
    EXPECT_EQ(huge.streams[0].id, -1);
    EXPECT_GE(huge.streams[0].rotation, 0);
    EXPECT_LT(huge.streams[0].rotation, 360);
    EXPECT_EQ(huge.streams[1].id, 0x1000000);
    EXPECT_EQ(huge.streams[1].rotation, 270);
}

struct LevelCase {
    const char* name;
    int requested;
    H264Demand demand;
    int expected;
};

const LevelCase kLevelCases[] = {
    // The iPod line: 640x480 at 29.97 fps is beyond 1.3 (352x288 at most).
    {"IpodVgaNeedsThree", 13, {640, 480, 30000.0 / 1001, 500, 4, false}, 30},
    {"PhoneQvgaKeepsItsLevel", 12, {320, 240, 15, 256, 3, false}, 12},
    {"PspMp4KeepsThree", 30, {368, 208, 30000.0 / 1001, 500, 4, false}, 30},
    // 480x272 is 510 macroblocks: more than the 396 of levels up to 2.
    {"PmpNeedsTwoOne", 13, {480, 272, 25, 0, 4, false}, 21},
    {"BitRateAloneRaises", 12, {176, 144, 15, 500, 1, false}, 13},
    {"HighProfileTakesMoreBits", 12, {176, 144, 15, 470, 1, true}, 12},
    {"FrameRateAloneRaises", 12, {320, 240, 30, 256, 1, false}, 13},
    // Six reference frames of 640x480 overflow level 3's buffer.
    {"ReferenceFramesRaise", 30, {640, 480, 25, 500, 8, false}, 31},
    {"NeverBelowTheRequest", 40, {176, 144, 15, 64, 1, false}, 40},
    {"UnknownSizeChecksTheBitRate", 10, {0, 0, 0, 300, 1, false}, 12},
    {"OneBCountsFromTheBottom", 9, {128, 96, 10, 64, 1, false}, 10},
    {"BeyondEveryLevelIsTheTop", 30, {8192, 4320, 60, 500000, 4, false}, 52},
};

class EncoderH264Level : public ::testing::TestWithParam<LevelCase> {};

TEST_P(EncoderH264Level, SmallestLevelThatHoldsTheStream)
{
    EXPECT_EQ(fittingH264Level(GetParam().requested, GetParam().demand), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Levels, EncoderH264Level, ::testing::ValuesIn(kLevelCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderH264Level, DecodedPicturesFollowTheBframes)
{
    EXPECT_EQ(x264DecodedPictureFrames(3, 0), 3);
    EXPECT_EQ(x264DecodedPictureFrames(1, 1), 2);
    EXPECT_EQ(x264DecodedPictureFrames(2, 3), 4); // the B-pyramid keeps four
    EXPECT_EQ(x264DecodedPictureFrames(6, 3), 6);
}

SourceFacts clipFacts(double seconds, int channels, int width = 640, int height = 480, double fps = 25)
{
    SourceFacts f;
    f.formatName = "mov,mp4,m4a,3gp,3g2,mj2";
    f.durationSeconds = seconds;
    SourceStream video{0, 1, "video", "h264"};
    video.width = width;
    video.height = height;
    video.frameRate = fps;
    SourceStream audio{1, 2, "audio", "aac"};
    audio.channels = channels;
    f.streams = {video, audio};
    return f;
}

std::string tailWith(const std::string& line, const SourceFacts& facts, TranslateOptions options = {})
{
    Translation t = translate(parseCommandLine(splitLine(line)).command, &facts, options);
    EXPECT_EQ(t.failure, FailureKind::None) << t.error;
    return joinTail(t) + " ";
}

const char* kPspLine
    = R"("in.mp4" -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup )"
      R"(-ofps 30000/1001 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 )"
      R"(-x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o "o.mp4")";

TEST(EncoderSoundFromFacts, MultichannelIsDownmixedToOneExactLayout)
{
    std::string surround = tailWith(kPspLine, clipFacts(10, 6));
    EXPECT_NE(surround.find("-af aformat=channel_layouts=stereo,dynaudnorm="), std::string::npos) << surround;
    // Within the limit nothing converts; the normaliser takes the stream as it is.
    for (int channels : {1, 2}) {
        std::string tail = tailWith(kPspLine, clipFacts(10, channels));
        EXPECT_NE(tail.find("-af dynaudnorm="), std::string::npos) << tail;
        EXPECT_EQ(tail.find("aformat"), std::string::npos) << tail;
    }
    // A mono source for a filter that reads the right channel is made stereo first.
    std::string right = tailWith("in.mp4 -af channels=1:1:1:0 -oac mp3lame -ovc copy -o o.avi", clipFacts(10, 1));
    EXPECT_NE(right.find("-af aformat=channel_layouts=stereo,pan=mono|c0=c1 "), std::string::npos) << right;
    // -channels 1 of a 5.1 source.
    std::string mono = tailWith("in.mp4 -channels 1 -oac mp3lame -ovc copy -o o.avi", clipFacts(10, 6));
    EXPECT_NE(mono.find("-af aformat=channel_layouts=mono "), std::string::npos) << mono;
}

TEST(EncoderSoundFromFacts, WithoutFactsTheNormaliserGetsStereo)
{
    Translation t = translate(parseCommandLine(splitLine(kPspLine)).command, nullptr);
    std::string tail = joinTail(t);
    EXPECT_NE(tail.find("-af aformat=channel_layouts=stereo,dynaudnorm="), std::string::npos) << tail;
    // Without the normaliser a list is fine, and keeps mono sound mono.
    std::string plain = joinTail(translate(splitLine("in.avi -oac mp3lame -ovc copy -o o.avi")));
    EXPECT_NE(plain.find("-af aformat=channel_layouts=mono|stereo "), std::string::npos) << plain;
}

TEST(EncoderSoundFromFacts, ShortSourcesAndARetryAreNotNormalised)
{
    std::string shortClip = tailWith(kPspLine, clipFacts(0.33, 2));
    EXPECT_EQ(shortClip.find("dynaudnorm"), std::string::npos) << shortClip;
    // A long source cut to a moment by -ss/-endpos is as short.
    std::string cut = tailWith(std::string(kPspLine) + " -ss 5 -endpos 0.5", clipFacts(60, 2));
    EXPECT_EQ(cut.find("dynaudnorm"), std::string::npos) << cut;
    std::string retry = tailWith(kPspLine, clipFacts(60, 2), {.normalise = false});
    EXPECT_EQ(retry.find("dynaudnorm"), std::string::npos) << retry;
    EXPECT_EQ(retry.find("-af "), std::string::npos) << "nothing left to filter: " << retry;

    Translation full = translate(parseCommandLine(splitLine(kPspLine)).command, nullptr);
    EXPECT_TRUE(full.normalised);
    SourceFacts brief = clipFacts(0.33, 2);
    EXPECT_FALSE(translate(parseCommandLine(splitLine(kPspLine)).command, &brief).normalised);
}

TEST(EncoderSoundFromFacts, OnlyDiscStreamsGetContinuousTimestamps)
{
    std::string dvd = tailWith(
        "in.mkv -of mpeg -mpegopts format=dvd -af lavcresample=48000 -srate 48000 -oac lavc -lavcopts acodec=ac3 "
        "-ovc lavc -lavcopts vcodec=mpeg2video:aspect=16/9 -o o.mpg",
        clipFacts(10, 2));
    EXPECT_NE(dvd.find("aresample=48000,aresample=async=1 "), std::string::npos) << dvd;
    EXPECT_EQ(tailWith(kPspLine, clipFacts(10, 2)).find("async"), std::string::npos);
}

TEST(EncoderPictureShape, OnlyTheRowWithoutAspectFitsThePicture)
{
    // Explicit aspects keep the frame filled and flag the aspect.
    std::string x264Sar = tailWith(
        "in.mp4 -vf-add scale=320:240 -ovc x264 -x264encopts bitrate=256:sar=16/9 -nosound -o o.mp4 -of lavf",
        clipFacts(10, 2));
    EXPECT_NE(x264Sar.find("scale=320:240:flags=bicubic,format=yuv420p "), std::string::npos) << x264Sar;
    EXPECT_NE(x264Sar.find("-aspect 16/9"), std::string::npos) << x264Sar;
    std::string xvidAspect
        = tailWith("in.mp4 -vf-add scale=320:240 -ovc xvid -xvidencopts bitrate=256:aspect=4/3 -nosound -o o.avi",
                   clipFacts(10, 2));
    EXPECT_EQ(xvidAspect.find("pad="), std::string::npos) << xvidAspect;
    // Without one: fitted, padded, square pixels, 4:2:0 last.
    std::string fitted = tailWith("in.mp4 -vf-add scale=320:240 -ovc xvid -xvidencopts bitrate=256 -nosound -o o.avi",
                                  clipFacts(10, 2));
    EXPECT_NE(fitted.find("scale=w='max(2,min(320,2*round(240*dar/2)))':h='max(2,min(240,2*round(320/dar/2)))'"),
              std::string::npos)
        << fitted;
    EXPECT_NE(fitted.find(",pad=320:240:(ow-iw)/2:(oh-ih)/2,setsar=1,format=yuv420p "), std::string::npos) << fitted;
    // No size asked for: nothing to fit into.
    std::string unscaled = tailWith("in.mp4 -ovc xvid -xvidencopts bitrate=256 -nosound -o o.avi", clipFacts(10, 2));
    EXPECT_NE(unscaled.find("-vf format=yuv420p "), std::string::npos) << unscaled;
    // A copied stream is never filtered.
    EXPECT_EQ(tailWith("in.mp4 -ovc copy -nosound -o o.avi", clipFacts(10, 2)).find("format="), std::string::npos);
}

TEST(EncoderPictureShape, LevelUsesTheFrameOrTheShownSourceSize)
{
    const char* ipod
        = R"("in.mp4" -of lavf -lavfopts format=mp4 -vf-add scale=640:480,harddup -ofps 30000/1001 -nosound )"
          R"(-ovc x264 -x264encopts bitrate=500:level_idc=13:nocabac:global_header:partitions=all -o "o.mp4")";
    EXPECT_NE(tailWith(ipod, clipFacts(10, 2)).find("-level 30 "), std::string::npos);
    // Unscaled: a portrait phone clip's shown size and its own rate.
    SourceFacts phone = clipFacts(10, 2, 1920, 1080, 30);
    phone.streams[0].rotation = 90;
    std::string unscaled
        = tailWith("in.mp4 -ovc x264 -x264encopts bitrate=4000:level_idc=13 -nosound -o o.mp4 -of lavf", phone);
    EXPECT_NE(unscaled.find("-level 40 "), std::string::npos) << unscaled;
    // Without facts the frame and the asked rate still count.
    EXPECT_NE(joinTail(translate(splitLine(ipod))).find("-level 30 "), std::string::npos);
}

} // namespace
} // namespace qf::encoder

namespace qf::encoder {
namespace {

TEST(EncoderSourceFacts, ProbedUpFrontOnlyWhereTheFactsChangeEveryRun)
{
    auto wants = [](const char* line) { return wantsSourceFacts(parseCommandLine(test::splitLine(line)).command); };
    EXPECT_FALSE(wants(kPspLine)); // the normaliser does without
    EXPECT_TRUE(
        wants("in.mp4 -ovc x264 -x264encopts bitrate=500:level_idc=13 -nosound -o o.mp4 -of lavf")); // no frame size
    EXPECT_FALSE(
        wants("in.mp4 -vf-add scale=320:240 -ofps 15 -ovc x264 -x264encopts level_idc=12 -nosound -o o.mp4 -of lavf"));
    // No rate, but the frame alone outgrows 1.3: x264 chooses, from the real rate.
    EXPECT_FALSE(wants("in.mp4 -vf-add scale=480:272 -ovc x264 -x264encopts crf=22:level_idc=13 -nosound -o o.avi"));
    // No rate, and the frame fits 1.2: only the source's rate can tell.
    EXPECT_TRUE(wants("in.mp4 -vf-add scale=320:240 -ovc x264 -x264encopts level_idc=12 -nosound -o o.mp4 -of lavf"));
    EXPECT_FALSE(wants("in.avi -srate 48000 -oac mp3lame -lameopts abr:br=128 -ovc frameno -of rawaudio -o o.mp3"));
    EXPECT_FALSE(wants("-ovc copy -nosound -of rawvideo -o B.m4v B.avi"));
}

} // namespace
} // namespace qf::encoder
