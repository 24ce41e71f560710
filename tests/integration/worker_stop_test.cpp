// Quitting during a conversion, as the main window does when it closes:
// requestStop, the receiver shut down, endThread. With the real encoder and
// tools, during each pass: afterwards no program of the task runs and
// nothing of it is left in the output folder. The stop command during each
// post-processing step, and a first pass killed before it wrote its log.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "convert/command_line_builder.h"
#include "core/messages.h"
#include "core/notification_sink.h"
#include "integration/support/integration_support.h"
#include "settings/settings.h"
#include "tasks/conversion_worker.h"
#include "tasks/support/fake_task_surroundings.h"
#include "tasks/task_list_model.h"

namespace {

using namespace qf;
using namespace qf::integration;
namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Live (not zombie) processes whose command line mentions `text`.
std::vector<std::string> processesMentioning(const std::string& text)
{
    std::vector<std::string> found;
    for (const auto& entry : stdfs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // A process may end while it is read: it is then no longer live.
        std::string line;
        try {
            std::ifstream cmdline(entry.path() / "cmdline");
            line.assign(std::istreambuf_iterator<char>(cmdline), std::istreambuf_iterator<char>());
        } catch (const std::ios_base::failure&) {
            continue;
        }
        for (char& c : line)
            if (c == 0)
                c = ' ';
        if (line.find(text) == std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string statLine;
        std::getline(stat, statLine);
        const size_t close = statLine.rfind(')');
        if (close != std::string::npos && close + 2 < statLine.size() && statLine[close + 2] == 'Z')
            continue;
        found.push_back(pid + ": " + line);
    }
    return found;
}

// Live processes whose command line mentions `text`, once the system has had
// a generous while to reap them: a program's group is ended at once, but
// only its leader is waited for.
std::vector<std::string> processesLeft(const std::string& text)
{
    const auto end = Clock::now() + std::chrono::seconds(10);
    std::vector<std::string> left = processesMentioning(text);
    while (!left.empty() && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = processesMentioning(text);
    }
    return left;
}

TEST(WorkerQuit, DuringEachPassLeavesNoProgramAndNoFile)
{
    struct Case {
        const char* name;
        int32_t category, model, format;
        uint32_t stopInState;
    } cases[] = {
        {"dvd-pass1", 4, 0, 10, tasks::kStateFirstPass},
        {"dvd-pass2", 4, 0, 10, tasks::kStateSecondPass},
        {"psp-mp4", 2, 0, 2, tasks::kStateConverting},
        {"3gp", 0, 0, 0, tasks::kStateConverting},
    };
    tasks::ConversionWorker::Environment environment;
    environment.tools.build(kProgramDir.c_str());
    environment.programDirectory = kProgramDir.c_str();
    convert::CommandLineBuilder::setEncoderPath(environment.tools.encoderPath.c_str());
    // A copy of the clip under a name no other test's programs mention.
    const std::string source = kDataDir + "/quit source.avi";
    stdfs::copy_file(clip(), source, stdfs::copy_options::overwrite_existing);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = kDataDir + "/quit-" + c.name;
        stdfs::remove_all(out);
        tasks::ConversionTask task;
        task.sourcePath = source.c_str();
        task.selectModel(c.category, c.model, c.format);
        task.media.hasVideo = true;
        task.media.hasAudio = true;
        task.makeOutputPath(out.c_str());

        tasks::ConversionWorker worker(environment);
        uint32_t state = 0;
        bool encoding = false; // a progress line in the pass to stop
        core::QueuedSink sink([&](const core::Message& m) {
            const uint32_t code = core::taskNotifyCode(m.wParam);
            if (code == core::NOTIFY_STATE_CHANGED)
                state = core::taskNotifyDetail(m.wParam);
            // The stop is asked for while the worker waits on this very
            // progress line, so it lands in the pass however far the encoder
            // has got meanwhile.
            if (code == core::NOTIFY_PROGRESS_LINE && state == c.stopInState && !encoding) {
                encoding = true;
                worker.requestStop();
            }
            return intptr_t{0};
        });
        worker.startThread(sink);
        worker.markBusy();
        worker.enqueue(&task);
        worker.enqueueEnd();
        const auto end = Clock::now() + std::chrono::seconds(60);
        while (!encoding && Clock::now() < end)
            sink.waitAndPump(5);
        ASSERT_TRUE(encoding) << "the pass never showed progress";

        sink.shutdown();
        worker.endThread();

        EXPECT_EQ(processesLeft("quit source.avi"), std::vector<std::string>{});
        std::vector<std::string> left;
        for (const auto& entry : stdfs::directory_iterator(out))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{});
    }
    stdfs::remove(source);
}

