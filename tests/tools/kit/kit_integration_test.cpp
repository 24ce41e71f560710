// The helper programs run from the program directory on clips that ffmpeg
// makes at test time; results are checked with ffprobe and ffmpeg.

#include "common/run_program.h"
#include "kit_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

namespace qf::kit {
namespace {

using namespace test;

std::string tool(const char* name)
{
    std::string path = std::string(QF_PROGRAM_DIR) + "/" + name;
    EXPECT_TRUE(exists(path)) << path << " is missing: build the helper kit";
    return path;
}

ProgramResult run(const std::vector<std::string>& argv) { return runProgram(argv); }

// Makes a clip with ffmpeg; the test fails loudly when ffmpeg cannot.
void ffmpeg(std::vector<std::string> args)
{
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-v", "error", "-y"});
    ProgramResult r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.errors;
}

void makeAvi(const std::string& path, const std::string& size, const std::string& rate, bool h264)
{
    std::vector<std::string> a{"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=" + rate, "-f", "lavfi",
                               "-i", "sine=sample_rate=44100", "-t", "2", "-ac", "2"};
    if (h264)
        a.insert(a.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-vtag", "H264"});
    else
        a.insert(a.end(), {"-c:v", "mpeg4", "-vtag", "xvid"});
    a.insert(a.end(), {"-c:a", "aac", path});
    ffmpeg(a);
}

// ffprobe's "key=value" facts for one stream (or the format with stream "").
std::map<std::string, std::string> probe(const std::string& file, const std::string& stream, const std::string& entries)
{
    std::vector<std::string> a{"ffprobe", "-v", "error", "-count_packets"};
    if (!stream.empty()) a.insert(a.end(), {"-select_streams", stream});
    a.insert(a.end(), {"-show_entries", entries, "-of", "default=nw=1", file});
    ProgramResult r = run(a);
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::map<std::string, std::string> facts;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) facts.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return facts;
}

// Packets of every stream as (size, md5), stream by stream: timestamps and
// interleaving may change, the packets may not.
std::map<std::string, std::vector<std::string>> packetsByStream(const std::string& file)
{
    ProgramResult r = run({"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-map", "0", "-c", "copy", "-f", "framemd5", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::map<std::string, std::vector<std::string>> packets;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
        if (f.size() == 6) packets[f[0]].push_back(f[4] + f[5]);
    }
    return packets;
}

// Hashes of the decoded video frames.
std::vector<std::string> decodedVideo(const std::string& file)
{
    ProgramResult r = run({"ffmpeg", "-nostdin", "-v", "quiet", "-i", file, "-map", "0:v", "-f", "framemd5", "-"});
    std::vector<std::string> hashes;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
    return hashes;
}

// A failed run: non-zero exit, one line on standard error, nothing else.
void expectCleanFailure(const ProgramResult& r)
{
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.output, "");
    ASSERT_FALSE(r.errors.empty());
    EXPECT_EQ(r.errors.find('\n'), r.errors.size() - 1) << r.errors;
}

TEST(FrameRateProbe, PrintsTheStreamHeaderRate)
{
    ScratchDir dir;
    makeAvi(dir.file("pal.avi"), "176x144", "25", false);
    makeAvi(dir.file("ntsc clip.avi"), "176x144", "30000/1001", false);
    const std::pair<const char*, const char*> cases[] = {
        {"pal.avi", "Video frame rate: 25.000\n"},
        {"ntsc clip.avi", "Video frame rate: 29.970\n"},
    };
    for (const auto& [name, line] : cases) {
        ProgramResult r = run({tool("BIRCH.DLL"), dir.file(name)});
        EXPECT_EQ(r.exitCode, 0) << r.errors;
        EXPECT_EQ(r.output, line);
    }
}

TEST(FrameRateProbe, BadFilesFailWithOneLine)
{
    ScratchDir dir;
    makeAvi(dir.file("a.avi"), "176x144", "25", false);
    writeFile(dir.file("cut.avi"), readFile(dir.file("a.avi")).substr(0, 200));
    writeFile(dir.file("text.avi"), "hello, world\n");
    for (const char* name : {"cut.avi", "text.avi", "absent.avi"}) {
        SCOPED_TRACE(name);
        expectCleanFailure(run({tool("BIRCH.DLL"), dir.file(name)}));
    }
    expectCleanFailure(run({tool("BIRCH.DLL")}));
}

TEST(Mp4Muxer, Builds3gpWithVideoThenAudio)
{
    ScratchDir dir;
    makeAvi(dir.file("B.avi"), "176x144", "25", false);
    ffmpeg({"-i", dir.file("B.avi"), "-map", "0:v", "-c", "copy", "-f", "m4v", dir.file("B.m4v")});
    ffmpeg({"-i", dir.file("B.avi"), "-map", "0:a", "-c", "copy", "-f", "adts", dir.file("B.aac")});

    ProgramResult v = run({tool("CEDAR.DLL"), "-force3GPCompliance", "-c", dir.file("B.m4v"), "-rate=10", dir.file("B.3gp")});
    ASSERT_EQ(v.exitCode, 0) << v.errors;
    ProgramResult a = run({tool("CEDAR.DLL"), "-force3GPCompliance", "-c", dir.file("B.aac"), dir.file("B.3gp")});
    ASSERT_EQ(a.exitCode, 0) << a.errors;

    EXPECT_EQ(probe(dir.file("B.3gp"), "", "format=:format_tags=major_brand")["TAG:major_brand"], "3gp5");
    auto video = probe(dir.file("B.3gp"), "0", "stream=codec_name,r_frame_rate,duration");
    EXPECT_EQ(video["codec_name"], "mpeg4");
    EXPECT_EQ(video["r_frame_rate"], "10/1");
    EXPECT_NEAR(std::stod(video["duration"]), 5.0, 0.01);   // 50 frames at 10 per second
    auto audio = probe(dir.file("B.3gp"), "1", "stream=codec_name,duration");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_NEAR(std::stod(audio["duration"]), 2.0, 0.1);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"B.3gp", "B.aac", "B.avi", "B.m4v"}));
}

