// quillfer-cli convert as a user drives it: refused files beside good ones,
// usage errors, and Ctrl-C while a two-pass conversion runs.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>
#include <map>
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
    const std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out) + " "
                                    + quote(notes) + " " + quote(out + "/missing.avi") + " " + quote(clip()),
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
        {"convert -c 3 -m 0 -f 9", 2}, // no file
        {"convert -c 3 -m 0 -f 12 " + quote(clip()), 2}, // Flash Player has no wmv
        {"convert -c 3 -m 0 -f 9 --set nope=1 " + quote(clip()), 2},
        {"convert -c 3 -m 0 -f 9 --start 00:00:05 --stop 00:00:02 " + quote(clip()), 2},
        {"convert -c 3 -m 0 -f 9 --start 00:00:05 --stop 00:00:05 " + quote(clip()), 2},
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

// The stop time is a position in the source, as the start time is: the
// output runs from one to the other. A stop before the start is refused.
TEST(CliConvert, TheOutputRunsFromTheStartToTheStopTime)
{
    const std::string out = kDataDir + "/cli-start-stop";
    stdfs::remove_all(out);
    int status = -1;
    std::string log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --start 00:00:02 --stop 00:00:05 --output-folder "
                              + quote(out) + " " + quote(clip()),
                          &status);
    ASSERT_EQ(status, 0) << log;
    // Three seconds are what was asked for: no warning of a short output.
    EXPECT_EQ(log.find("源文件可能已损坏"), std::string::npos) << log;
    const std::string output = out + "/" + stdfs::path(clip()).filename().string() + "-flv.flv";
    const std::string seconds
        = run("ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 " + quote(output));
    EXPECT_NEAR(std::stod(seconds), 3.0, 0.25) << seconds;

    log = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --start 00:00:05 --stop 00:00:02 --output-folder " + quote(out)
                  + "/refused " + quote(clip()),
              &status);
    EXPECT_EQ(status, 2) << log;
    EXPECT_NE(log.find("停止时间必须晚于开始时间。"), std::string::npos) << log;
    EXPECT_FALSE(stdfs::exists(out + "/refused"));
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

// Real runs that fail: each says its cause in Chinese first, then the line
// of the program that failed.
TEST(CliConvert, EachFailureSaysItsCauseInChineseFirst)
{
    const std::string out = kDataDir + "/cli-reason";
    if (stdfs::exists(out + "/locked"))
        run("chattr -i " + quote(out + "/locked")); // left so by a run that did not finish
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    const std::string tiny = out + "/tiny.wav";
    run("ffmpeg -nostdin -y -loglevel error -f lavfi -i sine=duration=0.004 " + quote(tiny));
    ASSERT_TRUE(stdfs::exists(tiny));
    // Notes for a synthesiser: one note of a single-track MIDI file.
    const std::string midi = out + "/tune.mid";
    const char midiBytes[] = "MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0d\0\x90\x3c\x40\x83\x60\x80\x3c\x40\0\xff\x2f\0";
    std::ofstream(midi, std::ios::binary).write(midiBytes, sizeof midiBytes - 1);
    const std::string dangling = out + "/gone.avi";
    stdfs::create_symlink(out + "/nothing-here.avi", dangling);
    // An output folder no one may write to: immutable for root, whom modes
    // do not stop; read-only for anyone else.
    const std::string locked = out + "/locked";
    stdfs::create_directories(locked);
    const bool immutable = geteuid() == 0 && run("chattr +i " + quote(locked) + " && echo ok").find("ok") == 0;
    if (!immutable)
        stdfs::permissions(locked, stdfs::perms::owner_read | stdfs::perms::owner_exec);
    struct Case {
        const char* name;
        std::string args;
        const char* state; // "" for a file refused before it becomes a task
        const char* sentence;
        std::string line; // what the program's line holds
    } cases[] = {
        {"start past the end", "-c 3 -m 0 -f 9 --start 00:05:00 " + quote(clip()), "无法解析资源文件",
         "没有转换出任何内容:开始时间超出了源文件的长度,或源文件太短。", "Nothing was encoded"},
        {"4 ms of sound to WMA", "-c 6 -m 0 -f 13 " + quote(tiny), "无法解析资源文件",
         "没有转换出任何内容:开始时间超出了源文件的长度,或源文件太短。", "Nothing was encoded"},
        {"MIDI", "-c 7 -m 0 -f 8 " + quote(midi), "无法解析资源文件",
         "源文件中没有可以解码的声音(MIDI 这类文件只记录音符),无法转换。", "No sound that can be decoded"},
        {"no write permission", "-c 3 -m 0 -f 9 --output-folder " + quote(locked) + " " + quote(clip()), "错误",
         "没有权限写入输出文件夹,请另选一个输出文件夹。", immutable ? "Operation not permitted" : "Permission denied"},
        {"missing file", "-c 3 -m 0 -f 9 " + quote(out + "/never.avi"), "", "找不到源文件,它可能已被移动或删除。",
         "no such file: " + out + "/never.avi"},
        {"dangling link", "-c 3 -m 0 -f 9 " + quote(dangling), "", "找不到源文件,它可能已被移动或删除。",
         "no such file: " + dangling},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int status = -1;
        const std::string log
            = run(quote(kCli) + " convert --output-folder " + quote(out + "/files") + " " + c.args, &status);
        EXPECT_EQ(status, 1) << log;
        EXPECT_EQ(log.find("->"), std::string::npos) << log;
        if (*c.state == 0) {
            EXPECT_NE(log.find(std::string(c.sentence) + " " + c.line), std::string::npos) << log;
            EXPECT_EQ(log.find("不能识别的文件类型"), std::string::npos) << log;
            continue;
        }
        EXPECT_NE(log.find(std::string("  ") + c.state + "  "), std::string::npos) << log;
        const size_t sentence = log.find(std::string("\n    ") + c.sentence + "\n    ");
        ASSERT_NE(sentence, std::string::npos) << log;
        EXPECT_NE(log.find(c.line, sentence), std::string::npos) << log;
    }
    if (immutable)
        run("chattr -i " + quote(locked));
    EXPECT_TRUE(stdfs::is_empty(locked));
    EXPECT_FALSE(stdfs::exists(out + "/files") && !stdfs::is_empty(out + "/files"));
}

