#include "common/tool_main.h"
#include "mp4-muxer/mux_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qf::kit {
namespace {

TEST(MuxerArguments, AcceptsTheSystemsCommandLinesAndTheirKin)
{
    struct Case {
        std::vector<std::string> args;
        std::string input, output;
        double rate; // -1: none
        bool force3gp;
    };
    const Case cases[] = {
        {{"-force3GPCompliance", "-c", "B.m4v", "-rate=10", "B.3gp"}, "B.m4v", "B.3gp", 10, true},
        {{"-force3GPCompliance", "-c", "B.aac", "B.3gp"}, "B.aac", "B.3gp", -1, true},
        {{"-c", "a b/B.m4v", "-rate=0", "a b/B.mp4"}, "a b/B.m4v", "a b/B.mp4", 0, false},
        {{"--create=B.m4v", "-rate", "29.97", "B.mp4"}, "B.m4v", "B.mp4", 29.97, false},
        {{"B.mp4", "-c=B.aac"}, "B.aac", "B.mp4", -1, false},
    };
    for (const Case& c : cases) {
        MuxerArguments a = parseMuxerArguments(c.args);
        EXPECT_EQ(a.inputPath, c.input);
        EXPECT_EQ(a.outputPath, c.output);
        EXPECT_EQ(a.rate.value_or(-1), c.rate);
        EXPECT_EQ(a.force3gp, c.force3gp);
    }
}

TEST(MuxerArguments, RefusesIncompleteOrUnknownOptions)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-c", "B.m4v"},
        {"B.mp4"},
        {"-c", "B.m4v", "x.mp4", "y.mp4"},
        {"-c"},
        {"-rate=fast", "-c", "a", "b"},
        {"-rate=-5", "-c", "a", "b"},
        {"-hint", "-c", "a", "b"},
        {"-force3GPCompliance=1", "-c", "a", "b"},
    };
    for (const auto& args : cases)
        EXPECT_THROW(parseMuxerArguments(args), UsageError);
}

TEST(MuxPlan, SniffsStreamKinds)
{
    using namespace std::string_literals;
    EXPECT_EQ(sniffStreamKind("\0\0\x01\xb0\x01"s), StreamKind::Mpeg4Video);
    EXPECT_EQ(sniffStreamKind("\0\0\x01\x00\0\0\x01\x20"s), StreamKind::Mpeg4Video);
    EXPECT_EQ(sniffStreamKind("\xff\xf1\x50\x80"s), StreamKind::AdtsAac);
    EXPECT_EQ(sniffStreamKind("\xff\xfb\x90\x64"s), StreamKind::Unknown); // MP3
    EXPECT_EQ(sniffStreamKind("RIFF"), StreamKind::Unknown);
    EXPECT_EQ(sniffStreamKind(""), StreamKind::Unknown);
}

TEST(MuxPlan, SnapsRatesToTheirExactFractions)
{
    struct Case {
        double fps;
        int64_t num, den;
    };
    const Case cases[] = {{29.97, 30000, 1001}, {29.970, 30000, 1001}, {23.976, 24000, 1001}, {59.94, 60000, 1001},
                          {25, 25, 1},          {10, 10, 1},           {12.5, 25, 2},         {0, 0, 1}};
    for (const Case& c : cases) {
        Fraction f = snapRate(c.fps);
        EXPECT_EQ(f.num, c.num) << c.fps;
        EXPECT_EQ(f.den, c.den) << c.fps;
    }
    EXPECT_EQ(parseFraction("30000/1001\n").num, 30000);
    EXPECT_EQ(parseFraction("30000/1001\n").den, 1001);
    EXPECT_EQ(parseFraction("0/0").num, 0);
    EXPECT_EQ(parseFraction("junk").num, 0);
}

bool hasPair(const std::vector<std::string>& v, const std::string& a, const std::string& b)
{
    for (size_t i = 0; i + 1 < v.size(); ++i)
        if (v[i] == a && v[i + 1] == b)
            return true;
    return false;
}

TEST(MuxPlan, VideoTimestampsAreScaledToTheRequestedRate)
{
    MuxJob job;
    job.args = parseMuxerArguments({"-force3GPCompliance", "-c", "B.m4v", "-rate=10", "B.3gp"});
    job.kind = StreamKind::Mpeg4Video;
    job.sourceRate = {25, 1};
    job.temporaryPath = ".B.3gp.part";
    std::vector<std::string> a = ffmpegArguments(job);
    EXPECT_TRUE(hasPair(a, "-f", "m4v"));
    EXPECT_TRUE(hasPair(a, "-bsf:0", "setts=ts=TS*25/10:duration=DURATION*25/10"));
    EXPECT_TRUE(hasPair(a, "-video_track_timescale", "90000"));
    EXPECT_TRUE(hasPair(a, "-brand", "3gp5"));
    EXPECT_EQ(a.back(), ".B.3gp.part");

    job.args.rate = 0; // the stream's own timing
    a = ffmpegArguments(job);
    EXPECT_FALSE(std::any_of(a.begin(), a.end(), [](const std::string& s) { return s.find("setts") == 0; }));

    job.args.rate = 29.97;
    job.sourceRate = {30000, 1001}; // already right
    a = ffmpegArguments(job);
    EXPECT_FALSE(std::any_of(a.begin(), a.end(), [](const std::string& s) { return s.find("setts") == 0; }));

    job.sourceRate = {25, 1};
    a = ffmpegArguments(job);
    EXPECT_TRUE(hasPair(a, "-bsf:0", "setts=ts=TS*25025/30000:duration=DURATION*25025/30000"));

    // The probe's rate as the system passes it: 29.970 cut to 29.
    job.args.rate = 29;
    job.sourceRate = {30000, 1001};
    a = ffmpegArguments(job);
    EXPECT_FALSE(std::any_of(a.begin(), a.end(), [](const std::string& s) { return s.find("setts") == 0; }));
    job.args.rate = 30;
    a = ffmpegArguments(job);
    EXPECT_TRUE(hasPair(a, "-bsf:0", "setts=ts=TS*30000/30030:duration=DURATION*30000/30030"));
}

TEST(MuxPlan, AudioIsAddedAfterTheExistingStreams)
{
    MuxJob job;
    job.args = parseMuxerArguments({"-c", "B.aac", "B.mp4"});
    job.kind = StreamKind::AdtsAac;
    job.addToExisting = true;
    job.existingStreams = 1;
    job.temporaryPath = "t";
    std::vector<std::string> a = ffmpegArguments(job);
    EXPECT_TRUE(hasPair(a, "-i", "B.mp4"));
    EXPECT_TRUE(hasPair(a, "-f", "aac"));
    EXPECT_TRUE(hasPair(a, "-map", "0"));
    EXPECT_TRUE(hasPair(a, "-map", "1:a:0"));
    EXPECT_TRUE(hasPair(a, "-bsf:1", "aac_adtstoasc"));
    EXPECT_TRUE(hasPair(a, "-f", "mp4"));
    EXPECT_FALSE(std::count(a.begin(), a.end(), "-brand"));
}

} // namespace
} // namespace qf::kit
