#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/program_directory.h"
#include "core/startup.h"
#include "core/window_fade.h"

using namespace qf::core;

namespace {

struct FakeLocator : ProgramLocator {
    const char* exe = nullptr;
    const char* arg = nullptr;
    const char* cwd = nullptr;
    bool executablePath(TextString& out) override { return exe && (out.assign(exe), true); }
    bool firstArgument(TextString& out) override { return arg && (out.assign(arg), true); }
    bool workingDirectory(TextString& out) override { return cwd && (out.assign(cwd), true); }
};

} // namespace

TEST(ProgramDirectory, ThreeWaysOfFindingIt)
{
    {
        FakeLocator l;
        l.exe = "C:\\Program Files\\X\\Quillfer.exe";
        ProgramLocation loc;
        ASSERT_TRUE(findProgramDirectory(l, loc));
        EXPECT_EQ(loc.executablePath, "C:/Program Files/X/Quillfer.exe");
        EXPECT_EQ(loc.programDirectory, "C:/Program Files/X");
        ToolPaths paths;
        paths.build(loc.programDirectory.c_str());
        EXPECT_EQ(paths.encoderPath, "\"C:/Program Files/X/ALDER.DAT\"");
        EXPECT_EQ(paths.atomScriptFile, "C:/Program Files/X/SPRUCE.ini");
        EXPECT_EQ(paths.atomScriptArg, "\"C:/Program Files/X/SPRUCE.ini\"");
        EXPECT_EQ(paths.playerPath, "\"C:/Program Files/X/MPlayer.exe\"");
    }
    {
        FakeLocator l;
        l.exe = "C:/Quillfer.exe";
        ProgramLocation loc;
        ASSERT_TRUE(findProgramDirectory(l, loc));
        EXPECT_EQ(loc.programDirectory, "C:");
        ToolPaths paths;
        paths.build(loc.programDirectory.c_str());
        EXPECT_EQ(paths.frameRateProbePath, "\"C:/BIRCH.DLL\"");
    }
    {
        FakeLocator l; // no executable path, no argument: the working directory
        l.cwd = "D:\\work\\";
        ProgramLocation loc;
        ASSERT_TRUE(findProgramDirectory(l, loc));
        EXPECT_EQ(loc.programDirectory, "D:/work");
        EXPECT_EQ(loc.executablePath, "D:/work/Quillfer.exe");
    }
    {
        FakeLocator l; // the first argument must be an existing file
        l.arg = "/bin/sh";
        ProgramLocation loc;
        ASSERT_TRUE(findProgramDirectory(l, loc));
        EXPECT_EQ(loc.programDirectory, "/bin");
    }
    for (const char* bad : {QF_PROGRAM_DIR, "/no/such/file"}) {
        FakeLocator l;
        l.arg = bad;
        l.cwd = "/tmp";
        ProgramLocation loc;
        EXPECT_FALSE(findProgramDirectory(l, loc)) << bad;
    }
    {
        FakeLocator l; // nothing at all
        ProgramLocation loc;
        EXPECT_FALSE(findProgramDirectory(l, loc));
    }
    {
        FakeLocator l;
        l.exe = "noslash";
        ProgramLocation loc;
        EXPECT_FALSE(findProgramDirectory(l, loc));
    }
}

TEST(ProgramDirectory, SystemLocatorFindsTheRunningExecutable)
{
    SystemProgramLocator locator(0, nullptr);
    ProgramLocation loc;
    ASSERT_TRUE(findProgramDirectory(locator, loc));
    EXPECT_TRUE(loc.executablePath.endsWith("/core_tests"));
    EXPECT_TRUE(fs::isDirectory(loc.programDirectory.c_str()));
}

