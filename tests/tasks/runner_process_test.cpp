// The runner with tiny fake programs that print exactly what an edge case
// needs, and with a real tool (ffmpeg) whose progress rewrites one line.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tasks/child_process_runner.h"

namespace qf::tasks {
namespace {

namespace stdfs = std::filesystem;
using namespace std::chrono_literals;

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/qf-runner-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override { stdfs::remove_all(dir_); }

    // Writes an executable shell script and returns its quoted path, ready
    // to start a command line.
    std::string program(const std::string& name, const std::string& body)
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ::chmod(path.c_str(), 0755);
        return "\"" + path + "\"";
    }

    // Polls as the worker does: a line, else stop when the program has
    // ended, else 10 ms of sleep. Gives up after 20 s.
    static std::vector<std::string> readAll(ChildProcessRunner& runner, size_t size = ChildProcessRunner::kLineSize)
    {
        std::vector<std::string> lines;
        std::vector<char> buffer(size);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (runner.readLine(buffer.data(), buffer.size())) {
                lines.emplace_back(buffer.data());
                continue;
            }
            if (runner.hasExited())
                break;
            std::this_thread::sleep_for(10ms);
        }
        return lines;
    }

    // True once the file exists; false after a generous 60 s.
    static bool waitForFile(const std::string& path)
    {
        for (int i = 0; i < 6000 && !stdfs::exists(path); ++i)
            std::this_thread::sleep_for(10ms);
        return stdfs::exists(path);
    }

    static bool processGone(pid_t pid)
    {
        // Gone, or a zombie waiting for its new parent to reap it (an ended
        // child of the runner, too, until the runner reaps it).
        for (int i = 0; i < 6000; ++i) {
            if (::kill(pid, 0) != 0 && errno == ESRCH)
                return true;
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string text;
            std::getline(stat, text);
            const auto paren = text.rfind(')');
            if (paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] == 'Z')
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::string dir_;
};

