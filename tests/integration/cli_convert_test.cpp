// quillfer-cli convert as a user drives it: refused files beside good ones,
// usage errors, and Ctrl-C while a two-pass conversion runs.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "integration/support/integration_support.h"

namespace {

using namespace qf::integration;
namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kCli = kProgramDir + "/quillfer-cli";

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CliConvert, RefusedFilesAreReportedAndTheOthersConverted)
{
    const std::string out = kDataDir + "/cli-refused";
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    const std::string notes = out + "/notes.txt";
    std::ofstream(notes) << "not media\n";
    int status = -1;
    const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out) + " " + quote(notes)
                                    + " " + quote(out + "/missing.avi") + " " + quote(clip()),
                                &status);
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find("不能识别的文件类型。"), std::string::npos) << log;
    EXPECT_NE(log.find("missing.avi"), std::string::npos) << log;
    EXPECT_NE(log.find("已完成"), std::string::npos) << log;
    EXPECT_TRUE(stdfs::exists(out + "/" + stdfs::path(clip()).filename().string() + "-flv.flv"));
}

TEST(CliConvert, UsageErrors)
{
    struct Case {
        std::string args;
        int status;
    } cases[] = {
        {"convert -c 3 -m 0 -f 9", 2},                     // no file
        {"convert -c 3 -m 0 -f 12 " + quote(clip()), 2},   // Flash Player has no wmv
        {"convert -c 3 -m 0 -f 9 --set nope=1 " + quote(clip()), 2},
        {"convert --help", 0},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string log = run(quote(kCli) + " " + c.args, &status);
        EXPECT_EQ(status, c.status) << c.args << "\n" << log;
    }
}

TEST(CliConvert, InterruptTermAndHangupStopTheRunningTask)
{
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    const std::string out = kDataDir + "/cli-interrupt-" + std::to_string(signal);
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    const std::string log = out + "/log.txt";
    const std::string outputFolder = out + "/files";
    const std::string source = clip();

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::freopen(log.c_str(), "w", stdout);
        dup2(fileno(stdout), STDERR_FILENO);
        execl(kCli.c_str(), kCli.c_str(), "convert", "-c", "4", "-m", "0", "-f", "10", "--output-folder",
              outputFolder.c_str(), source.c_str(), source.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (readAll(log).find("一次编码") == std::string::npos && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_NE(readAll(log).find("一次编码"), std::string::npos) << "the first pass never began";
    kill(pid, signal);
    // Stopped, it ends long before its conversion would have; a generous
    // limit only keeps a broken stop from hanging the suite.
    int raw = 0;
    pid_t ended = 0;
    while ((ended = waitpid(pid, &raw, WNOHANG)) == 0 && Clock::now() < end + std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &raw, 0);
        FAIL() << "the stop was not taken: " << readAll(log);
    }
    ASSERT_EQ(ended, pid);
    ASSERT_TRUE(WIFEXITED(raw)) << readAll(log);
    EXPECT_EQ(WEXITSTATUS(raw), 1) << readAll(log);
    const std::string text = readAll(log);
    // Both tasks (the running one and the waiting one) end as not done.
    size_t lastLines = 0;
    for (size_t at = 0; (at = text.find("未完成", at)) != std::string::npos; ++at)
        ++lastLines;
    EXPECT_GE(lastLines, 2u) << text;
    EXPECT_EQ(text.find("已完成"), std::string::npos) << text;
    // Nothing was written, so no output line names a file, and nothing of
    // the stopped task is left.
    EXPECT_EQ(text.find("->"), std::string::npos) << text;
    EXPECT_TRUE(stdfs::is_empty(outputFolder)) << text;
  }
}

TEST(CliConvert, UnrecognisedFilesGetTheTaskListsMessage)
{
    const std::string out = kDataDir + "/cli-unrecognised";
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    const std::string empty = out + "/empty.avi";
    const std::string text = out + "/notes.avi";
    const std::string png = out + "/picture.png";
    std::ofstream(empty).close();
    std::ofstream(text) << "not media at all\n";
    run("ffmpeg -nostdin -y -loglevel error -f lavfi -i color=red:size=16x16 -frames:v 1 " + quote(png));
    ASSERT_TRUE(stdfs::exists(png));
    // Only refused files: nothing gives the settings, and still each one is
    // named as the task list names it, not as missing.
    int status = -1;
    const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " "
                                    + quote(empty) + " " + quote(text) + " " + quote(png),
                                &status);
    EXPECT_EQ(status, 1) << log;
    for (const std::string& file : {empty, text, png})
        EXPECT_NE(log.find("不能识别的文件类型。 " + file), std::string::npos) << log;
    EXPECT_EQ(log.find("找不到文件"), std::string::npos) << log;
}

