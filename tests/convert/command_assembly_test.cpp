// Command assembly around the fragments: preparation, passes, PMP
// replacements, output naming and the quoting of unusual paths.

#include <gtest/gtest.h>

#include <iterator>
#include <tuple>

#include <string>

#include "convert/command_line_builder.h"
#include "convert/device_models.h"
#include "convert/value_tables.h"
#include "core/platform/command_line.h"

namespace qf::convert {
namespace {

constexpr const char* kEncoder = "\"C:/Tools/Conv/ALDER.DAT\"";

CommandLineBuilder made(int32_t category, int32_t model, int32_t format, const char* source = "D:/in/clip.avi")
{
    CommandLineBuilder::setEncoderPath(kEncoder);
    CommandLineBuilder b;
    b.selectModel(category, model, format);
    b.sourcePath = source;
    b.makeOutputPath("D:/out");
    return b;
}

std::string first(const CommandLineBuilder& b) { return b.firstCommand().c_str(); }
std::string second(const CommandLineBuilder& b) { return b.secondCommand().c_str(); }

bool has(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// Every built-in model with every format it lists builds a command line that
// starts with the encoder and the source and names the output it promises.
TEST(CommandAssembly, EveryModelAndFormatBuildsItsCommand)
{
    for (int32_t category = 0; category < kCategoryCount; ++category) {
        DeviceModelList list;
        buildCategoryList(category, DeviceModelList(), list);
        for (const DeviceModel& m : list) {
            for (const FormatChoice& f : m.formats) {
                SCOPED_TRACE(std::string(m.name.c_str()) + " format " + std::to_string(f.format));
                CommandLineBuilder b = made(category, m.modelIndex, f.format);
                b.buildCommands();
                const std::string line = f.format >= 10 && f.format <= 11 ? second(b) : first(b);
                EXPECT_EQ(line.rfind(std::string(kEncoder) + " \"D:/in/clip.avi\" ", 0), 0u) << line;
                const std::string out = std::string("D:/out/clip.avi") + kFormats[size_t(f.format)].suffix;
                const bool viaAvi = f.format == 0 || f.format == 1 || f.format == 3 || f.format == 6;
                const std::string written = viaAvi ? out.substr(0, out.rfind('.')) + ".avi" : out;
                EXPECT_TRUE(line.ends_with(" -o \"" + written + "\"")) << line;
                const FormatEntry& row = kFormats[size_t(f.format)];
                EXPECT_EQ(std::string(b.intermediateBase().c_str()),
                          row.layout == CommandLayout::Intermediate ? out.substr(0, out.rfind('.')) : std::string());
                if (row.audioOnly) {
                    EXPECT_TRUE(has(line, " -ovc frameno -of rawaudio")) << line;
                    EXPECT_FALSE(has(line, "-vf-add")) << line;
                }
                if (row.layout == CommandLayout::SingleLine) {
                    EXPECT_FALSE(has(line, "-ofps")) << line;
                    EXPECT_FALSE(has(line, ":vpass")) << line;
                }
                // Disc formats always run two passes; nothing else has a second line.
                EXPECT_EQ(second(b).empty(), f.format != 10 && f.format != 11);
                if (f.format == 10 || f.format == 11) {
                    EXPECT_TRUE(has(first(b), ":vpass=1 -nosound -o ")) << first(b);
                }
            }
        }
    }
}

TEST(CommandAssembly, DvdFilmAlwaysEncodesAtFilmRate)
{
    CommandLineBuilder b = made(4, 1, 11);
    b.frameRateIndex = 3;
    b.buildCommands();
    EXPECT_TRUE(has(second(b), " -ofps 24000/1001 ")) << second(b);
    EXPECT_TRUE(has(second(b), "-mpegopts format=dvd:tsaf:telecine "));
    EXPECT_TRUE(has(second(b), "scale=720:576"));
}

TEST(CommandAssembly, OnlyTheFirstPassIsFastAndARebuildIsNot)
{
    CommandLineBuilder b = made(5, 1, 10);
    b.buildCommands();
    EXPECT_TRUE(has(first(b), ":turbo")) << first(b);
    EXPECT_FALSE(has(second(b), ":turbo")) << second(b);
    EXPECT_EQ(b.turbo, 0);
    b.buildCommands();
    EXPECT_FALSE(has(first(b), ":turbo")) << first(b);
}

TEST(CommandAssembly, OnlyAPassOneCommandEverCarriesTurbo)
{
    // Formats that run only their main command still build the pass-one
    // command when two passes are set, and so never carry ":turbo".
    for (const auto& [category, model, format] : {std::tuple{0, 0, 5}, std::tuple{3, 0, 9}, std::tuple{6, 0, 12}}) {
        CommandLineBuilder b = made(category, model, format);
        b.twoPass = 1;
        b.turbo = 1;
        b.buildCommands();
        EXPECT_FALSE(has(first(b), ":turbo")) << first(b);
        EXPECT_TRUE(second(b).empty());
        EXPECT_EQ(b.turbo, 0);
    }
    CommandLineBuilder mp4 = made(0, 0, 5);
    mp4.twoPass = 1;
    mp4.buildCommands();
    EXPECT_TRUE(has(first(mp4), ":vpass=2 -o ")) << first(mp4);
}

TEST(CommandAssembly, DiscWithoutTwoPassHasOnlyTheMainCommand)
{
    CommandLineBuilder b = made(4, 0, 10);
    b.twoPass = 0;
    b.buildCommands();
    EXPECT_EQ(first(b), "");
    EXPECT_TRUE(
        second(b).ends_with(":trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600 -o \"D:/out/clip.avi-mpg.mpg\""))
        << second(b);
    EXPECT_FALSE(has(second(b), "vpass"));
}

TEST(CommandAssembly, MissingStreamsReplaceTheirCodecs)
{
    CommandLineBuilder noAudio = made(3, 0, 9);
    noAudio.media.hasAudio = false;
    noAudio.buildCommands();
    EXPECT_TRUE(has(first(noAudio), " -nosound -of rawvideo -ovc lavc")) << first(noAudio);
    EXPECT_FALSE(has(first(noAudio), "mp3lame"));

    CommandLineBuilder noVideo = made(3, 0, 9);
    noVideo.media.hasVideo = false;
    noVideo.buildCommands();
    EXPECT_TRUE(has(first(noVideo), " -ovc frameno -of rawaudio")) << first(noVideo);
    EXPECT_FALSE(has(first(noVideo), "vcodec=flv"));
}

TEST(CommandAssembly, AudioFormatsNeverCarryTheVideoCodec)
{
    for (int32_t format : {8, 13}) {
        CommandLineBuilder b = made(format == 8 ? 7 : 6, 0, format);
        b.videoCodec = 2;
        b.buildCommands();
        EXPECT_EQ(b.videoCodec, kVideoCodecNone);
        EXPECT_FALSE(has(first(b), "x264")) << first(b);
    }
}

TEST(CommandAssembly, PmpTurns500KbpsIntoConstantQuality)
{
    CommandLineBuilder at500 = made(2, 0, 1);
    at500.buildCommands();
    EXPECT_TRUE(has(first(at500), "-x264encopts crf=22:")) << first(at500);
    EXPECT_FALSE(has(first(at500), "bitrate=500"));
    EXPECT_TRUE(has(first(at500), " -channels 2 -vf-add "));

    CommandLineBuilder at600 = made(2, 0, 1);
    at600.videoBitrateIndex = 9;
    at600.buildCommands();
    EXPECT_TRUE(has(first(at600), "-x264encopts bitrate=600:")) << first(at600);
    EXPECT_FALSE(has(first(at600), "crf="));
}

TEST(CommandAssembly, PmpReplacementsLeaveThePathsAlone)
{
    CommandLineBuilder b = made(2, 0, 1, "D:/in/-vf-add bitrate=500.avi");
    b.buildCommands();
    EXPECT_TRUE(has(first(b), "\"D:/in/-vf-add bitrate=500.avi\" -sws 9")) << first(b);
    EXPECT_TRUE(has(first(b), "\"D:/out/-vf-add bitrate=500.avi-pmp.avi\"")) << first(b);
    EXPECT_TRUE(has(first(b), " -channels 2 -vf-add scale=480:272"));
}

TEST(CommandAssembly, UnknownFormatBuildsNothing)
{
    CommandLineBuilder b = made(3, 0, 9);
    b.outputFormat = kFormatCount;
    b.buildCommands();
    EXPECT_EQ(first(b), "");
    EXPECT_EQ(second(b), "");
}

TEST(OutputNaming, SourceNameKeepsItsExtension)
{
    CommandLineBuilder b;
    b.sourcePath = "D:\\in\\clip.avi";
    b.outputFormat = 9;
    b.makeOutputPath("D:/out");
    EXPECT_EQ(std::string(b.outputPath.c_str()), "D:/out/clip.avi-flv.flv");
    EXPECT_EQ(std::string(b.sourcePath.c_str()), "D:/in/clip.avi");
    EXPECT_EQ(std::string(b.outputPathForFormat(12).c_str()), "D:/out/clip.avi-wmv.wmv");
    EXPECT_EQ(std::string(b.outputPathForFormat().c_str()), "D:/out/clip.avi-flv.flv");
    EXPECT_EQ(std::string(b.outputPathForFormat(kFormatCount).c_str()), "D:/out/clip.avi");
}

// On Linux a name may hold a backslash, a newline, quotes or bytes that are
// not UTF-8; the output's name keeps every one of them.
TEST(OutputNaming, ALinuxNameKeepsEveryByte)
{
    for (const char* name : {"back\\slash.avi", "line\nbreak \"q\".avi", "\xc4\xe3\xba\xc3.avi"}) {
        SCOPED_TRACE(name);
        CommandLineBuilder b;
        b.sourcePath = (std::string("/in/") + name).c_str();
        b.outputFormat = 9;
        b.makeOutputPath("/out");
        EXPECT_EQ(std::string(b.sourcePath.c_str()), std::string("/in/") + name);
        EXPECT_EQ(std::string(b.outputPath.c_str()), std::string("/out/") + name + "-flv.flv");
    }
}

TEST(OutputNaming, EveryFormatHasItsSuffixAndLabel)
{
    const char* suffixes[]
        = {"-3gp.3gp", "-pmp.pmp", "-mp4.mp4",   "-mp4.mp4", "-mp4.mp4",   "-mp4.mp4",  "-mp4.mp4", "-mp4.mp4",
           "-mp3.mp3", "-flv.flv", "-mpg.mpg",   "-mpg.mpg", "-wmv.wmv",   "-wma.wma",  "-mp4.mp4", "-mp4.mp4",
           "-mp4.mp4", "-mkv.mkv", "-webm.webm", "-m4a.m4a", "-flac.flac", "-opus.opus"};
    const char* labels[]
        = {"3gp",           "pmp-X264,AAC", "mp4-X264,AAC", "mp4-XVID,AAC", "mp4-DIVX,AAC", "mp4-X264,AAC",
           "mp4-XVID,AAC",  "mp4-DIVX,AAC", "mp3",          "flv-Flash",    "mpg-NTSC",     "mpg-PAL",
           "wmv-WMVideo",   "wma-WMAudio",  "mp4-H264,AAC", "mp4-H265,AAC", "mp4-AV1,AAC",  "mkv-AV1,Opus",
           "webm-VP9,Opus", "m4a-AAC",      "flac",         "opus"};
    static_assert(std::size(suffixes) == kFormatCount && std::size(labels) == kFormatCount);
    for (int32_t f = 0; f < kFormatCount; ++f) {
        CommandLineBuilder b;
        b.sourcePath = "/home/u/a.b.mkv";
        b.outputFormat = f;
        b.makeOutputPath("/out");
        EXPECT_EQ(std::string(b.outputPath.c_str()), std::string("/out/a.b.mkv") + suffixes[f]);
        EXPECT_EQ(std::string(b.formatLabel()), labels[f]);
    }
    CommandLineBuilder b;
    EXPECT_EQ(std::string(b.formatLabel(kFormatCount)), "");
    EXPECT_EQ(std::string(b.formatLabel(-2)), "");
    b.outputFormat = kFormatCount;
    b.sourcePath = "/a/b.avi";
    b.makeOutputPath("/out");
    EXPECT_EQ(std::string(b.outputPath.c_str()), "/out/b.avi");
}

TEST(OutputNaming, BareFileNameStillNamesItsOutput)
{
    CommandLineBuilder b;
    b.sourcePath = "clip.avi";
    b.outputFormat = 8;
    b.makeOutputPath("/out");
    EXPECT_EQ(std::string(b.outputPath.c_str()), "/out/clip.avi-mp3.mp3");
}

// A double quote is a legal file-name byte on Linux; it must never split the
// command line into extra encoder arguments.
TEST(PathQuoting, QuotesInPathsStayOneArgument)
{
    const char* sources[] = {"/m/say \"hi\".avi", "/m/a\"b\".avi", "/m/\"", "/m/x\\\"y.avi"};
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        CommandLineBuilder b = made(3, 0, 9, source);
        b.buildCommands();
        const auto args = platform::splitCommandLine(first(b));
        ASSERT_GE(args.size(), 3u);
        EXPECT_EQ(args[0], "C:/Tools/Conv/ALDER.DAT");
        EXPECT_EQ(args[1], b.sourcePath.c_str());
        EXPECT_EQ(args.back(), b.outputPath.c_str());
        EXPECT_EQ(args[args.size() - 2], "-o");
    }
}

TEST(PathQuoting, OrdinaryPathsKeepTheirExactBytes)
{
    for (const char* path : {"/m/plain.avi", "/m/with space/电影 1.avi", "C:/a b/c.avi", "/m/back\\slash.avi"}) {
        core::TextString line;
        appendQuotedPath(line, path);
        EXPECT_EQ(std::string(line.c_str()), std::string("\"") + path + "\"");
        EXPECT_EQ(platform::splitCommandLine("p " + std::string(line.c_str())).at(1), path);
    }
}

} // namespace
} // namespace qf::convert
