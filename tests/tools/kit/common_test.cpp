#include "common/run_program.h"
#include "common/temporary_output.h"
#include "common/tool_error.h"
#include "kit_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qf::kit {
namespace {

using namespace test;

TEST(RunProgram, PassesArgumentsUntouchedAndCapturesBothStreams)
{
    // Blanks, quotes and shell characters arrive as they are: no shell.
    ProgramResult r
        = runProgram({"/bin/sh", "-c", "printf '%s|' \"$@\"; echo oops >&2; exit 3", "sh", "a b", "\"q\"", "$HOME;x"});
    EXPECT_EQ(r.output, "a b|\"q\"|$HOME;x|");
    EXPECT_EQ(r.lastErrorLine(), "oops");
    EXPECT_EQ(r.exitCode, 3);
}

TEST(RunProgram, MissingProgramIsAClearError)
{
    try {
        runProgram({"qf-no-such-program-xyz"});
        ADD_FAILURE();
    } catch (const ToolError& e) {
        EXPECT_STREQ(e.what(), "qf-no-such-program-xyz not found (is it installed and on PATH?)");
    }
}

// True while pid names a process that has not ended (a zombie has).
bool running(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return false;
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

// A muxer killed outright (no handler runs) must not leave ffmpeg writing on;
// the program it runs also stays in its process group, so that ending the
// group ends both.
TEST(RunProgram, ProgramStaysInOurGroupAndEndsWithUs)
{
    ScratchDir dir;
    const std::string pidFile = dir.file("child.pid");
    const pid_t helper = ::fork();
    if (helper == 0) {
        try {
            runProgram({"/bin/sh", "-c", "echo $$ > \"$0.tmp\" && mv \"$0.tmp\" \"$0\" && exec sleep 60", pidFile});
        } catch (...) {}
        std::_Exit(1);
    }
    ASSERT_GT(helper, 0);
    pid_t child = 0;
    for (int i = 0; i < 3000 && child == 0; ++i) {
        std::ifstream(pidFile) >> child;
        if (child == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(child, 0);
    EXPECT_EQ(::getpgid(child), ::getpgid(helper));
    ::kill(helper, SIGKILL);
    ::waitpid(helper, nullptr, 0);
    for (int i = 0; i < 3000 && running(child); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(running(child));
}

TEST(TemporaryOutput, FinalNameAppearsOnlyOnCommit)
{
    ScratchDir dir;
    writeFile(dir.file("out.bin"), "old");
    {
        TemporaryOutput out(dir.file("out.bin"));
        std::fputs("new", out.file());
        EXPECT_EQ(readFile(dir.file("out.bin")), "old");
        EXPECT_EQ(dir.names().size(), 2u);
    }
    // Abandoned: the old file stands, the partial one is gone.
    EXPECT_EQ(readFile(dir.file("out.bin")), "old");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.bin"});
    {
        TemporaryOutput out(dir.file("out.bin"));
        std::fputs("new", out.file());
        out.commit();
    }
    EXPECT_EQ(readFile(dir.file("out.bin")), "new");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.bin"});
}

TEST(TemporaryOutput, UnwritablePlacesAreClearErrors)
{
    ScratchDir dir;
    EXPECT_THROW(TemporaryOutput(dir.file("missing/out.bin")), ToolError);
    EXPECT_THROW(TemporaryOutput(dir.path()), ToolError);
    EXPECT_THROW(TemporaryOutput(""), ToolError);
}

// Told to stop, a program removes its partial output at once and dies by
// the signal, so that its parent sees why it ended.
TEST(TemporaryOutput, StopSignalRemovesThePartialFileAndEndsTheProgram)
{
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        ScratchDir dir;
        const pid_t program = ::fork();
        if (program == 0) {
            try {
                TemporaryOutput out(dir.file("out.bin"));
                writeFile(dir.file("ready.tmp"), out.path());
                ::rename(dir.file("ready.tmp").c_str(), dir.file("ready").c_str());
                for (;;)
                    ::pause();
            } catch (...) {}
            std::_Exit(1);
        }
        ASSERT_GT(program, 0);
        std::string partial;
        for (int i = 0; i < 3000 && partial.empty(); ++i) {
            if (std::ifstream(dir.file("ready")))
                partial = readFile(dir.file("ready"));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_FALSE(partial.empty());
        EXPECT_TRUE(std::ifstream(partial).good());
        ::kill(program, signo);
        int status = 0;
        pid_t ended = 0;
        for (int i = 0; i < 3000 && ended == 0; ++i) {
            ended = ::waitpid(program, &status, WNOHANG);
            if (ended == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (ended == 0) {
            ::kill(program, SIGKILL);
            ::waitpid(program, &status, 0);
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signo) << status;
        EXPECT_EQ(dir.names(), std::vector<std::string>{"ready"});
    }
}

} // namespace
} // namespace qf::kit
