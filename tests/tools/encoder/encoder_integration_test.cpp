// ALDER.DAT from the program directory on short clips made by ffmpeg, checked
// with ffprobe. Each run takes a second or two.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "encoder_test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string kEncoder = std::string(QF_PROGRAM_DIR) + "/ALDER.DAT";

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

// Starts argv[0] (looked up on PATH unless it holds a slash) in `cwd`, in
// its own process group; returns the pid and the read end of its stdout.
pid_t spawn(const std::vector<std::string>& argv, const fs::path& cwd, int& readFd, const std::string& path = "")
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        dup2(fds[1], 1);
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        close(fds[0]);
        close(fds[1]);
        if (!path.empty())
            setenv("PATH", path.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    readFd = fds[0];
    return pid;
}

ToolRun runIn(const fs::path& cwd, const std::vector<std::string>& argv, const std::string& path = "")
{
    int fd = -1;
    pid_t pid = spawn(argv, cwd, fd, path);
    ToolRun run;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// Reads the encoder's output a chunk at a time until a chunk satisfies
// done (ffmpeg is then surely running) or the output ends.
void readUntil(int fd, const std::function<bool(const std::string&)>& done)
{
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0 || done(std::string(buffer, static_cast<std::size_t>(n))))
            return;
    }
}

std::string slurp(const fs::path& file)
{
    std::string out;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            out.append(buffer, n);
        std::fclose(f);
    }
    return out;
}

class EncoderIntegration : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(fs::exists(kEncoder)) << kEncoder << " is missing: build qf-encoder";
        char pattern[] = "/tmp/qf-encoder-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ToolRun clip
            = runIn(dir_, {"ffmpeg", "-v",         "error",     "-y",
                           "-f",     "lavfi",      "-i",        "testsrc=size=640x480:rate=25:duration=2",
                           "-f",     "lavfi",      "-i",        "sine=frequency=440:duration=2:sample_rate=44100",
                           "-ac",    "2",          "-c:v",      "mpeg4",
                           "-vtag",  "XVID",       "-b:v",      "1000k",
                           "-c:a",   "libmp3lame", "-shortest", "clip.avi"});
        ASSERT_EQ(clip.exitCode, 0) << "ffmpeg must be installed: " << clip.output;
        ToolRun wav = runIn(dir_,
                            {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=duration=2:sample_rate=44100",
                             "-ac", "2", "tone.wav"});
        ASSERT_EQ(wav.exitCode, 0);
    }
    static void TearDownTestSuite()
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Runs the encoder with the arguments of a system line (quotes grouped).
    ToolRun encode(const std::string& line)
    {
        std::vector<std::string> argv = {kEncoder};
        for (const std::string& a : qf::encoder::test::splitLine(line))
            argv.push_back(a);
        return runIn(dir_, argv);
    }

    // ffprobe's "key=value" facts of the file's streams and format, as
    // "stream0.codec_name" etc.
    std::map<std::string, std::string> probe(const std::string& file)
    {
        ToolRun run = runIn(dir_,
                            {"ffprobe", "-v", "error", "-show_entries",
                             "format=format_name:stream=codec_name,codec_type,width,height,r_frame_rate,sample_rate,"
                             "channels,codec_tag_string,display_aspect_ratio",
                             "-of", "flat", file});
        std::map<std::string, std::string> facts;
        std::string line;
        for (char c : run.output + "\n") {
            if (c != '\n') {
                line += c;
                continue;
            }
            std::size_t eq = line.find('=');
            if (eq != std::string::npos) {
                std::string key = line.substr(0, eq);
                for (const char* prefix : {"streams.stream.", "format."}) {
                    if (key.starts_with(prefix))
                        key = key.substr(std::string(prefix).size());
                }
                std::string value = line.substr(eq + 1);
                if (value.size() >= 2 && value.front() == '"')
                    value = value.substr(1, value.size() - 2);
                facts[key] = value;
            }
            line.clear();
        }
        return facts;
    }

    static void expectSuccess(const ToolRun& run)
    {
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.output.find("Exiting..."), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("Pos:"), std::string::npos);
        EXPECT_NE(run.output.find("(100%)"), std::string::npos) << run.output;
    }

    static void expectFailure(const ToolRun& run, const std::string& reason)
    {
        EXPECT_EQ(run.exitCode, 1) << run.output;
        std::size_t at = run.output.find("Exiting...");
        ASSERT_NE(at, std::string::npos) << run.output;
        // The failure must stand on a line of its own (the reader takes lines up to '\n').
        EXPECT_TRUE(at == 0 || run.output[at - 1] == '\n') << run.output;
        EXPECT_NE(run.output.find(reason), std::string::npos) << run.output;
    }

    static bool exists(const std::string& name) { return fs::exists(dir_ / name); }

    // Whether the hidden file the output is written under until it is
    // complete (".<name>.part-XXXXXX") is there.
    static bool partialExists(const std::string& output)
    {
        const std::string prefix = "." + output + ".part-";
        for (const auto& entry : fs::directory_iterator(dir_))
            if (entry.path().filename().string().starts_with(prefix))
                return true;
        return false;
    }

    static fs::path dir_;
};

fs::path EncoderIntegration::dir_;