// A program directory whose helpers are the real ones behind a wrapper: the
// wrapper of the step named in QF_STOP_STEP runs the real program to its end
// and then stays, so that the stop comes while that step's program runs and
// after it has written everything it writes.
class WrappedKit {
public:
    WrappedKit()
    {
        dir_ = kDataDir + "/wrapped kit";
        stdfs::remove_all(dir_);
        stdfs::create_directories(dir_);
        const std::string steps[][2] = {
            {"ALDER.DAT",
             "case \"$*\" in *'-of rawvideo'*) step=extract-video;; *'-oac copy'*) step=extract-audio;; "
             "*) step=encode;; esac"},
            {"BIRCH.DLL", "step=probe"},
            {"CEDAR.DLL", "case \"$*\" in *-rate=*) step=mux-video;; *) step=mux-audio;; esac"},
            {"LARCH.DAT", "step=pmp"},
            {"MAPLE.DLL", "step=atoms"},
        };
        for (const auto& [name, step] : steps) {
            const std::string path = dir_ + "/" + name;
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << "#!/bin/sh\n"
                << step << "\n"
                << quote(kProgramDir + "/" + name) << " \"$@\"\n"
                << "[ \"$step\" = \"$QF_STOP_STEP\" ] && { : > " << quote(reachedMarker()) << "; exec sleep 30; }\n"
                << "exit 0\n";
            out.close();
            ::chmod(path.c_str(), 0755);
        }
        environment.tools.build(dir_.c_str());
        environment.programDirectory = dir_.c_str();
        convert::CommandLineBuilder::setEncoderPath(environment.tools.encoderPath.c_str());
    }
    ~WrappedKit()
    {
        unsetenv("QF_STOP_STEP");
        std::error_code ec;
        stdfs::remove_all(dir_, ec);
    }
    std::string reachedMarker() const { return dir_ + "/reached"; }

    tasks::ConversionWorker::Environment environment;

private:
    std::string dir_;
};

TEST(WorkerStop, DuringEachPostProcessingStepEndsNotDoneWithAnEmptyFolder)
{
    struct Case {
        int32_t category, format;
        const char* step;
    } cases[] = {
        {0, 0, "probe"},     {0, 0, "extract-video"}, {0, 0, "extract-audio"}, {0, 0, "mux-video"},
        {0, 0, "mux-audio"}, {2, 3, "probe"},         {2, 3, "mux-audio"},     {2, 3, "atoms"},
        {0, 6, "mux-video"}, {2, 1, "extract-audio"}, {2, 1, "pmp"},
    };
    WrappedKit kit;
    // A short copy of the clip under a name no other test's programs mention.
    const std::string source = kDataDir + "/mux stop source.avi";
    run("ffmpeg -nostdin -y -loglevel error -i " + quote(clip()) + " -t 2 -c copy " + quote(source));
    ASSERT_TRUE(stdfs::exists(source));
    const std::string out = kDataDir + "/mux-stop";
    const core::TextString savedFolder = settings::current().outputFolder();
    settings::current().setOutputFolder(out.c_str());

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " of format " + std::to_string(c.format));
        stdfs::remove_all(out);
        stdfs::remove(kit.reachedMarker());
        setenv("QF_STOP_STEP", c.step, 1);
        // The task list as the window holds it, with the worker as its queue.
        tasks::testing::FakeHost host;
        host.settings.selectModel(c.category, 0, c.format);
        tasks::testing::FakeProber prober;
        tasks::ConversionWorker worker(kit.environment);
        tasks::TaskListModel model(host, prober, worker);
        bool finished = false;
        core::QueuedSink sink([&](const core::Message& m) {
            if (core::taskNotifyCode(m.wParam) == core::NOTIFY_QUEUE_FINISHED)
                finished = true;
            return model.handleMessage(m);
        });
        ASSERT_NE(model.addFile(source.c_str()), nullptr);
        model.setAllChecks(true);
        worker.startThread(sink);
        ASSERT_TRUE(model.start());
        const auto end = Clock::now() + std::chrono::seconds(120);
        while (!stdfs::exists(kit.reachedMarker()) && !finished && Clock::now() < end)
            sink.waitAndPump(10);
        ASSERT_TRUE(stdfs::exists(kit.reachedMarker())) << "the step was never reached";
        EXPECT_STREQ(model.row(0).text[tasks::kColumnState].c_str(), "正在合成");
        model.stop();
        while (!finished && Clock::now() < end)
            sink.waitAndPump(10);
        ASSERT_TRUE(finished);
        sink.shutdown();
        worker.endThread();

        EXPECT_STREQ(model.row(0).text[tasks::kColumnState].c_str(), "未完成");
        std::vector<std::string> left;
        for (const auto& entry : stdfs::directory_iterator(out))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{});
        EXPECT_EQ(processesLeft("mux stop source"), std::vector<std::string>{});
        EXPECT_EQ(processesLeft("mux-stop/"), std::vector<std::string>{});
        EXPECT_EQ(host.allDoneCount, 0);
    }
    settings::current().setOutputFolder(savedFolder);
    stdfs::remove(source);
}