// The processes below `root` whose name is `name`.
std::vector<pid_t> descendantsNamed(pid_t root, const std::string& name)
{
    std::map<pid_t, std::pair<pid_t, std::string>> all; // pid -> parent, name
    for (const auto& entry : stdfs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readAll(entry.path().string() + "/stat");
        const size_t open = stat.find('(');
        const size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        all[std::stoi(pid)] = {parent, stat.substr(open + 1, close - open - 1)};
    }
    std::vector<pid_t> found;
    for (const auto& [pid, facts] : all) {
        if (facts.second != name)
            continue;
        for (pid_t up = facts.first; up > 1 && all.count(up); up = all[up].first) {
            if (up == root) {
                found.push_back(pid);
                break;
            }
        }
    }
    return found;
}

const std::string& longClip()
{
    static const std::string path = [] {
        const std::string target = kDataDir + "/long 320x240.avi";
        if (!stdfs::exists(target)) {
            const std::string scratch = kDataDir + "/long." + std::to_string(getpid()) + ".avi";
            run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=240 -f lavfi -i "
                "sine=duration=240 -c:v mpeg4 -q:v 20 -c:a mp3 -b:a 64k "
                + quote(scratch));
            stdfs::rename(scratch, target);
        }
        return target;
    }();
    return path;
}