TEST_F(EncoderIntegration, ThreeGpIntermediateAviWithXvid)
{
    ToolRun run
        = encode(R"("clip.avi"  -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac )"
                 R"(-faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o "g 3gp.avi")");
    expectSuccess(run);
    auto f = probe("g 3gp.avi");
    EXPECT_EQ(f["format_name"], "avi");
    EXPECT_EQ(f["0.codec_name"], "mpeg4");
    EXPECT_EQ(f["0.codec_tag_string"], "XVID");
    EXPECT_EQ(f["0.width"], "176");
    EXPECT_EQ(f["0.height"], "114");
    EXPECT_EQ(f["0.r_frame_rate"], "10/1");
    EXPECT_EQ(f["1.codec_name"], "aac");
    EXPECT_EQ(f["1.sample_rate"], "22050");
    EXPECT_FALSE(partialExists("g 3gp.avi"));

    // The two stream-extraction lines of the 3GP muxing.
    ToolRun video = encode(R"(-ovc copy -nosound -of rawvideo -o "g 3gp.m4v" "g 3gp.avi")");
    expectSuccess(video);
    auto v = probe("g 3gp.m4v");
    EXPECT_EQ(v["format_name"], "m4v");
    EXPECT_EQ(v["0.codec_name"], "mpeg4");
    ToolRun audio = encode(R"(-ovc frameno -oac copy -of rawaudio -o "g 3gp.aac" "g 3gp.avi")");
    expectSuccess(audio);
    auto a = probe("g 3gp.aac");
    EXPECT_EQ(a["format_name"], "aac"); // ADTS
    EXPECT_EQ(a["0.codec_name"], "aac");
}

TEST_F(EncoderIntegration, Mp4WithX264InTwoPasses)
{
    const std::string common
        = R"("clip.avi" -of lavf -lavfopts format=mp4 -sws 9 -srate 48000 -vf-add scale=368:208,harddup )"
          R"(-ofps 30000/1001 -ovc x264 -ffourcc H264 -x264encopts bitrate=300:level_idc=30:bframes=3:frameref=2:)"
          R"(global_header:partitions=all)";
    fs::remove(dir_ / "divx2pass.log");
    ToolRun first = encode(common + R"(:pass=1 -nosound -o "two.mp4")");
    expectSuccess(first);
    EXPECT_TRUE(exists("divx2pass.log"));
    EXPECT_TRUE(exists("divx2pass.log.mbtree"));
    EXPECT_FALSE(exists("two.mp4")) << "the first pass writes no file";
    ToolRun second
        = encode(common + R"(:pass=2 -af volnorm -oac faac -faacopts br=96:mpeg=4:object=2:raw -o "two.mp4")");
    expectSuccess(second);
    auto f = probe("two.mp4");
    EXPECT_NE(f["format_name"].find("mp4"), std::string::npos);
    EXPECT_EQ(f["0.codec_name"], "h264");
    EXPECT_EQ(f["0.width"], "368");
    EXPECT_EQ(f["0.r_frame_rate"], "30000/1001");
    EXPECT_EQ(f["1.codec_name"], "aac");
    EXPECT_EQ(f["1.sample_rate"], "48000");
    // The system deletes divx2pass.log itself; what x264 leaves beside it is ours.
    EXPECT_TRUE(exists("divx2pass.log"));
    EXPECT_FALSE(exists("divx2pass.log.mbtree"));
    EXPECT_FALSE(exists("divx2pass.log.temp"));
    fs::remove(dir_ / "divx2pass.log");
}

TEST_F(EncoderIntegration, Flv)
{
    ToolRun run
        = encode(R"("clip.avi" -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 )"
                 R"(-oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "x.flv")");
    expectSuccess(run);
    auto f = probe("x.flv");
    EXPECT_EQ(f["format_name"], "flv");
    EXPECT_EQ(f["0.codec_name"] + f["1.codec_name"], "mp3flv1");
}

TEST_F(EncoderIntegration, MpgNtscDvdInTwoPasses)
{
    fs::remove(dir_ / "divx2pass.log");
    ToolRun first = encode(
        R"("clip.avi" -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc )"
        R"(-lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=18:vrc_buf_size=1835:)"
        R"(vrc_maxrate=9600:vpass=1 -nosound -o "dvd.mpg")");
    expectSuccess(first);
    EXPECT_TRUE(exists("divx2pass.log"));
    EXPECT_FALSE(exists("divx2pass-0.log"));
    ToolRun second = encode(
        R"("clip.avi" -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 )"
        R"(-vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc )"
        R"(-lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:)"
        R"(vrc_maxrate=9600:vpass=2 -o "dvd.mpg")");
    expectSuccess(second);
    EXPECT_FALSE(exists("divx2pass-0.log"));
    auto f = probe("dvd.mpg");
    EXPECT_EQ(f["format_name"], "mpeg");
    std::string codecs = f["0.codec_name"] + "," + f["1.codec_name"] + "," + f["2.codec_name"];
    EXPECT_NE(codecs.find("mpeg2video"), std::string::npos) << codecs;
    EXPECT_NE(codecs.find("ac3"), std::string::npos) << codecs;
    fs::remove(dir_ / "divx2pass.log");
}

TEST_F(EncoderIntegration, MpgPalVcdSinglePass)
{
    ToolRun run
        = encode(R"("clip.avi" -of mpeg -mpegopts format=xvcd -af volnorm,lavcresample=44100 -srate 44100 )"
                 R"(-vf-add scale=352:288,harddup -ofps 25 -oac lavc -lavcopts acodec=mp2:abitrate=224 -ovc lavc )"
                 R"(-lavcopts vcodec=mpeg1video:vbitrate=1152:trell:mbd=2:keyint=15:vrc_buf_size=327:vrc_minrate=1152 )"
                 R"(-o "vcd.mpg")");
    expectSuccess(run);
    auto f = probe("vcd.mpg");
    EXPECT_EQ(f["format_name"], "mpeg");
    EXPECT_EQ(f["0.codec_name"] + "," + f["1.codec_name"], "mpeg1video,mp2");
    EXPECT_EQ(f["0.width"] + "x" + f["0.height"], "352x288");
    EXPECT_EQ(f["0.r_frame_rate"], "25/1");
}