TEST(Mp4Muxer, RateZeroOrTheCutOwnRateKeepsTheStreamsTiming)
{
    ScratchDir dir;
    makeAvi(dir.file("B.avi"), "176x144", "30000/1001", false);
    ffmpeg({"-i", dir.file("B.avi"), "-map", "0:v", "-c", "copy", "-f", "m4v", dir.file("B.m4v")});
    for (const char* rate : {"-rate=0", "-rate=29"}) {
        SCOPED_TRACE(rate);
        std::remove(dir.file("B.mp4").c_str());
        ProgramResult v = run({tool("CEDAR.DLL"), "-c", dir.file("B.m4v"), rate, dir.file("B.mp4")});
        ASSERT_EQ(v.exitCode, 0) << v.errors;
        auto video = probe(dir.file("B.mp4"), "0", "stream=r_frame_rate,duration,nb_read_packets");
        EXPECT_EQ(video["r_frame_rate"], "30000/1001");
        EXPECT_EQ(video["nb_read_packets"], "60");
        EXPECT_NEAR(std::stod(video["duration"]), 60 * 1.001 / 30, 0.01);
        EXPECT_EQ(probe(dir.file("B.mp4"), "", "format=:format_tags=major_brand")["TAG:major_brand"], "isom");
    }
}

