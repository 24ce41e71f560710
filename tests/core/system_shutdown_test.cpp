// The power-off request, always through stand-ins for `shutdown`: PATH is
// pointed at a scratch folder and the sbin fallbacks are emptied, so the
// real command is never reached.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/file_system.h"
#include "core/platform/system_shutdown.h"

using namespace qf::platform;
namespace fs = qf::core::fs;

namespace {

std::string scratch(const std::string& name)
{
    const std::string dir = QF_TEST_DATA_DIR "/core/shutdown/" + name;
    fs::removePath(dir.c_str());
    fs::makePath(dir.c_str(), true);
    return dir;
}

std::string writeScript(const std::string& path, const std::string& body, mode_t mode = 0755)
{
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), mode);
    return path;
}

// A stand-in that keeps each argument in its own file (the message spans
// lines) and exits with the given status.
std::string recordingStandIn(const std::string& dir, int status = 0)
{
    return writeScript(dir + "/shutdown",
                       "n=0\nfor a in \"$@\"; do n=$((n+1)); printf '%s' \"$a\" > \"" + dir
                           + "/arg$n\"; done\necho $n > \"" + dir + "/count\"\nexit " + std::to_string(status) + "\n");
}

std::vector<std::string> recordedArguments(const std::string& dir)
{
    std::ifstream countFile(dir + "/count");
    int count = -1;
    if (!(countFile >> count))
        return {};
    std::vector<std::string> args;
    for (int i = 1; i <= count; ++i) {
        std::ifstream in(dir + "/arg" + std::to_string(i));
        std::stringstream s;
        s << in.rdbuf();
        args.push_back(s.str());
    }
    return args;
}

// PATH and the fallback folders as the test wants them, restored afterwards.
class ShutdownSearch {
public:
    explicit ShutdownSearch(const std::string& path)
        : savedPath_(std::getenv("PATH") ? std::getenv("PATH") : ""), savedFallbacks_(shutdownFallbackFolders())
    {
        ::setenv("PATH", path.c_str(), 1);
        shutdownFallbackFolders().clear();
    }
    ~ShutdownSearch()
    {
        ::setenv("PATH", savedPath_.c_str(), 1);
        shutdownFallbackFolders() = savedFallbacks_;
    }

private:
    std::string savedPath_;
    std::vector<std::string> savedFallbacks_;
};

} // namespace

TEST(SystemShutdown, TheMessageKeepsItsFirstSentenceAndNamesThisPlatformsCancel)
{
    const std::string message = kShutdownMessage;
    EXPECT_EQ(message.rfind("Tarnwell 3.5  全部转换任务已经完成,WINDOWS 即将关机！\n\n", 0), 0u);
    EXPECT_NE(message.find("shutdown -c"), std::string::npos);
    EXPECT_EQ(message.find("shutdown -a"), std::string::npos);
    EXPECT_EQ(shutdownArguments("m"), (std::vector<std::string>{"-P", "+1", "m"}));
}

TEST(SystemShutdown, SchedulesAPowerOffInAMinuteThroughTheCommandOnPath)
{
    const std::string dir = scratch("ok");
    const std::string empty = scratch("ok-empty");
    recordingStandIn(dir);
    ShutdownSearch search(empty + "::" + dir);

    std::string error;
    ASSERT_TRUE(requestSystemShutdown(&error)) << error;
    EXPECT_EQ(recordedArguments(dir), (std::vector<std::string>{"-P", "+1", kShutdownMessage}));
}

TEST(SystemShutdown, FailsWhenTheCommandFailsOrIsMissing)
{
    const std::string failing = scratch("failing");
    recordingStandIn(failing, 1);
    {
        ShutdownSearch search(failing);
        std::string error;
        EXPECT_FALSE(requestSystemShutdown(&error));
        EXPECT_NE(error.find("status 1"), std::string::npos) << error;
        EXPECT_EQ(recordedArguments(failing).size(), 3u); // it was asked, and said no
    }
    {
        ShutdownSearch search(scratch("missing"));
        std::string error;
        EXPECT_FALSE(requestSystemShutdown(&error));
        EXPECT_NE(error.find("no shutdown command"), std::string::npos) << error;
    }
}

TEST(SystemShutdown, FailsWhenTheCommandDiesOrHangs)
{
    const std::string dir = scratch("dies");
    std::string error;
    EXPECT_FALSE(scheduleShutdown(writeScript(dir + "/killed", "kill -9 $$\n"), "m", &error));
    EXPECT_NE(error.find("signal"), std::string::npos) << error;

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(scheduleShutdown(writeScript(dir + "/hangs", "exec sleep 30\n"), "m", &error, 200));
    EXPECT_NE(error.find("in time"), std::string::npos) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    EXPECT_FALSE(scheduleShutdown(dir + "/absent", "m", &error));
    EXPECT_NE(error.find("cannot start"), std::string::npos) << error;
}

TEST(SystemShutdown, LooksThroughPathThenTheFallbacks)
{
    const std::string a = scratch("search-a");
    const std::string b = scratch("search-b");
    const std::string c = scratch("search-c");
    const std::string d = scratch("search-d");
    writeScript(a + "/shutdown", "exit 0\n", 0644); // not executable: skipped
    fs::makePath((b + "/shutdown").c_str(), true); // a folder: skipped
    const std::string inC = writeScript(c + "/shutdown", "exit 0\n");
    const std::string inD = writeScript(d + "/shutdown", "exit 0\n");

    EXPECT_EQ(findShutdownCommand(a + ":" + b + ":" + c + ":" + d, {}), inC);
    EXPECT_EQ(findShutdownCommand(a + ":" + b, {c, d}), inC);
    EXPECT_EQ(findShutdownCommand(":" + d + ":", {c}), inD);
    EXPECT_EQ(findShutdownCommand("", {a, b}), "");
    EXPECT_EQ(findShutdownCommand("", {}), "");
}