TEST_F(EncoderIntegration, WmvAndWma)
{
    ToolRun wmv = encode(R"("clip.avi" -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 )"
                         R"(-oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 )"
                         R"(-o "x.wmv")");
    expectSuccess(wmv);
    auto v = probe("x.wmv");
    EXPECT_EQ(v["format_name"], "asf");
    EXPECT_EQ(v["0.codec_name"] + "," + v["1.codec_name"], "wmv2,wmav2");

    ToolRun wma = encode(R"("clip.avi" -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -oac lavc )"
                         R"(-lavcopts acodec=wmav2:abitrate=96 -ovc frameno -of rawaudio -o "x.wma")");
    expectSuccess(wma);
    auto a = probe("x.wma");
    EXPECT_EQ(a["format_name"], "asf"); // a playable file, not bare packets
    EXPECT_EQ(a["0.codec_name"], "wmav2");
    EXPECT_EQ(a.count("1.codec_name"), 0u);
}

TEST_F(EncoderIntegration, Mp3FromVideoAndFromAudioOnlySource)
{
    for (const char* source : {"clip.avi", "tone.wav"}) {
        ToolRun run = encode(
            std::string("\"") + source
            + R"("  -srate 48000 -oac mp3lame -lameopts abr:br=128:mode=1 -ovc frameno -of rawaudio -o "x.mp3")");
        expectSuccess(run);
        auto f = probe("x.mp3");
        EXPECT_EQ(f["format_name"], "mp3") << source;
        EXPECT_EQ(f["0.sample_rate"], "48000") << source;
        EXPECT_EQ(f.count("1.codec_name"), 0u) << source;
    }
}