TEST(Mp4Muxer, ReadsRateAndTracksFromTheFilesWithoutAProber)
{
    // libxvid declares its rate in the VOL and the output's tracks are in its
    // moov: neither needs ffprobe, which here fails if it is started at all.
    ScratchDir dir;
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=30000/1001:duration=2", "-c:v", "libxvid", "-f", "m4v",
            dir.file("B.m4v")});
    ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=44100:duration=2", "-c:a", "aac", "-f", "adts", dir.file("B.aac")});
    std::filesystem::create_directory(dir.file("bin"));
    writeFile(dir.file("bin/ffprobe"), "#!/bin/sh\necho ffprobe must not run >&2\nexit 1\n");
    std::filesystem::permissions(dir.file("bin/ffprobe"), std::filesystem::perms::owner_all);
    const char* oldPath = std::getenv("PATH");
    std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", (dir.file("bin") + ":" + saved).c_str(), 1);
    ProgramResult v = run({tool("CEDAR.DLL"), "-force3GPCompliance", "-c", dir.file("B.m4v"), "-rate=10", dir.file("B.3gp")});
    ProgramResult a = run({tool("CEDAR.DLL"), "-force3GPCompliance", "-c", dir.file("B.aac"), dir.file("B.3gp")});
    ::setenv("PATH", saved.c_str(), 1);
    ASSERT_EQ(v.exitCode, 0) << v.errors;
    ASSERT_EQ(a.exitCode, 0) << a.errors;

    // 60 frames of 30000/1001 played at 10 per second.
    auto video = probe(dir.file("B.3gp"), "0", "stream=codec_name,r_frame_rate,duration");
    EXPECT_EQ(video["codec_name"], "mpeg4");
    EXPECT_EQ(video["r_frame_rate"], "10/1");
    EXPECT_NEAR(std::stod(video["duration"]), 6.0, 0.01);
    auto audio = probe(dir.file("B.3gp"), "1", "stream=codec_name,duration");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_NEAR(std::stod(audio["duration"]), 2.0, 0.1);
}

TEST(Mp4Muxer, FailuresLeaveNoOutput)
{
    ScratchDir dir;
    makeAvi(dir.file("B.avi"), "176x144", "25", false);
    ffmpeg({"-i", dir.file("B.avi"), "-map", "0:v", "-c", "copy", "-f", "m4v", dir.file("B.m4v")});
    writeFile(dir.file("text.aac"), "not audio at all");
    expectCleanFailure(run({tool("CEDAR.DLL"), "-c", dir.file("absent.m4v"), "-rate=10", dir.file("X.mp4")}));
    expectCleanFailure(run({tool("CEDAR.DLL"), "-c", dir.file("text.aac"), dir.file("X.mp4")}));
    expectCleanFailure(run({tool("CEDAR.DLL"), "-c", dir.file("B.m4v"), "-rate=10", dir.file("no/dir/X.mp4")}));
    // An existing output that is no MP4 file is neither extended nor replaced.
    writeFile(dir.file("Y.mp4"), "precious");
    expectCleanFailure(run({tool("CEDAR.DLL"), "-c", dir.file("B.m4v"), dir.file("Y.mp4")}));
    EXPECT_EQ(readFile(dir.file("Y.mp4")), "precious");

    // Without ffmpeg on PATH.
    const char* oldPath = std::getenv("PATH");
    std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", dir.path().c_str(), 1);
    ProgramResult r = run({tool("CEDAR.DLL"), "-c", dir.file("B.m4v"), "-rate=10", dir.file("X.mp4")});
    ::setenv("PATH", saved.c_str(), 1);
    expectCleanFailure(r);
    EXPECT_NE(r.errors.find("not found"), std::string::npos) << r.errors;
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"B.avi", "B.m4v", "Y.mp4", "text.aac"}));
}

