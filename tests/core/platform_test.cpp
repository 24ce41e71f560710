#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <fcntl.h>
#include <functional>
#include <iterator>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/file_system.h"
#include "core/platform/command_line.h"
#include "core/platform/descriptors.h"
#include "core/platform/process.h"
#include "core/platform/shared_library.h"
#include "core/platform/subprocess.h"
#include "core/platform/user_folders.h"

using qf::platform::ChildProcess;
using qf::platform::splitCommandLine;
using Args = std::vector<std::string>;

TEST(CommandLine, SplitsLikeProcessCreationAndTheCRuntime)
{
    struct Case {
        const char* line;
        Args args;
    };
    const Case cases[] = {
        {"\"P/BIRCH.DLL\"\"B.avi\"", {"P/BIRCH.DLL", "B.avi"}}, // touching quoted parts
        {"\"C:/Tools/Conv/ALDER.DAT\" \"in put.avi\" -o \"out.avi\"",
         {"C:/Tools/Conv/ALDER.DAT", "in put.avi", "-o", "out.avi"}},
        {"\"P/CEDAR.DLL\" -c \"B.m4v\" -rate=10 \"B.3gp\"", {"P/CEDAR.DLL", "-c", "B.m4v", "-rate=10", "B.3gp"}},
        {"prog a\"b c\"d", {"prog", "ab cd"}},
        {"prog a\\\\\"b c\"", {"prog", "a\\b c"}}, // 2n backslashes: n, quote toggles
        {"prog a\\\\\\\"b", {"prog", "a\\\"b"}}, // 2n+1: n and a literal quote
        {"prog a\\b\\\\c", {"prog", "a\\b\\\\c"}}, // other backslashes literal
        {"prog \"a\"\"b\"", {"prog", "a\"b"}}, // "" inside quotes
        {"prog \"\"", {"prog", ""}}, // an empty quoted argument
        {"  prog   a\tb  ", {"prog", "a", "b"}},
        {"\"unterminated", {"unterminated"}},
        {"prog \"open ended", {"prog", "open ended"}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.args) << c.line;
}

TEST(CommandLine, QuoteArgumentRoundTrips)
{
    const std::vector<std::string> samples
        = {"plain", "with space", "quote\"inside", "trailing\\", "a\\\"b", "", "中文 路径\\\\"};
    for (const auto& s : samples) {
        const Args got = splitCommandLine("prog " + qf::platform::quoteArgument(s));
        ASSERT_EQ(got.size(), 2u) << s;
        EXPECT_EQ(got[1], s);
    }
}

namespace {

std::string writeScript(const std::string& name, const std::string& body)
{
    const std::string dir = QF_TEST_DATA_DIR "/core";
    qf::core::fs::makePath(dir.c_str(), true);
    const std::string path = dir + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), 0755);
    return path;
}

std::string readAll(ChildProcess& p, int timeoutMs = 30000)
{
    std::string out;
    char buf[256];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!p.waitReadable(50))
            continue;
        const auto n = p.read(buf, sizeof buf);
        if (n == 0)
            break;
        if (n > 0)
            out.append(buf, size_t(n));
    }
    return out;
}

bool processAlive(pid_t pid) { return ::kill(pid, 0) == 0; }

} // namespace

TEST(ChildProcess, RunsWithoutAShellAndReadsOutput)
{
    const std::string script = writeScript("echo args.sh", "for a in \"$@\"; do echo \"[$a]\"; done\necho err >&2\n");
    ChildProcess p;
    ASSERT_TRUE(p.start("\"" + script + "\" \"a b\" 'c' $HOME;x"));
    EXPECT_EQ(readAll(p), "[a b]\n['c']\n[$HOME;x]\nerr\n");
    EXPECT_TRUE(p.waitExit(30000));
    EXPECT_EQ(p.exitStatus(), 0);
}