// What befalls a task while it runs: its tool killed, its output folder
// taken away. The task fails at once with the cause in Chinese first, the
// program's line after it, and leaves nothing behind.
TEST(CliConvert, WhatBefallsARunningTaskIsSaidInChineseAndLeavesNothing)
{
    enum class Act { KillFfmpeg, KillEncoder, RenameFolder, RemoveFolder };
    struct Case {
        const char* name;
        std::vector<const char*> format; // -c, -m, -f
        const char* running; // the state shown while the encoder runs
        Act act;
        const char* state;
        const char* sentence;
        const char* line;
    } cases[] = {
        {"ffmpeg killed in the first pass",
         {"4", "0", "10"},
         "一次编码",
         Act::KillFfmpeg,
         "无法解析资源文件",
         "编码器意外终止,转换没有完成。",
         "ffmpeg ended by signal 9"},
        // The muxer must not run on what a killed encoder left.
        {"encoder killed for 3GP",
         {"0", "0", "0"},
         "正在转换",
         Act::KillEncoder,
         "无法解析资源文件",
         "编码器意外终止,转换没有完成。",
         "the encoder ended by signal 9"},
        {"encoder killed for PMP",
         {"2", "0", "1"},
         "正在转换",
         Act::KillEncoder,
         "无法解析资源文件",
         "编码器意外终止,转换没有完成。",
         "the encoder ended by signal 9"},
        {"output folder renamed",
         {"3", "0", "9"},
         "正在转换",
         Act::RenameFolder,
         "错误",
         "输出文件夹在转换过程中被删除或改名,转换已停止。",
         "was removed or renamed"},
        {"output folder removed",
         {"3", "0", "9"},
         "正在转换",
         Act::RemoveFolder,
         "错误",
         "输出文件夹在转换过程中被删除或改名,转换已停止。",
         "was removed or renamed"},
    };
    const std::string source = longClip();
    ASSERT_TRUE(stdfs::exists(source));
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = kDataDir + "/cli-befalls-" + std::to_string(index++);
        stdfs::remove_all(out);
        stdfs::create_directories(out);
        const std::string log = out + "/log.txt";
        const std::string folder = out + "/files";
        const std::string moved = out + "/files-moved";
        std::fflush(stdout);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::freopen(log.c_str(), "w", stdout);
            dup2(fileno(stdout), STDERR_FILENO);
            execl(kCli.c_str(), kCli.c_str(), "convert", "-c", c.format[0], "-m", c.format[1], "-f", c.format[2],
                  "--output-folder", folder.c_str(), source.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Act once ffmpeg is writing.
        const auto limit = Clock::now() + std::chrono::seconds(120);
        std::vector<pid_t> targets;
        while (Clock::now() < limit) {
            if (readAll(log).find(c.running) != std::string::npos && !descendantsNamed(pid, "ffmpeg").empty()) {
                targets = descendantsNamed(pid, c.act == Act::KillEncoder ? "ALDER.DAT" : "ffmpeg");
                if (!targets.empty())
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_FALSE(targets.empty()) << "the encoder never ran: " << readAll(log);
        const auto acted = Clock::now();
        switch (c.act) {
        case Act::KillFfmpeg:
        case Act::KillEncoder: kill(targets.front(), SIGKILL); break;
        case Act::RenameFolder: stdfs::rename(folder, moved); break;
        case Act::RemoveFolder: stdfs::remove_all(folder); break;
        }
        int raw = 0;
        pid_t ended = 0;
        while ((ended = waitpid(pid, &raw, WNOHANG)) == 0 && Clock::now() < limit + std::chrono::seconds(120))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (ended == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            FAIL() << "the run went on: " << readAll(log);
        }
        std::printf("[ %s: ended %.2f s after the act ]\n", c.name,
                    std::chrono::duration<double>(Clock::now() - acted).count());
        const std::string text = readAll(log);
        ASSERT_TRUE(WIFEXITED(raw)) << text;
        EXPECT_EQ(WEXITSTATUS(raw), 1) << text;
        EXPECT_EQ(text.find("已完成"), std::string::npos) << text;
        EXPECT_EQ(text.find("找不到源文件"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("  ") + c.state + "  "), std::string::npos) << text;
        const size_t sentence = text.find(std::string("\n    ") + c.sentence + "\n    ");
        ASSERT_NE(sentence, std::string::npos) << text;
        EXPECT_NE(text.find(c.line, sentence), std::string::npos) << text;
        // Nothing is left, wherever the folder went; a removed folder is not
        // made again.
        if (c.act == Act::RemoveFolder) {
            EXPECT_FALSE(stdfs::exists(folder)) << text;
        }
        for (const std::string& where : {folder, moved}) {
            if (stdfs::exists(where)) {
                EXPECT_TRUE(stdfs::is_empty(where)) << where << "\n" << text;
            }
        }
    }
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
            "sine=duration=11 "
            + std::string(c.codecs) + " " + quote(whole));
        const auto size = stdfs::file_size(whole);
        stdfs::copy_file(whole, cut);
        stdfs::resize_file(cut, size / 2);
        int status = -1;
        const std::string log
            = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " " + quote(cut),
                  &status);
        // The state stays as it is; the warning says how far it got.
        EXPECT_EQ(status, 0) << log;
        EXPECT_NE(log.find("已完成"), std::string::npos) << log;
        const size_t warning = log.find("\n    源文件可能已损坏:只转换了 00:00:0");
        ASSERT_NE(warning, std::string::npos) << log;
        EXPECT_EQ(log.substr(warning + std::string("\n    源文件可能已损坏:只转换了 00:00:0").size() + 1, 11),
                  " / 00:00:11")
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
    const std::string log = run(
        quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " " + quote(song), &status);
    EXPECT_EQ(status, 1) << log;
    EXPECT_NE(log.find("错误的转换参数"), std::string::npos) << log;
    EXPECT_NE(log.find("\n    源文件没有视频,不能转换为视频格式;请选择音频格式(mp3、wma、m4a、flac 或 opus)。\n    the "
                       "source has no video stream"),
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
    const std::string log
        = run(quote(kCli) + " convert -c 3 -m 0 -f 9 --output-folder " + quote(out + "/files") + " " + quote(source),
              &status);
    EXPECT_EQ(status, 1) << log;
    const size_t sentence = log.find("\n    文件名太长:请缩短源文件名或输出文件夹的路径。\n    ");
    ASSERT_NE(sentence, std::string::npos) << log;
    EXPECT_NE(log.find("File name too long", sentence), std::string::npos) << log;
    EXPECT_TRUE(stdfs::is_empty(out + "/files")) << log;
}

// Any name Linux accepts: GBK bytes from a Windows archive, a backslash, a
// newline and quotes. Each converts under its exact bytes; what is printed
// stays strict UTF-8 and one line a file, and the JSON gives the exact bytes.
TEST(CliConvert, AnyFileNameConvertsAndIsPrintedAsStrictUtf8)
{
    const std::string out = kDataDir + "/cli-any-name";
    stdfs::remove_all(out);
    stdfs::create_directories(out);
    const std::string names[] = {"\xc4\xe3\xba\xc3.avi", "back\\slash.avi", "line\nbreak \"quoted\".avi"};
    std::string files;
    for (const std::string& name : names) {
        stdfs::copy_file(clip(), out + "/" + name);
        files += " " + quote(out + "/" + name);
    }
    const std::string common
        = quote(kCli) + " convert -c 3 -m 0 -f 9 --stop 00:00:01 --output-folder " + quote(out + "/files");
    int status = -1;
    const std::string json
        = run("(" + common + " --progress json" + files + " 2>" + quote(out + "/err.txt") + ")", &status);
    EXPECT_EQ(status, 0) << json << run("cat " + quote(out + "/err.txt"));
    for (const std::string& name : names) {
        const std::string output = out + "/files/" + name + "-flv.flv";
        const std::string streams
            = run("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + quote(output));
        EXPECT_NE(streams.find("video"), std::string::npos) << name << ": " << streams;
    }
    // A strict decoder takes every byte; each line is one object; where a
    // path is not UTF-8, its exact bytes come back from the hex member.
    const std::string checker
        = "import json,sys,binascii\n"
          "text=sys.stdin.buffer.read().decode('utf-8','strict')\n"
          "done=set()\n"
          "for line in text.splitlines():\n"
          "  o=json.loads(line)\n"
          "  if o['state']=='summary': continue\n"
          "  f=binascii.unhexlify(o['file_bytes']) if 'file_bytes' in o else o['file'].encode()\n"
          "  p=binascii.unhexlify(o['output_bytes']) if 'output_bytes' in o else o['output'].encode()\n"
          "  assert p==b'"
        + out
        + "/files/'+f.rsplit(b'/',1)[1]+b'-flv.flv', (f,p)\n"
          "  if o['state']=='done': done.add(f)\n"
          "for f in sorted(done): sys.stdout.buffer.write(f+b'|')\n";
    std::ofstream(out + "/check.py") << checker;
    std::ofstream(out + "/progress.jsonl", std::ios::binary) << json;
    const std::string parsed
        = run("python3 " + quote(out + "/check.py") + " <" + quote(out + "/progress.jsonl"), &status);
    EXPECT_EQ(status, 0) << parsed;
    std::set<std::string> done;
    for (const std::string& name : names)
        done.insert(out + "/" + name);
    std::string expected;
    for (const std::string& path : done)
        expected += path + "|";
    EXPECT_EQ(parsed, expected);
    EXPECT_NE(json.find("\"file\":\"" + out + "/你好.avi\""), std::string::npos) << json;

    // The plain lines: readable, strict UTF-8, one line each.
    const std::string text = run("(" + common + " --if-exists skip" + files + " 2>&1)", &status);
    EXPECT_EQ(status, 0) << text;
    std::ofstream(out + "/text.txt", std::ios::binary) << text;
    EXPECT_EQ(run("python3 -c \"import sys; t=sys.stdin.buffer.read().decode('utf-8','strict'); "
                  "print(len(t.splitlines()))\" <"
                  + quote(out + "/text.txt")),
              "4\n") // three files and the summary
        << text;
    for (const char* shown : {"/你好.avi（", "/back\\slash.avi（",
                              "/line\xEF\xBF\xBD"
                              "break \"quoted\".avi（"})
        EXPECT_NE(text.find(std::string("跳过：") + out + shown), std::string::npos) << shown << "\n" << text;
}

} // namespace