TEST(PmpMuxer, WritesAPmpThatReadsBackWithItsLog)
{
    struct Case {
        bool h264;
        const char* size;
        const char* codec;
    };
    for (const Case& c : {Case{true, "480x272", "h264"}, Case{false, "320x240", "mpeg4"}}) {
        SCOPED_TRACE(c.codec);
        ScratchDir dir;
        makeAvi(dir.file("B.avi"), c.size, "30000/1001", c.h264);
        ffmpeg({"-i", dir.file("B.avi"), "-map", "0:a", "-c", "copy", "-f", "adts", dir.file("B.aac")});
        ProgramResult r = run({tool("LARCH.DAT"), "-v", dir.file("B.avi"), "-a", dir.file("B.aac"), "-o", dir.file("B.pmp")});
        ASSERT_EQ(r.exitCode, 0) << r.errors;

        // Every frame slot of the AVI, including the empty chunks of skipped
        // frames that keep the timeline, becomes one packet.
        auto source = probe(dir.file("B.avi"), "v:0", "stream=nb_frames");
        auto video = probe(dir.file("B.pmp"), "v:0", "stream=codec_name,width,height,r_frame_rate,nb_read_packets");
        EXPECT_EQ(video["codec_name"], c.codec);
        EXPECT_EQ(video["width"] + "x" + video["height"], c.size);
        EXPECT_EQ(video["r_frame_rate"], "30000/1001");
        EXPECT_EQ(video["nb_read_packets"], source["nb_frames"]);
        auto audio = probe(dir.file("B.pmp"), "a:0", "stream=codec_name,sample_rate,channels");
        EXPECT_EQ(audio["codec_name"], "aac");
        EXPECT_EQ(audio["sample_rate"], "44100");
        EXPECT_EQ(audio["channels"], "2");
        EXPECT_EQ(decodedVideo(dir.file("B.pmp")), decodedVideo(dir.file("B.avi")));
        EXPECT_NE(readFile(dir.file("B.pmp.log")).find("frames"), std::string::npos);
    }
}

TEST(PmpMuxer, WithoutAudioItWritesASilentTrackAsLongAsTheVideo)
{
    ScratchDir dir;
    makeAvi(dir.file("B.avi"), "480x272", "25", true);
    ProgramResult r = run({tool("LARCH.DAT"), "-v", dir.file("B.avi"), "-o", dir.file("B.pmp")});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    auto audio = probe(dir.file("B.pmp"), "a:0", "stream=codec_name,sample_rate,channels,nb_read_packets");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["sample_rate"], "44100");
    EXPECT_EQ(audio["channels"], "2");
    auto video = probe(dir.file("B.pmp"), "v:0", "stream=nb_read_packets");
    // 1024 samples a frame: the audio covers the video's span.
    const double videoSeconds = std::stod(video["nb_read_packets"]) / 25;
    EXPECT_GE(std::stod(audio["nb_read_packets"]) * 1024 / 44100, videoSeconds - 0.05);
    EXPECT_EQ(decodedVideo(dir.file("B.pmp")), decodedVideo(dir.file("B.avi")));
    ProgramResult decoded = run({"ffmpeg", "-nostdin", "-v", "error", "-i", dir.file("B.pmp"), "-map", "0:a",
                                 "-af", "volumedetect", "-f", "null", "-"});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.errors;
    EXPECT_NE(readFile(dir.file("B.pmp.log")).find("(silence)"), std::string::npos);
}

TEST(PmpMuxer, FailuresLeaveNoOutput)
{
    ScratchDir dir;
    makeAvi(dir.file("B.avi"), "176x144", "25", false);
    ffmpeg({"-i", dir.file("B.avi"), "-map", "0:a", "-c", "copy", "-f", "adts", dir.file("B.aac")});
    std::string aac = readFile(dir.file("B.aac"));
    writeFile(dir.file("cut.aac"), aac.substr(0, aac.size() - 5));
    writeFile(dir.file("cut.avi"), readFile(dir.file("B.avi")).substr(0, 3000));
    const std::vector<std::string> cases[] = {
        {"-v", dir.file("B.avi"), "-a", dir.file("cut.aac"), "-o", dir.file("X.pmp")},
        {"-v", dir.file("cut.avi"), "-a", dir.file("B.aac"), "-o", dir.file("X.pmp")},
        {"-v", dir.file("absent.avi"), "-a", dir.file("B.aac"), "-o", dir.file("X.pmp")},
        {"-v", dir.file("B.avi"), "-a", dir.file("B.aac"), "-o", dir.file("no/X.pmp")},
        {"-v", dir.file("B.avi"), "-a", dir.file("B.aac")},
        {"-a", dir.file("B.aac"), "-o", dir.file("X.pmp")},
    };
    for (std::vector<std::string> args : cases) {
        args.insert(args.begin(), tool("LARCH.DAT"));
        expectCleanFailure(run(args));
    }
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"B.aac", "B.avi", "cut.aac", "cut.avi"}));
}