TEST(ChildProcess, RunsInTheGivenWorkingDirectory)
{
    const std::string script = writeScript("pwd.sh", "pwd\n");
    ChildProcess p;
    ChildProcess::Options options;
    options.workingDirectory = "/tmp";
    ASSERT_TRUE(p.start("\"" + script + "\"", options));
    EXPECT_EQ(readAll(p), "/tmp\n");

    // A program named relative to our directory is still the one that runs.
    char cwd[1024];
    ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
    ASSERT_EQ(::chdir(QF_TEST_DATA_DIR), 0);
    ChildProcess relative;
    EXPECT_TRUE(relative.start("\"core/pwd.sh\"", options));
    EXPECT_EQ(readAll(relative), "/tmp\n");
    ASSERT_EQ(::chdir(cwd), 0);
}

TEST(ChildProcess, ReadinessNeverBlocks)
{
    // A call that waited for output would wait a minute and then find it.
    const std::string script = writeScript("slow.sh", "sleep 60\necho late\n");
    ChildProcess p;
    ASSERT_TRUE(p.start("\"" + script + "\""));
    EXPECT_FALSE(p.readable());
    char buf[16];
    EXPECT_EQ(p.read(buf, sizeof buf), -1);
    EXPECT_FALSE(p.hasExited());
    p.terminate();
    EXPECT_TRUE(p.hasExited());
}

TEST(ChildProcess, StandardInputPipe)
{
    const std::string script = writeScript("cat.sh", "read line\necho \"got $line\"\n");
    ChildProcess p;
    ChildProcess::Options options;
    options.stdinPipe = true;
    ASSERT_TRUE(p.start("\"" + script + "\"", options));
    ASSERT_TRUE(p.write("hello\n"));
    EXPECT_EQ(readAll(p), "got hello\n");
    p.waitExit(30000);
    // Writing to a child that has gone must fail, not kill us with SIGPIPE.
    EXPECT_FALSE(p.write(std::string(1 << 16, 'x')));
}

// A child that stops reading fills its pipe: a bounded write gives up then
// instead of holding the writer (the player's thread) for ever, and one
// that starts reading late (a shell first) still gets every byte of a write
// many pipes long.
TEST(ChildProcess, WritesIntoAFullPipeWaitOnlyAsLongAsTold)
{
    ChildProcess::Options options;
    options.stdinPipe = true;
    const std::string big(1 << 20, 'x');
    {
        ChildProcess deaf;
        ASSERT_TRUE(deaf.start("\"/bin/sleep\" 60", options));
        EXPECT_FALSE(deaf.write(big, 100));
        EXPECT_FALSE(deaf.write("quit\n", 0));
        EXPECT_FALSE(deaf.hasExited());
        deaf.terminate(0);
    }
    const std::string copy = QF_TEST_DATA_DIR "/core/stdin-copy.bin";
    for (const int timeoutMs : {-1, 30000}) {
        std::remove(copy.c_str());
        ChildProcess reader;
        const std::string script = writeScript("late-cat.sh", "exec cat > '" + copy + "'\n");
        ASSERT_TRUE(reader.start("\"" + script + "\"", options));
        EXPECT_TRUE(reader.write(big, timeoutMs));
        reader.closeInput();
        ASSERT_TRUE(reader.waitExit(30000));
        std::ifstream in(copy, std::ios::binary);
        const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(got.size(), big.size()) << "timeout " << timeoutMs;
        EXPECT_EQ(got, big);
    }
}

