// The helper programs run from the program directory on clips that ffmpeg
// makes at test time; results are checked with ffprobe and ffmpeg.

#include "common/run_program.h"
#include "mp4-muxer/mux_plan.h"
#include "mp4-muxer/vol_header.h"
#include "kit_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

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
    std::vector<std::string> a{"-f", "lavfi", "-i",  "testsrc=size=" + size + ":rate=" + rate,
                               "-f", "lavfi", "-i",  "sine=sample_rate=44100",
                               "-t", "2",     "-ac", "2"};
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
    if (!stream.empty())
        a.insert(a.end(), {"-select_streams", stream});
    a.insert(a.end(), {"-show_entries", entries, "-of", "default=nw=1", file});
    ProgramResult r = run(a);
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::map<std::string, std::string> facts;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            facts.emplace(line.substr(0, eq), line.substr(eq + 1));
    }
    return facts;
}

// Packets of every stream as (size, md5), stream by stream: timestamps and
// interleaving may change, the packets may not.
std::map<std::string, std::vector<std::string>> packetsByStream(const std::string& file)
{
    ProgramResult r
        = run({"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-map", "0", "-c", "copy", "-f", "framemd5", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::map<std::string, std::vector<std::string>> packets;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, ',');)
            f.push_back(x);
        if (f.size() == 6)
            packets[f[0]].push_back(f[4] + f[5]);
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
        if (!line.empty() && line[0] != '#')
            hashes.push_back(line.substr(line.rfind(',') + 1));
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

    ProgramResult v
        = run({tool("CEDAR.DLL"), "-force3GPCompliance", "-c", dir.file("B.m4v"), "-rate=10", dir.file("B.3gp")});
    ASSERT_EQ(v.exitCode, 0) << v.errors;
    ProgramResult a = run({tool("CEDAR.DLL"), "-force3GPCompliance", "-c", dir.file("B.aac"), dir.file("B.3gp")});
    ASSERT_EQ(a.exitCode, 0) << a.errors;

    EXPECT_EQ(probe(dir.file("B.3gp"), "", "format=:format_tags=major_brand")["TAG:major_brand"], "3gp5");
    auto video = probe(dir.file("B.3gp"), "0", "stream=codec_name,r_frame_rate,duration");
    EXPECT_EQ(video["codec_name"], "mpeg4");
    EXPECT_EQ(video["r_frame_rate"], "10/1");
    EXPECT_NEAR(std::stod(video["duration"]), 5.0, 0.01); // 50 frames at 10 per second
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
    ProgramResult v
        = run({tool("CEDAR.DLL"), "-force3GPCompliance", "-c", dir.file("B.m4v"), "-rate=10", dir.file("B.3gp")});
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

const char kHandheldScript[] = "[Config]\r\nTitle=PSP MPEG-4 SP/ASP\r\nMQV=2\r\nCODEC=1\r\nBuild_edts=1\r\n\r\n"
                               "[DeleteAtom]\r\nItem0=ftyp\r\nItem1=free\r\nItem2=udta\r\nItem3=iods\r\n\r\n"
                               "[InsertAtom]\r\nItem0=ftypMSNV%01%00%07%86MSNVmp42isom\r\n";

// A bin folder whose ffmpeg and ffprobe note each start in a log and then
// run the real program, put first on PATH while it lives.
class ProgramLog {
public:
    explicit ProgramLog(const ScratchDir& dir) : log_(dir.file("started.log"))
    {
        std::filesystem::create_directory(dir.file("bin"));
        for (const char* name : {"ffmpeg", "ffprobe"}) {
            ProgramResult real = run({"sh", "-c", std::string("command -v ") + name});
            std::string realPath = real.output.substr(0, real.output.find('\n'));
            std::string script = dir.file(std::string("bin/") + name);
            writeFile(script,
                      "#!/bin/sh\necho " + std::string(name) + " >>'" + log_ + "'\nexec '" + realPath + "' \"$@\"\n");
            std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        }
        const char* oldPath = std::getenv("PATH");
        saved_ = oldPath ? oldPath : "";
        ::setenv("PATH", (dir.file("bin") + ":" + saved_).c_str(), 1);
    }
    ~ProgramLog() { ::setenv("PATH", saved_.c_str(), 1); }
    // The programs started since the last call, one per line.
    std::string takeStarted()
    {
        std::string started = exists(log_) ? readFile(log_) : "";
        std::remove(log_.c_str());
        return started;
    }

private:
    std::string log_;
    std::string saved_;
};

// The same steps through the ffmpeg command the muxer runs for streams it
// leaves to ffmpeg.
void muxWithFfmpeg(const std::string& input, const std::string& output, std::optional<double> rate, bool force3gp)
{
    MuxJob job;
    job.args.inputPath = input;
    job.args.outputPath = output;
    job.args.rate = rate;
    job.args.force3gp = force3gp;
    job.kind = sniffStreamKind(readFile(input).substr(0, 16));
    job.addToExisting = exists(output);
    job.existingStreams = job.addToExisting ? 1 : 0;
    if (job.kind == StreamKind::Mpeg4Video)
        job.sourceRate = *declaredVolRate(readFile(input).substr(0, 4096));
    job.temporaryPath = output + ".part";
    ProgramResult r = run(ffmpegArguments(job));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    std::filesystem::rename(job.temporaryPath, output);
}

// What ffprobe tells of a file's streams and format, and what decoding it says.
std::map<std::string, std::string> mediaFacts(const std::string& file)
{
    std::map<std::string, std::string> facts;
    for (const char* stream : {"v:0", "a:0"}) {
        auto one
            = probe(file, stream,
                    "stream=index,codec_name,profile,width,height,r_frame_rate,avg_frame_rate,sample_rate,channels,"
                    "duration,nb_read_packets");
        for (const auto& [key, value] : one)
            facts[std::string(stream) + "." + key] = value;
    }
    facts["brand"] = probe(file, "", "format=:format_tags=major_brand,compatible_brands")["TAG:major_brand"];
    ProgramResult decode = run({"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-f", "null", "-"});
    facts["decode"] = std::to_string(decode.exitCode) + decode.errors;
    return facts;
}

TEST(Mp4Muxer, WritesTheEncodersStreamsItselfAsFfmpegWould)
{
    struct Case {
        bool force3gp;
        bool videoFirst;
        std::optional<double> rate;
        double frameSeconds; // of the muxed video
    };
    const Case cases[] = {
        {true, true, 10, 0.1},
        {false, true, 29, 1.001 / 30},
        {false, false, 25, 0.04},
        {true, false, 0, 1.001 / 30},
    };
    ScratchDir dir;
    // As the encoder extracts them: Xvid without B-frames, ADTS AAC.
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=30000/1001:duration=3", "-c:v", "libxvid", "-bf", "0", "-g",
            "25", "-f", "m4v", dir.file("B.m4v")});
    ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=44100:duration=3", "-c:a", "aac", "-ac", "2", "-f", "adts",
            dir.file("B.aac")});
    ProgramLog log(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.force3gp ? "3gp" : "mp4") + (c.videoFirst ? " video first" : " sound first")
                     + " rate " + std::to_string(c.rate.value_or(0)));
        const std::string ours = dir.file(c.force3gp ? "ours.3gp" : "ours.mp4");
        const std::string theirs = dir.file(c.force3gp ? "theirs.3gp" : "theirs.mp4");
        std::remove(ours.c_str());
        std::remove(theirs.c_str());
        std::vector<std::string> videoStep{tool("CEDAR.DLL"), "-c", dir.file("B.m4v")};
        if (c.rate)
            videoStep.push_back("-rate=" + std::to_string(static_cast<int>(*c.rate)));
        videoStep.push_back(ours);
        std::vector<std::string> soundStep{tool("CEDAR.DLL"), "-c", dir.file("B.aac"), ours};
        if (c.force3gp) {
            videoStep.insert(videoStep.begin() + 1, "-force3GPCompliance");
            soundStep.insert(soundStep.begin() + 1, "-force3GPCompliance");
        }
        log.takeStarted();
        for (const auto& step : c.videoFirst ? std::vector{videoStep, soundStep} : std::vector{soundStep, videoStep}) {
            ProgramResult r = run(step);
            ASSERT_EQ(r.exitCode, 0) << r.errors;
            EXPECT_EQ(r.output, "");
        }
        EXPECT_EQ(log.takeStarted(), ""); // neither ffmpeg nor ffprobe
        if (c.videoFirst) {
            muxWithFfmpeg(dir.file("B.m4v"), theirs, c.rate, c.force3gp);
            muxWithFfmpeg(dir.file("B.aac"), theirs, std::nullopt, c.force3gp);
        } else {
            muxWithFfmpeg(dir.file("B.aac"), theirs, std::nullopt, c.force3gp);
            muxWithFfmpeg(dir.file("B.m4v"), theirs, c.rate, c.force3gp);
        }

        auto got = mediaFacts(ours);
        auto want = mediaFacts(theirs);
        EXPECT_EQ(got["decode"], "0");
        EXPECT_NEAR(std::stod(got["v:0.duration"]), std::stod(want["v:0.duration"]), c.frameSeconds);
        EXPECT_NEAR(std::stod(got["a:0.duration"]), std::stod(want["a:0.duration"]), 1024.0 / 44100);
        EXPECT_NEAR(std::stod(got["v:0.duration"]), 90 * c.frameSeconds, c.frameSeconds);
        for (const char* key : {"v:0.duration", "a:0.duration"}) {
            got.erase(key);
            want.erase(key);
        }
        EXPECT_EQ(got, want);
        EXPECT_EQ(decodedVideo(ours), decodedVideo(theirs));
        EXPECT_EQ(packetsByStream(ours), packetsByStream(theirs));
    }
}