TEST(Startup, StepsRunInOrderAndExitAlwaysRuns)
{
    std::vector<std::string> steps;
    auto hooks = [&steps](bool libraryLoads) {
        StartupHooks h;
        h.loadMediaLibrary = [&steps, libraryLoads] {
            steps.push_back("library");
            return libraryLoads;
        };
        h.bindLayered = [&steps] {
            steps.push_back("layered");
            return true;
        };
        h.setEncoderPath = [&steps](const char* p) { steps.push_back(std::string("encoder ") + p); };
        h.enableEmbeddedControls = [&steps] { steps.push_back("embedded"); };
        h.createSharedResources = [&steps] { steps.push_back("resources"); };
        h.loadConfiguration = [&steps] { steps.push_back("load cfg"); };
        h.loadSharedMenu = [&steps] { steps.push_back("menu"); };
        h.runMainWindow = [&steps] {
            steps.push_back("main window");
            return 0;
        };
        h.reportFailure = [&steps](const char* text) { steps.push_back(std::string("failure ") + text); };
        h.destroySharedResources = [&steps] { steps.push_back("~resources"); };
        h.unloadMediaLibrary = [&steps] { steps.push_back("~library"); };
        h.unbindLayered = [&steps] { steps.push_back("~layered"); };
        h.saveConfiguration = [&steps] { steps.push_back("save cfg"); };
        h.destroySharedMenu = [&steps] { steps.push_back("~menu"); };
        return h;
    };

    struct : ProgramLocator {
        bool executablePath(TextString& out) override
        {
            out.assign("/opt/q/quillfer");
            return true;
        }
        bool firstArgument(TextString&) override { return false; }
        bool workingDirectory(TextString&) override { return false; }
    } locator;

    Application ok(locator, hooks(true));
    EXPECT_EQ(ok.run(), 0);
    const std::vector<std::string> expected = {"library",  "layered",     "encoder \"/opt/q/ALDER.DAT\"",
                                               "embedded", "resources",   "load cfg",
                                               "menu",     "main window", "~resources",
                                               "~library", "~layered",    "save cfg",
                                               "~menu"};
    EXPECT_EQ(steps, expected);

    steps.clear();
    Application failed(locator, hooks(false));
    EXPECT_EQ(failed.run(), 1);
    const std::vector<std::string> failedSteps
        = {"library", "failure 程序初始化失败", "~resources", "~library", "~layered", "~menu"};
    EXPECT_EQ(steps, failedSteps); // the configuration is never saved
}

namespace {

std::vector<int> g_alphas;
void fakeMakeLayered(WindowHandle) {}
void fakeSetAlpha(WindowHandle, uint8_t a) { g_alphas.push_back(a); }
bool fakeGetAlpha(WindowHandle, uint8_t* a)
{
    *a = g_alphas.empty() ? 255 : uint8_t(g_alphas.back());
    return true;
}

std::vector<int> runFade(uint32_t steps, uint8_t target)
{
    g_alphas.clear();
    WindowFade fade;
    fade.start(nullptr, steps, target);
    int guard = 0;
    while (!fade.tick(nullptr) && ++guard < 1000) {}
    return g_alphas;
}

} // namespace

TEST(WindowFade, OpacitySequences)
{
    unbindLayered();
    EXPECT_FALSE(bindLayered(nullptr));
    LayeredBackend incomplete{fakeMakeLayered, nullptr, fakeGetAlpha};
    EXPECT_FALSE(bindLayered(&incomplete));
    {
        // Unbound: start does nothing, tick finishes at once.
        WindowFade fade;
        g_alphas.clear();
        fade.start(nullptr, 10, 255);
        EXPECT_TRUE(fade.tick(nullptr));
        EXPECT_TRUE(g_alphas.empty());
    }
    LayeredBackend backend{fakeMakeLayered, fakeSetAlpha, fakeGetAlpha};
    ASSERT_TRUE(bindLayered(&backend));
    EXPECT_TRUE(bindLayered(nullptr)); // already bound

    const std::vector<int> full = {80, 67, 84, 101, 118, 135, 152, 169, 186, 203, 255};
    EXPECT_EQ(runFade(10, 255), full);

    // A target below 255 ends as soon as the computed opacity passes it.
    // increment (200 - 80) / 4 = 30: 80, then 80, 110, 140, 170, then 200 at step 4.
    const std::vector<int> partial = {80, 80, 110, 140, 200};
    EXPECT_EQ(runFade(4, 200), partial);
    // increment (150 - 80) / 2 = 35: step 1 gives 85 (set), step 2 = steps gives 150.
    const std::vector<int> two = {80, 85, 150};
    EXPECT_EQ(runFade(2, 150), two);
    // (100 - 80) / 1 = 20; step 1 is the last step: the target itself.
    const std::vector<int> one = {80, 100};
    EXPECT_EQ(runFade(1, 100), one);
    // A target under 80 wraps the one-byte increment: the first tick passes the target.
    const std::vector<int> wrapped = {80};
    EXPECT_EQ(runFade(10, 60), wrapped);
    unbindLayered();
}