TEST(ChildProcess, TerminateEndsTheWholeGroup)
{
    const std::string pidFile = QF_TEST_DATA_DIR "/core/grandchild.pid";
    std::remove(pidFile.c_str());
    const std::string script = writeScript("group.sh", "sleep 60 &\necho $! > '" + pidFile + "'\ntrap '' TERM\nwait\n");
    ChildProcess p;
    ASSERT_TRUE(p.start("\"" + script + "\""));
    pid_t grandchild = 0;
    for (int i = 0; i < 3000 && grandchild == 0; ++i) {
        std::ifstream(pidFile) >> grandchild;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(grandchild, 0);
    p.terminate(100); // the leader ignores TERM: KILL follows
    EXPECT_TRUE(p.hasExited());
    for (int i = 0; i < 3000 && processAlive(grandchild); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(processAlive(grandchild));
}

TEST(ChildProcess, StartFailures)
{
    ChildProcess p;
    EXPECT_FALSE(p.start(""));
    EXPECT_FALSE(p.start("\"/no/such/program\" -x"));
    EXPECT_NE(p.error().find("/no/such/program"), std::string::npos);
    const std::string notExec = QF_TEST_DATA_DIR "/core/plain.txt";
    std::ofstream(notExec) << "x";
    ::chmod(notExec.c_str(), 0644);
    EXPECT_FALSE(p.start("\"" + notExec + "\""));
    EXPECT_FALSE(p.started());
}

namespace {

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

bool endsWithin(pid_t pid, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (running(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !running(pid);
}

// Runs startChild in a helper process, which reports the pid it returns and
// then waits; kills the helper with SIGKILL (no handler, no destructor) and
// returns that pid, or 0 when the helper reported none.
pid_t childOfKilledHelper(const std::function<pid_t()>& startChild)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return 0;
    const pid_t helper = ::fork();
    if (helper == 0) {
        const pid_t child = startChild();
        [[maybe_unused]] const auto n = ::write(report[1], &child, sizeof child);
        for (;;)
            ::pause();
    }
    ::close(report[1]);
    pid_t child = 0;
    const bool got = helper > 0 && ::read(report[0], &child, sizeof child) == ssize_t(sizeof child);
    ::close(report[0]);
    if (helper > 0) {
        ::kill(helper, SIGKILL);
        ::waitpid(helper, nullptr, 0);
    }
    return got ? child : 0;
}

} // namespace

// The player and the encoder must not play or write on after the program was
// killed; also when a worker thread that has since ended started them.
TEST(ChildProcess, EndsWhenItsParentIsKilled)
{
    {
        SCOPED_TRACE("started on the main thread");
        const pid_t direct = childOfKilledHelper([] {
            auto* p = new ChildProcess;
            return p->start("\"/bin/sleep\" 60") ? p->pid() : 0;
        });
        ASSERT_GT(direct, 0);
        EXPECT_TRUE(endsWithin(direct, 30));
    }
    {
        SCOPED_TRACE("started on a thread that has ended");
        const pid_t threaded = childOfKilledHelper([] {
            auto p = std::make_unique<ChildProcess>();
            ChildProcess::Options options;
            options.stdinPipe = true;
            bool started = false;
            std::thread([&] { started = p->start("\"/bin/cat\"", options); }).join();
            // The starting thread's end must not have ended the child: it echoes.
            if (!started || !p->write("ping\n") || !p->waitReadable(30000))
                return pid_t(0);
            char echo[8] = {};
            if (p->read(echo, sizeof echo) != 5 || std::string(echo) != "ping\n")
                return pid_t(0);
            return p.release()->pid();
        });
        ASSERT_GT(threaded, 0);
        EXPECT_TRUE(endsWithin(threaded, 30));
    }
}

TEST(Subprocess, CallersGroupAndSeparateErrorPipe)
{
    qf::platform::SubprocessOptions options;
    options.ownProcessGroup = false;
    options.searchPath = true;
    options.stdinPipe = true;
    options.errors = qf::platform::SubprocessOptions::Errors::Pipe;
    qf::platform::Subprocess child;
    ASSERT_EQ(child.start({"sh", "-c", "read x; echo \"out $x\"; echo err >&2; exit 3"}, options), 0);
    EXPECT_EQ(::getpgid(child.pid()), ::getpgrp());
    ASSERT_TRUE(child.write("in\n"));
    child.closeInput();
    std::string out, err;
    EXPECT_TRUE(qf::platform::drainOutput(
        child, [&](std::string_view b) { out.append(b); }, [&](std::string_view b) { err.append(b); }));
    EXPECT_EQ(out, "out in\n");
    EXPECT_EQ(err, "err\n");
    EXPECT_TRUE(child.waitExit(-1));
    EXPECT_EQ(child.exitCode(), 3);
    EXPECT_EQ(child.termSignal(), 0);
}

// One child feeding another through a pipe of the caller's: the reader sees
// the end only when the writer has ended, because neither the reader nor any
// other child holds a copy of the write end.
TEST(Subprocess, ChildFeedsAnotherThroughGivenDescriptors)
{
    int link[2];
    ASSERT_EQ(::pipe2(link, O_CLOEXEC), 0);
    const std::string logPath = ::testing::TempDir() + "qf-feeder-log";
    const int log = ::open(logPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(log, 0);
    qf::platform::SubprocessOptions feederOptions = qf::platform::SubprocessOptions::toolChild();
    feederOptions.outputTo = link[1];
    feederOptions.errorsTo = log;
    qf::platform::Subprocess feeder;
    ASSERT_EQ(feeder.start({"sh", "-c", "printf 'one\\ntwo\\n'; echo to-log >&2"}, feederOptions), 0);
    ::close(link[1]);
    EXPECT_EQ(feeder.outputFd(), -1);
    EXPECT_EQ(feeder.errorFd(), -1);

    qf::platform::SubprocessOptions readerOptions = qf::platform::SubprocessOptions::toolChild();
    readerOptions.inputFrom = link[0];
    qf::platform::Subprocess reader;
    ASSERT_EQ(reader.start({"sh", "-c", "wc -l; echo done >&2"}, readerOptions), 0);
    ::close(link[0]);
    std::string out, err;
    EXPECT_TRUE(qf::platform::drainOutput(
        reader, [&](std::string_view b) { out.append(b); }, [&](std::string_view b) { err.append(b); }));
    EXPECT_EQ(out, "2\n");
    EXPECT_EQ(err, "done\n");
    EXPECT_TRUE(reader.waitExit(5000));
    EXPECT_TRUE(feeder.waitExit(5000));
    EXPECT_EQ(feeder.exitCode(), 0);
    char text[32] = {};
    EXPECT_EQ(::pread(log, text, sizeof text - 1, 0), 7);
    EXPECT_STREQ(text, "to-log\n");
    ::close(log);
    ::unlink(logPath.c_str());
}
TEST(Subprocess, StartFailuresGiveTheErrnoAndHoldNothing)
{
    qf::platform::SubprocessOptions options;
    options.searchPath = true;
    qf::platform::Subprocess child;
    EXPECT_EQ(child.start({"qf-no-such-program-xyz"}, options), ENOENT);
    EXPECT_EQ(child.start({}, options), EINVAL);
    const std::string notExec = writeScript("not-exec.sh", "exit 0\n");
    ::chmod(notExec.c_str(), 0644);
    EXPECT_EQ(child.start({notExec}, options), EACCES);
    options.workingDirectory = "/no/such/folder";
    EXPECT_EQ(child.start({"/bin/true"}, options), ENOENT);
    EXPECT_FALSE(child.started());
    EXPECT_EQ(child.outputFd(), -1);
}

// What we ignore (SIGHUP under nohup) or handle must reach the child with its
// default action, or terminate() could not end it.
TEST(Subprocess, SignalsWeIgnoreOrHandleEndTheChild)
{
    const auto oldHup = ::signal(SIGHUP, SIG_IGN);
    const auto oldTerm = ::signal(SIGTERM, [](int) {});
    for (const int sig : {SIGHUP, SIGTERM}) {
        qf::platform::Subprocess child;
        ASSERT_EQ(child.start({"/bin/sleep", "60"}, {}), 0);
        child.signal(sig);
        EXPECT_TRUE(child.waitExit(30000));
        EXPECT_EQ(child.termSignal(), sig);
        EXPECT_EQ(child.exitCode(), -1);
    }
    ::signal(SIGHUP, oldHup);
    ::signal(SIGTERM, oldTerm);
}

// A launcher may leave our standard descriptors closed: the pipes then take
// those numbers, and the child must still get each on the right one.
TEST(Subprocess, ParentWithClosedStandardDescriptors)
{
    const auto run = [] {
        ::close(STDIN_FILENO);
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
        qf::platform::SubprocessOptions options;
        options.searchPath = true;
        options.errors = qf::platform::SubprocessOptions::Errors::Pipe;
        qf::platform::Subprocess child;
        if (child.start({"sh", "-c", "cat; echo out; echo err >&2"}, options) != 0)
            std::_Exit(10);
        std::string out, err;
        qf::platform::drainOutput(
            child, [&](std::string_view b) { out.append(b); }, [&](std::string_view b) { err.append(b); });
        child.waitExit(-1);
        std::_Exit(out == "out\n" && err == "err\n" && child.exitCode() == 0 ? 0 : 11);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
}

TEST(LineSplitter, EndsLinesAtLfCrAndCrLf)
{
    struct Case {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"a\nb\r\nc\rd"}, {"a", "b", "c", "d"}},
        {{"frame=1\r", "frame=2\r", "\n"}, {"frame=1", "frame=2"}}, // progress rewrites
        {{"par", "tial", "\r", "\nnext"}, {"partial", "next"}}, // CR LF split across reads
        {{"\n\n\r\r"}, {}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        qf::platform::LineSplitter split;
        std::vector<std::string> lines;
        const auto keep = [&](std::string_view line) { lines.emplace_back(line); };
        for (const auto& piece : c.pieces)
            split.push(piece, keep);
        split.finish(keep);
        EXPECT_EQ(lines, c.lines) << ::testing::PrintToString(c.pieces);
    }
}

// A launcher's low soft limit and open pipes: the limit is raised to the hard
// one, the pipes stay usable here but reach no child. Run in a child process,
// since both change the whole process.
TEST(InheritedDescriptors, LimitRaisedAndNoneReachAChild)
{
    const auto adopt = [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_max < 64)
            std::_Exit(10);
        limit.rlim_cur = 32;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            std::_Exit(11);
        int leaked[2];
        if (::pipe(leaked) != 0)
            std::_Exit(12);
        if (!qf::platform::adoptInheritedDescriptors())
            std::_Exit(13);
        rlimit after{};
        ::getrlimit(RLIMIT_NOFILE, &after);
        if (after.rlim_cur != after.rlim_max)
            std::_Exit(14);
        for (const int fd : leaked) {
            if (!(::fcntl(fd, F_GETFD) & FD_CLOEXEC))
                std::_Exit(15);
        }
        if (::fcntl(STDERR_FILENO, F_GETFD) & FD_CLOEXEC)
            std::_Exit(16);
        if (::write(leaked[1], "x", 1) != 1)
            std::_Exit(17);
        std::_Exit(0);
    };
    EXPECT_EXIT(adopt(), ::testing::ExitedWithCode(0), "");
}

TEST(SharedLibrary, LoadsAndResolves)
{
    qf::platform::SharedLibrary lib;
    ASSERT_TRUE(lib.load(QF_PROGRAM_DIR "/OLIVE.dll")) << lib.error();
    EXPECT_NE(lib.symbol("MediaInfoA_New"), nullptr);
    EXPECT_EQ(lib.symbol("NoSuchSymbol_xyz"), nullptr);
    lib.unload();
    EXPECT_EQ(lib.symbol("MediaInfoA_New"), nullptr);
    EXPECT_FALSE(lib.load("/no/such/lib.so"));
    EXPECT_FALSE(lib.error().empty());
}

TEST(UserFolders, XdgSettingsAndFallbacks)
{
    const std::string home = QF_TEST_DATA_DIR "/core/home";
    const std::string config = home + "/cfgdir";
    qf::core::fs::makePath(config.c_str(), true);
    std::ofstream(config + "/user-dirs.dirs")
        << "# comment\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\nXDG_DOCUMENTS_DIR=\"/abs/文档/\"\n";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(qf::platform::desktopFolder(), home + "/桌面");
    EXPECT_EQ(qf::platform::documentsFolder(), "/abs/文档");
    ::setenv("XDG_CONFIG_HOME", (home + "/none").c_str(), 1);
    EXPECT_EQ(qf::platform::desktopFolder(), home + "/Desktop");
    EXPECT_EQ(qf::platform::documentsFolder(), home + "/Documents");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(qf::platform::configFolder(), home + "/.config");
    ::setenv("HOME", savedHome.c_str(), 1);
}