TEST_F(EncoderIntegration, FailuresSayExiting)
{
    expectFailure(encode(R"("missing.avi" -ovc copy -nosound -o "m.avi")"), "File not found");
    EXPECT_FALSE(exists("m.avi"));

    ToolRun bad = encode(R"("clip.avi" -ovc lavc -lavcopts vcodec=mpeg4:nosuch=1 -nosound -o "m.avi")");
    expectFailure(bad, "Exiting... (error parsing command line)");

    expectFailure(encode(R"("clip.avi" -ovc copy -nosound -o "no/such/folder/m.avi")"), "Cannot open output file");
    // A folder under the output's name is refused before any work.
    fs::create_directory(dir_ / "folder.avi");
    expectFailure(encode(R"("clip.avi" -ovc copy -nosound -o "folder.avi")"),
                  "Cannot open output file 'folder.avi': Is a directory");

    // A video format from a source without video: nothing is written.
    expectFailure(encode(R"("tone.wav" -oac mp3lame -ovc lavc -lavcopts vcodec=flv -o "m.flv" -of lavf)"),
                  "Video stream is mandatory");
    EXPECT_FALSE(exists("m.flv"));
    EXPECT_FALSE(partialExists("m.flv"));

    // MIDI holds notes, not sound: said as such, not as a damaged file.
    {
        const char midi[] = "MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0d\0\x90\x3c\x40\x83\x60\x80\x3c\x40\0\xff\x2f\0";
        std::FILE* f = std::fopen((dir_ / "tune.mid").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(midi, 1, sizeof midi - 1, f);
        std::fclose(f);
    }
    ToolRun notes = encode(R"("tune.mid" -srate 44100 -oac mp3lame -ovc frameno -of rawaudio -o "m.mp3")");
    expectFailure(notes, "No sound that can be decoded");
    EXPECT_EQ(notes.output.find("Cannot read the source"), std::string::npos) << notes.output;
    EXPECT_FALSE(exists("m.mp3"));

    // A start past the end encodes nothing: a failure, and no file.
    expectFailure(encode(R"("clip.avi" -ss 00:00:05 -oac mp3lame -ovc lavc -o "late.avi")"), "Nothing was encoded");
    EXPECT_FALSE(exists("late.avi"));

    // The second pass without a first.
    fs::remove(dir_ / "divx2pass.log");
    expectFailure(encode(R"("clip.avi" -ovc lavc -lavcopts vcodec=mpeg4:vpass=2 -nosound -o "m.avi")"),
                  "divx2pass.log");
}

// The video extraction of the MP4/3GP muxing copies the AVI's chunks itself;
// its stream must be the one ffmpeg's copy makes, byte for byte, and a source
// it cannot copy must still reach ffmpeg.
TEST_F(EncoderIntegration, BareMpeg4CopyMatchesFfmpegAndNeedsNoProcess)
{
    ToolRun bframes
        = runIn(dir_,
                {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=30000/1001:duration=3",
                 "-c:v", "mpeg4", "-bf", "2", "-vtag", "XVID", "-an", "bf.avi"});
    ASSERT_EQ(bframes.exitCode, 0) << bframes.output;
    for (std::string source : {"clip.avi", "bf.avi"}) {
        SCOPED_TRACE(source);
        ToolRun ref = runIn(dir_,
                            {"ffmpeg", "-v", "error", "-y", "-i", source, "-map", "0:v:0", "-c:v", "copy", "-bsf:v",
                             "mpeg4_unpack_bframes", "-f", "m4v", "ref.m4v"});
        ASSERT_EQ(ref.exitCode, 0) << ref.output;
        // No ffmpeg on PATH: only the copy of our own can succeed.
        ToolRun run = runIn(dir_, {kEncoder, "-ovc", "copy", "-nosound", "-of", "rawvideo", "-o", "own.m4v", source},
                            "/nonexistent");
        expectSuccess(run);
        EXPECT_NE(run.output.find("Done: "), std::string::npos) << run.output;
        EXPECT_EQ(slurp(dir_ / "own.m4v"), slurp(dir_ / "ref.m4v"));
        EXPECT_FALSE(partialExists("own.m4v"));
    }
    // A start position is ffmpeg's job, and so is a source that is not an AVI.
    ToolRun late = runIn(
        dir_, {kEncoder, "-ss", "1", "-ovc", "copy", "-nosound", "-of", "rawvideo", "-o", "late.m4v", "clip.avi"},
        "/nonexistent");
    expectFailure(late, "Cannot run ffmpeg");
    ToolRun mp4 = runIn(dir_, {"ffmpeg", "-v", "error", "-y", "-i", "clip.avi", "-an", "-c:v", "copy", "clip.mp4"});
    ASSERT_EQ(mp4.exitCode, 0) << mp4.output;
    ToolRun other = runIn(dir_, {kEncoder, "-ovc", "copy", "-nosound", "-of", "rawvideo", "-o", "o.m4v", "clip.mp4"},
                          "/nonexistent");
    expectFailure(other, "Cannot run ffmpeg");
    EXPECT_FALSE(exists("o.m4v"));
    EXPECT_FALSE(partialExists("o.m4v"));
    // A cut-off AVI still gives what it holds (our reader stops at a chunk
    // that runs past the end and leaves the file to ffmpeg).
    std::string whole = slurp(dir_ / "clip.avi");
    {
        std::FILE* f = std::fopen((dir_ / "cut.avi").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(whole.data(), 1, whole.size() / 2, f);
        std::fclose(f);
    }
    expectSuccess(encode(R"(-ovc copy -nosound -of rawvideo -o "cut.m4v" "cut.avi")"));
    EXPECT_GT(fs::file_size(dir_ / "cut.m4v"), 0u);
}

// The sound extraction likewise writes ADTS itself, as ffmpeg's muxer does.
TEST_F(EncoderIntegration, BareAacCopyMatchesFfmpegAndNeedsNoProcess)
{
    struct Case {
        const char* name;
        const char* rate;
        const char* channels;
    };
    for (Case c : {Case{"mono22.avi", "22050", "1"}, Case{"stereo48.avi", "48000", "2"}}) {
        SCOPED_TRACE(c.name);
        ToolRun made = runIn(dir_, {"ffmpeg", "-v",       "error", "-y",
                                    "-f",     "lavfi",    "-i",    "testsrc=size=176x144:rate=10:duration=3",
                                    "-f",     "lavfi",    "-i",    std::string("sine=duration=3:sample_rate=") + c.rate,
                                    "-ac",    c.channels, "-c:v",  "mpeg4",
                                    "-vtag",  "XVID",     "-c:a",  "aac",
                                    "-b:a",   "48k",      c.name});
        ASSERT_EQ(made.exitCode, 0) << made.output;
        ToolRun ref = runIn(
            dir_,
            {"ffmpeg", "-v", "error", "-y", "-i", c.name, "-map", "0:a:0", "-c:a", "copy", "-f", "adts", "ref.aac"});
        ASSERT_EQ(ref.exitCode, 0) << ref.output;
        ToolRun run
            = runIn(dir_, {kEncoder, "-ovc", "frameno", "-oac", "copy", "-of", "rawaudio", "-o", "own.aac", c.name},
                    "/nonexistent");
        expectSuccess(run);
        EXPECT_EQ(slurp(dir_ / "own.aac"), slurp(dir_ / "ref.aac"));
        EXPECT_FALSE(partialExists("own.aac"));
    }
    // MP3 sound is not ours to copy: ffmpeg's job.
    expectFailure(runIn(dir_,
                        {kEncoder, "-ovc", "frameno", "-oac", "copy", "-of", "rawaudio", "-o", "m.mp3", "clip.avi"},
                        "/nonexistent"),
                  "Cannot run ffmpeg");
    EXPECT_FALSE(exists("m.mp3"));
}

TEST_F(EncoderIntegration, MissingFfmpegIsReported)
{
    ToolRun run = runIn(dir_, {kEncoder, "clip.avi", "-ovc", "copy", "-nosound", "-o", "m2.avi"}, "/nonexistent");
    expectFailure(run, "Cannot run ffmpeg");
    EXPECT_FALSE(exists("m2.avi"));
    EXPECT_FALSE(partialExists("m2.avi"));
}

TEST_F(EncoderIntegration, TerminatedRunLeavesNoFileAndNoFfmpeg)
{
    // A source long enough that the encode is still running when it is stopped.
    ToolRun longClip
        = runIn(dir_,
                {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=60", "-f",
                 "lavfi", "-i", "sine=duration=60", "-c:v", "mpeg4", "-q:v", "10", "-c:a", "mp2", "long.avi"});
    ASSERT_EQ(longClip.exitCode, 0);
    struct Run {
        const char* name;
        std::vector<std::string> args;
        std::string output;
    };
    const Run runs[] = {
        {"one ffmpeg", {"-nosound", "-o", "stop.avi"}, "stop.avi"},
        {"sound beside",
         {"-af", "volnorm", "-srate", "48000", "-oac", "faac", "-of", "lavf", "-o", "stop.mp4"},
         "stop.mp4"},
    };
    // The system ends the whole group; a SIGTERM to the encoder alone must be
    // passed on to ffmpeg.
    for (const Run& r : runs) {
        for (bool wholeGroup : {true, false}) {
            SCOPED_TRACE(std::string(r.name) + (wholeGroup ? ", group" : ", encoder only"));
            std::vector<std::string> argv
                = {kEncoder, "long.avi", "-vf-add", "scale=1280:960", "-ovc", "x264", "-x264encopts", "bitrate=3000"};
            argv.insert(argv.end(), r.args.begin(), r.args.end());
            int fd = -1;
            pid_t pid = spawn(argv, dir_, fd);
            ASSERT_GT(pid, 0);
            // Wait for progress past the start so that ffmpeg is surely writing.
            readUntil(fd, [](const std::string& chunk) {
                return chunk.find("f ( ") != std::string::npos && chunk.find(" 0f") == std::string::npos;
            });
            char buffer[4096];
            EXPECT_TRUE(partialExists(r.output));
            ASSERT_EQ(kill(wholeGroup ? -pid : pid, SIGTERM), 0);
            std::string rest;
            ssize_t n;
            while ((n = read(fd, buffer, sizeof buffer)) > 0)
                rest.append(buffer, static_cast<std::size_t>(n));
            close(fd);
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_NE(rest.find("Exiting..."), std::string::npos) << rest;
            // No process of the group may remain.
            bool groupGone = false;
            for (int i = 0; i < 200 && !groupGone; ++i) {
                groupGone = kill(-pid, 0) != 0 && errno == ESRCH;
                if (!groupGone)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_TRUE(groupGone) << "ffmpeg is still running";
            EXPECT_FALSE(exists(r.output));
            EXPECT_FALSE(partialExists(r.output));
        }
    }
}

// The first sequence header's frame_rate_code and its extension's
// progressive_sequence bit, read from the program stream's bytes.
std::pair<int, int> sequenceFlags(const fs::path& file)
{
    std::string bytes;
    {
        FILE* f = fopen(file.c_str(), "rb");
        if (f == nullptr)
            return {-1, -1};
        char buffer[65536];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, n);
        fclose(f);
    }
    std::size_t seq = bytes.find(std::string("\x00\x00\x01\xb3", 4));
    if (seq == std::string::npos)
        return {-1, -1};
    std::size_t ext = bytes.find(std::string("\x00\x00\x01\xb5", 4), seq);
    if (ext == std::string::npos)
        return {-1, -1};
    return {static_cast<unsigned char>(bytes[seq + 7]) & 0x0F, (static_cast<unsigned char>(bytes[ext + 5]) >> 3) & 1};
}

TEST_F(EncoderIntegration, DvdFilmTelecineIsSoftPulldownThatDvdauthorTakes)
{
    ToolRun film = runIn(
        dir_,
        {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=640x360:rate=24000/1001:duration=2", "-f",
         "lavfi", "-i", "sine=duration=2:sample_rate=48000", "-c:v", "mpeg4", "-q:v", "5", "-c:a", "ac3", "film.avi"});
    ASSERT_EQ(film.exitCode, 0) << film.output;
    fs::remove(dir_ / "divx2pass.log");
    const std::string video
        = "-of mpeg -mpegopts format=dvd:tsaf:telecine -vf-add scale=720:480,harddup -ofps 24000/1001 -ovc lavc "
          "-lavcopts "
          "vcodec=mpeg2video:vbitrate=4000:aspect=16/9:trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600";
    expectSuccess(encode("film.avi " + video + ":turbo:vpass=1 -nosound -o film.mpg"));
    expectSuccess(encode("film.avi " + video
                         + ":vpass=2 -af lavcresample=48000 -srate 48000 -oac lavc "
                           "-lavcopts acodec=ac3:abitrate=192 -o film.mpg"));
    fs::remove(dir_ / "divx2pass.log");

    // 29.97 in the headers, progressive frames, 48 of them (not 60), and the
    // repeat-field flag on every other frame.
    auto [rateCode, progressiveSequence] = sequenceFlags(dir_ / "film.mpg");
    EXPECT_EQ(rateCode, 4);
    EXPECT_EQ(progressiveSequence, 0);
    ToolRun frames = runIn(dir_,
                           {"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                            "frame=interlaced_frame,repeat_pict,top_field_first", "-of", "csv=p=0:nk=0", "film.mpg"});
    int total = 0, repeated = 0, interlaced = 0, topFirst = 0;
    std::size_t at = 0;
    while ((at = frames.output.find("interlaced_frame=", at)) != std::string::npos) {
        std::size_t end = frames.output.find('\n', at);
        std::string line = frames.output.substr(at, end - at);
        ++total;
        interlaced += line.find("interlaced_frame=1") != std::string::npos;
        topFirst += line.find("top_field_first=1") != std::string::npos;
        repeated += line.find("repeat_pict=1") != std::string::npos;
        at = end;
    }
    EXPECT_NEAR(total, 48, 2) << frames.output;
    EXPECT_EQ(interlaced, 0);
    EXPECT_NEAR(repeated, total / 2, 1);
    EXPECT_NEAR(topFirst, total / 2, 1);

    if (!fs::exists("/usr/bin/dvdauthor"))
        GTEST_SKIP() << "dvdauthor is not installed (scripts/install-deps.sh)";
    ToolRun author = runIn(dir_,
                           {"sh", "-c",
                            "rm -rf dvd && VIDEO_FORMAT=NTSC dvdauthor -o dvd -t film.mpg 2>&1 && "
                            "VIDEO_FORMAT=NTSC dvdauthor -o dvd -T 2>&1"});
    EXPECT_EQ(author.exitCode, 0) << author.output;
    EXPECT_EQ(author.output.find("ERR:"), std::string::npos) << author.output;
    EXPECT_TRUE(exists("dvd/VIDEO_TS/VTS_01_1.VOB")) << author.output;
}

TEST_F(EncoderIntegration, OneSecondOfNoiseStillMakesAnSvcd)
{
    // A one-second MPEG-1 elementary stream of pure noise: the second pass's
    // rate control finds no curve within SVCD's rate, and the encoder copes.
    ToolRun noise = runIn(dir_,
                          {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                           "nullsrc=size=352x288:rate=25:duration=1,geq=random(1)*255:128:128", "-c:v", "mpeg1video",
                           "-q:v", "2", "-f", "mpeg1video", "noise.m1v"});
    ASSERT_EQ(noise.exitCode, 0) << noise.output;
    fs::remove(dir_ / "divx2pass.log");
    const std::string video
        = "-of mpeg -mpegopts format=xsvcd -vf-add scale=480:576,harddup -ofps 25 -ovc lavc "
          "-lavcopts "
          "vcodec=mpeg2video:vbitrate=2000:trell:mbd=2:keyint=15:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500";
    expectSuccess(encode("noise.m1v " + video + ":turbo:vpass=1 -nosound -o svcd.mpg"));
    ToolRun second = encode("noise.m1v " + video + ":vpass=2 -nosound -of rawvideo -o svcd.mpg");
    expectSuccess(second);
    EXPECT_NE(second.output.find("encoding in one pass"), std::string::npos) << second.output;
    EXPECT_FALSE(exists("divx2pass-0.log"));
    fs::remove(dir_ / "divx2pass.log");
    auto f = probe("svcd.mpg");
    EXPECT_EQ(f["0.codec_name"], "mpeg2video");
    // No aspect was given: the source's 11:9 is nearer 4:3 than 16:9.
    EXPECT_EQ(f["0.display_aspect_ratio"], "4:3");
}

} // namespace

namespace {

// The processes of a group that still run (a killed child whose new parent
// does not reap it stays a zombie: it runs no more and holds no file).
std::vector<pid_t> liveMembersOf(pid_t group)
{
    std::vector<pid_t> live;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        FILE* f = fopen((entry.path() / "stat").c_str(), "r");
        if (f == nullptr)
            continue;
        char buffer[1024] = {};
        std::size_t n = fread(buffer, 1, sizeof buffer - 1, f);
        fclose(f);
        std::string stat(buffer, n);
        // pid (comm) state ppid pgrp ...; comm may hold blanks, so read after the last ')'.
        std::size_t end = stat.rfind(')');
        if (end == std::string::npos)
            continue;
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (sscanf(stat.c_str() + end + 1, " %c %ld %ld", &state, &ppid, &pgrp) != 3)
            continue;
        if (pgrp == group && state != 'Z' && state != 'X')
            live.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return live;
}

} // namespace

TEST_F(EncoderIntegration, KilledEncoderLeavesNoFfmpegInAnyPass)
{
    // Long enough that every pass is still encoding when it is killed.
    if (!exists("kill.avi")) {
        ToolRun made = runIn(dir_,
                             {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                              "testsrc=size=320x240:rate=25:duration=20", "-f", "lavfi", "-i", "sine=duration=20",
                              "-c:v", "mpeg4", "-q:v", "10", "-c:a", "mp2", "kill.avi"});
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }
    const std::string video
        = "-of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc "
          "-lavcopts "
          "vcodec=mpeg2video:vbitrate=8000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600";
    struct Pass {
        const char* name;
        std::string line;
    };
    const Pass passes[] = {
        {"single pass",
         "kill.avi -af volnorm -oac mp3lame -ovc x264 -x264encopts bitrate=3000 -vf-add scale=1280:960 -o k.avi"},
        {"sound beside",
         "kill.avi -af volnorm -srate 48000 -oac faac -ovc x264 -x264encopts bitrate=3000 "
         "-vf-add scale=1280:960 -of lavf -o k.mp4"},
        {"first pass", "kill.avi " + video + ":turbo:vpass=1 -nosound -o k.mpg"},
        {"second pass",
         "kill.avi " + video
             + ":vpass=2 -af volnorm,lavcresample=48000 -srate 48000 -oac lavc "
               "-lavcopts acodec=ac3:abitrate=128 -o k.mpg"},
    };
    fs::remove(dir_ / "divx2pass.log");
    for (const Pass& pass : passes) {
        SCOPED_TRACE(pass.name);
        if (std::string(pass.name) == "second pass") {
            // Its log, as a first pass leaves it.
            expectSuccess(encode("kill.avi " + video + ":turbo:vpass=1 -nosound -o k.mpg"));
            ASSERT_TRUE(exists("divx2pass.log"));
        }
        std::vector<std::string> argv = {kEncoder};
        for (const std::string& a : qf::encoder::test::splitLine(pass.line))
            argv.push_back(a);
        int fd = -1;
        pid_t pid = spawn(argv, dir_, fd);
        ASSERT_GT(pid, 0);
        // Progress past the start: ffmpeg is surely running.
        readUntil(fd, [](const std::string& chunk) {
            return chunk.find("%)") != std::string::npos && chunk.rfind("( 0%)") == std::string::npos;
        });
        ASSERT_FALSE(liveMembersOf(pid).empty());
        ASSERT_GE(liveMembersOf(pid).size(), 2u) << "the encoder and its ffmpeg";
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int status = 0;
        waitpid(pid, &status, 0);
        close(fd);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        // Nothing of the task may run on; a generous wait, not a speed limit.
        std::vector<pid_t> left = liveMembersOf(pid);
        for (int i = 0; i < 1000 && !left.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            left = liveMembersOf(pid);
        }
        EXPECT_TRUE(left.empty()) << left.size() << " process(es) of the killed encoder still run";
        for (pid_t p : left)
            kill(p, SIGKILL);
    }
    fs::remove(dir_ / "divx2pass.log");
}

TEST_F(EncoderIntegration, H264LevelReadFromTheOutputFitsTheStream)
{
    // The iPod line asks for 1.3; 640x480 at 29.97 fps needs 3.
    ToolRun run
        = encode(R"("clip.avi" -of lavf -lavfopts format=mp4 -sws 9 -srate 48000 -vf-add scale=640:480,harddup )"
                 R"(-ofps 30000/1001 -nosound -ovc x264 -ffourcc H264 )"
                 R"(-x264encopts bitrate=500:level_idc=13:nocabac:global_header:partitions=all -o "ipod.mp4")");
    expectSuccess(run);
    ToolRun level = runIn(dir_,
                          {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=level,profile",
                           "-of", "default=nw=1", "ipod.mp4"});
    EXPECT_NE(level.output.find("level=30"), std::string::npos) << level.output;
    EXPECT_EQ(level.output.find("High"), std::string::npos) << level.output;
    // The phone's 320x240 at 15 fps fits its own 1.2.
    expectSuccess(encode(R"("clip.avi" -of lavf -lavfopts format=mp4 -vf-add scale=320:240,harddup -ofps 15 -nosound )"
                         R"(-ovc x264 -x264encopts bitrate=256:level_idc=12:nocabac:bframes=0 -o "phone.mp4")"));
    ToolRun phone = runIn(dir_,
                          {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=level", "-of",
                           "default=nw=1", "phone.mp4"});
    EXPECT_NE(phone.output.find("level=12"), std::string::npos) << phone.output;
    // The PMP line names no rate; 480x272 outgrows its 1.3 and x264 picks 2.1 for 25 fps.
    expectSuccess(
        encode(R"("clip.avi" -sws 9 -channels 2 -vf-add scale=480:272,harddup -nosound -ovc x264 -ffourcc H264 )"
               R"(-x264encopts crf=22:level_idc=13:pictiming:nopsnr:nossim -o "pmp.avi")"));
    ToolRun pmp = runIn(dir_,
                        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=level", "-of",
                         "default=nw=1", "pmp.avi"});
    EXPECT_NE(pmp.output.find("level=21"), std::string::npos) << pmp.output;
}

TEST_F(EncoderIntegration, DvdauthorTakesTheSoundOfAMatroskaSource)
{
    // Matroska stores millisecond timestamps: resampled, they step back now
    // and then unless the disc's sound is laid out from its sample count.
    ToolRun made = runIn(dir_,
                         {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=5",
                          "-f", "lavfi", "-i", "sine=sample_rate=22050:duration=5", "-c:v", "libx264", "-pix_fmt",
                          "yuv420p", "-c:a", "libvorbis", "film.mkv"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    fs::remove(dir_ / "divx2pass.log");
    const std::string video
        = "film.mkv -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc "
          "-lavcopts "
          "vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600";
    expectSuccess(encode(video + ":turbo:vpass=1 -nosound -o mkv.mpg"));
    expectSuccess(encode(video
                         + ":vpass=2 -af volnorm,lavcresample=48000 -srate 48000 -oac lavc "
                           "-lavcopts acodec=ac3:abitrate=128 -o mkv.mpg"));
    fs::remove(dir_ / "divx2pass.log");
    if (!fs::exists("/usr/bin/dvdauthor"))
        GTEST_SKIP() << "dvdauthor is not installed (scripts/install-deps.sh)";
    ToolRun author
        = runIn(dir_, {"sh", "-c", "rm -rf mkvdvd && VIDEO_FORMAT=NTSC dvdauthor -o mkvdvd -t mkv.mpg 2>&1"});
    EXPECT_EQ(author.exitCode, 0) << author.output;
    EXPECT_EQ(author.output.find("moves backwards"), std::string::npos) << author.output;
}

TEST_F(EncoderIntegration, NormaliserCrashIsRetriedWithoutIt)
{
    // A stand-in for ffmpeg that crashes as Debian's does in its normaliser,
    // and runs the real one otherwise.
    const fs::path bin = dir_ / "crashing-bin";
    fs::create_directories(bin);
    {
        FILE* f = fopen((bin / "ffmpeg").c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("#!/bin/sh\ncase \"$*\" in *dynaudnorm*) kill -SEGV $$;; esac\nexec /usr/bin/ffmpeg \"$@\"\n", f);
        fclose(f);
        fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    }
    const std::string path = bin.string() + ":/usr/bin:/bin";
    std::vector<std::string> argv = {kEncoder};
    for (const std::string& a : qf::encoder::test::splitLine(
             R"("clip.avi" -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac )"
             R"(-faacopts br=64:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=500:max_bframes=0 -o "retry.avi")"))
        argv.push_back(a);
    ToolRun run = runIn(dir_, argv, path);
    expectSuccess(run);
    EXPECT_NE(run.output.find("encoding without it"), std::string::npos) << run.output;
    auto f = probe("retry.avi");
    EXPECT_EQ(f["0.codec_name"] + "," + f["1.codec_name"], "mpeg4,aac");
    EXPECT_FALSE(partialExists("retry.avi"));
}

namespace {

// The decoded picture or sound of a file as raw bytes.
std::string decoded(const fs::path& dir, const std::string& file, const char* stream, const char* format)
{
    return runIn(dir, {"ffmpeg", "-v", "error", "-i", file, "-map", stream, "-f", format, "-"}).output;
}

// Seconds from the start of the sound's track to its first sample louder
// than silence, at 48 kHz mono.
double firstSound(const fs::path& dir, const std::string& file)
{
    std::string pcm
        = runIn(dir,
                {"ffmpeg", "-v", "error", "-i", file, "-map", "0:a", "-ac", "1", "-ar", "48000", "-f", "s16le", "-"})
              .output;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
        auto sample = static_cast<int16_t>(static_cast<uint8_t>(pcm[i]) | (static_cast<uint8_t>(pcm[i + 1]) << 8));
        if (std::abs(sample) > 300)
            return static_cast<double>(i / 2) / 48000.0;
    }
    return -1;
}

} // namespace

TEST_F(EncoderIntegration, SoundEncodedBesideThePictureIsWhatOneFfmpegMakes)
{
    const std::string psp
        = R"(-of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 )"
          R"(-oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -x264encopts bitrate=500:level_idc=30:bframes=3:)"
          R"(frameref=2:global_header:partitions=all)";
    auto convertWith
        = [&](const std::string& line, const std::string& source, const std::string& output, bool oneFfmpeg) {
              std::vector<std::string> argv
                  = {"env", std::string("QF_ENCODER_ONE_FFMPEG") + (oneFfmpeg ? "=1" : "-unused=1"), kEncoder, source};
              for (const std::string& a : qf::encoder::test::splitLine(line))
                  argv.push_back(a);
              argv.insert(argv.end(), {"-o", output});
              return runIn(dir_, argv);
          };
    auto convert = [&](const std::string& source, const std::string& output, bool oneFfmpeg) {
        return convertWith(psp, source, output, oneFfmpeg);
    };
    // An AVI (what the 3GP and XviD lines make first) comes out byte for byte the same.
    const std::string threeGp = "-srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac "
                                "-faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0";
    expectSuccess(convertWith(threeGp, "clip.avi", "beside.avi", false));
    expectSuccess(convertWith(threeGp, "clip.avi", "single.avi", true));
    EXPECT_EQ(slurp(dir_ / "beside.avi"), slurp(dir_ / "single.avi"));
    // Decoded, both are the same to the last sample, and the priming is
    // hidden in the edit list as before (the sound starts at zero).
    expectSuccess(convert("clip.avi", "beside.mp4", false));
    expectSuccess(convert("clip.avi", "single.mp4", true));
    EXPECT_EQ(decoded(dir_, "beside.mp4", "0:a", "md5"), decoded(dir_, "single.mp4", "0:a", "md5"));
    EXPECT_EQ(decoded(dir_, "beside.mp4", "0:v", "md5"), decoded(dir_, "single.mp4", "0:v", "md5"));
    ToolRun start = runIn(dir_,
                          {"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=start_time",
                           "-of", "csv=p=0", "beside.mp4"});
    EXPECT_EQ(start.output, "0.000000\n");

    // Sound that starts half a second after the picture starts there still:
    // one run leaves the track empty until then, the other fills it with silence.
    ToolRun late = runIn(dir_,
                         {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=4",
                          "-itsoffset", "0.5", "-f", "lavfi", "-i", "sine=frequency=880:duration=3.5", "-c:v", "mpeg4",
                          "-c:a", "libvorbis", "late.mkv"});
    ASSERT_EQ(late.exitCode, 0) << late.output;
    expectSuccess(convert("late.mkv", "late-beside.mp4", false));
    expectSuccess(convert("late.mkv", "late-single.mp4", true));
    ToolRun singleStart = runIn(dir_,
                                {"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=start_time",
                                 "-of", "csv=p=0", "late-single.mp4"});
    double expected = std::atof(singleStart.output.c_str()) + firstSound(dir_, "late-single.mp4");
    EXPECT_NEAR(firstSound(dir_, "late-beside.mp4"), expected, 0.005);
    EXPECT_NEAR(expected, 0.5, 0.03);

    // No sound in the source: the feeder finds nothing and one ffmpeg makes the file.
    ToolRun silent = runIn(dir_,
                           {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                            "testsrc=size=320x240:rate=25:duration=1", "-c:v", "mpeg4", "silent.avi"});
    ASSERT_EQ(silent.exitCode, 0);
    expectSuccess(convert("silent.avi", "silent.mp4", false));
    auto f = probe("silent.mp4");
    EXPECT_EQ(f["0.codec_name"], "h264");
    EXPECT_EQ(f.count("1.codec_name"), 0u);
}

TEST_F(EncoderIntegration, FeederThatDiesIsFollowedByOneFfmpeg)
{
    // The feeder crashes half-way: what it handed over is a short sound the
    // second run would take for the whole.
    const fs::path bin = dir_ / "dying-feeder-bin";
    fs::create_directories(bin);
    {
        FILE* f = fopen((bin / "ffmpeg").c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("#!/bin/sh\ncase \"$*\" in *nut\\ pipe:1*) /usr/bin/ffmpeg \"$@\" | head -c 8000; kill -SEGV $$;; esac\n"
              "exec /usr/bin/ffmpeg \"$@\"\n",
              f);
        fclose(f);
        fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    }
    std::vector<std::string> argv = {kEncoder};
    for (const std::string& a : qf::encoder::test::splitLine(
             R"("clip.avi" -of lavf -lavfopts format=mp4 -srate 48000 -vf-add scale=320:240 -oac faac )"
             R"(-faacopts br=96:mpeg=4:object=2 -ovc x264 -x264encopts bitrate=300 -o "dying.mp4")"))
        argv.push_back(a);
    ToolRun run = runIn(dir_, argv, bin.string() + ":/usr/bin:/bin");
    expectSuccess(run);
    ToolRun length = runIn(dir_,
                           {"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=duration", "-of",
                            "csv=p=0", "dying.mp4"});
    EXPECT_NEAR(std::atof(length.output.c_str()), 2.0, 0.1) << length.output;
    EXPECT_FALSE(partialExists("dying.mp4"));
}