TEST(CliConvert, DoubleDashEndsTheOptions)
{
    const std::string out = kDataDir + "/cli-dash";
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    stdfs::copy_file(clip(), out + "/-x.avi");
    int status = -1;
    const std::string log = run("cd " + quote(out) + " && " + quote(kCli) + " convert -c 3 -m 0 -f 9 --stop 00:00:01 "
                                    + "--output-folder files -- -x.avi",
                                &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_TRUE(stdfs::exists(out + "/files/-x.avi-flv.flv")) << log;
    EXPECT_NE(log.find("-> "), std::string::npos) << log;
}

TEST(CliConvert, AFailedTaskShowsItsReason)
{
    const std::string out = kDataDir + "/cli-reason";
    stdfs::remove_all(out);
    // The start lies past the end of the clip: the encoder says why it fails.
    int status = -1;
    const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --start 00:05:00 --output-folder " + quote(out)
                                    + " " + quote(clip()),
                                &status);
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find("无法解析资源文件"), std::string::npos) << log;
    EXPECT_NE(log.find("\n    Nothing was encoded"), std::string::npos) << log;
    EXPECT_EQ(log.find("->"), std::string::npos) << log;
}

TEST(CliConvert, ASourceCutInHalfIsDoneWithAWarningOfTheLengthReached)
{
    const std::string out = kDataDir + "/cli-damaged";
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    struct Case {
        const char* name;
        const char* codecs;
    } cases[] = {
        {"cut.avi", "-c:v mpeg4 -c:a mp3"},
        {"cut.mp4", "-c:v libx264 -c:a aac -movflags +faststart"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string whole = out + "/whole-" + c.name;
        const std::string cut = out + "/" + c.name;
        run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=11 -f lavfi -i "
            "sine=duration=11 " + std::string(c.codecs) + " " + quote(whole));
        const auto size = stdfs::file_size(whole);
        stdfs::copy_file(whole, cut);
        stdfs::resize_file(cut, size / 2);
        int status = -1;
        const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " "
                                        + quote(cut),
                                    &status);
        // The state stays as it is; the warning says how far it got.
        EXPECT_EQ(status, 0) << log;
        EXPECT_NE(log.find("已完成"), std::string::npos) << log;
        const size_t warning = log.find("\n    源文件可能已损坏:只转换了 00:00:0");
        ASSERT_NE(warning, std::string::npos) << log;
        EXPECT_EQ(log.substr(warning + std::string("\n    源文件可能已损坏:只转换了 00:00:0").size() + 1, 11), " / 00:00:11")
            << log;
    }
    // A whole source gets no warning.
    int status = -1;
    const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " "
                                    + quote(out + "/whole-cut.avi"),
                                &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(log.find("源文件可能已损坏"), std::string::npos) << log;
}

TEST(CliConvert, AVideoFormatForASongFailsInChineseBeforeAnythingRuns)
{
    const std::string out = kDataDir + "/cli-song";
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    const std::string song = out + "/song.mp3";
    run("ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=duration=2 " + quote(song));
    int status = -1;
    const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " "
                                    + quote(song),
                                &status);
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find("错误的转换参数"), std::string::npos) << log;
    EXPECT_NE(log.find("\n    源文件没有视频,不能转换为视频格式;请选择音频格式(mp3 或 wma)。\n    the source has no video stream"),
              std::string::npos)
        << log;
    EXPECT_FALSE(stdfs::exists(out + "/files")) << "nothing was made";
}

TEST(CliConvert, ANameTooLongIsSaidInChineseWithTheEncodersLine)
{
    const std::string out = kDataDir + "/cli-long-name";
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    // A name the system accepts, to which the output suffix adds too much.
    const std::string source = out + "/" + std::string(248, 'n') + ".avi";
    stdfs::copy_file(clip(), source);
    int status = -1;
    const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " "
                                    + quote(source),
                                &status);
    EXPECT_EQ(status, 1) << log;
    const size_t sentence = log.find("\n    文件名太长:请缩短源文件名或输出文件夹的路径。\n    ");
    ASSERT_NE(sentence, std::string::npos) << log;
    EXPECT_NE(log.find("File name too long", sentence), std::string::npos) << log;
    EXPECT_TRUE(stdfs::is_empty(out + "/files")) << log;
}

} // namespace
