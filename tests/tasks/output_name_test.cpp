// Numbered output names, and their claim by several claimants at once.

#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tasks/output_name.h"
#include "tasks/support/fake_programs.h"

namespace qf::tasks {
namespace {

using testing::listDir;
using testing::readFile;
using testing::writeFile;

class OutputNameTest : public ::testing::Test {
protected:
    OutputNameTest()
    {
        dir_ = std::filesystem::temp_directory_path() / ("qf-output-name-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    ~OutputNameTest() override { std::filesystem::remove_all(dir_); }
    std::string in(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

TEST_F(OutputNameTest, TheNumberGoesBeforeTheExtensionOfTheFileName)
{
    EXPECT_STREQ(numberedPath("/a/clip.avi-3gp.3gp", 2).c_str(), "/a/clip.avi-3gp (2).3gp");
    EXPECT_STREQ(numberedPath("/a.b/clip", 3).c_str(), "/a.b/clip (3)");
    EXPECT_STREQ(numberedPath("/a/.hidden", 2).c_str(), "/a/.hidden (2)");
    EXPECT_STREQ(numberedPath("clip.mp3", 10).c_str(), "clip (10).mp3");
}

TEST_F(OutputNameTest, FirstFreePathSkipsEveryTakenName)
{
    const std::set<std::string> taken = {in("x.mp3"), in("x (2).mp3")};
    auto isTaken = [&](const core::TextString& p) { return taken.count(p.c_str()) != 0; };
    EXPECT_STREQ(firstFreePath(in("x.mp3").c_str(), isTaken).c_str(), in("x (3).mp3").c_str());
    EXPECT_STREQ(firstFreePath(in("y.mp3").c_str(), isTaken).c_str(), in("y.mp3").c_str());
}

TEST_F(OutputNameTest, AClaimNeverTakesAFileThatStandsThereAndLeavesAnEmptyOne)
{
    writeFile(in("x.mp3"), "someone's");
    const auto claimed = claimFreePath(in("x.mp3").c_str(), nullptr);
    ASSERT_TRUE(claimed.has_value());
    EXPECT_STREQ(claimed->c_str(), in("x (2).mp3").c_str());
    EXPECT_EQ(readFile(in("x.mp3")), "someone's");
    EXPECT_EQ(std::filesystem::file_size(claimed->c_str()), 0u);

    // A name the caller counts as taken (another row's) is passed over too.
    auto rowHolds = [&](const core::TextString& p) { return p == in("x (3).mp3").c_str(); };
    const auto next = claimFreePath(in("x.mp3").c_str(), rowHolds);
    ASSERT_TRUE(next.has_value());
    EXPECT_STREQ(next->c_str(), in("x (4).mp3").c_str());

    // A folder that cannot hold the file gives no name.
    EXPECT_FALSE(claimFreePath(in("missing/x.mp3").c_str(), nullptr).has_value());
}

TEST_F(OutputNameTest, ClaimantsInManyProcessesAtOnceGetDistinctNames)
{
    constexpr int kProcesses = 8;
    constexpr int kClaimsEach = 5;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kClaimsEach; ++i)
                ok = claimFreePath(in("clip.mpg").c_str(), nullptr).has_value() && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // Every claim made a file of its own: as many names as claims, none twice.
    const auto names = listDir(dir_.string());
    EXPECT_EQ(names.size(), static_cast<size_t>(kProcesses * kClaimsEach));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
}

} // namespace
} // namespace qf::tasks