TEST(Mp4Muxer, ItsFilesPlayAndTakeTheHandheldEdits)
{
    ScratchDir dir;
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=30000/1001:duration=2", "-c:v", "libxvid", "-bf", "0", "-f",
            "m4v", dir.file("B.m4v")});
    ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=24000:duration=2", "-c:a", "aac", "-ac", "2", "-f", "adts",
            dir.file("B.aac")});
    ASSERT_EQ(run({tool("CEDAR.DLL"), "-c", dir.file("B.m4v"), "-rate=29", dir.file("B.mp4")}).exitCode, 0);
    ASSERT_EQ(run({tool("CEDAR.DLL"), "-c", dir.file("B.aac"), dir.file("B.mp4")}).exitCode, 0);
    ProgramResult played = run(
        {"mplayer", "-nolirc", "-noconfig", "all", "-vo", "null", "-ao", "null", "-speed", "100", dir.file("B.mp4")});
    EXPECT_NE(played.output.find("VIDEO:"), std::string::npos) << played.output;
    EXPECT_NE(played.output.find("AUDIO:"), std::string::npos) << played.output;
    EXPECT_NE(played.output.find("Exiting... (End of file)"), std::string::npos) << played.output;

    writeFile(dir.file("SPRUCE.ini"), kHandheldScript);
    ProgramResult edit = run({tool("MAPLE.DLL"), dir.file("B.mp4"), dir.file("B.tmp"), dir.file("SPRUCE.ini")});
    ASSERT_EQ(edit.exitCode, 0) << edit.errors;
    EXPECT_EQ(probe(dir.file("B.tmp"), "", "format=:format_tags=major_brand")["TAG:major_brand"], "MSNV");
    EXPECT_EQ(packetsByStream(dir.file("B.tmp")), packetsByStream(dir.file("B.mp4")));
    ProgramResult decode = run({"ffmpeg", "-nostdin", "-v", "error", "-i", dir.file("B.tmp"), "-f", "null", "-"});
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.errors, "");
}