const char kHandheldScript[] =
    "[Config]\r\nTitle=PSP MPEG-4 SP/ASP\r\nMQV=2\r\nCODEC=1\r\nBuild_edts=1\r\n\r\n"
    "[DeleteAtom]\r\nItem0=ftyp\r\nItem1=free\r\nItem2=udta\r\nItem3=iods\r\n\r\n"
    "[InsertAtom]\r\nItem0=ftypMSNV%01%00%07%86MSNVmp42isom\r\n";

TEST(AtomEditor, HandheldEditKeepsEveryPacket)
{
    ScratchDir dir;
    writeFile(dir.file("SPRUCE.ini"), kHandheldScript);
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=30000/1001", "-f", "lavfi", "-i", "sine", "-t", "2",
            "-c:v", "mpeg4", "-bf", "2", "-c:a", "aac", "-use_editlist", "0", dir.file("plain.mp4")});
    ffmpeg({"-i", dir.file("plain.mp4"), "-c", "copy", "-movflags", "faststart", "-use_editlist", "0", dir.file("fast.mp4")});
    for (const char* name : {"plain", "fast"}) {
        SCOPED_TRACE(name);
        std::string in = dir.file(std::string(name) + ".mp4");
        std::string out = dir.file(std::string(name) + ".tmp");
        ProgramResult r = run({tool("MAPLE.DLL"), in, out, dir.file("SPRUCE.ini")});
        ASSERT_EQ(r.exitCode, 0) << r.errors;
        auto format = probe(out, "", "format=:format_tags=major_brand,compatible_brands");
        EXPECT_EQ(format["TAG:major_brand"], "MSNV");
        EXPECT_EQ(format["TAG:compatible_brands"], "MSNVmp42isom");
        auto before = packetsByStream(in);
        EXPECT_EQ(before.size(), 2u);
        EXPECT_EQ(packetsByStream(out), before);
        ProgramResult decode = run({"ffmpeg", "-nostdin", "-v", "error", "-i", out, "-f", "null", "-"});
        EXPECT_EQ(decode.exitCode, 0);
        EXPECT_EQ(decode.errors, "");
    }
}

TEST(AtomEditor, FailuresLeaveNoOutput)
{
    ScratchDir dir;
    writeFile(dir.file("SPRUCE.ini"), kHandheldScript);
    writeFile(dir.file("odd.ini"), "[DeleteAtom]\r\nWhat=ftyp\r\n");
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25", "-t", "1", "-c:v", "mpeg4", dir.file("a.mp4")});
    std::string mp4 = readFile(dir.file("a.mp4"));
    writeFile(dir.file("cut.mp4"), mp4.substr(0, mp4.size() - 100));
    const std::vector<std::string> cases[] = {
        {dir.file("cut.mp4"), dir.file("o.mp4"), dir.file("SPRUCE.ini")},
        {dir.file("absent.mp4"), dir.file("o.mp4"), dir.file("SPRUCE.ini")},
        {dir.file("SPRUCE.ini"), dir.file("o.mp4"), dir.file("SPRUCE.ini")},
        {dir.file("a.mp4"), dir.file("o.mp4"), dir.file("odd.ini")},
        {dir.file("a.mp4"), dir.file("o.mp4"), dir.file("absent.ini")},
        {dir.file("a.mp4"), dir.file("no/o.mp4"), dir.file("SPRUCE.ini")},
        {dir.file("a.mp4"), dir.file("o.mp4")},
    };
    for (std::vector<std::string> args : cases) {
        args.insert(args.begin(), tool("MAPLE.DLL"));
        expectCleanFailure(run(args));
    }
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"SPRUCE.ini", "a.mp4", "cut.mp4", "odd.ini"}));
}

} // namespace
} // namespace qf::kit