TEST(WorkerStop, AFirstPassKilledBeforeItsLogFailsWithItsOwnReason)
{
    tasks::ConversionWorker::Environment environment;
    environment.tools.build(kProgramDir.c_str());
    environment.programDirectory = kProgramDir.c_str();
    convert::CommandLineBuilder::setEncoderPath(environment.tools.encoderPath.c_str());
    // Long enough that the first pass is still running when it is killed.
    const std::string source = kDataDir + "/killed pass source.avi";
    if (!stdfs::exists(source))
        run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=160x120:rate=25:duration=300 -f lavfi -i "
            "sine=duration=300 -c:v mpeg4 -c:a mp3 "
            + quote(source));
    ASSERT_TRUE(stdfs::exists(source));
    const std::string out = kDataDir + "/killed-pass";
    stdfs::remove_all(out);
    tasks::ConversionTask task;
    task.sourcePath = source.c_str();
    task.selectModel(4, 0, 10); // DVD: two passes
    task.media.hasVideo = true;
    task.media.hasAudio = true;
    task.makeOutputPath(out.c_str());

    tasks::ConversionWorker worker(environment);
    std::vector<std::string> events;
    bool progress = false;
    bool finished = false;
    core::QueuedSink sink([&](const core::Message& m) {
        const uint32_t code = core::taskNotifyCode(m.wParam);
        if (code == core::NOTIFY_STATE_CHANGED)
            events.push_back("state " + std::to_string(core::taskNotifyDetail(m.wParam)));
        if (code == core::NOTIFY_PROGRESS_LINE)
            progress = true;
        if (code == core::NOTIFY_FAILED)
            events.push_back("failed");
        if (code == core::NOTIFY_DONE)
            events.push_back("done");
        if (code == core::NOTIFY_QUEUE_FINISHED)
            finished = true;
        return intptr_t{0};
    });
    worker.startThread(sink);
    worker.markBusy();
    worker.enqueue(&task);
    worker.enqueueEnd();
    const auto end = Clock::now() + std::chrono::seconds(120);
    while (!progress && !finished && Clock::now() < end)
        sink.waitAndPump(10);
    ASSERT_TRUE(progress) << "the first pass never showed progress";
    // The encoder itself, as the system or a crash would. Its ffmpeg ending
    // with it is the encoder's own business, tested with the encoder; here
    // it is ended first (the encoder held so that it cannot see it go) so
    // that it writes nothing after the task has ended.
    std::vector<pid_t> encoders;
    std::vector<pid_t> children;
    for (const std::string& line : processesMentioning("killed pass source.avi")) {
        const pid_t pid = std::stoi(line.substr(0, line.find(':')));
        if (line.find("ALDER.DAT") != std::string::npos && line.find("vpass=1") != std::string::npos)
            encoders.push_back(pid);
        else if (line.find("ffmpeg") != std::string::npos)
            children.push_back(pid);
    }
    ASSERT_EQ(encoders.size(), 1u);
    ::kill(encoders[0], SIGSTOP);
    for (pid_t child : children)
        ::kill(child, SIGKILL);
    ::kill(encoders[0], SIGKILL);
    while (!finished && Clock::now() < end)
        sink.waitAndPump(10);
    ASSERT_TRUE(finished);
    sink.shutdown();
    worker.endThread();

    EXPECT_EQ(events, (std::vector<std::string>{"state 6", "failed"})) << "the second pass never runs";
    const std::string reason = task.failureReason.c_str();
    EXPECT_EQ(reason.rfind("编码器意外终止,转换没有完成。\r\n", 0), 0u) << reason;
    EXPECT_NE(reason.find("the encoder ended by signal 9 during the first pass"), std::string::npos) << reason;
    EXPECT_EQ(reason.find("divx2pass.log not found"), std::string::npos) << reason;
    EXPECT_EQ(processesLeft("killed pass source.avi"), std::vector<std::string>{});
    std::vector<std::string> left;
    for (const auto& entry : stdfs::directory_iterator(out))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{});
    stdfs::remove(source);
}

} // namespace