TEST(Mp4Muxer, LeavesOtherStreamsAndFilesToFfmpeg)
{
    ScratchDir dir;
    // B-frames; ffmpeg's own encoder, which declares no fixed rate.
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25:duration=2", "-c:v", "libxvid", "-bf", "2", "-f", "m4v",
            dir.file("bframes.m4v")});
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=25:duration=2", "-c:v", "mpeg4", "-f", "m4v",
            dir.file("lavc.m4v")});
    ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=44100:duration=2", "-c:a", "aac", "-f", "adts", dir.file("B.aac")});
    ProgramLog log(dir);
    for (const char* name : {"bframes", "lavc"}) {
        SCOPED_TRACE(name);
        std::string out = dir.file(std::string(name) + ".mp4");
        ProgramResult r = run({tool("CEDAR.DLL"), "-c", dir.file(std::string(name) + ".m4v"), "-rate=25", out});
        ASSERT_EQ(r.exitCode, 0) << r.errors;
        EXPECT_NE(log.takeStarted().find("ffmpeg"), std::string::npos);
        EXPECT_EQ(probe(out, "v:0", "stream=codec_name")["codec_name"], "mpeg4");
    }
    auto video = probe(dir.file("lavc.mp4"), "v:0", "stream=nb_read_packets,r_frame_rate");
    EXPECT_EQ(video["nb_read_packets"], "50");
    EXPECT_EQ(video["r_frame_rate"], "25/1");
    // The sound joins ffmpeg's one-track file directly; a third track is
    // left to ffmpeg.
    log.takeStarted();
    ASSERT_EQ(run({tool("CEDAR.DLL"), "-c", dir.file("B.aac"), dir.file("lavc.mp4")}).exitCode, 0);
    EXPECT_EQ(log.takeStarted(), "");
    EXPECT_EQ(probe(dir.file("lavc.mp4"), "v:0", "stream=nb_read_packets")["nb_read_packets"], "50");
    log.takeStarted();
    ASSERT_EQ(run({tool("CEDAR.DLL"), "-c", dir.file("B.aac"), dir.file("lavc.mp4")}).exitCode, 0);
    EXPECT_NE(log.takeStarted().find("ffmpeg"), std::string::npos);
    EXPECT_EQ(probe(dir.file("lavc.mp4"), "a:1", "stream=codec_name")["codec_name"], "aac");
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
        ProgramResult r
            = run({tool("LARCH.DAT"), "-v", dir.file("B.avi"), "-a", dir.file("B.aac"), "-o", dir.file("B.pmp")});
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
    ProgramResult decoded = run({"ffmpeg", "-nostdin", "-v", "error", "-i", dir.file("B.pmp"), "-map", "0:a", "-af",
                                 "volumedetect", "-f", "null", "-"});
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

TEST(AtomEditor, HandheldEditKeepsEveryPacket)
{
    ScratchDir dir;
    writeFile(dir.file("SPRUCE.ini"), kHandheldScript);
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=176x144:rate=30000/1001", "-f", "lavfi", "-i", "sine", "-t", "2", "-c:v",
            "mpeg4", "-bf", "2", "-c:a", "aac", "-use_editlist", "0", dir.file("plain.mp4")});
    ffmpeg({"-i", dir.file("plain.mp4"), "-c", "copy", "-movflags", "faststart", "-use_editlist", "0",
            dir.file("fast.mp4")});
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