TEST_F(RunnerTest, OutputShapes)
{
    struct Case {
        const char* name;
        std::string script;
        std::vector<std::string> lines;
    };
    std::string updates;
    std::string script
        = "i=0; while [ $i -lt 30 ]; do printf 'Pos:  %3d.0s   %4df (%2d%%)  25fps \\r' $i $i $i; i=$((i+1)); done";
    for (int i = 0; i < 30; ++i) {
        char piece[64];
        std::snprintf(piece, sizeof piece, "Pos:  %3d.0s   %4df (%2d%%)  25fps \r", i, i, i);
        updates += piece;
    }
    ASSERT_GT(updates.size(), 1023u);
    // Each status line on its own, however the pipe cut them.
    std::vector<std::string> updateLines;
    for (size_t at = 0; at < updates.size();) {
        const size_t end = updates.find('\r', at);
        updateLines.push_back(updates.substr(at, end - at) + "\n");
        at = end + 1;
    }
    const std::vector<Case> cases = {
        {"three bytes without a line feed", "printf abc", {"abc"}},
        {"CR LF", "printf 'one\\r\\ntwo\\r\\n'", {"one\n", "two\n"}},
        {"only blank lines", "printf '\\n\\n\\n'", {"\n", "\n", "\n"}},
        {"last line unterminated after a pause",
         "printf 'Pos: 1 ( 1%%)\\n'; sleep 0.1; printf 'Exiting... (error parsing command line)'",
         {"Pos: 1 ( 1%)\n", "Exiting... (error parsing command line)"}},
        {"CR-separated updates", script, updateLines},
        {"standard error joins the output", "echo out; echo err >&2", {"out\n", "err\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChildProcessRunner runner;
        ASSERT_TRUE(runner.start(program("p.sh", c.script))) << runner.error();
        ASSERT_TRUE(runner.openStream());
        EXPECT_EQ(readAll(runner), c.lines);
        char buffer[16];
        EXPECT_FALSE(runner.readLine(buffer, sizeof buffer));
        runner.close();
        EXPECT_FALSE(runner.holdsChild());
    }
}

TEST_F(RunnerTest, ReadLineNeverWaitsForAPartialLine)
{
    // The line's end comes only once the test lets it, after its read: a
    // read that waited for it would wait until the program gives up.
    const std::string written = dir_ + "/written";
    const std::string go = dir_ + "/go";
    ChildProcessRunner runner;
    ASSERT_TRUE(runner.start(program("slow.sh",
                                     "printf partial; : > '" + written
                                         + "'\n"
                                           "i=0; while [ ! -e '"
                                         + go
                                         + "' ] && [ $i -lt 6000 ]; do sleep 0.01; i=$((i+1)); done\n"
                                           "printf ' rest\\n'")));
    ASSERT_TRUE(runner.openStream());
    ASSERT_TRUE(waitForFile(written));
    char buffer[64];
    EXPECT_FALSE(runner.readLine(buffer, sizeof buffer));
    EXPECT_FALSE(stdfs::exists(go));
    EXPECT_FALSE(runner.hasExited());
    std::ofstream(go).close();
    EXPECT_EQ(readAll(runner), std::vector<std::string>{"partial rest\n"});
    runner.close();
}

TEST_F(RunnerTest, OutputWrittenJustBeforeTheEndIsReadBeforeTheEndIsReported)
{
    const std::string pidFile = dir_ + "/quick.pid";
    ChildProcessRunner runner;
    ASSERT_TRUE(runner.start(program("quick.sh",
                                     "echo $$ > '" + pidFile + ".tmp'; mv '" + pidFile + ".tmp' '" + pidFile
                                         + "'; printf 'Pos: 9 (99%%)\\nExiting...'")));
    ASSERT_TRUE(runner.openStream());
    // The program writes and ends while the owner is not reading.
    ASSERT_TRUE(waitForFile(pidFile));
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(processGone(pid));
    char buffer[64];
    EXPECT_FALSE(runner.hasExited());
    ASSERT_TRUE(runner.readLine(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "Pos: 9 (99%)\n");
    EXPECT_FALSE(runner.hasExited());
    ASSERT_TRUE(runner.readLine(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "Exiting...");
    EXPECT_TRUE(runner.hasExited());
}

// The owner's wait between polls ends with the program's next line or its
// end, not with the wait's own limit (long here: a wait that ran it out
// would be plain), and a program that closed its output but still runs is
// waited for, not spun on.
TEST_F(RunnerTest, WaitForOutputReturnsWithTheNextLineAndWithTheEnd)
{
    const std::string go = dir_ + "/go";
    const std::string closed = dir_ + "/closed";
    const std::string end = dir_ + "/end";
    // Waits (at most a minute) for the test to create the file named $1.
    const std::string await
        = "await() { i=0; while [ ! -e \"$1\" ] && [ $i -lt 6000 ]; do sleep 0.01; i=$((i+1)); done; }\n";
    ChildProcessRunner runner;
    ASSERT_TRUE(runner.start(program("steps.sh",
                                     await + "echo one\nawait '" + go + "'\necho two; exec >&- 2>&-; : > '" + closed
                                         + "'\nawait '" + end + "'")));
    ASSERT_TRUE(runner.openStream());
    const auto started = std::chrono::steady_clock::now();
    runner.waitForOutput(120000);
    char buffer[64];
    ASSERT_TRUE(runner.readLine(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "one\n");
    std::ofstream(go).close();
    runner.waitForOutput(120000);
    ASSERT_TRUE(runner.readLine(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "two\n");
    // Its output has ended but it runs on: no line, not ended, until it is let go.
    ASSERT_TRUE(waitForFile(closed));
    EXPECT_FALSE(runner.readLine(buffer, sizeof buffer));
    EXPECT_FALSE(runner.hasExited());
    std::ofstream(end).close();
    while (!runner.hasExited() && std::chrono::steady_clock::now() - started < 100s)
        runner.waitForOutput(120000);
    EXPECT_TRUE(runner.hasExited());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 100s);
}

TEST_F(RunnerTest, CloseEndsAProgramThatKeepsRunningWithWhatItStarted)
{
    const std::string pidFile = dir_ + "/sleeper.pid";
    ChildProcessRunner runner;
    ASSERT_TRUE(runner.start(program("busy.sh", "sleep 60 & echo $! > '" + pidFile + "'; echo started; wait")));
    ASSERT_TRUE(runner.openStream());
    char buffer[64];
    for (int i = 0; i < 500 && !runner.readLine(buffer, sizeof buffer); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_STREQ(buffer, "started\n");
    pid_t sleeper = 0;
    std::ifstream(pidFile) >> sleeper;
    ASSERT_GT(sleeper, 0);

    runner.close();
    EXPECT_FALSE(runner.holdsChild());
    EXPECT_TRUE(runner.hasExited());
    EXPECT_TRUE(processGone(sleeper));
}

TEST_F(RunnerTest, CloseEndsWhatAFinishedProgramLeftHoldingThePipe)
{
    const std::string pidFile = dir_ + "/orphan.pid";
    ChildProcessRunner runner;
    ASSERT_TRUE(runner.start(program("leaves.sh", "sleep 60 & echo $! > '" + pidFile + "'; echo bye")));
    ASSERT_TRUE(runner.openStream());
    // The orphan keeps the pipe open: the end is the leader's end.
    EXPECT_EQ(readAll(runner), std::vector<std::string>{"bye\n"});
    ASSERT_TRUE(runner.hasExited());
    pid_t orphan = 0;
    std::ifstream(pidFile) >> orphan;
    ASSERT_GT(orphan, 0);
    runner.close();
    EXPECT_TRUE(processGone(orphan));
}

TEST_F(RunnerTest, AProgramThatDoesNotExistHoldsNothing)
{
    ChildProcessRunner runner;
    for (const std::string& line : {"\"" + dir_ + "/missing.exe\" -o x", std::string(""), std::string("\"\"")}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(runner.start(line));
        EXPECT_FALSE(runner.error().empty());
        EXPECT_FALSE(runner.holdsChild());
        EXPECT_FALSE(runner.openStream());
        char buffer[8];
        EXPECT_FALSE(runner.readLine(buffer, sizeof buffer));
        EXPECT_TRUE(runner.hasExited());
        runner.close();
    }
}

TEST_F(RunnerTest, StartClosesTheHeldProgramFirst)
{
    const std::string pidFile = dir_ + "/first.pid";
    ChildProcessRunner runner;
    ASSERT_TRUE(runner.start(program("first.sh", "echo $$ > '" + pidFile + "'; exec sleep 60")));
    for (int i = 0; i < 500 && !stdfs::exists(pidFile); ++i)
        std::this_thread::sleep_for(10ms);
    pid_t first = 0;
    std::ifstream(pidFile) >> first;
    ASSERT_GT(first, 0);
    ASSERT_TRUE(runner.start(program("second.sh", "echo second")));
    EXPECT_TRUE(processGone(first));
    ASSERT_TRUE(runner.openStream());
    EXPECT_EQ(readAll(runner), std::vector<std::string>{"second\n"});
}

TEST_F(RunnerTest, ReadsARealToolToItsLastLine)
{
    ASSERT_EQ(::access("/usr/bin/ffmpeg", X_OK), 0) << "ffmpeg is missing (scripts/install-deps.sh)";
    ChildProcessRunner runner;
    ASSERT_TRUE(runner.start("\"/usr/bin/ffmpeg\" -nostdin -hide_banner -stats -f lavfi -i sine=duration=2 "
                             "-f null -"))
        << runner.error();
    ASSERT_TRUE(runner.openStream());
    const std::vector<std::string> lines = readAll(runner);
    ASSERT_FALSE(lines.empty());
    std::string all;
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 1023u);
        all += line;
    }
    // The progress rewrites its line with CR: each status comes as a line of
    // its own; the final figures are there.
    EXPECT_NE(all.find("size="), std::string::npos) << all;
    EXPECT_EQ(all.find('\r'), std::string::npos) << all;
    EXPECT_GE(
        std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("size="); }), 1)
        << all;
    EXPECT_NE(lines.back().find("global headers"), std::string::npos) << lines.back();
    runner.close();
}

} // namespace
} // namespace qf::tasks
