// Numbered output names, their claim by several claimants at once, and the
// removal of what killed runs left.

#include <atomic>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tasks/output_claim.h"
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

TEST_F(OutputNameTest, AClaimNeverTakesAFileThatStandsThereAndMakesNothingUnderItsName)
{
    writeFile(in("x.mp3"), "someone's");
    auto claim = OutputClaim::make(in("x.mp3"), in("x.mp3"), false);
    ASSERT_NE(claim, nullptr);
    EXPECT_EQ(claim->finalPath(), in("x (2).mp3"));
    EXPECT_EQ(claim->folder(), in(".x (2).mp3.quillfer"));
    EXPECT_EQ(listDir(dir_.string()), (std::vector<std::string>{".x (2).mp3.quillfer", "x.mp3"}));
    // A second claimant passes over the claimed name although no file has it.
    auto second = OutputClaim::make(in("x.mp3"), in("x.mp3"), false);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->finalPath(), in("x (3).mp3"));
    second.reset();

    // Published whole; a file someone put under the name meanwhile stays.
    writeFile(claim->workPath(), "converted");
    writeFile(in("x (2).mp3"), "put there during the run");
    ASSERT_TRUE(claim->publish());
    EXPECT_EQ(claim->finalPath(), in("x (3).mp3"));
    claim.reset();
    EXPECT_EQ(readFile(in("x (3).mp3")), "converted");
    EXPECT_EQ(readFile(in("x (2).mp3")), "put there during the run");
    EXPECT_EQ(listDir(dir_.string()), (std::vector<std::string>{"x (2).mp3", "x (3).mp3", "x.mp3"}));

    // Replacing writes over the name itself, and only at the end.
    auto replacing = OutputClaim::make(in("x.mp3"), in("x.mp3"), true);
    ASSERT_NE(replacing, nullptr);
    writeFile(replacing->workPath(), "new");
    EXPECT_EQ(readFile(in("x.mp3")), "someone's");
    ASSERT_TRUE(replacing->publish());
    EXPECT_EQ(readFile(in("x.mp3")), "new");

    // A name too long to take the claim's dot and suffix gets a short
    // folder, the same one in every process.
    const std::string longName = std::string(250, 'x') + ".mp3";
    const std::string longFolder = claimFolderFor(in(longName));
    EXPECT_LE(std::filesystem::path(longFolder).filename().string().size(), 255u);
    EXPECT_EQ(longFolder, claimFolderFor(in(longName)));
    EXPECT_NE(longFolder, claimFolderFor(in(std::string(250, 'y') + ".mp3")));
    auto longClaim = OutputClaim::make(in(longName), in(longName), false);
    ASSERT_NE(longClaim, nullptr);
    EXPECT_EQ(longClaim->folder(), longFolder);
    longClaim.reset();

    // A folder that cannot hold the file gives no claim.
    EXPECT_EQ(OutputClaim::make(in("missing/x.mp3"), in("missing/x.mp3"), false), nullptr);
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
            for (int i = 0; i < kClaimsEach; ++i) {
                auto claim = OutputClaim::make(in("clip.mpg"), in("clip.mpg"), false);
                ok = claim && ok;
                if (claim) {
                    writeFile(claim->workPath(), std::to_string(::getpid()));
                    ok = claim->publish() && ok;
                }
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // Every claim gave a file of its own: as many names as claims, none
    // twice, and no work folder left.
    const auto names = listDir(dir_.string());
    EXPECT_EQ(names.size(), static_cast<size_t>(kProcesses * kClaimsEach));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    for (const std::string& name : names)
        EXPECT_NE(name[0], '.') << name;
}

// A claim held by a process of its own: killed, or kept alive until the
// test ends it.
pid_t claimInAChild(const std::string& wanted, int* release)
{
    int ready[2];
    int hold[2];
    if (::pipe(ready) != 0 || ::pipe(hold) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        ::close(hold[1]);
        auto claim = OutputClaim::make(wanted, wanted, false);
        if (claim)
            writeFile(claim->workPath() + ".part", "half");
        char c = claim ? 'y' : 'n';
        (void)::write(ready[1], &c, 1);
        (void)::read(hold[0], &c, 1); // until the test lets go (or kills us)
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(hold[0]);
    char c = 0;
    const bool claimed = ::read(ready[0], &c, 1) == 1 && c == 'y';
    ::close(ready[0]);
    *release = hold[1];
    return claimed ? pid : -1;
}

TEST_F(OutputNameTest, WhatKilledRunsLeftIsRemovedAndNothingElse)
{
    int releaseDead = -1;
    int releaseLive = -1;
    const pid_t dead = claimInAChild(in("a.mp3"), &releaseDead);
    const pid_t live = claimInAChild(in("b.mp3"), &releaseLive);
    ASSERT_GT(dead, 0);
    ASSERT_GT(live, 0);
    ::kill(dead, SIGKILL);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    // A folder of the user's that only looks like ours, and this process's own claim.
    std::filesystem::create_directories(in(".c.mp3.quillfer"));
    writeFile(in(".c.mp3.quillfer/owner"), "the user's");
    writeFile(in("a.mp3.part"), "the user's");
    auto own = OutputClaim::make(in("d.mp3"), in("d.mp3"), false);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(listDir(dir_.string()),
              (std::vector<std::string>{".a.mp3.quillfer", ".b.mp3.quillfer", ".c.mp3.quillfer", ".d.mp3.quillfer",
                                        "a.mp3.part"}));

    removeAbandonedWork(dir_.string());
    EXPECT_EQ(listDir(dir_.string()),
              (std::vector<std::string>{".b.mp3.quillfer", ".c.mp3.quillfer", ".d.mp3.quillfer", "a.mp3.part"}));
    EXPECT_EQ(readFile(in(".b.mp3.quillfer/b.mp3.part")), "half");

    // The name a dead run held is free again for the next claim.
    auto next = OutputClaim::make(in("a.mp3"), in("a.mp3"), false);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->finalPath(), in("a.mp3"));
    ::close(releaseLive);
    ASSERT_EQ(::waitpid(live, nullptr, 0), live);
    ::close(releaseDead);
}

} // namespace
} // namespace qf::tasks
