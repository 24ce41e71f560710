// Status lines from ffmpeg's progress, and failure reasons from its log.
#include <gtest/gtest.h>

#include "progress.h"
#include "source_facts.h"

namespace qf::encoder {
namespace {

TEST(EncoderStatusLine, HasMencodersLayoutAndEndsInCarriageReturn)
{
    StatusFigures f;
    f.positionSeconds = 4.7;
    f.frames = 120;
    f.percent = 52;
    f.fps = 60;
    f.minutesLeft = 0;
    f.projectedMiB = 1;
    f.videoKbps = 600;
    f.audioKbps = 128;
    EXPECT_EQ(formatStatusLine(f), "Pos:   4.7s    120f (52%) 60.00fps Trem:   0min   1mb  A-V:0.000 [600:128]\r");
    f.percent = 7;
    std::string line = formatStatusLine(f);
    // The system reads the text between the first parentheses, blanks removed.
    std::size_t open = line.find('(');
    EXPECT_EQ(line.substr(open, line.find(')') - open + 1), "( 7%)");
}

std::vector<std::string> feedBlock(ProgressTracker& tracker, const std::vector<std::string>& lines, double elapsed)
{
    std::vector<std::string> out;
    for (const std::string& l : lines) {
        if (auto s = tracker.feed(l, elapsed))
            out.push_back(*s);
    }
    return out;
}

TEST(EncoderProgress, PercentOfTheEffectiveDuration)
{
    ProgressTracker tracker(500, 96);
    tracker.setDuration(effectiveDuration(20.0, 5.0, 10.0)); // 10 s will be written
    auto first
        = feedBlock(tracker, {"frame=N/A", "fps=0.00", "total_size=N/A", "out_time_us=N/A", "progress=continue"}, 0.1);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NE(first[0].find("( 0%)"), std::string::npos) << first[0];
    auto mid = feedBlock(tracker,
                         {"frame=62", "fps=31.00", "total_size=1048576", "out_time_us=2500000", "out_time_ms=2500000",
                          "speed=1.2x", "progress=continue"},
                         2.0);
    ASSERT_EQ(mid.size(), 1u);
    // 2.5 of 10 s after 2 s of work: 6 s left, 4 MiB projected.
    EXPECT_EQ(mid[0], "Pos:   2.5s     62f (25%) 31.00fps Trem:   0min   4mb  A-V:0.000 [500:96]\r");
    EXPECT_FALSE(tracker.finished());
    auto end = feedBlock(tracker, {"frame=250", "out_time_us=9960000", "progress=end"}, 8.0);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_NE(end[0].find("(100%)"), std::string::npos);
    EXPECT_TRUE(tracker.finished());
    EXPECT_EQ(tracker.frames(), 250);
}

TEST(EncoderProgress, UnknownDurationStaysAtZeroPercent)
{
    ProgressTracker tracker(0, 0);
    auto lines = feedBlock(tracker, {"frame=10", "out_time_us=-23000", "progress=continue"}, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Pos:   0.0s     10f ( 0%)"), std::string::npos) << lines[0];
}

TEST(EncoderProgress, EffectiveDuration)
{
    EXPECT_DOUBLE_EQ(*effectiveDuration(100.0, 0, std::nullopt), 100);
    EXPECT_DOUBLE_EQ(*effectiveDuration(100.0, 60, std::nullopt), 40);
    EXPECT_DOUBLE_EQ(*effectiveDuration(100.0, 60, 150.0), 40); // cut by the end of the source
    EXPECT_DOUBLE_EQ(*effectiveDuration(100.0, 10, 30.0), 30);
    EXPECT_DOUBLE_EQ(*effectiveDuration(100.0, 200, std::nullopt), 0);
    EXPECT_DOUBLE_EQ(*effectiveDuration(std::nullopt, 10, 30.0), 30);
    EXPECT_FALSE(effectiveDuration(std::nullopt, 0, std::nullopt));
}

TEST(EncoderLogDigest, DurationAndFirstRealCause)
{
    LogDigest log;
    log.feed("[info] Input #0, avi, from 'file:clip.avi':");
    log.feed("[info]   Duration: 00:01:02.50, start: 0.000000, bitrate: 662 kb/s");
    log.feed("[mpeg4_unpack_bframes @ 0x5] [error] Codec 'h264' (27) is not supported by the bitstream filter");
    log.feed("[error] Error initializing output stream 0:0 -- ");
    log.feed("[info] Conversion failed!");
    EXPECT_DOUBLE_EQ(*log.duration(), 62.5);
    EXPECT_EQ(log.lastError(), "Codec 'h264' (27) is not supported by the bitstream filter");
    EXPECT_FALSE(log.nothingEncoded());
}

TEST(EncoderLogDigest, FatalLineWinsAndEmptyOutputIsNoticed)
{
    LogDigest log;
    log.feed("[info]   Duration: N/A, bitrate: N/A");
    log.feed("[fatal] Stream map '0:v:0' matches no streams.");
    log.feed("To ignore this, add a trailing '?' to the map.");
    EXPECT_FALSE(log.duration());
    EXPECT_EQ(log.lastError(), "Stream map '0:v:0' matches no streams.");
    EXPECT_EQ(explainFailure(log.lastError()), "Video stream is mandatory! (the source has no video)");

    LogDigest empty;
    empty.feed("[warning] Output file is empty, nothing was encoded (check -ss / -t / -frames parameters if used)");
    EXPECT_TRUE(empty.nothingEncoded());
    EXPECT_NE(empty.lastError().find("Output file is empty"), std::string::npos);
}

TEST(EncoderLogDigest, RateControlThatGivesUpIsTheReasonOverItsUnderflowLines)
{
    LogDigest log;
    log.feed("[mpeg2video @ 0x1] [error] rc buffer underflow");
    EXPECT_FALSE(log.rateControlGaveUp());
    log.feed("[mpeg2video @ 0x1] [error] [lavc rc] Error: bitrate too low for this video with these parameters.");
    log.feed("[error] Error initializing output stream 0:0 -- Error while opening encoder");
    EXPECT_TRUE(log.rateControlGaveUp());
    EXPECT_EQ(log.lastError(), "[lavc rc] Error: bitrate too low for this video with these parameters.");

    LogDigest converge;
    converge.feed("[mpeg1video @ 0x2] [error] Error: 2pass curve failed to converge");
    EXPECT_TRUE(converge.rateControlGaveUp());
}

TEST(EncoderLogDigest, UnresolvedChannelLayoutIsNoticed)
{
    LogDigest log;
    log.feed("[info] Stream mapping:");
    EXPECT_FALSE(log.channelLayoutUnresolved());
    log.feed("[error] [format_out_0_1 @ 0x55] Cannot select channel layout for the link between filters format_out_0_1 "
             "and out_0_1.");
    log.feed("[error] Error while processing the decoded data for stream #0:1");
    EXPECT_TRUE(log.channelLayoutUnresolved());
}

TEST(EncoderLogDigest, ReasonTextCannotPassForAWatchedLine)
{
    EXPECT_EQ(neutralize("File not found: 'Pos: Exiting... error parsing command line.avi'\r\n"),
              "File not found: 'Pos_ Exiting_ error_parsing_command_line.avi'  ");
}

TEST(EncoderSourceFacts, ReadsFfprobeCompactOutput)
{
    SourceFacts f = parseProbeOutput("stream|index=0|codec_name=mpeg2video|codec_type=video|id=0x1e0\n"
                                     "stream|index=1|codec_name=mp2|codec_type=audio|id=0x1c0\r\n"
                                     "stream|index=2|codec_name=ac3|codec_type=audio|id=N/A\n"
                                     "format|format_name=mpeg|duration=12.480000\n");
    EXPECT_EQ(f.formatName, "mpeg");
    ASSERT_TRUE(f.durationSeconds);
    EXPECT_DOUBLE_EQ(*f.durationSeconds, 12.48);
    ASSERT_EQ(f.streams.size(), 3u);
    EXPECT_EQ(f.streams[0].id, 0x1e0);
    EXPECT_EQ(f.streams[1].id, 0x1c0);
    EXPECT_EQ(f.streams[1].codec, "mp2");
    EXPECT_EQ(f.streams[2].id, -1);
    EXPECT_EQ(f.countOfType("audio"), 2);
    EXPECT_EQ(f.firstOfType("audio")->index, 1);
    EXPECT_EQ(f.firstOfType("subtitle"), nullptr);
}

} // namespace
} // namespace qf::encoder
